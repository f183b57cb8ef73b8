// Places from the locations table and warehouses from their files, through the program's own
// definitions file.

#include "../KLV/TraceCapture.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "model/ModelContext.h"
#include "model/ModelDialogs.h"
#include "model/VariableBuilders.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PlacesTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        trace.emplace(2);
        programFolder = trace->Folder().string() + "/";
        Write("Data.ini", ReadText(std::string(TRV_PROGRAM_DIR) + "/Data.ini"));
        ResetUserParameters();
        ResetModelContext();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
    }
    void TearDown() override
    {
        ResetModelContext();
        ResetTrevantorVariables();
        ResetUserParameters();
        CFetch::ResetDefinitionFiles();
    }

    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(programFolder + name, std::ios::binary) << text;
        return programFolder + name;
    }
    bool HasTrace(const std::string& text) const
    {
        const auto messages = trace->Messages();
        return std::any_of(messages.begin(), messages.end(), [&](const std::string& message) {
            return message.find(text) != std::string::npos;
        });
    }

    std::optional<TraceCapture> trace;
    std::string programFolder;
    const trv::OleDate planningDate{2024, 6, 3};
};

// ---- The locations table ------------------------------------------------------------------

// type;code;name;id;city;cp;suburb;street;nr;country;lon;lat;node;time;parking;feedback;phone;
// start;end
constexpr const char* kLocations =
    "TYPE;CODE;NAME;ID;CITY;CP;SUBURB;STREET;NR;COUNTRY;LON;LAT;NODE;TIME;PARK;FB;PHONE;S;E\n"
    "0;O'NEIL;Depot O'Neil;7;Madrid;28001;Centro;Gran Via;1;34;-3.7;40.4;N1;15;5;F1;555;08:00;"
    "14:00\n"
    "0;TWIN;First twin;;Sevilla;41001;;Feria;2;34;-5.9;37.3;;10;0;;;;\n"
    "0;TWIN;Second twin;;Cadiz;11001;;Ancha;3;34;-6.2;36.5;;10;0;;;;\n"
    "1;O'NEIL;Warehouse O'Neil;;Toledo;45001;;Real;9;34;-4.0;39.8;;20;0;;;;\n";

class LocationsTest : public PlacesTest
{
  protected:
    void SetUp() override
    {
        PlacesTest::SetUp();
        Write("Locations.csv", kLocations);
        locations().SetSchedulingDate(planningDate);
    }
    CLocations& locations() { return ModelContext().locations; }
};

TEST_F(LocationsTest, CodeWithAQuoteAndTheType)
{
    EXPECT_EQ(CLocations::CodeFilter(0, "O\"NEIL"),
              "LOCATION_TYPE=0 AND LOCATION_CODE=\"O\"\"NEIL\"");
    TLocationData target;
    target.code = "O'NEIL";
    ASSERT_TRUE(locations().ReadLocationByCode(0, "O'NEIL", &target, LOCATION_COPY, 0, 0, nullptr));
    EXPECT_EQ(target.name, "DEPOT O'NEIL");
    EXPECT_EQ(target.city, "MADRID");
    EXPECT_DOUBLE_EQ(target.coordinates.longitude, -3.7);
    // The filtered read agrees with the index.
    TLocationData filtered;
    ASSERT_TRUE(locations().ReadLocation(&filtered, CLocations::CodeFilter(1, "O'NEIL"),
                                         LOCATION_COPY, 0, 0, nullptr));
    EXPECT_EQ(filtered.city, "TOLEDO");
    EXPECT_FALSE(
        locations().ReadLocationByCode(2, "O'NEIL", &target, LOCATION_COPY, 0, 0, nullptr));
}

// A record already looked up answers from its state alone: the table is not read again, so a
// place found or refused once costs nothing on the next completion.
TEST_F(LocationsTest, CompletionReadsTheTableOnlyForPlacesNotLookedUp)
{
    struct Case
    {
        int state;
        bool located;
        bool expected;
        const char* name;
    };
    const Case cases[] = {
        {LOCATION_FOUND, false, true, ""},
        {LOCATION_NOT_FOUND, false, false, ""},
        {LOCATION_NOT_LOOKED_UP, true, true, ""},
        {LOCATION_NOT_LOOKED_UP, false, true, "DEPOT O'NEIL"},
    };
    UserParameters().PrioridadTrevantorSobreLocations = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << " located " << c.located);
        TLocationData record;
        record.code = "O'NEIL";
        if (c.located) {
            record.coordinates.longitude = -1.0;
            record.coordinates.latitude = 41.0;
        }
        record.SetLookupState(c.state);
        EXPECT_EQ(locations().CompleteLocation(0, record, nullptr), c.expected);
        EXPECT_EQ(record.name, c.name);
    }
}

TEST_F(LocationsTest, DuplicatedCodes)
{
    UserParameters().ShowDuplicatedLocations = 0;
    TLocationData first;
    EXPECT_TRUE(locations().ReadLocationByCode(0, "TWIN", &first, LOCATION_COPY, 0, 0, nullptr));
    EXPECT_EQ(first.city, "SEVILLA");
    EXPECT_TRUE(HasTrace("TENGO MAS DE UNA PARA ESE CODIGO"));

    UserParameters().ShowDuplicatedLocations = 1;
    {
        CRecordingLocationChooser chooser(1);
        TLocationData chosen;
        EXPECT_TRUE(
            locations().ReadLocationByCode(0, "TWIN", &chosen, LOCATION_COPY, 0, 0, nullptr));
        EXPECT_EQ(chosen.city, "CADIZ");
        ASSERT_EQ(chooser.shown.size(), 1u);
        EXPECT_EQ(chooser.shown[0][1].name, "SECOND TWIN");
    }
    CRecordingLocationChooser cancelling(-1);
    TLocationData untouched;
    untouched.city = "KEEP";
    EXPECT_FALSE(
        locations().ReadLocationByCode(0, "TWIN", &untouched, LOCATION_COPY, 0, 0, nullptr));
    EXPECT_EQ(untouched.city, "KEEP");
}

TEST_F(LocationsTest, OnlyTheSameAddressIsUpdated)
{
    UserParameters().UpdateLocationOnlyIfSameAddress = 1;
    TLocationData other;
    other.city = "Bilbao";
    EXPECT_TRUE(locations().ReadLocationByCode(0, "O'NEIL", &other, LOCATION_COPY, 0, 0, nullptr));
    EXPECT_EQ(other.name, "");
    EXPECT_TRUE(HasTrace("SON DIFERENTES NO TOCO NADA"));

    TLocationData same;
    same.city = "madrid";
    same.postcode = "28001";
    same.street = "gran via";
    same.streetNumber = 1;
    same.suburb = "centro";
    EXPECT_TRUE(locations().ReadLocationByCode(0, "O'NEIL", &same, LOCATION_COPY, 0, 0, nullptr));
    EXPECT_EQ(same.name, "DEPOT O'NEIL");
}

TEST_F(LocationsTest, FillOnlyAndOpeningHours)
{
    TLocationData target;
    target.name = "Our name";
    ASSERT_TRUE(locations().ReadLocationByCode(
        0, "O'NEIL", &target, LOCATION_COPY | LOCATION_FILL_EMPTY, LOCATION_COPY, 0, nullptr));
    EXPECT_EQ(target.name, "Our name");
    EXPECT_EQ(target.street, "GRAN VIA");
    // No windows and no mask: the table's hours are taken without a question.
    target.openingHours.weekDayMask = 0;
    trv::RecordingUserPrompt prompt;
    TLocationData empty;
    empty.openingHours.weekDayMask = 0;
    ASSERT_TRUE(locations().ReadLocationByCode(0, "O'NEIL", &empty, 0,
                                               LOCATION_COPY | LOCATION_ASK_FIRST, 0, nullptr));
    ASSERT_EQ(empty.openingHours.GetSize(), 1);
    EXPECT_EQ(empty.openingHours[0].start, 480);
    EXPECT_TRUE(prompt.calls.empty());

    // Windows of its own: asked, and "no" keeps them.
    TLocationData own;
    own.openingHours.InsertWindow(600, 700);
    prompt.questionAnswers.push_back(trv::PromptAnswer::No);
    ASSERT_TRUE(locations().ReadLocationByCode(0, "O'NEIL", &own, 0,
                                               LOCATION_COPY | LOCATION_ASK_FIRST, 0, nullptr));
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "DoUWannaOverwriteTimes");
    EXPECT_EQ(own.openingHours[0].start, 600);
}

TEST_F(LocationsTest, CompletingImportedRecords)
{
    TLocationData found;
    found.code = "O'NEIL";
    found.SetLookupState(LOCATION_NOT_FOUND);
    EXPECT_FALSE(locations().CompleteLocation(0, found, nullptr));
    found.SetLookupState(LOCATION_FOUND);
    EXPECT_TRUE(locations().CompleteLocation(0, found, nullptr));
    EXPECT_EQ(found.city, "");

    // A located record is not looked up without the program's priority.
    TLocationData located;
    located.code = "O'NEIL";
    located.coordinates.longitude = 1;
    located.coordinates.latitude = 2;
    EXPECT_TRUE(locations().CompleteLocation(0, located, nullptr));
    EXPECT_EQ(located.LookupState(), LOCATION_FOUND);
    EXPECT_EQ(located.city, "");

    TLocationData unknown;
    unknown.code = "NOWHERE";
    EXPECT_FALSE(locations().CompleteLocation(0, unknown, nullptr));
    EXPECT_EQ(unknown.LookupState(), LOCATION_NOT_FOUND);

    TLocationData plain;
    plain.code = "O'NEIL";
    EXPECT_TRUE(locations().CompleteLocation(0, plain, nullptr));
    EXPECT_EQ(plain.city, "MADRID");
}

TEST_F(LocationsTest, UnopenableTableFindsNothing)
{
    std::remove((programFolder + "Locations.csv").c_str());
    TLocationData target;
    EXPECT_FALSE(
        locations().ReadLocationByCode(0, "O'NEIL", &target, LOCATION_COPY, 0, 0, nullptr));
}

TEST(LocationRecord, AssignmentKeepsTheLookupStateAndComparisonIgnoresCase)
{
    TLocationData source;
    source.code = "A1";
    source.city = "Madrid";
    source.coordinates.longitude = 3;
    source.SetLookupState(LOCATION_NOT_FOUND);
    TLocationData target;
    target.SetLookupState(LOCATION_FOUND);
    target = source;
    EXPECT_EQ(target.LookupState(), LOCATION_FOUND);
    EXPECT_EQ(target.code, "A1");
    EXPECT_DOUBLE_EQ(target.coordinates.longitude, 3);

    TLocationData upper = source;
    upper.city = "MADRID";
    EXPECT_TRUE(upper.IsSameLocation(source));
    upper.streetNumber = 4;
    EXPECT_FALSE(upper.IsSameLocation(source));
}

// ---- Warehouses ---------------------------------------------------------------------------

// code;name;id;city;cp;street;country;lon;lat;node;time;parking;clean;feedback;phone;start;end;
// docks;minload;reduce;dock code;fixed hours
constexpr const char* kWareHouses =
    "mad;Madrid plant;;Madrid;28001;Sol;34;-3.7;40.4;;;5;0;;;06:00;22:00;3;0;0;D1;\n"
    "BCN;Barcelona;;Barcelona;08001;Rambla;34;2.1;41.3;;45;0;0;;;;;2;0;0;;LIST(20#,#20#,#20#,#20#,#"
    "20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20)"
    "\n"
    "MAD;Second Madrid;;Madrid;28001;Sol;34;0;0;;10;0;0;;;;;1;0;0;;\n"
    "VLC;Valencia;;Valencia;46001;Paz;34;-0.4;39.5;;20;0;0;;;;;1;0;0;;LIST(20#,#20#,#20#,#20#,#20#,"
    "#"
    "20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20#,#20)"
    "\n";

constexpr const char* kProducts = "MAD;P1;Diesel;100;1.5;12.5\n"
                                  "BCN;X7;Diesel;50;1.25;8\n"
                                  "BCN;P2;Petrol;70;2;9.5\n";

TEST_F(PlacesTest, WarehousesFromThePlansFiles)
{
    const std::string orders = Write("plan.ord", "");
    Write("plan.wrh", kWareHouses);
    Write("plan.prd-wrh", kProducts);
    UserParameters().ControlDocks = 1;
    CWareHouses& list = ModelContext().wareHouses;
    CSmartStringArray messages;
    ASSERT_TRUE(list.GeneralImport(1, orders, planningDate, messages, false, false));
    ASSERT_EQ(list.GetSize(), 3);
    // 24 fixed times: the minute tables are built.
    EXPECT_EQ(list[2]->fixedTimes.GetSize(), 24);
    EXPECT_TRUE(list[2]->HasFixedTimeTables());
    const CWareHouse& madrid = *list[0];
    EXPECT_EQ(madrid.GetCode(), "MAD");
    EXPECT_EQ(madrid.location.name, "MADRID PLANT");
    EXPECT_EQ(madrid.location.serviceMinutes, UserParameters().LoadTime);
    ASSERT_EQ(madrid.docksPerSlot.GetSize(), 1);
    EXPECT_EQ(madrid.docksPerSlot[0], 3);
    EXPECT_EQ(madrid.dockDataIndex, 0);
    const CWareHouse& barcelona = *list[1];
    EXPECT_EQ(barcelona.location.serviceMinutes, 45);
    // 23 fixed times are dropped with a trace line.
    EXPECT_EQ(barcelona.fixedTimes.GetSize(), 0);
    EXPECT_FALSE(barcelona.HasFixedTimeTables());
    EXPECT_TRUE(HasTrace("No estaban definidos todas las franjas horarias"));

    ASSERT_EQ(madrid.products.GetSize(), 1);
    ASSERT_EQ(barcelona.products.GetSize(), 2);
    EXPECT_EQ(madrid.products[0]->productIndex, barcelona.products[0]->productIndex);
    EXPECT_FLOAT_EQ(barcelona.GetProductSpeed(1), 9.5f);
    EXPECT_EQ(ModelContext().products.GetSize(), 2);

    // Saved and read again: the same warehouses and products, loading speeds included.
    const std::string saved = programFolder + "saved.ord";
    ASSERT_TRUE(list.SaveWareHouses(programFolder + "saved.wrh", planningDate));
    ASSERT_TRUE(list.SaveWareHouseProducts(programFolder + "saved.prd-wrh"));
    CWareHouses again;
    ASSERT_TRUE(again.GeneralImport(1, saved, planningDate, messages, false, false));
    ASSERT_EQ(again.GetSize(), 3);
    for (int i = 0; i < 3; ++i) {
        const CWareHouse& a = *list[i];
        const CWareHouse& b = *again[i];
        EXPECT_EQ(a.GetCode(), b.GetCode());
        EXPECT_EQ(a.location.name, b.location.name);
        EXPECT_EQ(a.location.serviceMinutes, b.location.serviceMinutes);
        EXPECT_EQ(a.availableDocks, b.availableDocks);
        EXPECT_EQ(a.fixedTimes.GetSize(), b.fixedTimes.GetSize());
        EXPECT_DOUBLE_EQ(a.location.coordinates.latitude, b.location.coordinates.latitude);
        EXPECT_EQ(a.location.openingHours.GetSize(), b.location.openingHours.GetSize());
        EXPECT_EQ(a.location.openingHours.firstDay, b.location.openingHours.firstDay);
        ASSERT_EQ(a.products.GetSize(), b.products.GetSize());
        for (int p = 0; p < a.products.GetSize(); ++p) {
            EXPECT_EQ(a.products[p]->name, b.products[p]->name);
            EXPECT_EQ(a.products[p]->productIndex, b.products[p]->productIndex);
            EXPECT_FLOAT_EQ(a.products[p]->stock, b.products[p]->stock);
            EXPECT_FLOAT_EQ(a.GetProductSpeed(p), b.GetProductSpeed(p));
        }
    }
}

// The internal database holds the warehouses of every company; only the running company's rows
// are imported.
TEST_F(PlacesTest, WarehousesFromTheCompanysDatabase)
{
    const std::string database = programFolder + "warehouses.db";
    const std::string create =
        "/usr/bin/python3 -c \"import sqlite3; c = sqlite3.connect('" + database +
        "'); c.execute('CREATE TABLE WAREHOUSES (WAREHOUSE_CODE VARCHAR(20), WAREHOUSE_NAME "
        "VARCHAR(40), WAREHOUSE_CITY VARCHAR(40), WAREHOUSE_CP VARCHAR(10), WAREHOUSE_STREET "
        "VARCHAR(40), WAREHOUSE_LONGITUDE DOUBLE, WAREHOUSE_LATITUDE DOUBLE, WAREHOUSE_TIME "
        "INTEGER, WAREHOUSE_AVAILABLE_DOCKS INTEGER, EMPRESA VARCHAR(20))'); "
        "c.execute(\\\"INSERT INTO WAREHOUSES VALUES ('MAD', 'Madrid plant', 'Madrid', '28001', "
        "'Sol', -3.7, 40.4, 15, 3, 'O''Brien'), ('BCN', 'Barcelona', 'Barcelona', '08001', "
        "'Rambla', 2.1, 41.3, 20, 2, 'SUR'), ('VLC', 'Valencia', 'Valencia', '46001', 'Paz', "
        "-0.4, 39.5, 25, 1, 'O''Brien')\\\"); c.commit()\"";
    if (std::system(create.c_str()) != 0)
        GTEST_SKIP() << "no python3 sqlite3 module";
    std::string definitions = ReadText(programFolder + "Data.ini");
    definitions.replace(definitions.find("[DEFAULT]\n"), 10,
                        "[DEFAULT]\nCONNECTION_STRING=Driver=SQLite3;Database=" + database + "\n");
    // SQLite limits a query the way MySQL does.
    const std::string format = "[INT_WAREHOUSESDB_FORMAT]\nTYPE=SQL";
    definitions.replace(definitions.find(format), format.size(),
                        "[INT_WAREHOUSESDB_FORMAT]\nTYPE=MYSQL");
    Write("Data.ini", definitions);
    trv::ClearProfileCache();
    trv::SetCompanyAlias("O'Brien");

    CWareHouses& list = ModelContext().wareHouses;
    CSmartStringArray messages;
    CRecordingFilterDialogFactory filters;
    const bool imported = list.GeneralImport(4, "", planningDate, messages, false, false);
    trv::SetCompanyAlias("");
    ASSERT_TRUE(imported) << "the SQLite ODBC driver is installed by tools/install-deps.sh";
    ASSERT_EQ(filters.created.size(), 1u);
    EXPECT_EQ(filters.created[0].first, FILTER_WAREHOUSES);
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list[0]->GetCode(), "MAD");
    EXPECT_EQ(list[1]->GetCode(), "VLC");
    EXPECT_EQ(list[1]->location.serviceMinutes, 25);
    EXPECT_EQ(list[0]->availableDocks, 3);
    EXPECT_DOUBLE_EQ(list[1]->location.coordinates.latitude, 39.5);
}

TEST_F(PlacesTest, ImportsThatReadNothingKeepTheList)
{
    CWareHouses& list = ModelContext().wareHouses;
    list.AddWareHouse()->location.code = "KEEP";
    CSmartStringArray messages;
    // No ".ord" to turn into ".wrh": nothing opens.
    EXPECT_FALSE(
        list.GeneralImport(1, programFolder + "plan.txt", planningDate, messages, false, false));
    {
        CRecordingFilterDialogFactory filters;
        filters.cancel = true;
        EXPECT_FALSE(list.GeneralImport(3, "", planningDate, messages, false, false));
        ASSERT_EQ(filters.created.size(), 1u);
        EXPECT_EQ(filters.created[0].first, FILTER_WAREHOUSES);
        EXPECT_EQ(filters.shownCount, 1);
    }
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list[0]->GetCode(), "KEEP");
}

TEST_F(PlacesTest, MissingCodesAreReportedToTheCaller)
{
    const std::string orders = Write("plan.ord", "");
    Write("plan.wrh", ";Without code;;Madrid;28001;Sol;34;0;0;;;;;;;;;1;0;0;;\n"
                      "VLC;Valencia;;Valencia;46001;Paz;34;0;0;;;;;;;;;1;0;0;;\n");
    CSmartStringArray messages;
    CWareHouses& list = ModelContext().wareHouses;
    trv::RecordingUserPrompt prompt;
    EXPECT_FALSE(list.GeneralImport(1, orders, planningDate, messages, false, false));
    EXPECT_GT(messages.GetSize(), 0);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list[0]->GetCode(), "VLC");
}

} // namespace
