// The catalogue's key sets as the model's builders fill them, pinned row by row by a golden list:
// names, kinds, usage, defaults, captions, widths and limits, in registration order.

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "TempFolder.h"
#include "model/VariableBuilders.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kGoldenFile = TRV_TEST_DATA_DIR "/variables/KeySets.txt";
// Widths handed out to the width keys the golden list names, so each key shows by its width.
constexpr int kFirstWidth = 1000;

struct TKeySetSection
{
    std::string title;
    std::vector<std::string> lines;
};

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!line.empty() && line.back() == separator)
        parts.emplace_back();
    return parts;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<TKeySetSection> ReadGolden()
{
    std::vector<TKeySetSection> sections;
    std::ifstream in(kGoldenFile);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            sections.push_back({line.substr(1, line.find(']') - 1), {}});
            continue;
        }
        if (!sections.empty())
            sections.back().lines.push_back(line);
    }
    return sections;
}

// Texts and the permission lists take their width from a width key.
bool HasWidth(int kind)
{
    return kind == VAR_STRING || kind == VAR_RESOURCE_PERMISSIONS;
}

std::string ValueText(const TVariableValue& value)
{
    struct
    {
        std::string operator()(std::monostate) const { return "empty"; }
        std::string operator()(bool flag) const { return flag ? "1" : "0"; }
        std::string operator()(int32_t number) const { return std::to_string(number); }
        std::string operator()(float number) const { return Number(number); }
        std::string operator()(double number) const { return Number(number); }
        std::string operator()(const std::string& text) const { return "\"" + text + "\""; }
        std::string operator()(const trv::OleDate& date) const
        {
            return date.GetValue() == 0 ? "empty" : Number(date.GetValue());
        }
        static std::string Number(double number)
        {
            char text[40];
            std::snprintf(text, sizeof text, "%.9g", number);
            return text;
        }
    } visitor;
    return std::visit(visitor, value);
}

// One golden line: name | kind | usage | required | default | caption | explanation | maximum
// (a text's width key, fixed width or -1) | minimum | second maximum | full precision | items.
std::string Describe(const TVarKeyStruct& variable, const std::map<int, std::string>& widthKeys)
{
    std::string maximum = std::to_string(variable.maximum);
    if (HasWidth(variable.kind)) {
        const auto key = widthKeys.find(variable.maximum);
        if (key != widthKeys.end())
            maximum = key->second;
    }
    std::string items;
    for (int i = 0; i < variable.itemNames.GetSize(); ++i)
        items += (i ? "," : "") + variable.itemNames[i];
    std::ostringstream line;
    line << variable.name << " | " << variable.kind << " | " << variable.usageMask << " | "
         << variable.required << " | " << ValueText(variable.defaultValue) << " | "
         << variable.captionKey << " | " << variable.explanationKey << " | " << maximum << " | "
         << variable.minimum << " | " << variable.secondMaximum << " | " << variable.rawFloat
         << " |" << (items.empty() ? "" : " " + items);
    return line.str();
}

class KeySetsTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // Item names are translated when the sets are built: no dictionary, the keys stand.
        trv::ResetDictionary();
        ResetUserParameters();
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        trv::ResetDictionary();
        ResetUserParameters();
    }

    CTrevantorVariables& Build(const std::string& maximumCharacters)
    {
        program.Write("Data.ini", "[MAXIMUM_CHARACTERS]\n" + maximumCharacters);
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
        return TrevantorVariables();
    }

    trv::test::ProgramFolder program{"trv_key_sets"};
};

// Sections are titled by slot number and entity kind: "[0 order]".
TEST_F(KeySetsTest, EveryKeySetEqualsItsGoldenList)
{
    const std::vector<TKeySetSection> golden = ReadGolden();
    ASSERT_FALSE(golden.empty()) << kGoldenFile;
    std::map<std::string, int> widths;
    std::map<int, std::string> widthKeys;
    for (const TKeySetSection& section : golden)
        for (const std::string& line : section.lines) {
            const std::vector<std::string> fields = Split(line, '|');
            ASSERT_EQ(fields.size(), 12u) << line;
            const std::string maximum = Trim(fields[7]);
            if (!HasWidth(std::stoi(Trim(fields[1]))) || maximum.empty() || maximum == "-1" ||
                std::isdigit(static_cast<unsigned char>(maximum[0])) || widths.count(maximum))
                continue;
            const int width = kFirstWidth + static_cast<int>(widths.size());
            widths[maximum] = width;
            widthKeys[width] = maximum;
        }
    std::string table;
    for (const auto& [key, width] : widths)
        table += key + "=" + std::to_string(width) + "\n";
    CTrevantorVariables& catalogue = Build(table);

    for (const TKeySetSection& section : golden) {
        SCOPED_TRACE(section.title);
        const int slot = std::stoi(section.title);
        const CTrevantorVariablesKeys& keys = catalogue.GetKeySet(slot);
        std::vector<std::string> actual;
        for (int i = 0; i < keys.GetSize(); ++i)
            actual.push_back(Describe(*keys.GetVariable(i), widthKeys));
        EXPECT_EQ(keys.GetSize(), static_cast<int>(section.lines.size()));
        for (size_t i = 0; i < std::max(actual.size(), section.lines.size()); ++i)
            EXPECT_EQ(i < actual.size() ? actual[i] : "(none)",
                      i < section.lines.size() ? section.lines[i] : "(none)")
                << "row " << i;
    }
}

// Captions, explanations and the item names of choices are dictionary keys: both languages
// hold a text for each.
TEST_F(KeySetsTest, EveryCaptionHasItsTextInBothLanguages)
{
    std::set<std::string> keys;
    for (const TKeySetSection& section : ReadGolden())
        for (const std::string& line : section.lines) {
            const std::vector<std::string> fields = Split(line, '|');
            ASSERT_EQ(fields.size(), 12u) << line;
            for (const size_t column : {5u, 6u})
                if (!Trim(fields[column]).empty())
                    keys.insert(Trim(fields[column]));
            if (Trim(fields[1]) == std::to_string(VAR_ENUM))
                for (const std::string& item : Split(Trim(fields[11]), ','))
                    keys.insert(item);
        }
    for (const char* file : {"English/Trevantor.eng", "Español/Trevantor.esp"}) {
        SCOPED_TRACE(file);
        std::vector<std::string> entries;
        ASSERT_TRUE(trv::GetProfileSection(
            "Strings", std::string(TRV_PROGRAM_DIR) + "/Languages/" + file, entries));
        std::set<std::string> texts;
        for (const std::string& entry : entries)
            texts.insert(entry.substr(0, entry.find('=')));
        for (const std::string& key : keys)
            EXPECT_TRUE(texts.count(key)) << key;
    }
}

} // namespace
