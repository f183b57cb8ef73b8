#include "params/VariablesKeys.h"

#include "KLV/Translate.h"
#include "MemoryFieldRecord.h"
#include "SampleEntity.h"
#include "params/Variables.h"
#include "params/VarsShowed.h"

#include <gtest/gtest.h>

namespace {

using TSample = TSampleEntity;

struct TOther
{
    int32_t count = 0;
};

CSmartStringArray Names(std::initializer_list<const char*> names)
{
    CSmartStringArray array;
    for (const char* name : names)
        array.Add(name);
    return array;
}

// A definition list with fixed names.
class CFixedList : public CVariableDefinitionList
{
  public:
    explicit CFixedList(std::vector<std::string> names) : m_names(std::move(names)) {}
    int GetDefinitionCount() const override { return static_cast<int>(m_names.size()); }
    std::string GetDefinitionName(int index) const override { return m_names[index]; }
    std::string GetDefinitionExplanation(int index) const override
    {
        return "about " + m_names[index];
    }
    int FindByName(const std::string& name) const override
    {
        for (std::size_t i = 0; i < m_names.size(); ++i)
            if (m_names[i] == name)
                return static_cast<int>(i);
        return -1;
    }
    void ReadInformativeValues(CSmartStringArray&, CFieldRecord&) const override {}
    void WriteInformativeValues(CFieldRecord&, const CSmartStringArray&,
                                const TFieldMap*) const override
    {
    }
    void ParseValues(CFieldRecord&, bool, int, const TFieldMap*, bool,
                     TRequirementValues&) const override
    {
    }
    void WriteValues(CFieldRecord&, const std::string&, const TRequirementValues&,
                     const TFieldMap*) const override
    {
    }
    std::string GetValueText(const TRequirementValues&, int) const override { return {}; }
    int GetIntegerValue(const TRequirementValues&, int) const override { return 0; }

  private:
    std::vector<std::string> m_names;
};

class VariablesKeysTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        keys.m_pOwner = &owner;
        keys.AddBool("FLAG", VarMember(&TSample::flag), "Flag", "FlagExplanation", 0, 0, 7);
        keys.AddInt("COUNT", VarMember(&TSample::count), "Count", "", 3, 0, 7, 1, 100);
        keys.AddFloat("WEIGHT", VarMember(&TSample::weight), "Weight", "", 0, 0, 1, 7);
        keys.AddString("CODE", VarMember(&TSample::code), 5, "Code", "", "", 1, 7);
        keys.AddVariable("DISTANCE", VAR_DOUBLE, VarMember(&TSample::distance), 0.0, "", "", 0, 7,
                         -1, -1, 1, -1);
        keys.AddDate("DAY", VarMember(&TSample::day), "Day", "", trv::OleDate(), 0, 7);
        keys.AddDuration("STOP_DAYS", VarMember(&TSample::duration), 0, -1, "", "", 0, 0, 7);
        keys.AddEnum("LEVEL", VarMember(&TSample::level), Names({"LOW", "MID", "HIGH"}), 1, 1, "",
                     "", 0, 7);
        keys.AddFloatAltFormat("VOLUME", VarMember(&TSample::volume), "", "", 0, 0, 1, 7);
        keys.AddTime("START", VarMember(&TSample::timeOfDay), "", "", 0, 0, 7);
        keys.AddFloatList("RANGES", VarMember(&TSample::ranges), "", "", 0, 1, 7);
        keys.AddStringList("TAGS", VarMember(&TSample::tags), "", "", 0, 7);
        keys.AddWordList("GROUPS", VarMember(&TSample::groups), "", "", 0, 0, 7);
        keys.AddCoordinates("", Names({"LON", "LAT", "HEIGHT"}), VarMember(&TSample::point), "", "",
                            0, 7, 12345678);
        keys.AddVariable("WEIGHT + VOLUME", VAR_FLOAT_SUM, nullptr, {}, "", "", 0, 4, -1, -1, 0,
                         -1);
        keys.AddDateExpression("SCHEDULING_DATE + STOP_DAYS", "", "", trv::OleDate(), 0, 4);
        keys.AddWeekNumber("#WEEK#DAY", "", "", trv::OleDate(), 0, 4);
        keys.AddDayOfWeek("#DAYOFWEEK#DAY", "", "", trv::OleDate(), 0, 4);
    }

    int Index(const std::string& name) const { return keys.FindVariable(name); }
    std::string Text(const std::string& name)
    {
        int numeric = 0;
        return keys.FormatValue(Index(name), sample, numeric);
    }

    CVariables owner;
    CVariablesKeys keys;
    TSample sample;
};

TEST_F(VariablesKeysTest, AddersRefuseWrongItemCountsAndSetEnumLimits)
{
    const int before = keys.GetSize();
    EXPECT_EQ(keys.AddTimeWindow("W", Names({"A"}), nullptr, -1, -1, -1, "", "", 0, 3, 0), nullptr);
    EXPECT_EQ(keys.AddTimeTable("T", Names({"A", "B", "C"}), nullptr, "", "", 0, 3, -1, -1, -1),
              nullptr);
    EXPECT_EQ(
        keys.AddCoordinates("C", Names({"A", "B"}), VarMember(&TSample::point), "", "", 0, 3, 0),
        nullptr);
    EXPECT_EQ(keys.AddItemsVariable("I", 101, Names({"A"}), 2, nullptr, -1, "", "", 0, 3), nullptr);
    EXPECT_EQ(keys.GetSize(), before);

    const TVarKeyStruct* level = keys.GetVariable(Index("LEVEL"));
    EXPECT_EQ(level->minimum, 1);
    EXPECT_EQ(level->maximum, 4);
    EXPECT_EQ(keys.GetVariable(Index("LON,LAT,HEIGHT"))->GetKeyName(), "LON,LAT,HEIGHT");
    EXPECT_EQ(owner.Lookup("COUNT"), &keys);
    EXPECT_EQ(owner.Lookup("NOTHING"), nullptr);
}

TEST_F(VariablesKeysTest, FindsIndexedListVariables)
{
    CFixedList requirements({"FRIDGE", "LIFT", "AXLES"});
    keys.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
    keys.AddRequirements("REQ", nullptr, "", "", 0, 3);
    const int req = keys.GetSize() - 1;

    TVarKeyStruct copy;
    EXPECT_EQ(keys.FindVariable("REQ[2]", &copy), req);
    EXPECT_EQ(copy.captionKey, "AXLES");
    EXPECT_EQ(keys.FindVariable("REQ[3]"), -1);
    EXPECT_EQ(keys.FindVariable("REQ[5"), -1);
    EXPECT_EQ(keys.FindVariable("REQ[x]", &copy), req);
    EXPECT_EQ(copy.captionKey, "FRIDGE");
    EXPECT_EQ(keys.FindVariable("REQ"), -1);
    EXPECT_EQ(keys.FindVariable("count"), -1); // names are case-sensitive

    std::string names = "A";
    std::string flags = "T";
    std::string widths = "10";
    keys.ExpandListColumns(names, flags, widths, VAR_REQUIREMENTS);
    EXPECT_EQ(names, "A,REQ[0],REQ[1],REQ[2]");
    EXPECT_EQ(flags, "T,F,F,F");
    EXPECT_EQ(widths, "10,-1,-1,-1");
}

TEST_F(VariablesKeysTest, MovesEveryKindThroughARecordAndBack)
{
    sample.flag = 1;
    sample.count = 42;
    sample.weight = 12.5f;
    sample.code = "ÁBCDE";
    sample.distance = 1234.125;
    sample.day = trv::OleDate(2024, 2, 29);
    sample.duration = 95;
    sample.level = 3;
    sample.volume = 7.25f;
    sample.timeOfDay = 480;
    sample.ranges.Add(1.5f);
    sample.ranges.Add(40.25f);
    sample.tags.Add("red");
    sample.tags.Add("blue");
    sample.groups.Add(7);
    sample.groups.Add(9);
    sample.point.longitude = -3.5;
    sample.point.latitude = 40.25;

    CMemoryFieldRecord record;
    ASSERT_TRUE(keys.WriteToFetch(sample, record, 0, "", 0, nullptr));
    TSample read;
    ASSERT_EQ(keys.ReadFromFetch(read, record, 0, nullptr), 1);
    EXPECT_EQ(read.flag, 1);
    EXPECT_EQ(read.count, 42);
    EXPECT_EQ(read.weight, 12.5f);
    EXPECT_EQ(read.code, "ÁBCDE");
    EXPECT_EQ(read.distance, 1234.125);
    EXPECT_EQ(read.day, sample.day);
    EXPECT_EQ(read.duration, 95);
    EXPECT_EQ(read.level, 3);
    EXPECT_EQ(read.volume, 7.25f);
    EXPECT_EQ(read.timeOfDay, 480);
    ASSERT_EQ(read.ranges.GetSize(), 2);
    EXPECT_EQ(read.ranges[1], 40.25f);
    ASSERT_EQ(read.tags.GetSize(), 2);
    EXPECT_EQ(read.tags[1], "blue");
    ASSERT_EQ(read.groups.GetSize(), 2);
    EXPECT_EQ(read.groups[0], 7);
    EXPECT_EQ(read.point.longitude, -3.5);
    EXPECT_EQ(read.point.latitude, 40.25);
    EXPECT_TRUE(record.missingRequired.empty());
}

TEST_F(VariablesKeysTest, FieldMapLimitsTheReadAndUsageBitsSkip)
{
    CMemoryFieldRecord record;
    record.Current() = {{"COUNT", "9"}, {"CODE", "XY"}, {"WEIGHT", "2.5"}};
    const TFieldMap fields = {{"COUNT", ""}};
    sample.code = "KEEP";
    ASSERT_EQ(keys.ReadFromFetch(sample, record, 0, &fields), 1);
    EXPECT_EQ(sample.count, 9);
    EXPECT_EQ(sample.code, "KEEP");
    EXPECT_EQ(sample.weight, 0.0f);

    // Without the read bit nothing is read, and the read still succeeds.
    CVariablesKeys exportOnly;
    exportOnly.AddInt("COUNT", VarMember(&TSample::count), "", "", 0, 0, VAR_USE_WRITE);
    sample.count = 1;
    EXPECT_EQ(exportOnly.ReadFromFetch(sample, record, 0, nullptr), 1);
    EXPECT_EQ(sample.count, 1);
}

TEST_F(VariablesKeysTest, EntityOfAnotherTypeFailsTheRead)
{
    CMemoryFieldRecord record;
    record.Current() = {{"COUNT", "9"}};
    TOther other;
    EXPECT_EQ(keys.ReadFromFetch(other, record, 0, nullptr), 0);
    int numeric = 0;
    EXPECT_EQ(keys.FormatValue(Index("COUNT"), other, numeric), "");
}

TEST_F(VariablesKeysTest, RequiredTextIsReportedAndCut)
{
    CMemoryFieldRecord record;
    record.Current() = {{"CODE", ""}};
    keys.ReadFromFetch(sample, record, 0, nullptr);
    EXPECT_EQ(record.missingRequired, std::vector<std::string>{"CODE"});
    record.Current()["CODE"] = "ABCDEFGH";
    keys.ReadFromFetch(sample, record, 0, nullptr);
    EXPECT_EQ(sample.code, "ABCDE");
}

TEST_F(VariablesKeysTest, DisplayTextsPerKind)
{
    sample.count = 7;
    sample.weight = 0.5f;
    sample.level = 2;
    sample.duration = 95;
    sample.timeOfDay = 8 * 60 + 5;
    sample.groups.Add(0);
    sample.groups.Add(3);
    sample.ranges.Add(1.5f);
    sample.ranges.Add(40.2f);
    sample.volume = 1.0f;

    int numeric = 0;
    EXPECT_EQ(keys.FormatValue(Index("COUNT"), sample, numeric), "7");
    EXPECT_EQ(numeric, 1);
    EXPECT_EQ(keys.FormatValue(Index("CODE"), sample, numeric), "");
    EXPECT_EQ(numeric, 0);
    EXPECT_EQ(Text("WEIGHT"), "0.50");
    EXPECT_EQ(Text("LEVEL"), "MID");
    sample.level = 9;
    EXPECT_EQ(Text("LEVEL"), "");
    EXPECT_EQ(Text("STOP_DAYS"), "01:35");
    EXPECT_EQ(Text("START"), "08:05");
    EXPECT_EQ(Text("GROUPS"), "3.00"); // a zero is not shown
    EXPECT_EQ(Text("RANGES"), "1.50 - 40.20");
    EXPECT_EQ(Text("WEIGHT + VOLUME"), "1.50");
    EXPECT_EQ(Text("DAY"), ""); // the zero date shows empty
    EXPECT_EQ(Text("FLAG"), Translate("No"));
    EXPECT_EQ(Text("LON,LAT,HEIGHT"), "");
    sample.point.longitude = 1.5;
    sample.point.latitude = 2.25;
    EXPECT_EQ(Text("LON,LAT,HEIGHT"), "1.500000 - 2.250000");
}

TEST_F(VariablesKeysTest, ParsesEditedTexts)
{
    struct Case
    {
        const char* variable;
        const char* text;
        const char* shown;
    } cases[] = {
        {"COUNT", "500", "100"}, // lowered to the maximum
        {"COUNT", "-4", "1"},    // raised to the minimum
        {"LEVEL", "HIGH", "HIGH"},
        {"LEVEL", "NONE", "HIGH"}, // unknown names leave the value
        {"RANGES", "1.5 - 40.2", "1.50 - 40.20"},
        {"TAGS", "a - b - c", "a - b - c"},
        {"GROUPS", "4 - 0 - 6", "4.00 - 6.00"},
        {"STOP_DAYS", "02:30", "02:30"},
        {"DAY", "15/03/2024", "15/03/2024"},
        {"DAY", "", ""},
        {"LON,LAT,HEIGHT", "-3.5 - 40.25", "-3.500000 - 40.250000"},
        {"LON,LAT,HEIGHT", "", ""},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        keys.ParseValueText(Index(c.variable), text, sample);
        EXPECT_EQ(Text(c.variable), c.shown) << c.variable << " " << c.text;
    }
    std::string longText = "ABCDEFGH";
    keys.ParseValueText(Index("CODE"), longText, sample);
    EXPECT_EQ(longText, "ABCDE"); // the caller's text is cut too
    EXPECT_EQ(sample.point.kind, 2);
}

TEST_F(VariablesKeysTest, ConvertsNumbersAndTexts)
{
    float number = 0;
    std::string text = "12.5";
    keys.ConvertValueText(Index("WEIGHT"), number, text, 0);
    EXPECT_EQ(number, 12.5f);
    text.clear();
    number = 95;
    keys.ConvertValueText(Index("STOP_DAYS"), number, text, 0);
    EXPECT_EQ(text, "01:35");
    text.clear();
    number = 3e10f; // beyond 32 bits: the unset time
    keys.ConvertValueText(Index("STOP_DAYS"), number, text, 0);
    EXPECT_EQ(text, "");
    text.clear();
    number = 90;
    keys.ConvertValueText(Index("COUNT"), number, text, VAR_DURATION);
    EXPECT_EQ(text, "01:30");
    text = "anything";
    keys.ConvertValueText(Index("CODE"), number, text, 0);
    EXPECT_EQ(text, "");
}

TEST_F(VariablesKeysTest, DateExpressionsWeeksAndDays)
{
    keys.m_strReferenceToken = "SCHEDULING_DATE";
    keys.m_referenceDate = trv::OleDate(2024, 5, 10);
    sample.duration = 2880;
    int numeric = 0;
    EXPECT_EQ(keys.FormatValue(Index("SCHEDULING_DATE + STOP_DAYS"), sample, numeric),
              "12/05/2024");
    EXPECT_EQ(keys.EvaluateDateExpression("DAY + NOTHING + STOP_DAYS", sample),
              trv::OleDate(1900, 1, 1)); // zero date plus two days

    // 1 January 2023 is a Sunday: 1 to 8 January are week 1, Monday 9 January week 2.
    struct Case
    {
        int day;
        const char* week;
        const char* letter;
    } cases[] = {{1, " 1", "D"}, {2, " 1", "L"},  {8, " 1", "D"},
                 {9, " 2", "L"}, {14, " 2", "S"}, {31, " 5", "M"}};
    for (const Case& c : cases) {
        sample.day = trv::OleDate(2023, 1, c.day);
        EXPECT_EQ(Text("#WEEK#DAY"), c.week) << c.day;
        EXPECT_EQ(Text("#DAYOFWEEK#DAY"), c.letter) << c.day;
    }
    sample.duration = -2000000000; // before the first representable date
    EXPECT_FALSE(keys.EvaluateDateExpression("SCHEDULING_DATE + STOP_DAYS", sample).IsValid());
}

TEST_F(VariablesKeysTest, ImportedCoordinatesNeverEraseKnownOnes)
{
    const int located = 1;
    struct Case
    {
        double oldLongitude;
        int oldState;
        const char* newLongitude;
        double expected;
    } cases[] = {
        {kNoCoordinate, 2, "5", 5}, // no point yet: taken
        {4, 2, "", 4},              // nothing imported: kept
        {4, 2, "5", 5},             // another point: taken
        {4, located, "5", 4},       // found in the locations table: kept
    };
    for (const Case& c : cases) {
        sample.point = TGeoCoordinate();
        sample.point.longitude = c.oldLongitude;
        sample.point.latitude = c.oldLongitude == kNoCoordinate ? kNoCoordinate : 40;
        sample.point.kind = c.oldState;
        CMemoryFieldRecord record;
        record.Current() = {{"LON", c.newLongitude}, {"LAT", *c.newLongitude ? "41" : ""}};
        keys.ReadFromFetch(sample, record, 0, nullptr);
        EXPECT_EQ(sample.point.longitude, c.expected) << c.oldLongitude << " " << c.oldState;
    }
}

TEST_F(VariablesKeysTest, WordListWithoutValuesWritesNoField)
{
    CMemoryFieldRecord record;
    keys.WriteToFetch(sample, record, 0, "", 0, nullptr);
    EXPECT_EQ(record.Current().count("GROUPS"), 0u);
    EXPECT_EQ(record.Current().count("TAGS"), 1u);
}

// ---- Shown columns --------------------------------------------------------------------------

TEST(VarsShowedTest, BuildsListColumnsAndLeadingBlock)
{
    CFixedList requirements({"FRIDGE", "LIFT", "AXLES"});
    CVariablesKeys keys;
    keys.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
    keys.AddInt("A", nullptr, "CapA", "ExpA", 0, 0, VAR_USE_SHOWN);
    keys.AddInt("B", nullptr, "CapB", "", 0, 0, VAR_USE_SHOWN | VAR_USE_LEADING);
    keys.AddRequirements("REQ", nullptr, "", "", 0, VAR_USE_SHOWN);
    keys.AddInt("HIDDEN", nullptr, "", "", 0, 0, VAR_USE_READ);
    keys.AddInt("SECOND", nullptr, "", "", 0, 0, VAR_USE_SHOWN_SECOND | VAR_USE_LEADING_SECOND);

    TVarsShowed shown;
    int leading = 0;
    CVariablesKeys::BuildShownColumns(keys, shown, leading, false, nullptr);
    ASSERT_EQ(shown.GetCount(), 5);
    EXPECT_EQ(leading, 1);
    EXPECT_EQ(shown.keyNames[0], "B");
    EXPECT_EQ(shown.states[0], 1);
    EXPECT_EQ(shown.keyNames[1], "A");
    EXPECT_EQ(shown.keyNames[4], "REQ[2]");
    EXPECT_EQ(shown.GetCaption(4), "AXLES");
    EXPECT_EQ(shown.explanations[4], "about AXLES");
    EXPECT_EQ(shown.translateFlags[4], 0);
    EXPECT_EQ(shown.widths[4], "-1");
    EXPECT_EQ(shown.GetCaption(5), "");

    TVarsShowed second;
    leading = 0;
    CVariablesKeys::BuildShownColumns(keys, second, leading, true, nullptr);
    EXPECT_EQ(second.GetCount(), 6);
    EXPECT_EQ(second.keyNames[1], "SECOND");
    EXPECT_EQ(leading, 2);

    CFixedList filter({"A"});
    TVarsShowed filtered;
    leading = 0;
    CVariablesKeys::BuildShownColumns(keys, filtered, leading, false, &filter);
    ASSERT_EQ(filtered.GetCount(), 1);
    EXPECT_EQ(filtered.keyNames[0], "A");
}

TEST(VarsShowedTest, AppliesSavedLayouts)
{
    const auto build = [] {
        TVarsShowed shown;
        shown.AddColumn("L", "", "LEAD", 1, 1, "-1");
        for (const char* key : {"A", "B", "C", "D"})
            shown.AddColumn(key, "", key, 0, 1, "-1");
        return shown;
    };
    const auto orders = [](const TVarsShowed& shown) {
        std::vector<unsigned> result(shown.order.begin(), shown.order.end());
        return result;
    };
    CSmartIntArray flags;
    for (int flag : {0, 1, 0, 7})
        flags.Add(flag);

    // C and A placed first after the leading column, B and D follow; X is unknown.
    TVarsShowed shown = build();
    int leading = 1;
    shown.ApplySavedLayout(Names({"LEAD", "C", "X", "A"}), flags, Names({"50", "60", "", "70"}),
                           leading);
    EXPECT_EQ(orders(shown), (std::vector<unsigned>{1, 3, 4, 2, 5}));
    EXPECT_EQ(shown.widths[0], "50");
    EXPECT_EQ(shown.widths[3], "60");
    EXPECT_EQ(shown.widths[1], "70");
    EXPECT_EQ(shown.states[3], 2);
    EXPECT_EQ(shown.states[1], 3);
    EXPECT_EQ(leading, 3);

    // A named twice takes the later place; the earlier number goes to no column.
    shown = build();
    leading = 1;
    shown.ApplySavedLayout(Names({"LEAD", "A", "B", "A"}), flags, Names({}), leading);
    EXPECT_EQ(orders(shown), (std::vector<unsigned>{1, 4, 3, 5, 6}));

    // Flags missing from the layout count as 0.
    shown = build();
    leading = 1;
    shown.ApplySavedLayout(Names({"LEAD", "D", "C"}), CSmartIntArray(), Names({}), leading);
    EXPECT_EQ(orders(shown), (std::vector<unsigned>{1, 4, 5, 3, 2}));
    EXPECT_EQ(shown.states[4], 0);
}

} // namespace
