#pragma once

// A catalogue built over a definitions file of the test's own, with separated-file definitions
// that hold one column per field of chosen key sets: entities are written to such a file, read
// back and written again.

#include "CleanModelTest.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "TempFolder.h"
#include "model/Condicionantes.h"
#include "model/ModelContext.h"
#include "model/OrdersNavigation.h"
#include "model/VariableBuilders.h"
#include "params/FetchFieldRecord.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

inline constexpr const char* kFormats = "[BOOL]\nDEFAULT=1,0\n[TIME]\nDEFAULT=HH:MM\n"
                                        "[DATE]\nDEFAULT=DD/MM/YYYY\n[DEFAULT]\nDECIMAL_SEP=.\n";

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ';'))
        fields.push_back(field);
    if (!line.empty() && line.back() == ';')
        fields.emplace_back();
    return fields;
}

class KeySetFileTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        trv::ResetDictionary();
        Build("");
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        trv::ResetDictionary();
        CleanModelTest::TearDown();
    }

    // The catalogue built over a definitions file holding these widths.
    CTrevantorVariables& Build(const std::string& maximumCharacters)
    {
        program.Write("Data.ini", std::string(kFormats) + "[MAXIMUM_CHARACTERS]\n" +
                                      maximumCharacters + definitions);
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
        TrevantorVariables().SetEntityNavigation(&navigation);
        return TrevantorVariables();
    }

    static const TVarKeyStruct* Variable(int slot, const char* name)
    {
        const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(slot);
        return keys.GetVariable(keys.FindVariable(name));
    }

    // A separated definition with one column per field the key sets name, in registration order.
    void DefineColumns(const std::string& name, std::initializer_list<int> slots,
                       const CVariableDefinitionList* requirements = nullptr)
    {
        std::vector<std::string> columns;
        std::set<std::string> seen;
        std::set<std::string> listed; // several values written into one record
        auto add = [&](const std::string& column) {
            if (seen.insert(column).second)
                columns.push_back(column);
        };
        for (const int slot : slots) {
            const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(slot);
            for (int i = 0; i < keys.GetSize(); ++i) {
                const TVarKeyStruct& v = *keys.GetVariable(i);
                if (v.kind == VAR_REQUIREMENTS && requirements)
                    for (int n = 0; n < requirements->GetDefinitionCount(); ++n)
                        add(requirements->GetDefinitionName(n));
                else if (v.itemNames.GetSize() && v.kind != VAR_ENUM)
                    for (const std::string& item : v.itemNames) {
                        add(item);
                        if (v.kind == VAR_TIMETABLE || v.kind == VAR_RESOURCE_PERMISSIONS ||
                            v.kind == VAR_TANK_SET)
                            listed.insert(item);
                    }
                else if (!IsListKind(v.kind))
                    add(v.name);
                if (v.kind == VAR_WORD_LIST || v.kind == VAR_FLOAT_LIST ||
                    v.kind == VAR_STRING_LIST)
                    listed.insert(v.name);
            }
        }
        std::string lists;
        std::string section = "[" + name + "]\n";
        for (size_t i = 0; i < columns.size(); ++i) {
            section += columns[i] + "=" + std::to_string(i + 1) + "\n";
            if (listed.count(columns[i]))
                lists += (lists.empty() ? "" : ",") + columns[i];
        }
        definitions += "[" + name + "_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nKEY=" + columns[0] +
                       "\nLISTS_IN_SAMELINE=" + lists + "\n" + section;
        this->columns[name] = columns;
    }

    std::string Write(const std::string& definition, const std::string& file,
                      const std::function<bool(CFieldRecord&)>& write)
    {
        CFetchRecordSource source(program.File("Data.ini"), program.File(file));
        {
            std::unique_ptr<CFieldRecord> output =
                source.Open(definition, {.mode = TFieldRecordMode::write});
            EXPECT_NE(output, nullptr);
            if (!output)
                return {};
            output->ClearRecord();
            EXPECT_TRUE(write(*output));
            EXPECT_TRUE(output->WriteRecord());
        }
        std::ifstream in(program.File(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The entity written to a file, read from it into `read` and written again: both texts.
    template <class Entity>
    std::pair<std::string, std::string> RoundTrip(const std::string& definition, int entityKind,
                                                  Entity& entity, Entity& read)
    {
        CTrevantorVariables& catalogue = TrevantorVariables();
        const std::string first = Write(definition, "first.txt", [&](CFieldRecord& record) {
            return catalogue.WriteEntity(entityKind, entity, record, 0);
        });
        CFetchRecordSource source(program.File("Data.ini"), program.File("first.txt"));
        std::unique_ptr<CFieldRecord> input = source.Open(definition, {});
        EXPECT_NE(input, nullptr);
        if (!input || !input->MoveNext())
            return {first, ""};
        EXPECT_TRUE(catalogue.ReadEntity(entityKind, read, *input, 0, nullptr));
        input.reset();
        const std::string second = Write(definition, "second.txt", [&](CFieldRecord& record) {
            return catalogue.WriteEntity(entityKind, read, record, 0);
        });
        return {first, second};
    }

    // Requirement definitions FRIDGE (a flag) and AXLES (a least number), installed in every key
    // set by InstallRequirements.
    CListaCondicionantes& Requirements()
    {
        CMemoryRecordSource source;
        source.tables["REQUIREMENTS"] = {{{"REQ_NAME", "FRIDGE"}, {"REQ_TYPE", "BOOL"}},
                                         {{"REQ_NAME", "AXLES"}, {"REQ_TYPE", ">"}}};
        CListaCondicionantes& requirements = ModelContext().requirementDefinitions;
        requirements.LoadDefinitions(source, true, nullptr, false);
        return requirements;
    }
    void InstallRequirements(CListaCondicionantes& requirements)
    {
        for (int slot = 0; slot < KEYS_BUILT_COUNT; ++slot)
            TrevantorVariables().GetKeySet(slot).SetDefinitionList(VAR_REQUIREMENTS, &requirements);
    }

    // The value of a column in every line of a file written by DefineColumns' definition.
    std::string Column(const std::string& definition, const std::string& text,
                       const std::string& column, int line = 0)
    {
        const std::vector<std::string>& names = columns[definition];
        const auto at = std::find(names.begin(), names.end(), column);
        EXPECT_NE(at, names.end()) << column;
        const std::vector<std::string> fields = Fields(Lines(text).at(static_cast<size_t>(line)));
        const auto index = static_cast<size_t>(at - names.begin());
        return index < fields.size() ? fields[index] : std::string();
    }

    trv::test::ProgramFolder program{"trv_key_set_files"};
    std::string definitions;
    std::map<std::string, std::vector<std::string>> columns;
    COrdersNavigation navigation;
};
