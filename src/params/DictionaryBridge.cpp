#include "params/DictionaryBridge.h"

#include "KLV/Translate.h"

namespace trv::params {

std::string TranslateKey(const std::string& key)
{
    return Translate(key, true);
}

std::string TranslateKeyWithText(const std::string& key, const std::string& argument)
{
    return TranslateFormat(key.c_str(), argument.c_str());
}

void OverrideCaptions(const std::string& file, const std::string& section)
{
    OverrideTranslations(file, section);
}

void SelectDictionaryLanguage(const std::string& language)
{
    SelectLanguage(true, language);
}

std::string SelectedDictionaryLanguage()
{
    std::string folder, language, description;
    if (!GetLanguageSettings(folder, language, description, ""))
        return {};
    return language;
}

} // namespace trv::params
