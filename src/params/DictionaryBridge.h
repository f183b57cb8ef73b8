#pragma once

#include <string>

// The few translation-dictionary services the parameters use, in the shapes they use them;
// they forward to the foundation's dictionary (KLV/Translate.h).

namespace trv::params {

// The key's text in the current language, accelerators stripped.
std::string TranslateKey(const std::string& key);

// The key's text used as a printf format with one text argument.
std::string TranslateKeyWithText(const std::string& key, const std::string& argument);

// Replaces dictionary texts by the key=text lines of `section` of `file`.
void OverrideCaptions(const std::string& file, const std::string& section);

// Stores the language as the selected one and reloads the dictionary when it changed.
void SelectDictionaryLanguage(const std::string& language);

// The language selected in the dictionary settings, "" when none.
std::string SelectedDictionaryLanguage();

} // namespace trv::params
