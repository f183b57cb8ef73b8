#pragma once

#include <string>

// Program-wide values that the application shell sets and the foundation reads. They start
// empty; the shell fills them at start-up, tests set and reset them.

namespace trv {

// The alias of the company the program runs for; empty until a company is chosen.
std::string GetCompanyAlias();
void SetCompanyAlias(const std::string& alias);

// The alias back to its start-up state.
void ResetAppGlobals();

} // namespace trv
