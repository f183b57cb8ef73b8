// Key sets over entities of the demand model: every kind that moves, with opening hours, time
// windows, requirement values and additional information.

#include "MemoryFieldRecord.h"
#include "SampleEntity.h"
#include "TempFolder.h"
#include "model/Condicionantes.h"
#include "model/TimeWindow.h"
#include "params/FetchFieldRecord.h"
#include "params/VariablesKeys.h"
#include "params/VarsShowed.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct TEntity : TSampleEntity
{
    CTimeTable hours;
    CTimeWindow window;
    TRequirementValues requirements;
    CSmartStringArray orderInfo;
    int32_t minutes = 0;
    CSmartStringArray resourceInfo;
    CSmartStringArray lineInfo;
};

// The accessor of a field the entity takes from the shared sample, bound to the entity's type.
template <class Storage> TVarAccessorPtr Shared(Storage TSampleEntity::*member)
{
    return VarMember<TEntity, Storage>(member);
}

CSmartStringArray Names(std::initializer_list<const char*> names)
{
    CSmartStringArray array;
    for (const char* name : names)
        array.Add(name);
    return array;
}

std::vector<std::string> Items(const CSmartStringArray& texts)
{
    return {texts.begin(), texts.end()};
}

class EntityVariablesTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        source.tables["REQUIREMENTS"] = {
            {{"REQ_NAME", "FRIDGE"}, {"REQ_TYPE", "BOOL"}},
            {{"REQ_NAME", "AXLES"}, {"REQ_TYPE", ">"}},
            {{"REQ_NAME", "PERMITS"}, {"REQ_TYPE", "IN_LIST"}},
        };
        source.tables["ADDITIONAL_ORDERS_INFO"] = {{{"REQ_NAME", "REMARK"}}};
        source.tables["ADDITIONAL_RESOURCES_INFO"] = {{{"REQ_NAME", "DEPOT"}}};
        source.tables["ADDITIONAL_ORDERS_LINES_INFO"] = {{{"REQ_NAME", "BATCH"}},
                                                         {{"REQ_NAME", "SEAL"}}};
        requirements.LoadDefinitions(source, true, nullptr, false);
        orderInfo.LoadDefinitions(source, true, nullptr, false);
        resourceInfo.LoadDefinitions(source, true, nullptr, false);
        lineInfo.LoadDefinitions(source, true, nullptr, false);
        keys.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
        keys.SetDefinitionList(VAR_ORDER_INFO, &orderInfo);
        keys.SetDefinitionList(VAR_RESOURCE_INFO, &resourceInfo);
        keys.SetDefinitionList(VAR_ORDER_LINE_INFO, &lineInfo);

        const int all = VAR_USE_READ | VAR_USE_WRITE | VAR_USE_SHOWN;
        keys.AddBool("FLAG", Shared(&TEntity::flag), "", "", 0, 0, all);
        keys.AddInt("COUNT", Shared(&TEntity::count), "", "", 0, 0, all);
        keys.AddFloat("WEIGHT", Shared(&TEntity::weight), "", "", 0, 0, 1, all);
        keys.AddString("CODE", Shared(&TEntity::code), -1, "", "", "", 0, all);
        keys.AddVariable("DISTANCE", VAR_DOUBLE, Shared(&TEntity::distance), 0.0, "", "", 0, all,
                         -1, -1, 1, -1);
        keys.AddDate("DAY", Shared(&TEntity::day), "", "", trv::OleDate(), 0, all);
        keys.AddDuration("DURATION", Shared(&TEntity::duration), -1, -1, "", "", 0, 0, all);
        keys.AddTimeTable("HOURS", Names({"OPEN", "CLOSE"}), VarTimeTable(&TEntity::hours), "", "",
                          0, all, -1, -1, -1);
        keys.AddTimeWindow("WINDOW", Names({"FROM", "TO"}), VarTimeWindow(&TEntity::window), 360,
                           1200, 1320, "", "", 0, all, kUnsetTime);
        keys.AddRequirements("REQ", VarMember(&TEntity::requirements), "", "", 0, all);
        keys.AddVariableOfKind("ORDER_INFO", VarMember(&TEntity::orderInfo), VAR_ORDER_INFO, "", "",
                               0, all);
        keys.AddIntAsMinutes("MINUTES", VarMember(&TEntity::minutes), "", "", 0, 0, all);
        keys.AddEnum("LEVEL", Shared(&TEntity::level), Names({"A", "B"}), 0, 0, "", "", 0, all);
        keys.AddFloatAltFormat("VOLUME", Shared(&TEntity::volume), "", "", 0, 0, 1, all);
        keys.AddTime("TIME_OF_DAY", Shared(&TEntity::timeOfDay), "", "", 0, 0, all);
        keys.AddVariableOfKind("RESOURCE_INFO", VarMember(&TEntity::resourceInfo),
                               VAR_RESOURCE_INFO, "", "", 0, all);
        keys.AddFloatList("RANGES", Shared(&TEntity::ranges), "", "", 0, 1, all);
        keys.AddStringList("TAGS", Shared(&TEntity::tags), "", "", 0, all);
        keys.AddVariableOfKind("LINE_INFO", VarMember(&TEntity::lineInfo), VAR_ORDER_LINE_INFO, "",
                               "", 0, all);
        keys.AddWordList("GROUPS", Shared(&TEntity::groups), "", "", 0, 0, all);
        keys.AddCoordinates("", Names({"LON", "LAT", "HEIGHT"}), Shared(&TEntity::point), "", "", 0,
                            all, 12345678);
    }

    TEntity Filled()
    {
        TEntity entity;
        entity.flag = 1;
        entity.count = -17;
        entity.weight = 3.75f;
        entity.code = "Peña";
        entity.distance = 87.0625;
        entity.day = trv::OleDate(2024, 12, 31);
        entity.duration = 45;
        entity.hours.InsertWindow(480, 720);
        entity.hours.InsertWindow(900, 1140);
        entity.window = CTimeWindow(420, 1080);
        entity.requirements.Init(requirements.GetSize());
        entity.requirements.SetValue(0, 1);
        entity.requirements.SetValue(1, 3);
        entity.requirements.SetValue(2, Names({"P1", "P2"}));
        entity.orderInfo = Names({"fragile"});
        entity.minutes = 125;
        entity.level = 1;
        entity.volume = 0.5f;
        entity.timeOfDay = 1439;
        entity.resourceInfo = Names({"north"});
        entity.ranges.Add(1.5f);
        entity.ranges.Add(40.2f);
        entity.tags = Names({"x", "y", "z"});
        entity.lineInfo = Names({"L7", "S3"});
        entity.groups.Add(2);
        entity.point.longitude = -8.25;
        entity.point.latitude = 43.5;
        return entity;
    }

    static void ExpectEqual(const TEntity& a, const TEntity& b)
    {
        EXPECT_EQ(a.flag, b.flag);
        EXPECT_EQ(a.count, b.count);
        EXPECT_EQ(a.weight, b.weight);
        EXPECT_EQ(a.code, b.code);
        EXPECT_EQ(a.distance, b.distance);
        EXPECT_EQ(a.day, b.day);
        EXPECT_EQ(a.duration, b.duration);
        ASSERT_EQ(a.hours.GetSize(), b.hours.GetSize());
        for (int i = 0; i < a.hours.GetSize(); ++i)
            EXPECT_EQ(a.hours[i], b.hours[i]);
        EXPECT_EQ(a.window, b.window);
        ASSERT_EQ(a.requirements.GetCount(), b.requirements.GetCount());
        for (int i = 0; i < a.requirements.GetCount(); ++i) {
            EXPECT_EQ(a.requirements.GetInt(i), b.requirements.GetInt(i));
            EXPECT_EQ(a.requirements.GetSet(i) == nullptr, b.requirements.GetSet(i) == nullptr);
        }
        EXPECT_EQ(Items(a.orderInfo), Items(b.orderInfo));
        EXPECT_EQ(a.minutes, b.minutes);
        EXPECT_EQ(a.level, b.level);
        EXPECT_EQ(a.volume, b.volume);
        EXPECT_EQ(a.timeOfDay, b.timeOfDay);
        EXPECT_EQ(Items(a.resourceInfo), Items(b.resourceInfo));
        EXPECT_EQ(std::vector<float>(a.ranges.begin(), a.ranges.end()),
                  std::vector<float>(b.ranges.begin(), b.ranges.end()));
        EXPECT_EQ(Items(a.tags), Items(b.tags));
        EXPECT_EQ(Items(a.lineInfo), Items(b.lineInfo));
        EXPECT_EQ(std::vector<unsigned short>(a.groups.begin(), a.groups.end()),
                  std::vector<unsigned short>(b.groups.begin(), b.groups.end()));
        EXPECT_EQ(a.point.longitude, b.point.longitude);
        EXPECT_EQ(a.point.latitude, b.point.latitude);
    }

    std::string Text(TEntity& entity, const std::string& name)
    {
        int numeric = 0;
        return keys.FormatValue(keys.FindVariable(name), entity, numeric);
    }

    CMemoryRecordSource source;
    CListaCondicionantes requirements;
    CListaAddOrdersInfo orderInfo;
    CListaAddResourcesInfo resourceInfo;
    CListaAddOrdersLinesInfo lineInfo;
    CVariablesKeys keys;
};

TEST_F(EntityVariablesTest, EveryMovingKindSurvivesARecord)
{
    TEntity entity = Filled();
    CMemoryFieldRecord record;
    ASSERT_TRUE(keys.WriteToFetch(entity, record, 0, "ORDER", 0, nullptr));
    EXPECT_EQ(record.Current()["ORDER_AXLES"], "3"); // tagged and plain requirement fields
    EXPECT_EQ(record.Current()["AXLES"], "3");
    EXPECT_EQ(record.Current()["REMARK"], "fragile");
    EXPECT_EQ(record.Current()["OPEN"], "480|900");

    TEntity read;
    read.requirements.Init(requirements.GetSize());
    ASSERT_EQ(keys.ReadFromFetch(read, record, 0, nullptr), 1);
    ExpectEqual(entity, read);
}

// Written to a separated text file through the data definitions and read back.
TEST_F(EntityVariablesTest, EveryMovingKindSurvivesAnAsciiDefinition)
{
    const trv::test::TempFolder folder("trv_variables");
    const std::string file = folder.File("entities.txt");
    CFetchRecordSource definitions(TRV_TEST_DATA_DIR "/variables/Variables.ini", file);

    const TEntity entity = Filled();
    {
        std::unique_ptr<CFieldRecord> output =
            definitions.Open("ENTITIES", {.mode = TFieldRecordMode::write});
        ASSERT_NE(output, nullptr);
        TEntity copy = entity;
        ASSERT_TRUE(keys.WriteToFetch(copy, *output, 0, "", 0, nullptr));
        ASSERT_TRUE(output->WriteRecord());
    }
    const std::string text = trv::test::ReadFileBytes(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;

    const auto readAll = [&](const TFieldMap* fields) {
        std::vector<TEntity> entities;
        std::unique_ptr<CFieldRecord> input =
            definitions.Open("ENTITIES", {.mode = TFieldRecordMode::read});
        EXPECT_NE(input, nullptr);
        while (input && !input->IsEOF()) {
            if (!input->MoveNext())
                continue;
            TEntity read;
            read.requirements.Init(requirements.GetSize());
            EXPECT_EQ(keys.ReadFromFetch(read, *input, 0, fields), 1);
            entities.push_back(std::move(read));
        }
        return entities;
    };
    std::vector<TEntity> read = readAll(nullptr);
    ASSERT_EQ(read.size(), 1u) << text;
    ExpectEqual(entity, read[0]);

    // A field map limits what is written: the other fields stay empty in the file.
    {
        std::unique_ptr<CFieldRecord> output =
            definitions.Open("ENTITIES", {.mode = TFieldRecordMode::write});
        ASSERT_NE(output, nullptr);
        TEntity copy = entity;
        const TFieldMap fields = {{"CODE", ""}, {"FROM", "FROM"}};
        ASSERT_TRUE(keys.WriteToFetch(copy, *output, 0, "", 0, &fields));
        ASSERT_TRUE(output->WriteRecord());
    }
    read = readAll(nullptr);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].code, entity.code);
    EXPECT_EQ(read[0].window, entity.window);
    EXPECT_EQ(read[0].count, 0);
    EXPECT_EQ(read[0].hours.GetSize(), 0);
}

TEST_F(EntityVariablesTest, FieldMapLimitsReadAndWrite)
{
    TEntity entity = Filled();
    CMemoryFieldRecord record;
    const TFieldMap writeFields = {{"COUNT", ""}, {"OPEN", "OPEN"}, {"LON", "LON"}};
    ASSERT_TRUE(keys.WriteToFetch(entity, record, 0, "", 0, &writeFields));
    EXPECT_EQ(record.Current().count("COUNT"), 1u);
    EXPECT_EQ(record.Current().count("CODE"), 0u);
    EXPECT_EQ(record.Current()["CLOSE"], "720|1140");
    EXPECT_EQ(record.Current().count("LAT"), 1u);
    EXPECT_EQ(record.Current().count("FROM"), 0u);

    TEntity read;
    read.code = "untouched";
    read.window = CTimeWindow(1, 2);
    // Windows are selected by a field with a value, coordinates by a field naming itself.
    const TFieldMap readFields = {{"COUNT", ""}, {"CLOSE", "x"}, {"LAT", "LAT"}};
    ASSERT_EQ(keys.ReadFromFetch(read, record, 0, &readFields), 1);
    EXPECT_EQ(read.count, entity.count);
    EXPECT_EQ(read.code, "untouched");
    EXPECT_EQ(read.hours.GetSize(), 2);
    EXPECT_EQ(read.window, CTimeWindow(1, 2));
    EXPECT_EQ(read.point.latitude, 43.5);
}

TEST_F(EntityVariablesTest, WindowsShowAndParseWithinLimits)
{
    TEntity entity = Filled();
    EXPECT_EQ(Text(entity, "HOURS"), "08:00 - 19:00");
    EXPECT_EQ(Text(entity, "WINDOW"), "07:00 - 18:00");
    // Sort values: start x 1440 + end, also for an unset window (beyond 32 bits).
    const int window = keys.FindVariable("WINDOW");
    EXPECT_EQ(std::get<double>(keys.GetValueVariant(window, entity)), 420.0 * 1440 + 1080);
    TEntity unset;
    EXPECT_EQ(std::get<double>(keys.GetValueVariant(window, unset)),
              double(kUnsetTime) * 1440 + kUnsetTime);
    EXPECT_EQ(Text(entity, "REQ"), ""); // the variable names no definition
    struct Case
    {
        const char* text;
        CTimeWindow expected;
    } cases[] = {
        {"08:00 - 10:00", {480, 600}},
        {"05:00 - 23:30", {360, 1320}}, // start raised to 06:00, end lowered to 22:00
        {"06:00 - 06:00", {360, 1320}}, // both at the minimum: open until the second maximum
        {"15:00 - 09:00", {360, 1320}}, // reversed: the whole allowed span
        {"", {kUnsetTime, kUnsetTime}},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        keys.ParseValueText(keys.FindVariable("WINDOW"), text, entity);
        EXPECT_EQ(entity.window, c.expected) << c.text;
    }
}

TEST_F(EntityVariablesTest, ListKindsShowTheirDefinitions)
{
    TEntity entity = Filled();
    TVarKeyStruct copy;
    const int index = keys.FindVariable("REQ[1]", &copy);
    ASSERT_GE(index, 0);
    keys.GetVariable(index)->captionKey = copy.captionKey;
    EXPECT_EQ(Text(entity, "REQ[1]"), "3");
    EXPECT_EQ(std::get<int32_t>(keys.GetValueVariant(index, entity)), 3);
    keys.GetVariable(keys.FindVariable("LINE_INFO[1]"))->captionKey = "SEAL";
    EXPECT_EQ(Text(entity, "LINE_INFO[1]"), "S3");

    TVarsShowed shown;
    int leading = 0;
    CVariablesKeys::BuildShownColumns(keys, shown, leading, false, nullptr);
    EXPECT_EQ(shown.keyNames.FindFrom(0, "REQ[2]") >= 0, true);
    EXPECT_EQ(shown.keyNames.FindFrom(0, "LINE_INFO[1]") >= 0, true);
    EXPECT_EQ(shown.keyNames.FindFrom(0, "REQ[3]"), -1);
}

} // namespace
