// The customizable dialogs' columns over the model's key sets: built-in and saved layouts, the
// column sets, the options models and the columns file rewritten at start-up.

#include "../KLV/TraceCapture.h"
#include "CatalogueModelTest.h"
#include "MemoryFieldRecord.h"
#include "TempFolder.h"
#include "model/Condicionantes.h"
#include "model/StopPoint.h"
#include "model/VariableBuilders.h"
#include "params/ParameterFiles.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

Names ToNames(const CSmartStringArray& items)
{
    return Names(items.begin(), items.end());
}

// The catalogue over the model's key sets, with a columns file in a folder of the test's own and
// two requirement definitions and one of each additional information.
class DialogColumnsTest : public CatalogueModelTest
{
  protected:
    void SetUp() override
    {
        CatalogueModelTest::SetUp();
        columnsFile = folder.File("Columns.ini");
        ColumnsFilePath = columnsFile;
        LoadRequirements({"FRIDGE", "AXLES"});
        source.tables["ADDITIONAL_ORDERS_INFO"] = {{{"REQ_NAME", "REMARK"}}};
        source.tables["ADDITIONAL_ORDERS_LINES_INFO"] = {{{"REQ_NAME", "BATCH"}}};
        source.tables["ADDITIONAL_RESOURCES_INFO"] = {{{"REQ_NAME", "DEPOT"}}};
        orderInfo.LoadDefinitions(source, true, nullptr, false);
        lineInfo.LoadDefinitions(source, true, nullptr, false);
        resourceInfo.LoadDefinitions(source, true, nullptr, false);
    }
    void TearDown() override
    {
        ColumnsFilePath.clear();
        CatalogueModelTest::TearDown();
    }

    void LoadRequirements(const Names& names)
    {
        auto& rows = source.tables["REQUIREMENTS"];
        rows.clear();
        for (const std::string& name : names)
            rows.push_back({{"REQ_NAME", name}, {"REQ_TYPE", "BOOL"}});
        requirements.LoadDefinitions(source, true, nullptr, false);
    }

    // The program starting: a new catalogue built over the columns file as it stands.
    CTrevantorVariables& Start()
    {
        ResetTrevantorVariables();
        CTrevantorVariables& catalogue = TrevantorVariables();
        for (int slot = 0; slot < KEYS_BUILT_COUNT; ++slot) {
            CTrevantorVariablesKeys& keys = catalogue.GetKeySet(slot);
            keys.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
            keys.SetDefinitionList(VAR_ORDER_INFO, &orderInfo);
            keys.SetDefinitionList(VAR_ORDER_LINE_INFO, &lineInfo);
            keys.SetDefinitionList(VAR_RESOURCE_INFO, &resourceInfo);
        }
        InstallVariableBuilders(catalogue);
        catalogue.Init();
        return catalogue;
    }

    void WriteColumns(const std::string& text) { folder.Write("Columns.ini", text); }
    std::string ReadColumns() const { return trv::test::ReadFileBytes(columnsFile); }
    std::string Saved(const std::string& key) const
    {
        return trv::GetProfileString("Customizable dialogs", key, "<missing>", columnsFile);
    }

    // The key names of a dialog's column set, in column order.
    static Names ColumnNames(int dialog)
    {
        Names names;
        const TTrevantorVariablesShowed* columns = TrevantorVariables().GetDialogColumns(dialog);
        for (int i = 0; i < columns->GetColumnCount(); ++i)
            names.push_back(columns->GetVariable(i)->GetKeyName());
        return names;
    }

    static int Load(int dialog, bool* builtIn = nullptr, bool allShown = false)
    {
        int count = -1;
        const bool used = TrevantorVariables().LoadDialogColumns(dialog, count, allShown);
        if (builtIn)
            *builtIn = used;
        return count;
    }

    trv::test::TempFolder folder{"trv_columns"};
    std::string columnsFile;
    CMemoryRecordSource source;
    CListaCondicionantes requirements;
    CListaAddOrdersInfo orderInfo;
    CListaAddOrdersLinesInfo lineInfo;
    CListaAddResourcesInfo resourceInfo;
};

TEST_F(DialogColumnsTest, AnEmptyFileGivesTheBuiltInLayoutsAndIsRewrittenAtStartUp)
{
    // The fixture's parameters are the constructor's: order types, warehouses, stop dates and
    // quantities are out of use, so the built-in layouts load those columns hidden.
    WriteColumns("; the user's notes\n"
                 "[Other]\n"
                 "Key = kept as it stands ; comment\n"
                 "\n"
                 "[Customizable dialogs]\n"
                 "; layouts follow\n");
    Start();
    const std::string golden =
        trv::test::ReadFileBytes(std::string(TRV_TEST_DATA_DIR) + "/columns/Columns.ini");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(ReadColumns(), golden);
    for (int dialog = 0; dialog < kDialogCount; ++dialog) {
        bool builtIn = false;
        EXPECT_GT(Load(dialog, &builtIn), 0) << dialog;
        EXPECT_TRUE(builtIn) << dialog;
    }
    EXPECT_EQ(ColumnNames(DIALOG_ORDERS),
              (Names{"ORDER_CODE", "CUSTOMER_NAME", "CUSTOMER_CITY", "CUSTOMER_CP", "CUSTOMER_TIME",
                     "TOTAL_QUANTITY", "TOTAL_VOLUME"}));
    // Starting again over the rewritten file changes nothing.
    Start();
    EXPECT_EQ(ReadColumns(), golden);
}

TEST_F(DialogColumnsTest, WithoutAColumnsFileTheBuiltInLayoutsServeAndNothingIsWritten)
{
    ColumnsFilePath.clear();
    Start();
    bool builtIn = false;
    EXPECT_EQ(Load(DIALOG_ORDERS, &builtIn), 7);
    EXPECT_TRUE(builtIn);
    EXPECT_FALSE(std::filesystem::exists(columnsFile));
}

TEST_F(DialogColumnsTest, BuiltInLayoutsEndWithOneHiddenColumnPerAdditionalValue)
{
    CTrevantorVariables& catalogue = Start();
    struct Case
    {
        int dialog;
        std::string tail; // the last listed column, then the additional values
        int added;
    };
    const Case cases[] = {
        {DIALOG_ORDERS,
         ",PLATAFORMA_DISTRIBUCION_COST,ORDER_REQUIREMENTS[0],ORDER_REQUIREMENTS[1],"
         "ORDER_INFORMATIVE_VALUES[0],ORDER_LINE_INFORMATIVE_VALUES[0]",
         4},
        {DIALOG_SCHEDULED_RESOURCES,
         ",RESOURCE_FICTITIOUS,RESOURCE_REQUIREMENTS[0],RESOURCE_REQUIREMENTS[1],"
         "RESOURCE_INFORMATIVE_VALUES[0]",
         3},
        {DIALOG_WAREHOUSES,
         ",WAREHOUSE_COUNTRY,WAREHOUSE_REQUIREMENTS[0],WAREHOUSE_REQUIREMENTS[1]", 2},
        {DIALOG_STOP_POINTS,
         ",SUBTRIP_NUMBER,ORDER_REQUIREMENTS[0],ORDER_REQUIREMENTS[1],ORDER_INFORMATIVE_VALUES[0]",
         3},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.dialog);
        std::string names;
        std::string flags;
        std::string widths;
        catalogue.GetDefaultLayout(test.dialog, names, flags, widths);
        EXPECT_TRUE(names.ends_with(test.tail)) << names;
        std::string hidden;
        std::string automatic;
        for (int i = 0; i < test.added; ++i) {
            hidden += ",F";
            automatic += ",-1";
        }
        EXPECT_TRUE(flags.ends_with(hidden)) << flags;
        EXPECT_TRUE(widths.ends_with(automatic)) << widths;
    }
}

TEST_F(DialogColumnsTest, RequirementColumnsBeyondTheDefinitionsAreDroppedOnReading)
{
    LoadRequirements({"A", "B", "C", "D", "E"});
    const std::string layout = "[Customizable dialogs]\n"
                               "0=ORDER_CODE,ORDER_REQUIREMENTS[0],ORDER_REQUIREMENTS[3],"
                               "ORDER_REQUIREMENTS[4],ORDER_REQUIREMENTS[2]\n"
                               "0_BOOLS=T,T,T,T,T\n"
                               "0_WIDTHS=10,11,12,13,14\n"
                               "0_DEFAULT=NO\n";
    WriteColumns(layout);
    CTrevantorVariables& catalogue = Start();
    EXPECT_EQ(Load(DIALOG_ORDERS), 5);

    // Two definitions go: the same saved layout now reads three columns.
    LoadRequirements({"A", "B", "C"});
    WriteColumns(layout);
    CSmartStringArray names;
    CSmartIntArray flags;
    CSmartStringArray widths;
    EXPECT_FALSE(catalogue.ReadDialogLayout(DIALOG_ORDERS, names, flags, widths, false, false));
    EXPECT_EQ(ToNames(names),
              (Names{"ORDER_CODE", "ORDER_REQUIREMENTS[0]", "ORDER_REQUIREMENTS[2]"}));
    EXPECT_EQ(ToNames(widths), (Names{"10", "11", "14"}));
    // Each requirement column shows its own definition.
    ASSERT_EQ(Load(DIALOG_ORDERS), 3);
    const TTrevantorVariablesShowed& columns = *catalogue.GetDialogColumns(DIALOG_ORDERS);
    EXPECT_EQ(columns.GetVariable(1)->GetCaption(), "A");
    EXPECT_EQ(columns.GetVariable(2)->GetCaption(), "C");
    EXPECT_EQ(columns.GetColumnWidth(2), "14");
    std::string defaults;
    std::string defaultFlags;
    std::string defaultWidths;
    catalogue.GetDefaultLayout(DIALOG_ORDERS, defaults, defaultFlags, defaultWidths);
    EXPECT_EQ(defaults.find("ORDER_REQUIREMENTS[3]"), std::string::npos);
    EXPECT_NE(defaults.find("ORDER_REQUIREMENTS[2]"), std::string::npos);
}

TEST_F(DialogColumnsTest, AnUnusableSavedLayoutFallsBackAndIsTraced)
{
    const struct
    {
        const char* flags;
        const char* widths;
    } cases[] = {
        {"T,T", "10"},      // fewer widths than names
        {"T,X", "10,20"},   // a letter that is no flag
        {"T,t", "10,20"},   // flags are upper case
        {"T,T,T", "10,20"}, // more flags than names
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.flags) + " / " + test.widths);
        WriteColumns("");
        Start();
        const Names builtIn = (Load(DIALOG_ORDERS), ColumnNames(DIALOG_ORDERS));
        ASSERT_FALSE(builtIn.empty());

        const std::string names = "ORDER_CODE,CUSTOMER_NAME";
        WriteColumns("[Customizable dialogs]\n0=" + names + "\n0_BOOLS=" + test.flags +
                     "\n0_WIDTHS=" + test.widths + "\n0_DEFAULT=NO\n");
        bool usedBuiltIn = true;
        EXPECT_EQ(Load(DIALOG_ORDERS, &usedBuiltIn), 0);
        EXPECT_FALSE(usedBuiltIn);
        EXPECT_EQ(ColumnNames(DIALOG_ORDERS), builtIn); // the previous columns stay

        {
            TraceCapture trace(1);
            Start();
            EXPECT_EQ(TrevantorVariables().GetDialogOptions(DIALOG_ORDERS)->GetCount(), 0);
            const std::vector<std::string> messages = trace.Messages();
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find("0=" + names), std::string::npos) << messages[0];
            EXPECT_NE(messages[0].find(std::string("0_BOOLS=") + test.flags), std::string::npos);
            EXPECT_NE(messages[0].find(std::string("0_WIDTHS=") + test.widths), std::string::npos);
        }
        EXPECT_EQ(Saved("0"), "");
        EXPECT_EQ(Saved("0_BOOLS"), "");
        EXPECT_EQ(Saved("0_WIDTHS"), "");
        EXPECT_EQ(Saved("0_DEFAULT"), "NO");
        EXPECT_EQ(Load(DIALOG_ORDERS, &usedBuiltIn), static_cast<int>(builtIn.size()));
        EXPECT_TRUE(usedBuiltIn);
    }
}

TEST_F(DialogColumnsTest, TheDefaultFlagChoosesBetweenSavedAndBuiltIn)
{
    const struct
    {
        const char* flag;
        bool builtIn;
    } cases[] = {{"Yes", true}, {"YES", true}, {"Y", true},
                 {"NO", false}, {"", false},   {"yes", false}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.flag);
        WriteColumns(std::string("[Customizable dialogs]\n0=ORDER_CODE\n0_BOOLS=T\n0_WIDTHS=10\n"
                                 "0_DEFAULT=") +
                     test.flag + "\n");
        trv::ClearProfileCache();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        ColumnsFilePath.clear(); // build without rewriting the file
        TrevantorVariables().Init();
        ColumnsFilePath = columnsFile;
        bool builtIn = !test.builtIn;
        EXPECT_EQ(Load(DIALOG_ORDERS, &builtIn), test.builtIn ? 7 : 1);
        EXPECT_EQ(builtIn, test.builtIn);
        EXPECT_EQ(TrevantorVariables().GetDialogColumns(DIALOG_ORDERS)->m_bDefaultsUsed != 0,
                  test.builtIn);
    }
}

TEST_F(DialogColumnsTest, NamesInParenthesesAndUnknownNamesGiveNoColumn)
{
    WriteColumns("[Customizable dialogs]\n"
                 "0=ORDER_CODE,(CUSTOMER_START_TIME,CUSTOMER_END_TIME),NO_SUCH_NAME,CUSTOMER_NAME\n"
                 "0_BOOLS=T, T ,T,F\n"
                 "0_WIDTHS=10,20, 30 ,40\n");
    CTrevantorVariables& catalogue = Start();
    CSmartStringArray names;
    CSmartIntArray flags;
    CSmartStringArray widths;
    // The start-up rewrite left the two names out: read the user's layout again.
    WriteColumns("[Customizable dialogs]\n"
                 "0=ORDER_CODE,(CUSTOMER_START_TIME,CUSTOMER_END_TIME),NO_SUCH_NAME,CUSTOMER_NAME\n"
                 "0_BOOLS=T, T ,T,F\n"
                 "0_WIDTHS=10,20, 30 ,40\n");
    EXPECT_FALSE(catalogue.ReadDialogLayout(DIALOG_ORDERS, names, flags, widths, false, false));
    EXPECT_EQ(ToNames(names), (Names{"ORDER_CODE", "CUSTOMER_START_TIME,CUSTOMER_END_TIME",
                                     "NO_SUCH_NAME", "CUSTOMER_NAME"}));
    EXPECT_EQ((std::vector<int>(flags.begin(), flags.end())), (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(ToNames(widths), (Names{"10", "20", "30", "40"}));
    EXPECT_EQ(Load(DIALOG_ORDERS), 1);
    EXPECT_EQ(ColumnNames(DIALOG_ORDERS), Names{"ORDER_CODE"});

    ASSERT_TRUE(catalogue.BuildColumnOptions(DIALOG_ORDERS, false));
    const TVarsShowed& options = *catalogue.GetDialogOptions(DIALOG_ORDERS);
    for (const char* name : {"CUSTOMER_START_TIME,CUSTOMER_END_TIME", "NO_SUCH_NAME"})
        EXPECT_EQ(options.keyNames.FindFrom(0, name), -1) << name;

    // A key name holding "," is written in parentheses and read back as one name.
    TVarsShowed& edited = *catalogue.GetDialogOptions(DIALOG_ORDERS);
    const int entry = edited.keyNames.FindFrom(0, "CUSTOMER_NAME");
    ASSERT_GE(entry, 0);
    edited.keyNames[entry] = "A,B";
    catalogue.RewriteDialogLayout(DIALOG_ORDERS);
    EXPECT_NE(Saved("0").find(",(A,B),"), std::string::npos) << Saved("0");
    catalogue.ReadDialogLayout(DIALOG_ORDERS, names, flags, widths, false, false);
    EXPECT_GE(names.FindFrom(0, "A,B"), 0);
}

TEST_F(DialogColumnsTest, ABuiltInLayoutHidesColumnsOutOfUseAndASavedOneKeepsThem)
{
    const struct
    {
        int deliveryProblem;
        const char* saved; // "" for the built-in layout
        bool shown;
    } cases[] = {
        {0, "", false},
        {1, "", false},
        {2, "", true},
        {0, "[Customizable dialogs]\n0=ORDER_CODE,ORDER_TYPE\n0_BOOLS=T,T\n0_WIDTHS=-1,-1\n", true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.deliveryProblem);
        UserParameters().DeliveryProblem = test.deliveryProblem;
        WriteColumns(test.saved);
        CTrevantorVariables& catalogue = Start();
        CSmartStringArray names;
        CSmartIntArray flags;
        CSmartStringArray widths;
        catalogue.ReadDialogLayout(DIALOG_ORDERS, names, flags, widths, false, false);
        const int column = names.FindFrom(0, "ORDER_TYPE");
        ASSERT_GE(column, 0);
        EXPECT_EQ(flags[column] != 0, test.shown);
        Load(DIALOG_ORDERS);
        const Names loaded = ColumnNames(DIALOG_ORDERS);
        EXPECT_EQ(std::find(loaded.begin(), loaded.end(), "ORDER_TYPE") != loaded.end(),
                  test.shown);
    }
}

TEST_F(DialogColumnsTest, TheGroupByColumnIsLoadedButNotShown)
{
    WriteColumns("[Customizable dialogs]\n"
                 "4=TRAILER_CODE,DRIVER_NAME,TOTAL_KM\n"
                 "4_BOOLS=T,S,T\n"
                 "4_WIDTHS=70,90,50\n"
                 "4_DEFAULT=NO\n"
                 "4_TOTALS_FILTER=DRIVER_NAME\n"
                 "2=TRAILER_CODE,DRIVER_NAME\n"
                 "2_BOOLS=T,S\n"
                 "2_WIDTHS=70,90\n");
    CTrevantorVariables& catalogue = Start();
    EXPECT_EQ(catalogue.m_strGroupByKey, "DRIVER_NAME");
    EXPECT_EQ(Saved("4_TOTALS_FILTER"), "DRIVER_NAME");
    EXPECT_EQ(Saved("4_DEFAULT"), "NO");

    // The rewrite put the leading driver's code first, in the first saved column's place.
    ASSERT_EQ(Load(DIALOG_SCHEDULED_RESOURCES), 3);
    EXPECT_EQ(ColumnNames(DIALOG_SCHEDULED_RESOURCES),
              (Names{"DRIVER_CODE", "DRIVER_NAME", "TOTAL_KM"}));
    const int group = 1;
    EXPECT_TRUE(catalogue.GetScheduledResourcesVariable(group)->usageMask & kGroupByUsage);
    EXPECT_EQ(catalogue.GetShownColumnVariable(DIALOG_SCHEDULED_RESOURCES, group), nullptr);
    CSmartStringArray widths;
    catalogue.GetShownColumnWidths(DIALOG_SCHEDULED_RESOURCES, widths);
    EXPECT_EQ(ToNames(widths), (Names{"70", "50"}));
    const TVarsShowed& options = *catalogue.GetDialogOptions(DIALOG_SCHEDULED_RESOURCES);
    EXPECT_EQ(options.states[options.keyNames.FindFrom(0, "DRIVER_NAME")], 3);

    // Elsewhere "S" is just a shown column.
    Load(DIALOG_RESOURCES);
    const Names resources = ColumnNames(DIALOG_RESOURCES);
    const auto driver = std::find(resources.begin(), resources.end(), "DRIVER_NAME");
    ASSERT_NE(driver, resources.end());
    EXPECT_NE(catalogue.GetShownColumnVariable(DIALOG_RESOURCES,
                                               static_cast<int>(driver - resources.begin())),
              nullptr);
}

TEST_F(DialogColumnsTest, TheScheduledTripsShowOnlyTheFirstColumnSet)
{
    CTrevantorVariables& catalogue = Start();
    const struct
    {
        int dialog;
        int usage;
        bool shown;
    } cases[] = {
        {DIALOG_SCHEDULED_TRIPS, VAR_USE_SHOWN_SECOND, false},
        {DIALOG_SCHEDULED_TRIPS, VAR_USE_LEADING_SECOND, false},
        {DIALOG_SCHEDULED_TRIPS, VAR_USE_SHOWN, true},
        {DIALOG_SCHEDULED_TRIPS, VAR_USE_LEADING, true},
        {DIALOG_RESOURCES, VAR_USE_SHOWN_SECOND, true},
        {DIALOG_RESOURCES, VAR_USE_LEADING_SECOND, true},
        {DIALOG_RESOURCES, VAR_USE_READ | VAR_USE_WRITE, false},
        {DIALOG_SCHEDULED_RESOURCES, VAR_USE_SHOWN | kGroupByUsage, false},
        {kDialogCount, VAR_USE_SHOWN, false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(catalogue.IsColumnUsage(test.dialog, test.usage), test.shown)
            << test.dialog << " " << test.usage;
}

TEST_F(DialogColumnsTest, TheStopDateBringsItsPartFirstAndShowsThePlanningDatePlusTheArrival)
{
    UserParameters().SchedulingTime = 1;
    CTrevantorVariables& catalogue = Start();
    Load(DIALOG_SCHEDULED_TRIPS);
    const Names names = ColumnNames(DIALOG_SCHEDULED_TRIPS);
    const auto date = std::find(names.begin(), names.end(), "SCHEDULING_DATE + STOP_DAYS");
    ASSERT_NE(date, names.end());
    ASSERT_NE(date, names.begin());
    EXPECT_EQ(*(date - 1), "STOP_DAYS");
    const int column = static_cast<int>(date - names.begin());
    const TTrevantorVariablesShowed& columns = *catalogue.GetDialogColumns(DIALOG_SCHEDULED_TRIPS);
    EXPECT_EQ(columns.GetColumnWidth(column - 1), "");
    EXPECT_EQ(columns.GetColumnWidth(column), "70");
    EXPECT_EQ(catalogue.GetShownColumnVariable(DIALOG_SCHEDULED_TRIPS, column - 1), nullptr);
    EXPECT_EQ(catalogue.GetScheduledTripsEntityKind(column), ENTITY_STOP_POINT);

    catalogue.SetSchedulingDate(trv::OleDate(2026, 12, 9));
    CStopPoint stop;
    stop.start = 2000; // the next day, 09:20
    int notApplicable = 0;
    int numeric = 0;
    EXPECT_EQ(
        catalogue.GetVariableText(DIALOG_SCHEDULED_TRIPS, column, stop, notApplicable, numeric, -1),
        "10/12/2026");
    EXPECT_EQ(notApplicable, 0);
}

TEST_F(DialogColumnsTest, TheOptionsFollowTheSavedLayoutAndTheGridsWidthsAreStored)
{
    WriteColumns("[Customizable dialogs]\n"
                 "2=TRAILER_CODE,TRUCK_BASE_CITY,DRIVER_NAME,NOT_THERE,TRAILER_CAPACITY\n"
                 "2_BOOLS=T,T,S,T,F\n"
                 "2_WIDTHS=11,22,33,44,55\n"
                 "2_DEFAULT=NO\n");
    CTrevantorVariables& catalogue = Start();
    // One entry of the resource grid starts shown (the driver's code): it takes the first
    // place and the first width, whatever the saved column there; the saved columns follow.
    const TVarsShowed& options = *catalogue.GetDialogOptions(DIALOG_RESOURCES);
    const struct
    {
        const char* key;
        unsigned position;
        int state;
        const char* width;
    } expected[] = {
        {"DRIVER_CODE", 1, 1, "11"},  {"TRUCK_BASE_CITY", 2, 2, "22"},
        {"DRIVER_NAME", 3, 3, "33"},  {"TRAILER_CAPACITY", 4, 0, "55"},
        {"TRAILER_CODE", 0, 0, "-1"}, // placed after them, in model order
    };
    for (const auto& entry : expected) {
        SCOPED_TRACE(entry.key);
        const int index = options.keyNames.FindFrom(0, entry.key);
        ASSERT_GE(index, 0);
        if (entry.position != 0)
            EXPECT_EQ(options.order[index], entry.position);
        else
            EXPECT_GT(options.order[index], 4u);
        EXPECT_EQ(options.states[index], entry.state);
        EXPECT_EQ(options.widths[index], entry.width);
    }
    EXPECT_TRUE(
        Saved("2").starts_with("DRIVER_CODE,TRUCK_BASE_CITY,DRIVER_NAME,TRAILER_CAPACITY,"));
    EXPECT_TRUE(Saved("2_BOOLS").starts_with("T,T,S,F,"));
    EXPECT_TRUE(Saved("2_WIDTHS").starts_with("11,22,33,55,"));

    // The grid shows the three shown columns; a width list of another length changes nothing.
    ASSERT_EQ(Load(DIALOG_RESOURCES), 3);
    CSmartIntArray grid;
    grid.Add(101);
    grid.Add(102);
    catalogue.WriteDialogLayout(DIALOG_RESOURCES, &grid, 3);
    EXPECT_TRUE(Saved("2_WIDTHS").starts_with("11,22,33,55,"));
    grid.Add(103);
    catalogue.WriteDialogLayout(DIALOG_RESOURCES, &grid, 3);
    // Shown columns take the grid's widths; others of the built-in layout its widths.
    EXPECT_TRUE(Saved("2_WIDTHS").starts_with("101,102,103,-1,")) << Saved("2_WIDTHS");
    CSmartStringArray widths;
    catalogue.GetShownColumnWidths(DIALOG_RESOURCES, widths);
    EXPECT_EQ(ToNames(widths), (Names{"101", "102", "103"}));

    // Back to the built-in layout for the columns tab.
    ASSERT_TRUE(catalogue.BuildColumnOptions(DIALOG_RESOURCES, true));
    EXPECT_NE(catalogue.GetDialogColumns(DIALOG_RESOURCES)->m_bDefaultsUsed, 0);
    const int city = options.keyNames.FindFrom(0, "TRUCK_BASE_CITY");
    EXPECT_EQ(options.states[city], 2);
    EXPECT_EQ(options.states[options.keyNames.FindFrom(0, "DRIVER_NAME")], 2);
}

TEST_F(DialogColumnsTest, ANameSavedTwiceLeavesNoHoleInTheRewrittenLayout)
{
    // The later place wins and the earlier one is held by no entry: writing it as an empty
    // name would make the next start discard the whole layout.
    WriteColumns("[Customizable dialogs]\n"
                 "2=TRAILER_CODE,DRIVER_NAME,TRUCK_BASE_CITY,DRIVER_NAME\n"
                 "2_BOOLS=T,T,T,S\n"
                 "2_WIDTHS=1,2,3,4\n"
                 "2_DEFAULT=NO\n");
    Start();
    EXPECT_TRUE(Saved("2").starts_with("DRIVER_CODE,TRUCK_BASE_CITY,DRIVER_NAME,")) << Saved("2");
    EXPECT_TRUE(Saved("2_BOOLS").starts_with("T,T,S,F")) << Saved("2_BOOLS");
    bool builtIn = true;
    EXPECT_EQ(Load(DIALOG_RESOURCES, &builtIn), 3);
    EXPECT_FALSE(builtIn);
    Start();
    EXPECT_EQ(Load(DIALOG_RESOURCES, &builtIn), 3);
    EXPECT_FALSE(builtIn);
}

TEST_F(DialogColumnsTest, TheServiceTablesCanHoldEveryVariable)
{
    CTrevantorVariables& catalogue = Start();
    const struct
    {
        int dialog;
        int count;
        int firstKind;
    } cases[] = {
        {DIALOG_SERVICE_ORDERS, 189, ENTITY_ORDER},
        {DIALOG_SERVICE_RESOURCES, 173, ENTITY_TRUCK},
        {DIALOG_ORDERS, 0, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.dialog);
        Load(test.dialog);
        catalogue.ResetDialogColumns(test.dialog);
        const TTrevantorVariablesShowed& columns = *catalogue.GetDialogColumns(test.dialog);
        ASSERT_EQ(columns.GetColumnCount(), test.count);
        EXPECT_EQ(columns.GetColumnEntityKind(0), test.firstKind);
        for (int i = 0; i < columns.GetColumnCount(); ++i)
            EXPECT_EQ(columns.GetColumnWidth(i), "");
    }
}

TEST_F(DialogColumnsTest, LineColumnsAreTold)
{
    const struct
    {
        const char* columns;
        int customerInLines;
        bool lines;
    } cases[] = {
        {"ORDER_CODE,CUSTOMER_NAME", 0, false},
        {"ORDER_CODE,CUSTOMER_NAME", 1, true},
        {"ORDER_CODE,PRODUCT_NAME", 0, true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.columns);
        UserParameters().CustomerInOrderLines = test.customerInLines;
        WriteColumns(std::string("[Customizable dialogs]\n0=") + test.columns +
                     "\n0_BOOLS=T,T\n0_WIDTHS=-1,-1\n");
        CTrevantorVariables& catalogue = Start();
        Load(DIALOG_ORDERS);
        EXPECT_EQ(catalogue.DialogShowsLineVariables(DIALOG_ORDERS), test.lines);
    }
}

TEST_F(DialogColumnsTest, TheDefaultFlagsAreWrittenForEveryDialog)
{
    CTrevantorVariables& catalogue = Start();
    catalogue.GetDialogColumns(DIALOG_WAREHOUSES)->m_bDefaultsUsed = 0;
    trv::WriteProfileString("Customizable dialogs", "11_DEFAULT", "NO", columnsFile);
    catalogue.WriteDefaultFlags();
    for (int dialog = 0; dialog < kDialogCount; ++dialog)
        EXPECT_EQ(Saved(std::to_string(dialog) + "_DEFAULT"),
                  dialog == DIALOG_WAREHOUSES ? "NO" : "YES")
            << dialog;
}

} // namespace
