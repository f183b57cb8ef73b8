#include "KLV/AppGlobals.h"

#include "platform/Path.h"
#include "platform/ProgramFolder.h"

#include <mutex>

namespace trv {

namespace {

std::mutex companyMutex;
std::string companyAlias;
std::string companyName;

} // namespace

std::string GetCompanyAlias()
{
    std::lock_guard lock(companyMutex);
    return companyAlias;
}

void SetCompanyAlias(const std::string& alias)
{
    std::lock_guard lock(companyMutex);
    companyAlias = alias;
}

std::string GetCompanyName()
{
    std::lock_guard lock(companyMutex);
    return companyName;
}

void SetCompanyName(const std::string& name)
{
    std::lock_guard lock(companyMutex);
    companyName = name;
}

bool HasCompanyFile()
{
    return !FindPathNoCase(JoinPath(GetProgramFolder(), "Empresa.ini")).empty();
}

std::string GetCompanyInUse()
{
    return HasCompanyFile() ? GetCompanyAlias() : GetCompanyName();
}

void ResetAppGlobals()
{
    SetCompanyAlias(std::string());
    SetCompanyName(std::string());
}

} // namespace trv
