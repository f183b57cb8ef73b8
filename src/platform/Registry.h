#pragma once

#include <string>
#include <string_view>

// The registry of the Windows program kept as an INI file of our own,
// $XDG_CONFIG_HOME/Trevantor/registry.ini (~/.config when the variable is unset): one section
// per key, named by its root and path ("HKEY_CURRENT_USER\software\Company\Trevantor"), one
// line per value ("@" for the key's default value). Key and value names ignore letter case.
// Strings are stored in double quotes; numbers as dword:xxxxxxxx; other data as
// hex(type):bytes.

namespace trv {

enum class RegistryRoot
{
    CurrentUser,
    LocalMachine,
    ClassesRoot,
};

// Value types, numbered as the Windows program stored them.
constexpr unsigned kRegistryString = 1;
constexpr unsigned kRegistryExpandString = 2;
constexpr unsigned kRegistryBinary = 3;
constexpr unsigned kRegistryNumber = 4; // 32-bit, little-endian bytes

std::string GetRegistryFilePath();

// The value's type and bytes (a string's text, without terminator); false when missing.
bool ReadRegistry(RegistryRoot root, std::string_view key, std::string_view valueName,
                  unsigned& type, std::string& data);

// Creates the key when needed and sets the value; false when the store cannot be written.
bool WriteRegistry(RegistryRoot root, std::string_view key, std::string_view valueName,
                   unsigned type, std::string_view data);

} // namespace trv
