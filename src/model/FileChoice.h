#pragma once

#include <string>

// What the imports' file dialogs share: the filter over an extension and the folders they
// open in.

// Excel books for ".xls", the import's own text files (the dictionary key `textFilterKey`) for
// ".txt", any other extension its own files; translated.
std::string FileDialogFilter(const std::string& extension, const std::string& textFilterKey);

// The data folder beside the program (the translated "Datos").
std::string ProgramDataFolder();

// The folder of the last file a dialog confirmed ("LastFolder" under the application's
// registry key); empty when none is kept.
std::string LastChosenFolder();
