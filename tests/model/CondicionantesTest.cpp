#include "model/Condicionantes.h"

#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "params/FetchFieldRecord.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

namespace {

using Row = CMemoryFieldRecord::Row;

// Definitions of every type, as the requirements table lists them, plus one bad type.
std::vector<Row> RequirementRows()
{
    return {
        {{"REQ_NAME", "FRIDGE"}, {"REQ_TYPE", "BOOL"}, {"REQ_PREFERENT", "0"}},
        {{"REQ_NAME", "AXLES"},
         {"REQ_TYPE", ">"},
         {"REQ_PREFERENT", "10"},
         {"REQ_ORDER_VARIABLE", "ORDER_AXLES"}},
        {{"REQ_NAME", "HEIGHT"}, {"REQ_TYPE", "<"}},
        {{"REQ_NAME", "BRAND"}, {"REQ_TYPE", "4"}, {"REQ_DRIVER", "1"}},
        {{"REQ_NAME", "NOTE"}, {"REQ_TYPE", "FREE_TEXT"}},
        {{"REQ_NAME", "PERMITS"}, {"REQ_TYPE", "IN_LIST"}, {"REQ_PREFERENT", "YES"}},
        {{"REQ_NAME", "ZONES"}, {"REQ_TYPE", "NOT_IN_LIST"}, {"REQ_WAREHOUSE", "1"}},
        {{"REQ_NAME", "PALLETS"}, {"REQ_TYPE", ">+"}, {"REQ_LIST_VALUES", "S|M|L"}},
        {{"REQ_NAME", "WRONG"}, {"REQ_TYPE", "MAYBE"}},
    };
}

class CondicionantesTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SetTranslation("AndLow", "and");
        source.tables["REQUIREMENTS"] = RequirementRows();
        list.LoadDefinitions(source, true, nullptr, false);
    }
    void TearDown() override { trv::ResetDictionary(); }

    TRequirementValues Values(std::initializer_list<int> values)
    {
        TRequirementValues result;
        result.Init(list.GetSize());
        int i = 0;
        for (int value : values)
            result.SetValue(i++, value);
        return result;
    }

    static CSmartStringArray Texts(std::initializer_list<const char*> texts)
    {
        CSmartStringArray array;
        for (const char* text : texts)
            array.Add(text);
        return array;
    }

    trv::RecordingUserPrompt prompt;
    CMemoryRecordSource source;
    CListaCondicionantes list;
};

TEST_F(CondicionantesTest, LoadsEveryTypeAndDropsABadOne)
{
    ASSERT_EQ(list.GetSize(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(list[i]->type, i + 1) << list[i]->name;
        EXPECT_EQ(list[i]->index, i);
    }
    EXPECT_EQ(list[1]->weight, 10);
    EXPECT_EQ(list[5]->weight, 1); // "YES" reads as weight 1
    EXPECT_TRUE(list[3]->driver);
    EXPECT_TRUE(list[6]->warehouse);
    EXPECT_EQ(list[7]->GetListValuesText(), "S,M,L");
    EXPECT_EQ(list.m_strCaption, Translate("Requirement"));
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "NotAllowedDataType");
    EXPECT_EQ(list.FindByName("WRONG"), -1);
    EXPECT_EQ(list.FindByName("AXLES"), 1);
}

TEST_F(CondicionantesTest, EmptyTypeIsFreeTextOnlyForAdditionalInformation)
{
    source.tables["ADDITIONAL_ORDERS_INFO"] = {{{"REQ_NAME", "REMARK"}}};
    CListaAddOrdersInfo information;
    information.LoadDefinitions(source, true, nullptr, false);
    ASSERT_EQ(information.GetSize(), 1);
    EXPECT_EQ(information[0]->type, REQ_TYPE_FREE_TEXT);

    source.tables["REQUIREMENTS"] = {{{"REQ_NAME", "REMARK"}}};
    list.LoadDefinitions(source, true, nullptr, false);
    EXPECT_EQ(list.GetSize(), 0);

    CListaAddOrdersLinesInfo missing; // no definition: the list stays empty
    missing.LoadDefinitions(source, true, nullptr, false);
    EXPECT_EQ(missing.GetSize(), 0);
}

TEST_F(CondicionantesTest, ComparesOneRequirement)
{
    const int any = kAnyRequirementValue;
    CSmartSortNoRepeatStringArray a;
    a.AddSorted("A");
    CSmartSortNoRepeatStringArray ab;
    ab.AddSorted("A");
    ab.AddSorted("B");
    struct Case
    {
        const char* name;
        int resource;
        int order;
        bool weighted;
        int expected;
    } cases[] = {
        {"FRIDGE", 0, 1, false, 1},   {"FRIDGE", 0, 0, false, 0},
        {"FRIDGE", 1, 1, false, 0},   {"FRIDGE", any, 1, false, 0},
        {"FRIDGE", 0, any, false, 0}, {"AXLES", 3, 5, false, 0}, // preferent: no strict violation
        {"AXLES", 3, 5, true, 20},                               // weight 10 times 2
        {"AXLES", 6, 5, true, 0},     {"HEIGHT", 7, 5, false, 1},
        {"HEIGHT", 4, 5, false, 0},   {"NOTE", 1, 2, false, 0},
        {"BRAND", 1, 2, false, 0}, // a driver requirement outside driver mode
    };
    for (const Case& c : cases) {
        const int index = list.FindByName(c.name);
        EXPECT_EQ(list.CompareValue(index, int32_t{c.resource}, int32_t{c.order}, c.weighted, false,
                                    false),
                  c.expected)
            << c.name << " " << c.resource << " " << c.order;
    }
    EXPECT_EQ(list.CompareValue(3, int32_t{1}, int32_t{2}, false, true, false), 1);

    const auto set = [](const CSmartSortNoRepeatStringArray& texts) {
        return TRequirementSlot(std::make_unique<CSmartSortNoRepeatStringArray>(texts));
    };
    const int permits = list.FindByName("PERMITS");
    const int zones = list.FindByName("ZONES");
    const CSmartSortNoRepeatStringArray empty;
    CSmartSortNoRepeatStringArray b;
    b.AddSorted("B");
    EXPECT_EQ(list.CompareValue(permits, set(empty), set(ab), true, false, false), 0);
    EXPECT_EQ(list.CompareValue(permits, set(a), set(b), true, false, false), 1);
    EXPECT_EQ(list.CompareValue(permits, set(a), set(ab), true, false, false), 0);
    // Warehouse requirements are judged in warehouse mode, strict or not.
    EXPECT_EQ(list.CompareValue(zones, set(a), set(ab), false, false, true), 1);
    EXPECT_EQ(list.CompareValue(zones, set(a), set(ab), false, false, false), 0);
    EXPECT_EQ(list.CompareValue(zones, set(a), set(b), false, false, true), 0);
}

TEST_F(CondicionantesTest, ComparesVectorsAndNamesTheFailures)
{
    const TRequirementValues resource =
        Values({0, 3, 9, 1, 0, kAnyRequirementValue, kAnyRequirementValue, 2});
    const TRequirementValues order =
        Values({1, 5, 5, 2, 0, kAnyRequirementValue, kAnyRequirementValue, 4});
    EXPECT_EQ(list.CompareValues(resource, order, false, false, false), 1);
    EXPECT_EQ(list.CompareValues(resource, order, true, false, false), 20);

    CSmartIntArray flags;
    for (int i = 0; i < list.GetSize(); ++i)
        flags.Add(1);
    list.MarkFailedRequirements(flags, resource, order);
    // BRAND fails as a driver requirement.
    EXPECT_EQ(list.GetFailedNamesText(flags), "FRIDGE, HEIGHT, BRAND and PALLETS");
    flags.SetSize(0);
    flags.Add(1);
    EXPECT_EQ(list.GetFailedNamesText(flags), "FRIDGE");
}

TEST_F(CondicionantesTest, MergesValuesOfSeveralRecords)
{
    TRequirementValues values;
    values.Init(list.GetSize());
    CMemoryFieldRecord record;
    const std::vector<Row> rows = {
        {{"FRIDGE", "0"},
         {"AXLES", "3"},
         {"HEIGHT", "3"},
         {"BRAND", "5"},
         {"PALLETS", "2"},
         {"PERMITS", "B|A"}},
        {{"FRIDGE", "1"},
         {"AXLES", "7"},
         {"HEIGHT", "7"},
         {"BRAND", "6"},
         {"PALLETS", "3"},
         {"PERMITS", "C"}},
        {{"FRIDGE", "0"}, {"AXLES", "5"}, {"HEIGHT", "5"}, {"PALLETS", ""}, {"PERMITS", "a"}},
    };
    for (const Row& row : rows) {
        record.Current() = row;
        list.ParseValues(record, true, 0, nullptr, true, values);
    }
    EXPECT_EQ(values.GetInt(0), 1);
    EXPECT_EQ(values.GetInt(1), 7);
    EXPECT_EQ(values.GetInt(2), 3);
    EXPECT_EQ(values.GetInt(3), 5);
    EXPECT_EQ(values.GetInt(7), 5); // summed; an empty value adds nothing
    EXPECT_EQ(list.GetValueText(values, 5), "A,B,C");

    // Without summing ">+" values are skipped; without merging the last record wins.
    TRequirementValues plain;
    plain.Init(list.GetSize());
    record.Current() = rows[0];
    list.ParseValues(record, true, 0, nullptr, false, plain);
    EXPECT_EQ(plain.GetInt(7), kAnyRequirementValue);
    record.Current() = rows[2];
    list.ParseValues(record, false, 0, nullptr, false, plain);
    EXPECT_EQ(plain.GetInt(3), kAnyRequirementValue);
    EXPECT_EQ(plain.GetInt(1), 5);
}

TEST_F(CondicionantesTest, ValueTexts)
{
    SetTranslation("Undefined", "-");
    list[1]->listValues = Texts({"S", "M", "L"});
    const TRequirementValues values = Values({1, 1, 2, 3, kAnyRequirementValue});
    EXPECT_EQ(list.GetValueText(values, 1), "M");
    EXPECT_EQ(list.GetValueText(values, 2), "2");
    EXPECT_EQ(list.GetValueText(values, 0), Translate("Yes"));
    EXPECT_EQ(list.GetValueText(values, 4), "-");
    EXPECT_EQ(list.GetValueText(values, 99), "");
    const TRequirementValues low = Values({0, -1});
    EXPECT_EQ(list.GetValueText(low, 1), "<S");
    const TRequirementValues high = Values({0, 5});
    EXPECT_EQ(list.GetValueText(high, 1), ">L");
}

TEST_F(CondicionantesTest, WritesValuesByOutputKind)
{
    TRequirementValues values = Values({1, 4, kAnyRequirementValue});
    values.SetValue(5, Texts({"X", "Y"}));
    CMemoryFieldRecord record;
    list.WriteValues(record, "ORDER", values, nullptr);
    EXPECT_EQ(record.Current()["ORDER_FRIDGE"], "1");
    EXPECT_EQ(record.Current()["ORDER_AXLES"], "4");
    EXPECT_EQ(record.Current()["ORDER_HEIGHT"], ""); // "not set"
    EXPECT_EQ(record.Current()["ORDER_PERMITS"], "X|Y");
    EXPECT_EQ(record.Current()["ORDER_ZONES"], "");

    CMemoryFieldRecord database;
    database.database = true;
    list.WriteValues(database, "", values, nullptr);
    EXPECT_EQ(database.Current()["FRIDGE"], "S");
    EXPECT_EQ(database.Current()["AXLES"], "4");
    EXPECT_EQ(database.Current()["HEIGHT"], "");

    // Read back, the record gives the same values.
    TRequirementValues read;
    read.Init(list.GetSize());
    record.Current() = {{"FRIDGE", "1"}, {"AXLES", "4"}, {"PERMITS", "X|Y"}};
    list.ParseValues(record, false, 0, nullptr, false, read);
    EXPECT_EQ(list.CompareValues(read, values, true, false, false), 0);
    EXPECT_EQ(list.GetValueText(read, 5), "X,Y");
}

TEST_F(CondicionantesTest, SavesDefinitionsThatLoadAgain)
{
    CMemoryRecordSource target;
    ASSERT_TRUE(list.SaveDefinitions(target));
    CListaCondicionantes reloaded;
    source.tables["REQUIREMENTS"] = target.tables["REQUIREMENTS"];
    reloaded.LoadDefinitions(source, true, nullptr, false);
    ASSERT_EQ(reloaded.GetSize(), list.GetSize());
    for (int i = 0; i < list.GetSize(); ++i) {
        EXPECT_EQ(reloaded[i]->name, list[i]->name);
        EXPECT_EQ(reloaded[i]->type, list[i]->type);
        EXPECT_EQ(reloaded[i]->weight, list[i]->weight);
        EXPECT_EQ(reloaded[i]->driver, list[i]->driver);
        EXPECT_EQ(reloaded[i]->warehouse, list[i]->warehouse);
        EXPECT_EQ(reloaded[i]->orderVariable, list[i]->orderVariable);
        EXPECT_EQ(reloaded[i]->listValues.GetSize(), list[i]->listValues.GetSize());
    }
}

TEST_F(CondicionantesTest, ChecksDefinitionsForTheWizard)
{
    prompt.calls.clear();
    EXPECT_FALSE(list.CheckDefinitions()); // NOT_IN_LIST and ">+" are not offered
    ASSERT_EQ(prompt.calls.size(), 1u);
    list.RemoveAt(6, 2);
    prompt.calls.clear();
    EXPECT_TRUE(list.CheckDefinitions());
    EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(CondicionantesTest, ValueVectorsOwnTheirSets)
{
    TRequirementValues values;
    values.Init(list.GetSize());
    EXPECT_TRUE(values.IsAllAny());
    values.SetValue(5, Texts({"B", "A", "b"}));
    ASSERT_NE(values.GetSet(5), nullptr);
    EXPECT_EQ(values.GetSet(5)->GetSize(), 2); // sorted, no repeats whatever the case
    EXPECT_TRUE(values.HasAny());

    TRequirementValues copy = values;
    values.SetValue(5, kAnyRequirementValue);
    EXPECT_EQ(values.GetSet(5), nullptr);
    ASSERT_NE(copy.GetSet(5), nullptr);
    EXPECT_EQ(copy.GetSet(5)->GetSize(), 2);

    // Copying over defined values asks first; No keeps them.
    TRequirementValues target = Values({1});
    prompt.questionAnswers.push_back(trv::PromptAnswer::No);
    target.CopyAsking(copy);
    EXPECT_EQ(target.GetSet(5), nullptr);
    prompt.questionAnswers.push_back(trv::PromptAnswer::Yes);
    target.CopyAsking(copy);
    EXPECT_NE(target.GetSet(5), nullptr);
    EXPECT_EQ(target.GetInt(0), 1);
}

// The requirements file as a company keeps it, read through its data definition.
TEST(CondicionantesFileTest, LoadsTheRequirementsFile)
{
    trv::RecordingUserPrompt prompt;
    CFetchRecordSource source(TRV_TEST_DATA_DIR "/requirements/Requirements.ini",
                              TRV_TEST_DATA_DIR "/requirements/requirements.txt");
    CListaCondicionantes list;
    list.LoadDefinitions(source, true, nullptr, false);

    ASSERT_EQ(list.GetSize(), 9);
    const int types[] = {1, 2, 3, 4, 5, 6, 7, 8, 4};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(list[i]->type, types[i]) << list[i]->name;
    EXPECT_EQ(list.FindByName("TAIL_LIFT"), -1);
    EXPECT_EQ(list[1]->weight, 10);
    EXPECT_EQ(list[1]->orderVariable, "ORDER_AXLES");
    EXPECT_EQ(list[1]->resourceVariable, "TRUCK_AXLES");
    EXPECT_EQ(list[5]->weight, 1); // "YES"
    EXPECT_TRUE(list[3]->driver);
    EXPECT_TRUE(list[6]->warehouse);
    EXPECT_FALSE(list[0]->driver);
    EXPECT_EQ(list[7]->GetListValuesText(), "S,M,L");
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "NotAllowedDataType");

    const TRequirementValues values = [&] {
        TRequirementValues result;
        result.Init(list.GetSize());
        result.SetValue(8, 1);
        return result;
    }();
    EXPECT_EQ(list.GetValueText(values, 8), "M");
}

} // namespace
