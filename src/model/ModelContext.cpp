#include "model/ModelContext.h"

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
