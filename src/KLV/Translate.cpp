#include "KLV/Translate.h"

#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace {

struct TextHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view>()(text);
    }
};

using TextMap = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

struct DictionaryState
{
    TextMap dictionary;
    TextMap resourceIds;
    TextMap unitNames;
    TextMap replacedTexts;
    bool loaded = false;
    bool keepAccelerators = true;
};

DictionaryState& State()
{
    static DictionaryState state;
    return state;
}

constexpr const char* kCatalogueName = "DIC.INI";
constexpr std::string_view kUnitOpening = "#\xC2\xBF#UNIT("; // "#¿#UNIT("
constexpr std::string_view kUnitClosing = ")#?#";
constexpr std::string_view kTransdiffOpening = "#TRANSDIFF(";
constexpr std::string_view kTranslateOpening = "#TRANSLATE(";
constexpr std::string_view kMarkerClosing = ")#";
// A TRANSLATE marker whose text leads back to itself stops here instead of recursing forever.
constexpr int kMaximumMarkerDepth = 8;

thread_local int markerDepth = 0;

const std::string* Find(const TextMap& map, std::string_view key)
{
    const auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
}

void Store(TextMap& map, std::string_view key, std::string_view text)
{
    const auto found = map.find(key);
    if (found != map.end())
        found->second.assign(text);
    else
        map.emplace(std::string(key), std::string(text));
}

std::string LanguagesFolder()
{
    return trv::GetProgramFolder() + "Languages/";
}

std::string CataloguePath(const std::string& folder)
{
    return trv::JoinPath(folder, kCatalogueName);
}

// ---- Loading ------------------------------------------------------------------------------

void ReadResourceIds(const std::string& folder)
{
    std::string content;
    if (!trv::ReadTextFile(trv::ResolvePathCase(trv::JoinPath(folder, "resource.hm")), content))
        return;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string_view line = trv::Trim(std::string_view(content).substr(start, end - start));
        start = end + 1;
        if (line.substr(0, 7) != "#define")
            continue;
        line = trv::TrimLeft(line.substr(7));
        const std::size_t blank = line.find_first_of(" \t");
        const std::string_view name = line.substr(0, blank);
        std::string_view value =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank);
        value = trv::Trim(value.substr(0, value.find("//")));
        if (name.empty())
            continue;
        if (value.substr(0, 2) == "0x" || value.substr(0, 2) == "0X")
            Store(State().resourceIds, name, trv::FormatC("%u", HexTextToInt(value)));
        else
            Store(State().resourceIds, name, value);
    }
}

std::string Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == '\\' && index + 1 < text.size()) {
            if (text[index + 1] == 'n') {
                out += '\n';
                ++index;
                continue;
            }
            if (text[index + 1] == 't') {
                out += '\t';
                ++index;
                continue;
            }
        }
        out += text[index];
    }
    return out;
}

// A value enclosed in a pair of the same quote loses them, as profile reads do.
std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

void ReadDictionaryFile(const std::string& path)
{
    std::vector<std::string> entries;
    if (!trv::GetProfileSection("Strings", path, entries))
        return;
    DictionaryState& state = State();
    std::unordered_set<std::string_view> seen; // the first definition in a file wins
    for (const std::string& entry : entries) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string_view key = std::string_view(entry).substr(0, equals);
        if (!seen.insert(key).second)
            continue;
        const std::string text = Unescape(Unquote(std::string_view(entry).substr(equals + 1)));
        if (const std::string* id = Find(state.resourceIds, key))
            Store(state.dictionary, *id, text);
        else
            Store(state.dictionary, key, text);
    }
}

// The files of `folder` with the extension (any letter case), in name order.
std::vector<std::string> DictionaryFiles(const std::string& folder, std::string_view extension)
{
    std::vector<std::string> files;
    const std::string found = trv::FindPathNoCase(folder);
    if (found.empty())
        return files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(found, error)) {
        if (!entry.is_regular_file(error))
            continue;
        const std::string name = entry.path().filename().string();
        const std::size_t point = name.rfind('.');
        if (point != std::string::npos &&
            trv::EqualsNoCase(std::string_view(name).substr(point + 1), extension))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool LoadLanguage(bool force, std::string_view givenLanguage)
{
    DictionaryState& state = State();
    if (!force && state.loaded)
        return true;
    state.loaded = true;

    std::string folder;
    std::string language;
    std::string description;
    if (!GetLanguageSettings(folder, language, description, givenLanguage))
        return false;
    std::string extension;
    if (!SearchExtension(extension, folder, language))
        return false;
    ReadResourceIds(folder);

    const std::string candidates[] = {
        trv::JoinPath(folder, "Languages/" + description) + "/",
        trv::JoinPath(folder, description) + "/",
        folder,
    };
    for (const std::string& candidate : candidates) {
        const std::vector<std::string> files = DictionaryFiles(candidate, extension);
        if (files.empty())
            continue;
        for (const std::string& file : files)
            ReadDictionaryFile(file);
        return true;
    }
    return true;
}

// ---- Markers ------------------------------------------------------------------------------

struct Marker
{
    std::size_t start;         // where the opening begins
    std::size_t end;           // just after the closing (or the text's end)
    std::string_view argument; // between opening and closing
};

bool FindMarker(const std::string& text, std::size_t from, std::string_view opening,
                std::string_view closing, Marker& marker)
{
    const std::size_t start = text.find(opening, from);
    if (start == std::string::npos)
        return false;
    const std::size_t argumentStart = start + opening.size();
    const std::size_t close = text.find(closing, argumentStart);
    const std::size_t argumentEnd = close == std::string::npos ? text.size() : close;
    marker.start = start;
    marker.end = close == std::string::npos ? text.size() : close + closing.size();
    marker.argument = std::string_view(text).substr(argumentStart, argumentEnd - argumentStart);
    return true;
}

std::string_view FirstField(std::string_view argument)
{
    return argument.substr(0, argument.find(','));
}

void ExpandUnits(std::string& text)
{
    Marker marker;
    std::size_t from = 0;
    while (FindMarker(text, from, kUnitOpening, kUnitClosing, marker)) {
        const std::size_t comma = marker.argument.find(',');
        const std::string_view unit = FirstField(marker.argument);
        std::string replacement;
        if (const std::string* name = Find(State().unitNames, unit))
            replacement = *name;
        else if (comma != std::string_view::npos && comma + 1 < marker.argument.size())
            replacement = Translate(marker.argument.substr(comma + 1), true);
        else
            replacement = std::string(unit);
        text.replace(marker.start, marker.end - marker.start, replacement);
        from = marker.start + replacement.size();
    }
}

void ExpandTransdiff(std::string& text)
{
    Marker marker;
    std::size_t from = 0;
    while (FindMarker(text, from, kTransdiffOpening, kMarkerClosing, marker)) {
        const std::string current = Translate(marker.argument, true);
        const std::string* replaced = Find(State().replacedTexts, FirstField(marker.argument));
        std::string replacement;
        std::size_t start = marker.start;
        if (replaced != nullptr && current != *replaced)
            replacement = "(" + current + ")";
        else if (start > 0 && text[start - 1] == ' ')
            --start;
        text.replace(start, marker.end - start, replacement);
        from = start + replacement.size();
    }
}

void ExpandTranslate(std::string& text)
{
    Marker marker;
    std::size_t from = 0;
    while (FindMarker(text, from, kTranslateOpening, kMarkerClosing, marker)) {
        const std::string replacement = Translate(marker.argument, true);
        text.replace(marker.start, marker.end - marker.start, replacement);
        from = marker.start + replacement.size();
    }
}

std::size_t FirstCharacterSize(std::string_view key)
{
    return trv::CharacterSize(key, 0);
}

} // namespace

// ---- Translation --------------------------------------------------------------------------

std::string Translate(std::string_view key, bool stripAccelerators)
{
    if (key.empty())
        return {};
    DictionaryState& state = State();
    if (!state.loaded)
        LoadDictionary(false);

    std::size_t coreStart = 0;
    while (coreStart < key.size() && !IsAsciiAlnum(key[coreStart]))
        ++coreStart;
    std::size_t coreEnd = key.size();
    while (coreEnd > coreStart && !IsAsciiAlnum(key[coreEnd - 1]))
        --coreEnd;
    if (coreStart == key.size()) {
        // No letter or digit: the first character is looked up, the rest kept after it.
        coreStart = 0;
        coreEnd = FirstCharacterSize(key);
    }
    const std::string_view core = key.substr(coreStart, coreEnd - coreStart);
    const std::string* text = Find(state.dictionary, core);

    std::string result(key.substr(0, coreStart));
    result += text ? std::string_view(*text) : core;
    result += key.substr(coreEnd);
    if (stripAccelerators)
        StripMenuAccelerators(result);

    if (markerDepth >= kMaximumMarkerDepth)
        return result;
    ++markerDepth;
    ExpandUnits(result);
    ExpandTransdiff(result);
    ExpandTranslate(result);
    --markerDepth;
    return result;
}

namespace trv::detail {

namespace {

// Reads a '*' width or precision from the arguments.
bool TakeStar(const FormatArgument* arguments, std::size_t count, std::size_t& next, int& value)
{
    if (next >= count)
        return false;
    const FormatArgument& argument = arguments[next++];
    if (argument.kind == FormatArgument::Signed)
        value = static_cast<int>(argument.signedValue);
    else if (argument.kind == FormatArgument::Unsigned)
        value = static_cast<int>(argument.unsignedValue);
    else
        return false;
    return true;
}

} // namespace

bool FormatChecked(std::string_view format, const FormatArgument* arguments, std::size_t count,
                   std::string& out)
{
    out.clear();
    std::size_t next = 0;
    std::size_t index = 0;
    while (index < format.size()) {
        const char character = format[index++];
        if (character != '%') {
            out += character;
            continue;
        }
        if (index < format.size() && format[index] == '%') {
            out += '%';
            ++index;
            continue;
        }
        // %[flags][width][.precision][length]conversion, rebuilt without the length and
        // with '*' resolved.
        std::string spec = "%";
        while (index < format.size() &&
               std::string_view("-+ #0").find(format[index]) != std::string_view::npos)
            spec += format[index++];
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (index >= format.size() || format[index] != '.')
                    break;
                spec += format[index++];
            }
            if (index < format.size() && format[index] == '*') {
                int value = 0;
                if (!TakeStar(arguments, count, next, value))
                    return false;
                spec += std::to_string(value);
                ++index;
            }
            while (index < format.size() && IsAsciiDigit(format[index]))
                spec += format[index++];
        }
        while (index < format.size() &&
               std::string_view("hlLqjztI").find(format[index]) != std::string_view::npos) {
            if (format[index] == 'I' && format.substr(index, 3) == "I64")
                index += 2;
            else if (format[index] == 'I' && format.substr(index, 3) == "I32")
                index += 2;
            ++index;
        }
        if (index >= format.size() || next >= count)
            return false;
        const char conversion = format[index++];
        const FormatArgument& argument = arguments[next++];
        switch (conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X':
        case 'c': {
            if (argument.kind != FormatArgument::Signed &&
                argument.kind != FormatArgument::Unsigned)
                return false;
            const bool isSigned = conversion == 'd' || conversion == 'i' || conversion == 'c';
            const long long value = argument.kind == FormatArgument::Signed
                                        ? argument.signedValue
                                        : static_cast<long long>(argument.unsignedValue);
            if (conversion == 'c')
                out += FormatC((spec + "c").c_str(), static_cast<int>(value));
            else if (isSigned)
                out += FormatC((spec + "ll" + conversion).c_str(), value);
            else
                out += FormatC((spec + "ll" + conversion).c_str(),
                               static_cast<unsigned long long>(value));
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            double value = argument.floatingValue;
            if (argument.kind == FormatArgument::Signed)
                value = static_cast<double>(argument.signedValue);
            else if (argument.kind == FormatArgument::Unsigned)
                value = static_cast<double>(argument.unsignedValue);
            else if (argument.kind != FormatArgument::Floating)
                return false;
            out += FormatC((spec + conversion).c_str(), value);
            break;
        }
        case 's':
        case 'S': {
            if (argument.kind != FormatArgument::Text)
                return false;
            const std::string text(argument.textValue);
            out += FormatC((spec + "s").c_str(), text.c_str());
            break;
        }
        default:
            return false; // "%n", "%p" and unknown conversions
        }
    }
    return true;
}

} // namespace trv::detail

// ---- Loading and languages ----------------------------------------------------------------

bool LoadDictionary(bool force)
{
    return LoadLanguage(force, {});
}

bool SelectLanguage(bool store, std::string_view language)
{
    if (!language.empty()) {
        if (store)
            trv::WriteProfileString("Selected", "Language", language,
                                    CataloguePath(LanguagesFolder()));
        return LoadLanguage(true, language);
    }
    std::string folder;
    std::string selected;
    std::string description;
    if (!GetLanguageSettings(folder, selected, description) || selected.empty())
        return true;
    return LoadLanguage(true, {});
}

bool GetLanguageSettings(std::string& folder, std::string& language, std::string& description,
                         std::string_view givenLanguage)
{
    if (!givenLanguage.empty()) {
        folder = LanguagesFolder();
        language = std::string(givenLanguage);
        description = trv::GetProfileString("Descriptions", language, "", CataloguePath(folder));
        return true;
    }
    const std::string programFolder = trv::GetProgramFolder();
    const std::string candidates[] = {programFolder + "Languages/", programFolder, "./Languages/",
                                      "./"};
    for (const std::string& candidate : candidates) {
        language = trv::GetProfileString("Selected", "Language", "", CataloguePath(candidate));
        if (language.empty())
            continue;
        folder = candidate;
        description = trv::GetProfileString("Descriptions", language, "", CataloguePath(folder));
        return true;
    }
    folder = "./";
    description.clear();
    return false;
}

int GetSelectedLanguageId()
{
    std::string folder;
    std::string language;
    std::string description;
    GetLanguageSettings(folder, language, description);
    return trv::ParseInt(language);
}

namespace {

// The catalogue's "Descriptions" entries, "number=description"; `selected` gets the description
// of the chosen language.
std::vector<std::string> ReadDescriptionEntries(std::string& selected)
{
    std::string folder;
    std::string language;
    GetLanguageSettings(folder, language, selected);
    std::vector<std::string> entries;
    trv::GetProfileSection("Descriptions", CataloguePath(folder), entries);
    return entries;
}

} // namespace

std::string GetLanguageDescriptions(std::vector<std::string>& descriptions)
{
    std::string selected;
    for (const std::string& entry : ReadDescriptionEntries(selected)) {
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos)
            descriptions.push_back(entry.substr(equals + 1));
    }
    return selected;
}

std::string GetLanguageFromDescription(std::string_view description)
{
    std::string selected;
    for (const std::string& entry : ReadDescriptionEntries(selected)) {
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos &&
            std::string_view(entry).substr(equals + 1) == description)
            return entry.substr(0, equals);
    }
    return {};
}

bool SearchExtension(std::string& extension, const std::string& folder, std::string_view language)
{
    extension = trv::GetProfileString("Languages", language, "", CataloguePath(folder));
    if (!extension.empty())
        return true;
    const std::string languageText(language);
    WriteTrace(__FILE_NAME__, __LINE__, "SearchExtension", 1, false,
               "Error cargando extensión diccionarios. Path: %s, Language: %s", folder.c_str(),
               languageText.c_str());
    return false;
}

// ---- Overrides and units ------------------------------------------------------------------

void OverrideTranslations(const std::string& iniFile, std::string_view section)
{
    LoadDictionary(false);
    DictionaryState& state = State();
    std::vector<std::string> entries;
    trv::GetProfileSection(section, iniFile, entries);
    for (const std::string& entry : entries) {
        const std::size_t equals = entry.find('=');
        const std::string_view key = std::string_view(entry).substr(0, equals);
        const std::string_view text =
            equals == std::string::npos
                ? std::string_view()
                : trv::TrimRight(std::string_view(entry).substr(equals + 1));
        const std::string* current = Find(state.dictionary, key);
        if (current != nullptr && Find(state.replacedTexts, key) == nullptr)
            Store(state.replacedTexts, key, *current);
        if (!text.empty())
            Store(state.dictionary, key, text);
    }
}

void SetTranslation(std::string_view key, std::string_view text)
{
    LoadDictionary(false);
    Store(State().dictionary, key, text);
}

std::string GetReplacedTranslation(std::string_view key)
{
    if (const std::string* replaced = Find(State().replacedTexts, key))
        return *replaced;
    return Translate(key, true);
}

void SetUnitNames(std::string_view speed, std::string_view weight, std::string_view pressure,
                  std::string_view shortDistance, std::string_view longDistance,
                  std::string_view currency, std::string_view temperature, std::string_view volume,
                  std::string_view time, std::string_view minutes)
{
    State().unitNames.clear();
    SetUnitName("SPEED", speed);
    SetUnitName("WEIGHT", weight);
    SetUnitName("PRESSURE", pressure);
    SetUnitName("SHORT_DISTANCE", shortDistance);
    SetUnitName("LONG_DISTANCE", longDistance);
    SetUnitName("CURRENCY", currency);
    SetUnitName("TEMPERATURE", temperature);
    SetUnitName("VOLUME", volume);
    SetUnitName("TIME", time);
    SetUnitName("MIN", minutes);
}

void SetUnitName(std::string_view unit, std::string_view text)
{
    if (!text.empty())
        Store(State().unitNames, unit, text);
}

// ---- Accelerators and lines ---------------------------------------------------------------

void EnableAcceleratorStripping()
{
    State().keepAccelerators = false;
}

void StripMenuAccelerators(std::string& text)
{
    if (State().keepAccelerators)
        return;
    if (text.find("&&") == std::string::npos) {
        text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
        return;
    }
    std::size_t index = 0;
    while (text.size() >= 2 && index < text.size() - 1) {
        if (text[index] != '&') {
            ++index;
            continue;
        }
        if (text[index + 1] == '&' && index + 1 != text.size() - 1) {
            index += 2;
            continue;
        }
        text.erase(index, 1);
    }
}

std::string GetFirstLine(std::string_view text)
{
    return std::string(text.substr(0, text.find('\n')));
}

std::string GetSecondLine(std::string_view text)
{
    const std::size_t first = text.find('\n');
    if (first == std::string_view::npos)
        return {};
    const std::string_view rest = text.substr(first + 1);
    return std::string(rest.substr(0, rest.find('\n')));
}

namespace {

// The translated text of a command id, empty when the dictionary has none.
std::string CommandText(unsigned int id)
{
    LoadDictionary(false);
    const std::string key = std::to_string(id);
    if (Find(State().dictionary, key) == nullptr)
        return {};
    return Translate(key, true);
}

} // namespace

std::string TranslateResourcePrompt(unsigned int id)
{
    return GetFirstLine(CommandText(id));
}

std::string TranslateResourceString(unsigned int id)
{
    return GetSecondLine(CommandText(id));
}

bool TranslateToolTip(unsigned int id, std::string& text)
{
    text = trv::Left(TranslateResourceString(id), 79);
    return !text.empty();
}

namespace trv {

void ResetDictionary()
{
    State() = DictionaryState();
}

} // namespace trv
