#include "platform/Progress.h"

#include <atomic>

namespace trv {

namespace {

std::atomic<Progress*> installed{nullptr};

} // namespace

Progress& GetProgress()
{
    static Progress silent;
    Progress* progress = installed.load();
    return progress ? *progress : silent;
}

Progress* InstallProgress(Progress* progress)
{
    return installed.exchange(progress);
}

} // namespace trv
