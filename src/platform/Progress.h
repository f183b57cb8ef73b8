#pragma once

#include <string_view>

// How long work (imports, node checks, matrices, saves) reports how far it got and learns
// that the person wants it stopped. The work polls IsCancelled between steps. This base is
// the headless form: silent, never cancelled; the application installs one with a progress
// bar and a Cancel button.

namespace trv {

class Progress
{
  public:
    virtual ~Progress() = default;

    virtual void SetCaption(std::string_view /*caption*/) {}

    // `position` steps done out of `total`.
    virtual void SetPosition(long long /*position*/, long long /*total*/) {}

    virtual bool IsCancelled() const { return false; }
};

// The installed progress (the silent one until another is installed).
Progress& GetProgress();

// Installs `progress` (owned by the caller, alive until replaced) and returns the one it
// replaces; null puts the silent one back.
Progress* InstallProgress(Progress* progress);

} // namespace trv
