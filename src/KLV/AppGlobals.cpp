#include "KLV/AppGlobals.h"

#include <mutex>

namespace trv {

namespace {

std::mutex aliasMutex;
std::string companyAlias;

} // namespace

std::string GetCompanyAlias()
{
    std::lock_guard lock(aliasMutex);
    return companyAlias;
}

void SetCompanyAlias(const std::string& alias)
{
    std::lock_guard lock(aliasMutex);
    companyAlias = alias;
}

void ResetAppGlobals()
{
    SetCompanyAlias(std::string());
}

} // namespace trv
