#pragma once

#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The translation dictionary: dialogs, menus and messages hold keys ("QuestionSaveOrder"), the
// dictionary of the selected language turns them into texts.
//
// Files (beside the program, in "Languages/"): "DIC.INI" names the selected language
// ([Selected] Language=1), the extension of its dictionary files ([Languages] 1=ENG) and its
// display name, which is also the subfolder holding them ([Descriptions] 1=English). Each
// dictionary file has a [Strings] section of key=text lines ("\n" and "\t" stand for a line
// break and a tab); UTF-8 and Windows-1252 files both read. An optional "resource.hm" beside
// "DIC.INI" maps symbols to numeric ids ("#define ID_X 0x8001"): a key that is a symbol is stored
// under its decimal id.
//
// A key may carry leading and trailing punctuation and blanks ("&Open...", "Orders:"), kept
// around its translation. After lookup three markers are expanded (see Translate). A key missing
// from the dictionary shows as itself. The dictionary is loaded and changed on the GUI thread;
// other threads only read it while no load runs.

// The text of the key, its accelerator marks "&" removed when `stripAccelerators` is set (and
// stripping is enabled). Loads the dictionary on first use. Expands, in this order:
//   "#¿#UNIT(KEY,default)#?#"  the unit text of KEY (SetUnitNames), else the translated default;
//   "#TRANSDIFF(Key)#"         "(translation)" when an override changed Key's text to something
//                              else, otherwise nothing (and the blank before it goes too);
//   "#TRANSLATE(Key)#"         the translation of Key.
std::string Translate(std::string_view key, bool stripAccelerators = true);

namespace trv::detail {

// One printf argument, kept with its kind so that a dictionary text whose conversions do not fit
// the caller's arguments gives an empty result instead of undefined behaviour.
struct FormatArgument
{
    enum Kind
    {
        Signed,
        Unsigned,
        Floating,
        Text
    } kind;
    long long signedValue = 0;
    unsigned long long unsignedValue = 0;
    double floatingValue = 0;
    std::string_view textValue;

    template <std::signed_integral T> FormatArgument(T value) : kind(Signed), signedValue(value) {}
    template <std::unsigned_integral T>
    FormatArgument(T value) : kind(Unsigned), unsignedValue(value)
    {
    }
    template <std::floating_point T> FormatArgument(T value) : kind(Floating), floatingValue(value)
    {
    }
    FormatArgument(const char* value) : kind(Text), textValue(value ? value : "(null)") {}
    FormatArgument(const std::string& value) : kind(Text), textValue(value) {}
    FormatArgument(std::string_view value) : kind(Text), textValue(value) {}
};

// printf of the format with checked arguments, in the C locale; false when a conversion has
// no argument or one of the wrong kind ("%s" of a number), or is "%n"/"%p".
bool FormatChecked(std::string_view format, const FormatArgument* arguments, std::size_t count,
                   std::string& out);

} // namespace trv::detail

// The translated format (accelerators stripped) filled with the arguments; empty when the
// format does not fit them.
template <typename... Arguments>
std::string TranslateFormat(std::string_view key, const Arguments&... arguments)
{
    const std::string format = Translate(key, true);
    const trv::detail::FormatArgument list[] = {trv::detail::FormatArgument(arguments)...,
                                                trv::detail::FormatArgument(0)};
    std::string out;
    if (!trv::detail::FormatChecked(format, list, sizeof...(Arguments), out))
        return {};
    return out;
}

// Loads the selected language unless already loaded (or when forced). A failed load is not
// retried without force. False when no "DIC.INI" names a selected language or its extension is
// missing; true (with an empty dictionary) when the language has no dictionary files. A forced
// reload keeps keys the new language lacks.
bool LoadDictionary(bool force = false);

// With a language key: stores it as the selected language of the "DIC.INI" beside the program
// when `store` is set, and reloads the dictionary in that language. With an empty key: reloads
// the language the catalogue selects, when there is one. The reload's result, or true when
// nothing was reloaded.
bool SelectLanguage(bool store, std::string_view language);

// The dictionary folder (where "DIC.INI" was found, ending in '/'), the selected (or given)
// language and its description. False when no catalogue names a selected language.
bool GetLanguageSettings(std::string& folder, std::string& language, std::string& description,
                         std::string_view givenLanguage = {});

// The selected language key as an integer (0 when none).
int GetSelectedLanguageId();

// Every description of the catalogue in file order; returns the selected one's.
std::string GetLanguageDescriptions(std::vector<std::string>& descriptions);

// The language key whose description is exactly the text; empty when none.
std::string GetLanguageFromDescription(std::string_view description);

// The dictionary file extension of a language from the "DIC.INI" of `folder`; traces and
// returns false when it is missing.
bool SearchExtension(std::string& extension, const std::string& folder, std::string_view language);

// Replaces dictionary texts by the key=text lines of an INI section, recording the texts they
// replace (the first replaced text of each key) for the TRANSDIFF marker. An empty text
// replaces nothing but is still recorded.
void OverrideTranslations(const std::string& iniFile, std::string_view section);

// Sets one dictionary text (loads the dictionary first).
void SetTranslation(std::string_view key, std::string_view text);

// The text an override replaced, else the key's translation.
std::string GetReplacedTranslation(std::string_view key);

// Replaces the unit names: each non-empty text is stored under its unit key.
void SetUnitNames(std::string_view speed, std::string_view weight, std::string_view pressure,
                  std::string_view shortDistance, std::string_view longDistance,
                  std::string_view currency, std::string_view temperature, std::string_view volume,
                  std::string_view time, std::string_view minutes);
void SetUnitName(std::string_view unit, std::string_view text);

// Accelerator marks are kept until the application's start-up enables their stripping.
void EnableAcceleratorStripping();

// Removes "&" marks; a text holding "&&" keeps each "&&" pair that is not at its very end.
void StripMenuAccelerators(std::string& text);

// The text before the first line break (all of it when none).
std::string GetFirstLine(std::string_view text);
// The text between the first and second line breaks (after the first when there is no
// second; empty when there is no line break).
std::string GetSecondLine(std::string_view text);

// Command texts are stored under the command's decimal id as "prompt\ntooltip".
// The prompt: first line of the id's text; empty when the id has none.
std::string TranslateResourcePrompt(unsigned int id);
// The tooltip: second line of the id's text; empty when it has none.
std::string TranslateResourceString(unsigned int id);
// The tooltip cut to 79 characters; false when there is none.
bool TranslateToolTip(unsigned int id, std::string& text);

namespace trv {

// Forgets the dictionary, the resource ids, the unit names and the overrides, and keeps
// accelerators again: the state of a program that has just started. For tests.
void ResetDictionary();

} // namespace trv
