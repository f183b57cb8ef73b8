// Delivery points, product lines and an order's line list: derivations, totals, line order and
// the lookups of lines.

#include "CleanModelTest.h"
#include "KLV/AppGlobals.h"
#include "KLV/Trace.h"
#include "TempFolder.h"
#include "model/ModelContext.h"
#include "model/OrderLine.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

class OrderLinesTest : public CleanModelTest
{
  protected:
    static std::unique_ptr<COrderLine> Line(const std::string& name, int priority, float volume)
    {
        auto line = std::make_unique<COrderLine>();
        line->productName = name;
        line->compartmentPriority = priority;
        line->volume = volume;
        return line;
    }

    static std::vector<std::string> Names(const COrderLines& lines)
    {
        std::vector<std::string> names;
        for (const COrderLine* line : lines)
            names.push_back(line->productName);
        return names;
    }
};

TEST_F(OrderLinesTest, CustomerProvinceComesFromTheSpanishPostcode)
{
    struct Case
    {
        int country;
        const char* postcode;
        int province;
    };
    for (const Case& c : {Case{34, "08020", 8}, Case{34, "50001", 50}, Case{34, "51100", -1},
                          Case{33, "08020", -1}}) {
        CCustomer customer;
        customer.location.country = c.country;
        customer.location.postcode = c.postcode;
        customer.CalculateFields();
        EXPECT_EQ(customer.province, c.province) << c.country << " " << c.postcode;
    }
    // Postcodes keep the position of their first appearance.
    EXPECT_EQ(ModelContext().postcodes.Find("08020"), 0);
    EXPECT_EQ(ModelContext().postcodes.GetSize(), 3);
}

TEST_F(OrderLinesTest, ProvinceBeyondTheTableIsTraced)
{
    trv::test::ProgramFolder folder;
    std::ofstream(folder.File("Config.ini")) << "[LOG]\nLevel=1\n";
    trv::ResetTrace();
    trv::ResetAppGlobals();
    CCustomer customer;
    customer.location.country = 34;
    customer.location.code = "C7";
    customer.location.postcode = "51100";
    customer.CalculateFields();
    trv::FlushTrace();
    std::ifstream log(trv::GetTraceLogPath());
    std::stringstream text;
    text << log.rdbuf();
    trv::ResetTrace();
    trv::ResetAppGlobals();
    EXPECT_NE(text.str().find("[C7] es superior al numero de provincia [CP=51100]"),
              std::string::npos)
        << text.str();
}

TEST_F(OrderLinesTest, DeliveryWindowOutsideTheOpeningHoursIsUnset)
{
    CCustomer inside;
    inside.location.openingHours.InsertWindow(600, 1080);
    inside.location.deliveryWindow = CTimeWindow(660, 720);
    inside.CalculateFields();
    EXPECT_EQ(inside.location.deliveryWindow.start, 660);

    CCustomer early;
    early.location.openingHours.InsertWindow(600, 1080);
    early.location.deliveryWindow = CTimeWindow(540, 660);
    early.CalculateFields();
    EXPECT_TRUE(early.location.deliveryWindow.IsUnset());
}

TEST_F(OrderLinesTest, AccumulateAddsAmountsAndJoinsDifferentNames)
{
    struct Case
    {
        const char* held;
        const char* added;
        const char* joined;
    };
    for (const Case& c : {Case{"A", "A", "A"}, Case{"A", "B", "A/B"}, Case{"A", "", "A"}}) {
        COrderLine held;
        held.productName = c.held;
        held.volume = 2;
        held.customer.location.serviceMinutes = 5;
        COrderLine added;
        added.productName = c.added;
        added.volume = 3;
        added.customer.location.serviceMinutes = 9;
        held.Accumulate(added);
        EXPECT_EQ(held.productName, c.joined);
        EXPECT_FLOAT_EQ(held.volume, 5);
        EXPECT_EQ(held.customer.location.serviceMinutes, 9);
    }
}

TEST_F(OrderLinesTest, LinesStandByPriorityThenLargerVolume)
{
    COrderLines lines;
    lines.InsertLine(Line("P2", 2, 1));
    lines.InsertLine(Line("P1", 1, 1));
    lines.InsertLine(Line("P1-small", 1, 0.5f));
    lines.InsertLine(Line("P1-large", 1, 4));
    EXPECT_EQ(Names(lines), (std::vector<std::string>{"P1-large", "P1", "P1-small", "P2"}));
    EXPECT_FLOAT_EQ(lines.header.totalVolume, 6.5f);
}

TEST_F(OrderLinesTest, LineModeMovesAnEarlyWindowToTheNextDay)
{
    UserParameters().CustomerInOrderLines = 1;
    COrderLines lines;
    auto night = Line("night", 0, 1);
    night->customer.assignedWindow = CTimeWindow(60, 120);
    lines.pendingLine = std::move(night);
    EXPECT_EQ(lines.AddPendingLine(), 0);
    auto evening = Line("evening", 0, 1);
    evening->customer.assignedWindow = CTimeWindow(1380, 1440);
    lines.pendingLine = std::move(evening);
    EXPECT_EQ(lines.AddPendingLine(), 0);
    EXPECT_EQ(Names(lines), (std::vector<std::string>{"evening", "night"}));
    EXPECT_EQ(lines[1]->customer.assignedWindow.start, 1500);
    EXPECT_EQ(lines[1]->customer.assignedWindow.end, 1560);
}

TEST_F(OrderLinesTest, DerivationSumsNumbersAndWritesSummaryTexts)
{
    COrderLines lines;
    auto whole = Line("NAME", 0, 3);
    whole->inBulk = false;
    whole->minutesAtWarehouse = 10;
    auto half = Line("NAME", 0, 2.5f);
    half->length = 7;
    half->minutesAtWarehouse = 5;
    lines.Add(whole.release());
    lines.Add(half.release());
    bool hasBulk = false;
    bool hasPacked = false;
    lines.CalculateFields(hasBulk, hasPacked, 4);

    EXPECT_TRUE(hasBulk);
    EXPECT_TRUE(hasPacked);
    EXPECT_EQ(lines.productQuantitiesText, " 3 NAME | 2.50 NAME  ");
    EXPECT_EQ(lines.quantitiesText, "3.000000|2.500000|");
    EXPECT_FLOAT_EQ(lines.header.packedVolume, 3);
    EXPECT_FLOAT_EQ(lines.header.bulkVolume, 2.5f);
    EXPECT_EQ(lines.header.bulkLength, 7);
    EXPECT_EQ(lines.header.minutesAtWarehouse, 15);
    for (int i = 0; i < lines.GetSize(); ++i) {
        EXPECT_EQ(lines[i]->lineId, i + 1);
        EXPECT_EQ(lines[i]->orderIndex, 4);
        ASSERT_EQ(lines[i]->representedLines.GetSize(), 1);
        EXPECT_EQ(lines[i]->representedLines[0], lines[i]);
    }
}

TEST_F(OrderLinesTest, ParametersChangeHowLinesAreDerived)
{
    UserParameters().UsingMultiplicativeFactors = 1;
    UserParameters().VariableTimeOnlyOneLine = 1;
    COrderLines lines;
    for (int i = 0; i < 2; ++i) {
        auto line = Line("P", 0, 0);
        line->items = 4;
        line->factor = 2.5f;
        line->volumeFactor = 0.5f;
        line->minutesAtWarehouse = 10;
        line->minutesAtCustomer = 3;
        lines.Add(line.release());
    }
    bool hasBulk = false;
    bool hasPacked = false;
    lines.CalculateFields(hasBulk, hasPacked, -1);
    EXPECT_FLOAT_EQ(lines[0]->quantity, 10);
    EXPECT_FLOAT_EQ(lines[0]->volume, 2);
    EXPECT_FLOAT_EQ(lines.header.totalQuantity, 20);
    EXPECT_EQ(lines.header.minutesAtWarehouse, 10);
    EXPECT_EQ(lines.header.minutesAtCustomer, 3);
    EXPECT_EQ(lines[1]->minutesAtWarehouse, 0);
}

TEST_F(OrderLinesTest, CommonWarehousesFollowTheLinesAndIgnoreUnknownCodes)
{
    UserParameters().LoadingProblem = 3;
    for (const char* code : {"W0", "W1", "W2"})
        ModelContext().wareHouses.AddWareHouse()->location.code = code;
    auto withCodes = [](std::initializer_list<const char*> codes) {
        auto line = std::make_unique<COrderLine>();
        for (const char* code : codes)
            line->possibleWarehouses.Add(code);
        return line;
    };
    COrderLines lines;
    lines.Add(withCodes({"W0", "W1", "NOWHERE"}).release());
    lines.Add(withCodes({"W1", "W2"}).release());
    bool hasBulk = false;
    bool hasPacked = false;
    lines.CalculateFields(hasBulk, hasPacked, -1);
    ASSERT_EQ(lines.commonWarehouses.GetSize(), 1);
    EXPECT_EQ(lines.commonWarehouses[0], 1u);
    EXPECT_EQ(lines[0]->possibleWarehouseIndexes.GetSize(), 2);

    // A line allowing no warehouse empties the set; the next line fills it again.
    lines.Add(withCodes({}).release());
    lines.Add(withCodes({"W2"}).release());
    lines.CalculateFields(hasBulk, hasPacked, -1);
    ASSERT_EQ(lines.commonWarehouses.GetSize(), 1);
    EXPECT_EQ(lines.commonWarehouses[0], 2u);
}

TEST_F(OrderLinesTest, LoadingMinutesAtAWarehouseUseItsRates)
{
    CWareHouse* wareHouse = ModelContext().wareHouses.AddWareHouse();
    for (float speed : {2.0f, 0.0f}) {
        TProductWareHouse* product = wareHouse->products.AddProduct();
        product->loadingSpeed = speed;
    }
    COrderLines lines;
    for (int product : {0, 1, 7}) {
        auto line = Line("P", 0, 9);
        line->productIndex = product;
        lines.Add(line.release());
    }
    lines.header.minutesAtWarehouse = 99;
    // Only the product with a positive rate takes time: 9 / 2 -> 4.
    EXPECT_EQ(lines.GetLoadingMinutes(0), 4);
    EXPECT_EQ(lines.GetLoadingMinutes(1), 99);
    lines[0]->productIndex = 1;
    EXPECT_EQ(lines.GetLoadingMinutes(0), 99);
}

TEST_F(OrderLinesTest, LinesAreFoundByProductCustomerAndKey)
{
    UserParameters().CustomerInOrderLines = 1;
    COrderLines lines;
    for (const char* customer : {"c1", "c2"}) {
        auto line = std::make_unique<COrderLine>();
        line->productCode = "gasoil";
        line->customer.location.code = customer;
        lines.Add(line.release());
    }
    EXPECT_EQ(lines.FindLineByKey("C2·GASOIL"), 1);
    EXPECT_EQ(lines.FindLineByKey("C2.GASOIL"), -1);
    EXPECT_EQ(lines.FindLine("GASOIL", 0, "C2"), 1);
    EXPECT_EQ(lines.FindLine("GASOIL", 1, "C2"), -1);
}

TEST_F(OrderLinesTest, DistinctTextsAndLoadGroupsKeepFirstPositions)
{
    CDistinctTexts texts;
    EXPECT_EQ(texts.FindOrAdd("Madrid"), 0);
    EXPECT_EQ(texts.FindOrAdd("Sevilla"), 1);
    EXPECT_EQ(texts.FindOrAdd("MADRID"), 0);
    EXPECT_EQ(texts.FindOrAdd("ÁVILA"), 2);
    EXPECT_EQ(texts.Find("ávila"), 2);

    CProductLoadGroups groups;
    int index = -1;
    EXPECT_EQ(groups.FindOrAdd("G1", index), 1);
    EXPECT_EQ(groups.FindOrAdd("g1", index), 1); // names match exactly
    EXPECT_EQ(index, 1);
    EXPECT_EQ(groups.FindOrAdd("G1", index), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(groups.FindIndex("none"), -1);
    EXPECT_EQ(groups[1]->index, 1);
    EXPECT_EQ(groups[1]->flag, 1);
}

TEST_F(OrderLinesTest, OnBoardLinesLoseVolumeAndDropNearlyEmptyEntries)
{
    COrderLine mixed;
    mixed.productIndex = 3;
    mixed.mixBulk = true;
    mixed.volume = 10;
    CTruckOrderLines onBoard;
    onBoard.AddLine(&mixed, 10);

    COrderLine part;
    part.productIndex = 3;
    part.volume = 4;
    EXPECT_EQ(onBoard.RemoveLine(part, true), -1);
    EXPECT_FLOAT_EQ(onBoard.volumes[0], 6);
    EXPECT_FLOAT_EQ(onBoard.totalVolume, 6);

    part.volume = 6 - 5e-7f;
    EXPECT_EQ(onBoard.RemoveLine(part, true), 0);
    EXPECT_EQ(onBoard.GetSize(), 0);

    // Without mixed bulk only an entry of exactly the line's volume matches.
    onBoard.AddLine(&mixed, 10);
    part.volume = 4;
    EXPECT_EQ(onBoard.RemoveLine(part, false), -1);
    EXPECT_FLOAT_EQ(onBoard.volumes[0], 10);
}

} // namespace
