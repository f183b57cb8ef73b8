#pragma once

#include <string>

namespace trv {

// The program folder: $TREVANTOR_HOME when set, else the folder of the running executable.
// Always ends with '/'. The bundled configuration (Config.ini, FileNames.ini, Languages/ ...)
// lives here.
std::string GetProgramFolder();

// Full path of the running executable, empty when it cannot be found.
std::string GetExecutablePath();

} // namespace trv
