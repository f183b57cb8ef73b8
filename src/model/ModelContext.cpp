#include "model/ModelContext.h"

#include <ctime>
#include <memory>

namespace {

std::unique_ptr<CModelContext>& Instance()
{
    static std::unique_ptr<CModelContext> instance = std::make_unique<CModelContext>();
    return instance;
}

} // namespace

CModelContext& ModelContext()
{
    return *Instance();
}

void ResetModelContext()
{
    Instance() = std::make_unique<CModelContext>();
}

TClockReading ReadLocalClock()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}
