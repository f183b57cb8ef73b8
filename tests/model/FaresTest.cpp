// Fare tables: the fare registry, price tables, special rules and the plan's fare files, read
// and written through the program's own definitions.

#include "model/Fares.h"

#include "../KLV/TraceCapture.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/Condicionantes.h"
#include "params/FetchFieldRecord.h"
#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct TOrder
{
    int32_t pallets = 0;
    TRequirementValues requirements;
    CSmartStringArray information;
};

struct TTrailer
{
    float axles = 0.0f;
};

struct TLoadState
{
    float totalKm = 0.0f;
};

// The header line of the plan's fare file, and a record of fare 7 of contract C1 with the
// given rule fields (type;weight;additional km;first time;variable;list name;format;cost).
constexpr const char* kFaresHeader = "header\n";
std::string FareRecord(const std::string& rule, const std::string& ids = "C1;7;")
{
    return ids + ";0;0;0;1000;50;10;5;0.5;1.5;0;" + rule + "\n";
}

class FaresTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        trv::test::WriteFileBytes(trace.Folder() / "Data.ini",
                                  trv::test::ReadFileBytes(TRV_PROGRAM_DIR "/Data.ini"));
        trv::SetCompanyAlias("ACME");
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
        RegisterKeySets();
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
    }

    // Small key sets of the catalogue with the variables the rules below name.
    void RegisterKeySets()
    {
        requirements.NewElement()->name = "ADR";
        requirements[0]->type = REQ_TYPE_BOOL;
        requirements.NewElement()->name = "HEIGHT";
        requirements[1]->type = REQ_TYPE_LESS_THAN;
        orderInformation.NewElement()->name = "Zone";

        CTrevantorVariables& catalogue = TrevantorVariables();
        CTrevantorVariablesKeys& order = catalogue.GetKeySet(KEYS_ORDER);
        order.AddInt("ORDER_PALLETS", VarMember(&TOrder::pallets), "", "", 0, 0, 3);
        order.AddRequirements("ORDER_REQUIREMENTS", VarMember(&TOrder::requirements), "", "", 0, 3);
        order.AddVariableOfKind("ORDER_INFORMATIVE_VALUES", VarMember(&TOrder::information),
                                VAR_ORDER_INFO, "", "", 0, 3);
        order.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
        order.SetDefinitionList(VAR_ORDER_INFO, &orderInformation);
        catalogue.GetKeySet(KEYS_TRAILER)
            .AddFloat("TRAILER_AXLES", VarMember(&TTrailer::axles), "", "", 0, 0, 1, 3);
        catalogue.GetKeySet(KEYS_LORRY_TOTALS)
            .AddFloat("TOTAL_KM", VarMember(&TLoadState::totalKm), "", "", 0, 0, 1, 3);
    }

    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = (trace.Folder() / name).string();
        trv::test::WriteFileBytes(path, text);
        return path;
    }

    bool Traced(const std::string& text) const
    {
        const std::vector<std::string> messages = trace.Messages();
        return std::any_of(messages.begin(), messages.end(), [&](const std::string& message) {
            return message.find(text) != std::string::npos;
        });
    }

    TraceCapture trace; // the program folder, with the trace log on
    CFetchRecordSource source;
    CListaCondicionantes requirements;
    CListaAddOrdersInfo orderInformation;
};

std::vector<float> PriceTable(const CFare& fare)
{
    return {fare.GetPriceTable(), fare.GetPriceTable() + fare.GetPriceTableLength()};
}

TEST(FareRegistry, NumericIdsKeepTheirNumberOthersGoToTheEnd)
{
    struct Case
    {
        const char* id;
        const char* subId;
        int index;
        std::size_t registrySize;
    };
    // One registry, registrations in this order.
    const Case cases[] = {
        {"7", "", 7, 8},            // grows with empty entries below 7
        {"7", "", 7, 8},            // a key registered again keeps its index
        {"7", "B", 8, 9},           // a sub-id makes it a text key: the next position at the end
        {"X", "", 9, 10},           // so does a text id
        {"3", "0", 3, 10},          // sub-id "0" counts as none
        {"3", "", 10, 11},          // position 3 holds "3@0": the key goes to the end
        {"2000000000", "", 11, 12}, // a large number is a text key, never a registry that size
        {"X", "", 9, 12},
    };
    CListaFares list;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id) + "@" + c.subId);
        EXPECT_EQ(list.RegisterFareIndex(c.id, c.subId), c.index);
        EXPECT_EQ(list.GetFareRegistry().size(), c.registrySize);
    }
    EXPECT_EQ(list.GetFareRegistry()[7], "7@");
    EXPECT_TRUE(list.GetFareRegistry()[0].empty());
    EXPECT_EQ(list.FindFareIndex("7", "B"), 8);
    EXPECT_EQ(list.FindFareIndex("8", ""), -1);

    CListaFares fresh;
    EXPECT_EQ(fresh.RegisterFareIndex("7", "0"), 7);
}

TEST(FarePriceTable, RowsBecomeOneEntryPerUnit)
{
    struct Case
    {
        const char* name;
        std::vector<TFareRow> rows;
        std::vector<float> table;
    };
    const auto repeat = [](std::vector<float> values, std::size_t count, float value) {
        values.insert(values.end(), count, value);
        return values;
    };
    const std::vector<float> upTo = repeat(repeat({}, 10, 5.0f), 11, 7.0f);
    const Case cases[] = {
        {"up to each key", {{10, 5.0f}, {20, 7.0f}}, upTo},
        {"rows out of order", {{20, 7.0f}, {10, 5.0f}}, upTo},
        {"from each key",
         {{-10, 5.0f}, {-20, 7.0f}},
         repeat(repeat(repeat({}, 10, 0.0f), 10, 5.0f), 1, 7.0f)},
        {"one row", {{0, 3.0f}}, {3.0f}},
        {"a key beyond the largest is left out",
         {{10, 5.0f}, {1000001, 9.0f}},
         repeat({}, 11, 5.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFare fare;
        for (const TFareRow& row : c.rows)
            fare.AddRow(row.key, row.price);
        fare.BuildPriceTable();
        EXPECT_EQ(PriceTable(fare), c.table);
    }

    CFare fare;
    EXPECT_TRUE(fare.AddRow(10, 5.0f));
    EXPECT_FALSE(fare.AddRow(10, 5.000001f)); // equal as row texts
    EXPECT_TRUE(fare.AddRow(10, 5.5f));
    fare.BuildPriceTable();
    // Equal keys apply in reading order: the boundary takes the later price.
    EXPECT_EQ(PriceTable(fare), repeat(repeat({}, 10, 5.0f), 1, 5.5f));

    CFare empty;
    empty.BuildPriceTable();
    EXPECT_EQ(empty.GetPriceTableLength(), 0);
}

TEST_F(FaresTest, KeysBeyondTheTableAreTracedWithTheirFare)
{
    Write("plan.far", kFaresHeader + FareRecord(""));
    Write("plan.sfar", "header\n7;;C1;1000001;9\n7;;C1;5;2\n");
    CListaFares list;
    ASSERT_EQ(list.LoadListaFares(source, (trace.Folder() / "plan.far").string(), 1), 1);
    EXPECT_EQ(PriceTable(*list.GetTable(0)->GetFare(7)), std::vector<float>(6, 2.0f));
    EXPECT_TRUE(Traced("Fare 7@ of C1: row key 1000001"));
}

TEST_F(FaresTest, RadialWithoutReturnIsNormalAndLoadingGoesOn)
{
    const std::string far = Write("plan.far", "header\n"
                                              "C1;1;;1;0;1;0;0;0;0;0;0;0\n"
                                              "C1;2;;1;2;0;0;0;0;0;0;0;1\n"
                                              "C1;3;;0;0;1;0;0;0;0;0;0;0\n");
    CListaFares list;
    ASSERT_EQ(list.LoadListaFares(source, far, 1), 1) << ::testing::PrintToString(trace.Messages());
    const CFares& table = *list.GetTable(0);
    EXPECT_EQ(table.GetFare(1)->GetType(), FARE_TYPE_NORMAL);
    EXPECT_TRUE(Traced("set_FareType, el tipo de la tarifa no es correcto"));
    EXPECT_EQ(table.GetFare(2)->GetType(), FARE_TYPE_RADIAL);
    EXPECT_EQ(table.GetFare(2)->GetTerms().mode, 2);
    EXPECT_EQ(table.GetFare(2)->GetTerms().deliveriesOnly, 1);
    EXPECT_EQ(table.GetFare(3)->GetType(), FARE_TYPE_NO_RETURN);
}

TEST_F(FaresTest, SpecialRulesFromThePlanResolveTheirValues)
{
    const std::string far = Write(
        "plan.far", kFaresHeader + FareRecord("TRIP;1;0;1;TOTAL_KM;;;2.5") +
                        FareRecord("ORDER;0;0;0;REQUIREMENT;HEIGHT;;3") +
                        FareRecord("ORDER;2;0;0;ADD_INFO;Zone;INTEGER;4") +
                        FareRecord("RESOURCE;0;1;0;TRAILER_AXLES;;;6") +
                        FareRecord("TRYP;0;0;0;TOTAL_KM;;;7") +
                        // Names nothing knows, or too short a text: dropped.
                        FareRecord("ORDER;0;0;0;NO_SUCH_VARIABLE;;;1") +
                        FareRecord("ORDER;0;0;0;REQUIREMENT;NO_SUCH;;1") +
                        FareRecord("ORDER;0;0;0;ADD_INFO;NoSuchInfo;BOOL;1") +
                        FareRecord("ORDER;0;0;0;REQUIREMENT;;;1") +
                        FareRecord("RESOURCE;0;0;0;DRIVER_AGE;;;1") + FareRecord("TRIP;;;;;;;9") +
                        // The same ids in another contract: rules of their own.
                        FareRecord("ORDER;0;0;0;ORDER_PALLETS;;;8", "C2;7;"));
    CListaFares list;
    ASSERT_EQ(list.LoadListaFares(source, far, 1), 1);
    const CFare& fare = *list.GetTable(0)->GetFare(7);
    ASSERT_EQ(fare.GetSpecialFareCount(), 5);
    EXPECT_EQ(list.GetTable(0)->GetMaxSpecialFares(), 5);

    const TSpecialFare& trip = fare.GetSpecialFare(0);
    EXPECT_EQ(trip.type, SPECIAL_FARE_TRIP);
    EXPECT_EQ(trip.weightDependency, 1);
    EXPECT_EQ(trip.additionalKm, 0);
    EXPECT_EQ(trip.payJustFirstTime, 1);
    EXPECT_EQ(trip.variableKind, VAR_FLOAT);
    EXPECT_FLOAT_EQ(trip.cost, 2.5f);
    TLoadState state{123.0f};
    ASSERT_NE(trip.member, nullptr);
    EXPECT_EQ(trip.member->Locate(state), &state.totalKm);

    const TSpecialFare& requirement = fare.GetSpecialFare(1);
    EXPECT_EQ(requirement.type, SPECIAL_FARE_ORDER);
    EXPECT_EQ(requirement.variableKind, VAR_REQUIREMENTS);
    EXPECT_EQ(requirement.listName, "HEIGHT");
    EXPECT_EQ(requirement.listIndex, 1);
    EXPECT_EQ(requirement.format, REQ_TYPE_LESS_THAN);

    const TSpecialFare& information = fare.GetSpecialFare(2);
    EXPECT_EQ(information.variableKind, VAR_ORDER_INFO);
    EXPECT_EQ(information.listIndex, 0);
    EXPECT_EQ(information.format, 2);
    EXPECT_EQ(information.weightDependency, 2);

    const TSpecialFare& resource = fare.GetSpecialFare(3);
    EXPECT_EQ(resource.type, SPECIAL_FARE_RESOURCE);
    EXPECT_EQ(resource.entity, SPECIAL_FARE_ENTITY_TRAILER);
    EXPECT_EQ(resource.additionalKm, 1);

    EXPECT_EQ(fare.GetSpecialFare(4).type, SPECIAL_FARE_UNKNOWN); // priced like a trip rule

    const CFare& other = *list.GetTable(1)->GetFare(7);
    ASSERT_EQ(other.GetSpecialFareCount(), 1);
    EXPECT_EQ(other.GetSpecialFare(0).variableName, "ORDER_PALLETS");
}

TEST_F(FaresTest, CompanyFaresTakeTheirRulesFromCustomData)
{
    Write("ACME/Configuration/CustomData.ini",
          "[SPECIAL_FARES]\n"
          "NIGHT=TRIP,1,0,1,TOTAL_KM\n"
          "PALLETS=ORDER,0,0,0,ORDER_PALLETS\n"
          "GHOST=ORDER,0,0,0,NO_SUCH\n"
          "[SUBFARES_SPECIALS]\nNIGHT=3\nPALLETS=4\nGHOST=5\n");
    Write("CustomerFares.csv", "header\nC1;7;;0;1;0;800;20;0\nC1;8;;0;0;0;0;0;0\n");
    Write("CustomerFareSpecials.csv", "header\n8;;1;1;1\n7;;12.5;0.75;1\n");
    Write("CustomerFareCosts.csv", "header\n"
                                   "C1;7;;10;5;11;1;2;0.5;900;30\n"
                                   "C1;7;;20;7;;;;;;\n"
                                   "NOBODY;7;;30;1;;;;;;\n"
                                   "C1;99;;30;1;;;;;;\n");
    CListaFares list;
    ASSERT_EQ(list.LoadListaFares(source, "", 3), 1);
    const CFare& fare = *list.GetTable(0)->GetFare(7);
    ASSERT_EQ(fare.GetSpecialFareCount(), 2);
    EXPECT_EQ(fare.GetSpecialFare(0).type, SPECIAL_FARE_TRIP);
    EXPECT_EQ(fare.GetSpecialFare(0).payJustFirstTime, 1);
    EXPECT_FLOAT_EQ(fare.GetSpecialFare(0).cost, 12.5f);
    EXPECT_EQ(fare.GetSpecialFare(1).variableName, "ORDER_PALLETS");
    EXPECT_FLOAT_EQ(fare.GetSpecialFare(1).cost, 0.75f);

    // Rows of unknown contracts or fares are skipped; the rows' terms replace the header's
    // only where the rows give them.
    EXPECT_EQ(fare.GetRows().size(), 2u);
    EXPECT_EQ(fare.GetPriceTableLength(), 21);
    const TFareTerms& terms = fare.GetTerms();
    EXPECT_FLOAT_EQ(terms.firstUnloadCost, 11.0f);
    EXPECT_FLOAT_EQ(terms.additionalUnloadKm, 0.5f);
    EXPECT_FLOAT_EQ(terms.minimumLoadKg, 900.0f);
    EXPECT_FLOAT_EQ(terms.minimumCost, 30.0f);
    EXPECT_EQ(terms.mode, 1);
    EXPECT_EQ(list.GetTable(0)->GetFare(8)->GetPriceTableLength(), 0);
}

// Everything a fare holds that a plan keeps.
void ExpectSameFares(const CListaFares& a, const CListaFares& b)
{
    ASSERT_EQ(a.GetSize(), b.GetSize());
    for (int t = 0; t < a.GetSize(); ++t) {
        const CFares& tableA = *a.GetTable(t);
        const CFares& tableB = *b.GetTable(t);
        EXPECT_EQ(tableA.GetName(), tableB.GetName());
        ASSERT_EQ(tableA.GetSize(), tableB.GetSize());
        for (int f = 0; f < tableA.GetSize(); ++f) {
            const CFare* fareA = tableA.GetFare(f);
            const CFare* fareB = tableB.GetFare(f);
            ASSERT_EQ(fareA == nullptr, fareB == nullptr) << f;
            if (!fareA)
                continue;
            SCOPED_TRACE(fareA->GetOrderId() + "/" + fareA->GetId() + "@" + fareA->GetSubId());
            EXPECT_EQ(fareA->GetId(), fareB->GetId());
            EXPECT_EQ(fareA->GetSubId(), fareB->GetSubId());
            EXPECT_EQ(fareA->GetType(), fareB->GetType());
            const TFareTerms& termsA = fareA->GetTerms();
            const TFareTerms& termsB = fareB->GetTerms();
            EXPECT_EQ(termsA.minimumLoadKg, termsB.minimumLoadKg);
            EXPECT_EQ(termsA.minimumCost, termsB.minimumCost);
            EXPECT_EQ(termsA.firstUnloadCost, termsB.firstUnloadCost);
            EXPECT_EQ(termsA.firstUnloadKm, termsB.firstUnloadKm);
            EXPECT_EQ(termsA.additionalUnloadCost, termsB.additionalUnloadCost);
            EXPECT_EQ(termsA.additionalUnloadKm, termsB.additionalUnloadKm);
            EXPECT_EQ(termsA.radial, termsB.radial);
            EXPECT_EQ(termsA.noReturn, termsB.noReturn);
            EXPECT_EQ(termsA.mode, termsB.mode);
            EXPECT_EQ(termsA.deliveriesOnly, termsB.deliveriesOnly);
            ASSERT_EQ(fareA->GetRows().size(), fareB->GetRows().size());
            for (std::size_t r = 0; r < fareA->GetRows().size(); ++r) {
                EXPECT_EQ(fareA->GetRows()[r].key, fareB->GetRows()[r].key);
                EXPECT_EQ(fareA->GetRows()[r].price, fareB->GetRows()[r].price);
            }
            EXPECT_EQ(PriceTable(*fareA), PriceTable(*fareB));
            ASSERT_EQ(fareA->GetSpecialFareCount(), fareB->GetSpecialFareCount());
            for (int s = 0; s < fareA->GetSpecialFareCount(); ++s) {
                const TSpecialFare& ruleA = fareA->GetSpecialFare(s);
                const TSpecialFare& ruleB = fareB->GetSpecialFare(s);
                EXPECT_EQ(ruleA.type, ruleB.type);
                EXPECT_EQ(ruleA.weightDependency, ruleB.weightDependency);
                EXPECT_EQ(ruleA.additionalKm, ruleB.additionalKm);
                EXPECT_EQ(ruleA.payJustFirstTime, ruleB.payJustFirstTime);
                EXPECT_EQ(ruleA.variableName, ruleB.variableName);
                EXPECT_EQ(ruleA.listName, ruleB.listName);
                EXPECT_EQ(ruleA.listIndex, ruleB.listIndex);
                EXPECT_EQ(ruleA.format, ruleB.format);
                EXPECT_EQ(ruleA.cost, ruleB.cost);
            }
        }
    }
}

TEST_F(FaresTest, APlanKeepsItsFaresThroughSavingAndLoading)
{
    const std::string far =
        Write("plan.far", kFaresHeader + FareRecord("TRIP;1;0;1;TOTAL_KM;;;2.5") +
                              FareRecord("ORDER;0;0;0;REQUIREMENT;HEIGHT;;3") +
                              "C1;X;B;1;4;0;700;40.25;12;6;1.5;2.5;1\n"
                              "C2;7;;0;0;1;0;0;0;0;0;0;0\n");
    Write("plan.sfar", "header\n7;;C1;10;5\n7;;C1;20;7\n7;;C1;10;5\n"
                       "X;B;C1;-100;123456.5\nX;B;C1;-200;0.1\n7;;C2;0;3\n");
    CListaFares first;
    ASSERT_EQ(first.LoadListaFares(source, far, 1), 1);
    ASSERT_EQ(first.GetSize(), 2);
    EXPECT_EQ(first.GetTable(0)->GetFare(7)->GetRows().size(), 2u); // the repeated row is one
    EXPECT_EQ(first.GetTable(0)->GetFare(first.FindFareIndex("X", "B"))->GetPriceTable()[150],
              123456.5f);

    // Written and read under a decimal-comma locale, then once more to show nothing drifts.
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"})
        if ((comma = std::setlocale(LC_ALL, name)) != nullptr)
            break;
    EXPECT_NE(comma, nullptr) << "tools/install-deps.sh generates de_DE.UTF-8";
    const std::string saved = (trace.Folder() / "saved" / "plan.far").string();
    std::filesystem::create_directories(trace.Folder() / "saved");
    ASSERT_TRUE(first.SaveFares(source, saved));
    CListaFares second;
    ASSERT_EQ(second.LoadListaFares(source, saved, 1), 1);
    std::setlocale(LC_ALL, "C");
    ExpectSameFares(first, second);

    const std::string provinces = (trace.Folder() / "saved" / "plan.pfar").string();
    EXPECT_TRUE(std::filesystem::exists(provinces));
    EXPECT_EQ(trv::test::ReadFileBytes(provinces), "");
    // The unload terms and minimums of a fare with rows come through the header records.
    const TFareTerms& terms =
        second.GetTable(0)->GetFare(second.FindFareIndex("X", "B"))->GetTerms();
    EXPECT_FLOAT_EQ(terms.minimumCost, 40.25f);
    EXPECT_FLOAT_EQ(terms.additionalUnloadKm, 2.5f);

    ASSERT_TRUE(second.SaveFares(source, saved));
    CListaFares third;
    ASSERT_EQ(third.LoadListaFares(source, saved, 1), 1);
    ExpectSameFares(second, third);
}

TEST_F(FaresTest, AFileWithoutFareExtensionReadsNoRows)
{
    const std::string plain = Write("plan.txt", kFaresHeader + FareRecord(""));
    Write("plan.txt.sfar", "header\n7;;C1;10;5\n");
    CListaFares list;
    ASSERT_EQ(list.LoadListaFares(source, plain, 1), 1);
    const CFare& fare = *list.GetTable(0)->GetFare(7);
    EXPECT_TRUE(fare.GetRows().empty());
    EXPECT_EQ(fare.GetPriceTableLength(), 0);

    // Saving under such a name writes the fares only, never the rows over them.
    EXPECT_TRUE(list.SaveFares(source, plain));
    CListaFares again;
    ASSERT_EQ(again.LoadListaFares(source, plain, 1), 1);
    EXPECT_NE(again.GetTable(0)->GetFare(7), nullptr);
}

TEST_F(FaresTest, AFareFileThatDoesNotOpenLeavesEmptyTablesForKnownNames)
{
    const std::string far =
        Write("plan.far", kFaresHeader + FareRecord("") + "C1;X;B;0;0;0;0;0;0;0;0;0;0\n");
    CListaFares list;
    ASSERT_EQ(list.LoadListaFares(source, far, 1), 1);
    list.GetTableIndex("LATER"); // an order's contract named after the load

    EXPECT_EQ(list.LoadListaFares(source, (trace.Folder() / "missing.far").string(), 1), 0);
    ASSERT_EQ(list.GetSize(), 2);
    for (int t = 0; t < list.GetSize(); ++t) {
        const CFares& table = *list.GetTable(t);
        EXPECT_EQ(table.GetName(), list.GetTableNames()[static_cast<std::size_t>(t)]);
        for (const auto& [id, subId] : {std::pair{"7", ""}, std::pair{"X", "B"}}) {
            const CFare* fare = table.GetFare(list.FindFareIndex(id, subId));
            ASSERT_NE(fare, nullptr);
            EXPECT_EQ(fare->GetOrderId(), table.GetName());
            EXPECT_EQ(fare->GetSpecialFareCount(), 0);
            EXPECT_TRUE(fare->GetRows().empty());
        }
    }
    EXPECT_EQ(list.GetFareRegistry().size(), 9u); // nothing registered for the gaps
}

} // namespace
