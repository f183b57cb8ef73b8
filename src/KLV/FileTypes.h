#pragma once

#include "platform/Registry.h"

#include <string>

// The few registry values the program keeps (under the user's "software\" key of the registry
// store, platform/Registry.h), the registration of the plan's file type and the programs
// associated with files.

// Reads a value of "software\" + key under the root (or of `key` itself when `fullKey` is
// set); true with its type and data when it exists.
bool QueryRegistryValue(trv::RegistryRoot root, const std::string& key,
                        const std::string& valueName, unsigned& type, std::string& data,
                        bool fullKey = false);

// The same for a string value; true when it exists.
bool ReadRegistryValue(trv::RegistryRoot root, const std::string& key, const std::string& valueName,
                       std::string& value, bool fullKey = false);

// Sets a value of the current user's "software\" + key (or `key` itself), creating the key.
bool WriteRegistryValue(const std::string& key, const std::string& valueName,
                        const std::string& data, bool fullKey = false,
                        unsigned type = trv::kRegistryString);

// Stores the decimal text of the number as a string value.
bool WriteRegistryInt(const std::string& key, const std::string& valueName, int value);

// Registers the plan's file type for the user: a MIME type for the extension under
// $XDG_DATA_HOME/mime (~/.local/share when unset) and a desktop entry that opens such files
// with this executable. The icon is the given file when it is an image path, else the
// program's. The program becomes the type's default only when no other program is. True when
// the files were written.
bool RegisterDocumentFileType(const std::string& fileTypeId, const std::string& description,
                              const std::string& extension, const std::string& iconFile,
                              int iconIndex);

// The command line that opens the file (or web address) with the program associated with its
// extension: the program's command with the file in double quotes in place of its file
// placeholder, or after it; empty when no program is associated.
std::string GetAssociatedProgram(const std::string& file);

// Opens the file with its associated program (xdg-open when there is none), the arguments
// added, at normal priority; waits for its end when asked.
void OpenWithAssociatedProgram(const std::string& file, int showMode = 1,
                               const std::string& arguments = std::string(), bool wait = false);
