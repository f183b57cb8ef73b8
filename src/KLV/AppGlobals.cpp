#include "KLV/AppGlobals.h"

#include <atomic>
#include <mutex>

namespace trv {

namespace {

std::mutex aliasMutex;
std::string companyAlias;
std::atomic<void*> mainWindow{nullptr};

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

void* GetMainWindow()
{
    return mainWindow.load();
}

void SetMainWindow(void* window)
{
    mainWindow.store(window);
}

void ResetAppGlobals()
{
    SetCompanyAlias(std::string());
    SetMainWindow(nullptr);
}

} // namespace trv
