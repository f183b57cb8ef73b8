#pragma once

#include <string>

// Program-wide values that the application shell sets and the foundation reads. They start
// empty; the shell fills them at start-up, tests set and reset them.

namespace trv {

// The alias of the company the program runs for; empty until a company is chosen.
std::string GetCompanyAlias();
void SetCompanyAlias(const std::string& alias);

// The name of the company the program runs for (the company in use when the installation has
// no company file); empty until a company is chosen.
std::string GetCompanyName();
void SetCompanyName(const std::string& name);

// Whether an "Empresa.ini" lies in the program folder (whatever its letter case).
bool HasCompanyFile();
// The company the plan's data belong to: its alias with an "Empresa.ini", else its name.
std::string GetCompanyInUse();

// The application's key in the registry store (under the current user), where its own values
// such as "LastFolder" are kept.
constexpr const char* kApplicationRegistryKey = "software\\Corvane\\Trevantor";

// The alias and the name back to their start-up state.
void ResetAppGlobals();

} // namespace trv
