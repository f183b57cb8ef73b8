#pragma once

#include <string>

// Program-wide values that the application shell sets and the foundation reads. They start
// empty; the shell fills them at start-up, tests set and reset them.

namespace trv {

// The alias of the company the program runs for; empty until a company is chosen.
std::string GetCompanyAlias();
void SetCompanyAlias(const std::string& alias);

// The application's main window (a QWidget* seen as an opaque handle below the user
// interface); null when there is none, as in batch runs and tests.
void* GetMainWindow();
void SetMainWindow(void* window);

// Both values back to their start-up state.
void ResetAppGlobals();

} // namespace trv
