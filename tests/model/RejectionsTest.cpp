// Which pair may serve which order: the mask of a pair, the cache and its texts, the planner's
// own rejections with their file, and the passes with their dialog, mail and related orders.

#include "model/Rejections.h"

#include "CleanModelTest.h"
#include "KLV/Utils.h"
#include "TempFolder.h"
#include "model/ModelContext.h"
#include "model/Resources.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using trv::test::TempFolder;

constexpr double kDegreesPerKm = 180.0 / (3.14159265358979323846 * 6378.0);

void Locate(TLocationData& place, double longitude = -3.7, double latitude = 40.4)
{
    place.coordinates.longitude = longitude;
    place.coordinates.latitude = latitude;
}

class RecordingDialog : public CNonPossibleDialog
{
  public:
    bool Show(const std::vector<int>& orders, bool singleOrder) override
    {
        shown.push_back(orders);
        single.push_back(singleOrder);
        return cancel;
    }
    std::vector<std::vector<int>> shown;
    std::vector<bool> single;
    bool cancel = false;
};

class RejectionsTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        ResetResources();
        savedParamsFile = ParamsFilePath;
        ParamsFilePath.clear();
    }
    void TearDown() override
    {
        ParamsFilePath = savedParamsFile;
        ResetResources();
        CleanModelTest::TearDown();
    }

  public:
    // The mask cases build their plan through these.
    CRejections& Rejections() { return ModelContext().rejectionModel; }

    COrder& AddOrder(const std::string& code, float quantity = 10)
    {
        COrders& orders = ModelContext().orders;
        COrder& order = *orders.AddOrder();
        order.plan.index = orders.GetSize() - 1;
        order.Text(ORDER_CODE) = code;
        order.lines.header.totalQuantity = quantity;
        order.requirements.Init(ModelContext().requirementDefinitions.GetSize());
        Locate(order.customer.location);
        return order;
    }

    // A located pair on its own truck and trailer; driverCode empty for none.
    CLorryDriver& AddPair(const std::string& name, const std::string& driverCode = "",
                          float capacity = 1000)
    {
        CResources& fleet = Resources();
        CTruck* truck = fleet.trucks.GetOrAdd(name);
        Locate(truck->base);
        Locate(truck->endBase);
        CTrailer* trailer = fleet.trailers.GetOrAdd("R" + name);
        trailer->code = "R" + name;
        CDriver* driver = nullptr;
        if (!driverCode.empty()) {
            driver = fleet.drivers.AddNew();
            driver->code = driverCode;
        }
        int existed = 0;
        CLorryDriver& pair = *fleet.pairs.Add(fleet.lorries.Add(truck, trailer), driver, existed);
        for (float& value : trailer->overloadedCapacity)
            value = capacity;
        for (float& value : trailer->capacity)
            value = capacity;
        return pair;
    }

    void Init(bool report = false)
    {
        Rejections().InitRejections(ModelContext().orders.GetSize(), Resources().pairs.GetSize(),
                                    ModelContext().wareHouses.GetSize(), true, report, false);
    }

    std::string savedParamsFile;
};

// ---- The mask of a pair ---------------------------------------------------------------------

struct MaskCase
{
    const char* name;
    // Builds the order (index 0) and the pairs, sets the parameters; gives the row asked.
    std::function<int(RejectionsTest&)> build;
    bool withLorryState;
    bool keepNotLocated;
    uint32_t expected;
};

TEST_F(RejectionsTest, MaskOfAPair)
{
    const MaskCase cases[] = {
        {"TowedTrailerNeverRejects",
         [](RejectionsTest& t) {
             t.AddOrder("A").plan.deactivated = 1;
             t.AddPair("T").GetTrailer()->towedClass = 1;
             return 0;
         },
         true, true, 0},
        {"QuantityEqualToCapacityFits",
         [](RejectionsTest& t) {
             UserParameters().QuantitiesControl = 1;
             t.AddOrder("A", 1000);
             t.AddPair("T", "D", 1000);
             return 0;
         },
         true, true, 0},
        {"QuantityAboveCapacity",
         [](RejectionsTest& t) {
             UserParameters().QuantitiesControl = 1;
             t.AddOrder("A", 1000.5f);
             t.AddPair("T", "D", 1000);
             return 0;
         },
         true, true, REJECT_NO_FIT},
        {"HitchTestsWeightOnly",
         [](RejectionsTest& t) {
             UserParameters().QuantitiesControl = 1;
             t.AddOrder("A", 10).lines.header.totalVolume = 5000;
             t.AddPair("T", "D", 1000).GetTruck()->trailerHitch = 1;
             return 0;
         },
         true, true, 0},
        {"HitchStillTestsWeight",
         [](RejectionsTest& t) {
             UserParameters().QuantitiesControl = 1;
             t.AddOrder("A", 5000);
             t.AddPair("T", "D", 1000).GetTruck()->trailerHitch = 1;
             return 0;
         },
         true, true, REJECT_NO_FIT},
        {"OneBulkLineMayOverloadVolume",
         [](RejectionsTest& t) {
             CUserParameters& parameters = UserParameters();
             parameters.QuantitiesControl = parameters.Tanks = parameters.OnlyOneProductOverload =
                 1;
             COrder& order = t.AddOrder("A", 10);
             order.lines.Add(new COrderLine);
             order.lines[0]->volume = order.lines.header.totalVolume = 1500;
             CTrailer& trailer = *t.AddPair("T", "D", 1000).GetTrailer();
             trailer.inBulk = 1;
             trailer.notInBulkCapacity1 = 1000;
             return 0;
         },
         true, true, 0},
        {"TwoBulkLinesMayNot",
         [](RejectionsTest& t) {
             CUserParameters& parameters = UserParameters();
             parameters.QuantitiesControl = parameters.Tanks = parameters.OnlyOneProductOverload =
                 1;
             COrder& order = t.AddOrder("A", 10);
             order.lines.Add(new COrderLine);
             order.lines.Add(new COrderLine);
             order.lines[0]->volume = order.lines[1]->volume = 750;
             order.lines.header.totalVolume = 1500;
             CTrailer& trailer = *t.AddPair("T", "D", 1000).GetTrailer();
             trailer.inBulk = 1;
             trailer.notInBulkCapacity1 = 1000;
             return 0;
         },
         true, true, REJECT_NO_FIT},
        {"PlacedOrderKeepsItsFrozenPair",
         [](RejectionsTest& t) {
             TOrderPlanFields& plan = t.AddOrder("A").plan;
             plan.assigned = 1;
             plan.assignedTrip = 2;
             plan.assignedSubtrip = 1;
             t.AddPair("T", "D").SetFrozen(true);
             return 0;
         },
         true, true, 0},
        {"FrozenPairRejectsAnUnplacedOrder",
         [](RejectionsTest& t) {
             t.AddOrder("A");
             t.AddPair("T", "D").SetFrozen(true);
             return 0;
         },
         true, true, REJECT_FROZEN_LORRY},
        {"AssignedTruckPlateAccepts",
         [](RejectionsTest& t) {
             COrder& order = t.AddOrder("A");
             for (int row = 0; row < 9; ++row)
                 t.AddPair(row == 5 ? "T1" : "X" + std::to_string(row), "D" + std::to_string(row));
             // Row 7 is another lorry of the truck T1.
             CResources& fleet = Resources();
             fleet.pairs[7]->lorry->truck = fleet.trucks.FindByPlate("T1");
             order.plan.assignedPairRow = 5;
             order.Text(ASSIGNED_TRUCK) = "T1";
             return 7;
         },
         true, true, 0},
        {"AssignedElsewhereRejects",
         [](RejectionsTest& t) {
             COrder& order = t.AddOrder("A");
             for (int row = 0; row < 9; ++row)
                 t.AddPair(row == 5 ? "T1" : "X" + std::to_string(row), "D" + std::to_string(row));
             order.plan.assignedPairRow = 5;
             order.Text(ASSIGNED_TRUCK) = "T1";
             return 8;
         },
         true, true, REJECT_ASSIGNED_OTHER},
        {"AllowedDriverWithLorryState",
         [](RejectionsTest& t) {
             t.AddOrder("A").permissionLists[PERMISSION_ALLOWED_DRIVERS].Add("D1");
             t.AddPair("T");
             return 0;
         },
         true, true, REJECT_ALLOWED_DRIVER},
        {"AllowedDriverWithoutLorryState",
         [](RejectionsTest& t) {
             t.AddOrder("A").permissionLists[PERMISSION_ALLOWED_DRIVERS].Add("D1");
             t.AddPair("T");
             return 0;
         },
         false, true, 0},
        {"CountryCardRejectsAnotherDeliveryCountry",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             COrder& order = t.AddOrder("A");
             order.wareHouse.location.country = 34;
             order.customer.location.country = 351;
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.internationalCard = 0;
             pair.cardLocation.country = 34;
             return 0;
         },
         true, true, REJECT_TRANSPORT_CARD},
        {"CountryCardAcceptsAnUnknownDeliveryCountry",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             COrder& order = t.AddOrder("A");
             order.wareHouse.location.country = 34;
             order.customer.location.country = -1;
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.internationalCard = 0;
             pair.cardLocation.country = 34;
             return 0;
         },
         true, true, 0},
        {"LocalCardRejectsAtItsRadius",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             // The first latitude the distance function puts at 50 km.
             double latitude = 50.0 * kDegreesPerKm;
             while (GreatCircleDistanceKm({0, 0}, {0, latitude}) < 50.0)
                 latitude = std::nextafter(latitude, 1.0);
             Locate(t.AddOrder("A").customer.location, 0, latitude);
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.transportCardType = 2;
             pair.localCardRadius = 50;
             Locate(pair.cardLocation, 0, 0);
             Locate(pair.GetTruck()->warehouse, 0, 0);
             return 0;
         },
         true, true, REJECT_TRANSPORT_CARD},
        {"LocalCardAcceptsInsideItsRadius",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             Locate(t.AddOrder("A").customer.location, 0, 49.9 * kDegreesPerKm);
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.transportCardType = 2;
             pair.localCardRadius = 50;
             Locate(pair.cardLocation, 0, 0);
             Locate(pair.GetTruck()->warehouse, 0, 0);
             return 0;
         },
         true, true, 0},
        {"LocalCardWithoutAWarehouseIndexMeasuresFromTheTruck",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             UserParameters().LoadingProblem = 3;
             COrder& order = t.AddOrder("A");
             Locate(order.customer.location, 0, 0.1);
             // The order's own copy lies far away, but without an index nothing is chosen.
             order.wareHouse.location.nodeIndex = 0;
             order.wareHouse.location.openingHours.InsertWindow(0, 600);
             Locate(order.wareHouse.location, 10, 10);
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.transportCardType = 2;
             Locate(pair.cardLocation, 0, 0);
             Locate(pair.GetTruck()->warehouse, 0, 0);
             return 0;
         },
         true, true, 0},
        {"RegionalCardRejectsAProvinceOutsideTheTable",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             COrder& order = t.AddOrder("A");
             order.customer.province = -1;
             order.warehouseProvince = 28;
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.transportCardType = 1;
             pair.internationalCard = 0;
             pair.cardProvince = 28;
             return 0;
         },
         true, true, REJECT_TRANSPORT_CARD},
        {"RegionalCardRejectsAPostcodeFrom51000",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             COrder& order = t.AddOrder("A");
             order.customer.province = 51;
             order.warehouseProvince = 28;
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.transportCardType = 1;
             pair.cardProvince = 28;
             return 0;
         },
         true, true, REJECT_TRANSPORT_CARD},
        {"RegionalCardAcceptsItsOwnProvince",
         [](RejectionsTest& t) {
             UserParameters().TransportCard = 1;
             COrder& order = t.AddOrder("A");
             order.customer.province = order.warehouseProvince = 28;
             CLorryDriver& pair = t.AddPair("T", "D");
             pair.transportCardType = 1;
             pair.internationalCard = 0;
             pair.cardProvince = 28;
             return 0;
         },
         true, true, 0},
        {"NotLocatedOrderWithoutTheLocationBits",
         [](RejectionsTest& t) {
             t.AddOrder("A").customer.location = TLocationData();
             t.AddPair("T", "D");
             return 0;
         },
         true, false, 0},
        {"NotLocatedOrderWithTheLocationBits",
         [](RejectionsTest& t) {
             t.AddOrder("A").customer.location = TLocationData();
             t.AddPair("T", "D");
             return 0;
         },
         true, true, REJECT_ORDER_NOT_LOCATED},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetUserParameters();
        ResetModelContext();
        ResetResources();
        const int row = c.build(*this);
        EXPECT_EQ(
            Rejections().ComputeRejectionMask(0, row, false, c.keepNotLocated, c.withLorryState, 0),
            c.expected);
    }
}

// ---- The cache and the texts ----------------------------------------------------------------

TEST_F(RejectionsTest, CachedMasksAreFilteredAndPairsBeyondTheCacheComputed)
{
    UserParameters().QuantitiesControl = 1;
    AddOrder("A", 5000).customer.location = TLocationData();
    AddPair("T", "D");
    Init();
    Rejections().SetUserRejection(0, 0, true);
    Rejections().SetRejections(false, -1, -1, false);
    EXPECT_EQ(Rejections().GetRejectionMask(0, 0, false, true),
              REJECT_USER | REJECT_ORDER_NOT_LOCATED | REJECT_NO_FIT);
    EXPECT_EQ(Rejections().GetRejectionMask(0, 0, true, false), REJECT_NO_FIT);

    // A pair added after the pass is not in the cache: its mask is computed.
    CLorryDriver& added = AddPair("U", "E", 10000);
    added.SetDeactivated(true);
    EXPECT_EQ(Rejections().GetRejectionMask(0, 1, true, false), REJECT_DEACTIVATED_LORRY);
}

TEST_F(RejectionsTest, ReasonTexts)
{
    AddOrder("A");
    for (int row = 0; row < 3; ++row)
        AddPair("T" + std::to_string(row), "D" + std::to_string(row));
    struct
    {
        uint32_t mask;
        int row;
        const char* expected;
    } const cases[] = {
        {REJECT_NO_FIT | REJECT_DEACTIVATED_ORDER, 2,
         "NoFitThisVehicle. DeactivatedOrderRejection."},
        {REJECT_NO_FIT | REJECT_DEACTIVATED_ORDER, -1, "NoFit. DeactivatedOrderRejection."},
        {REJECT_USER | REJECT_FROZEN_LORRY | REJECT_DEACTIVATED_LORRY, 0,
         "UserRejectionThisVehicle. DeactivatedLorryRejection. FrozenLorryRejection."},
        {REJECT_REQUIREMENTS, 1, "RejectionOneResource."},
        {REJECT_WAREHOUSE_REJECTED | REJECT_ASSIGNED_OTHER, -1,
         "AssignedOtherResource. OrderWarehouseRejectedAllResources."},
        {0, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(Rejections().GetRejectionText(c.mask, 0, c.row, false), c.expected);
    }
}

TEST_F(RejectionsTest, RequirementTextsNameWhatThePairsFail)
{
    CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    for (const char* name : {"Cold", "Crane"}) {
        CCondicionante& definition = *definitions.NewElement();
        definition.name = name;
        definition.type = REQ_TYPE_BOOL;
    }
    COrder& order = AddOrder("A");
    order.requirements.SetValue(0, 1);
    order.requirements.SetValue(1, 1);
    AddPair("T0", "D0").requirements.SetValue(0, 0);
    AddPair("T1", "D1").requirements.SetValue(0, 0);
    Resources().pairs[1]->requirements.SetValue(1, 0);
    EXPECT_EQ(Rejections().ComputeRejectionMask(0, 0, false, true, true, 0), REJECT_REQUIREMENTS);
    EXPECT_EQ(Rejections().GetRejectionText(REJECT_REQUIREMENTS, 0, 1, false),
              "RejectionOneResource Cold AndLow Crane.");
    EXPECT_EQ(Rejections().GetRejectionText(REJECT_REQUIREMENTS, 0, -1, false),
              "RejectionResources Cold.");
    EXPECT_EQ(Rejections().GetRejectionText(0, 0, 0, true), "Cold");
}

TEST_F(RejectionsTest, WhyNoPairServesAnOrder)
{
    UserParameters().QuantitiesControl = 1;
    CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    definitions.NewElement()->type = REQ_TYPE_BOOL;
    struct
    {
        const char* name;
        std::vector<uint32_t> masks; // per row: 0, 0x4, 0x14 or 0x8
        bool unlinked;
        int kind;
        const char* expected;
    } const cases[] = {
        {"CommonReason", {0, 0x14, 0x4}, false, 0, "NoFit."},
        {"NoCommonReason", {0x4, 0}, false, 0, "MoreOne"},
        {"UnlinkedAndRejectedByNothing", {0, 0}, true, 1, "DesvinculadoPedido"},
        {"DeactivatedOnly", {0x8, 0x8}, false, -1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetModelContext();
        ResetResources();
        ModelContext().requirementDefinitions.NewElement()->type = REQ_TYPE_BOOL;
        bool deactivated = false;
        for (const uint32_t mask : c.masks)
            deactivated = deactivated || mask == 0x8;
        COrder& order = AddOrder("A", 100);
        order.requirements.SetValue(0, 1);
        order.plan.deactivated = deactivated ? 1 : 0;
        order.plan.unlinkedMark = c.unlinked ? 1 : 0;
        for (size_t row = 0; row < c.masks.size(); ++row) {
            const bool fits = (c.masks[row] & REJECT_NO_FIT) == 0;
            CLorryDriver& pair = AddPair("T" + std::to_string(row), "D", fits ? 1000 : 10);
            pair.requirements.SetValue(0, (c.masks[row] & REJECT_REQUIREMENTS) ? 0 : 1);
        }
        int kind = 7;
        EXPECT_EQ(Rejections().GetOrderRejectionText(0, kind), c.expected);
        EXPECT_EQ(kind, c.kind);
    }
}

// ---- User rejections and their file ---------------------------------------------------------

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(RejectionsTest, UserRejectionFileHasALinePerPair)
{
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        AddOrder("O" + std::to_string(i));
    for (int row = 0; row < 3; ++row)
        AddPair("T" + std::to_string(row), "D" + std::to_string(row));
    Init();
    Rejections().SetUserRejection(33, 2, true);
    Rejections().SetUserRejection(31, 0, true);
    const std::string path = folder.File("plan.rej");
    ASSERT_TRUE(Rejections().ExportUserRejections(path));
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 120u);
    EXPECT_EQ(lines[33 * 3 + 2], "33\t2\t2");
    EXPECT_EQ(lines[31 * 3 + 0], "31\t0\t-2147483648");
    EXPECT_EQ(lines[0], "0\t0\t0");

    // Read back into tables without them.
    Rejections().SetUserRejection(33, 2, false);
    Rejections().SetUserRejection(31, 0, false);
    ASSERT_FALSE(Rejections().IsUserRejected(33, 2));
    ASSERT_TRUE(Rejections().ImportUserRejections(path, 40, 3));
    EXPECT_TRUE(Rejections().IsUserRejected(33, 2));
    EXPECT_TRUE(Rejections().IsUserRejected(31, 0));
    EXPECT_FALSE(Rejections().IsUserRejected(33, 1));
    EXPECT_EQ(Rejections().GetUserRejectionList().GetSize(), 2);
}

TEST_F(RejectionsTest, ReadingUserRejectionFiles)
{
    TempFolder folder;
    struct
    {
        const char* name;
        std::string text;
        std::vector<std::pair<int, int>> rejected;
    } const cases[] = {
        {"WindowsLineEnds", "0\t0\t0\r\n1\t1\t2\r\n2\t0\t4 \r\n", {{1, 1}, {2, 0}}},
        {"ZeroClearsAndMissingFieldsReadZero", "1\t1\t2\n1\t1\n", {}},
        // A file for more orders than the plan has stops there and keeps no user bit.
        {"LineBeyondTheCounts", "0\t0\t1\n5\t0\t1\n1\t0\t1\n", {}},
        {"NegativeIndex", "-1\t0\t1\n", {}},
        {"Garbage", "x\ty\tz\n\n\t\t\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetModelContext();
        ResetResources();
        for (int i = 0; i < 3; ++i)
            AddOrder("O" + std::to_string(i));
        AddPair("T0", "D0");
        AddPair("T1", "D1");
        Init();
        Rejections().SetUserRejection(0, 1, true); // present before every read
        ASSERT_TRUE(Rejections().ImportUserRejections(folder.Write("r.rej", c.text), 3, 2));
        int count = 0;
        for (int order = 0; order < 3; ++order)
            for (int row = 0; row < 2; ++row)
                count += Rejections().IsUserRejected(order, row) ? 1 : 0;
        const bool keepsEarlier =
            std::string(c.name) != "LineBeyondTheCounts" && std::string(c.name) != "NegativeIndex";
        EXPECT_EQ(count, static_cast<int>(c.rejected.size()) + (keepsEarlier ? 1 : 0));
        for (const auto& [order, row] : c.rejected)
            EXPECT_TRUE(Rejections().IsUserRejected(order, row));
    }
    EXPECT_FALSE(Rejections().ImportUserRejections(folder.File("missing.rej"), 3, 2));
}

TEST_F(RejectionsTest, AFailedWriteIsReported)
{
    TempFolder folder;
    AddOrder("A");
    AddPair("T", "D");
    Init();
    folder.Write("file", "x");
    for (const std::string& path : {folder.File("missing/plan.rej"), folder.File("file/plan.rej"),
                                    std::string("/dev/full")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(Rejections().ExportUserRejections(path));
    }
}

TEST_F(RejectionsTest, UserRejectionListFollowsTheBits)
{
    AddOrder("A");
    AddOrder("B");
    AddPair("T", "D");
    Init();
    Rejections().SetUserRejection(1, 0, true);
    Rejections().SetUserRejection(1, 0, true);
    ASSERT_EQ(Rejections().GetUserRejectionList().GetSize(), 1);
    const TUserRejection& record = *Rejections().GetUserRejectionList()[0];
    EXPECT_EQ(record.orderCode, "B");
    EXPECT_EQ(record.lorryCode, "RT");
    EXPECT_EQ(record.driverCode, "D");
    EXPECT_EQ(Rejections().ComputeRejectionMask(1, 0, false, false, true, 0), REJECT_USER);
    Rejections().SetUserRejection(1, 0, false);
    EXPECT_EQ(Rejections().GetUserRejectionList().GetSize(), 0);
    EXPECT_FALSE(Rejections().IsUserRejected(1, 0));
}

TEST_F(RejectionsTest, UserRejectionSurvivesReimportingItsOrder)
{
    AddOrder("A");
    AddOrder("B");
    AddOrder("C");
    AddPair("T", "D");
    Init();
    Rejections().SetUserRejection(1, 0, true);
    // B is deleted and read again: it comes back at the end.
    ModelContext().orders.RemoveOrderLines(1);
    Rejections().RemoveOrder(1);
    AddOrder("B");
    Rejections().InsertOrder(2);
    Rejections().InitRejections(3, 1, 0, false, false, false);
    EXPECT_TRUE(Rejections().IsUserRejected(2, 0));
    EXPECT_FALSE(Rejections().IsUserRejected(1, 0));
}

TEST_F(RejectionsTest, MatricesFollowInsertedAndRemovedOrdersAndRows)
{
    UserParameters().QuantitiesControl = 1;
    AddOrder("A", 10);
    AddOrder("B", 5000);
    AddPair("T0", "D0");
    AddPair("T1", "D1", 10000);
    Init();
    ASSERT_EQ(Rejections().GetRejectionMask(1, 0, false, false), REJECT_NO_FIT);
    Rejections().SetUserRejection(0, 1, true);
    Rejections().SetRejections(false, -1, -1, false);

    Rejections().InsertLorry(1); // inside the rows: nothing happens
    EXPECT_EQ(Rejections().GetRowCount(), 2);
    EXPECT_EQ(Rejections().GetRejectionMask(1, 0, false, false), REJECT_NO_FIT);

    AddOrder("C", 10);
    Rejections().InsertOrder(2);
    EXPECT_EQ(Rejections().GetOrderCount(), 3);
    EXPECT_EQ(Rejections().GetRejectionMask(1, 0, false, false), REJECT_NO_FIT);
    EXPECT_EQ(Rejections().GetRejectionMask(0, 1, false, false), REJECT_USER);
    EXPECT_EQ(Rejections().GetRejectionMask(2, 1, false, false), 0u);

    Rejections().RemoveOrder(0);
    ModelContext().orders.RemoveOrderLines(0);
    EXPECT_EQ(Rejections().GetRejectionMask(0, 0, false, false), REJECT_NO_FIT);
    EXPECT_FALSE(Rejections().IsUserRejected(0, 1));

    Rejections().RemoveLorry(0);
    EXPECT_EQ(Rejections().GetRowCount(), 1);
    EXPECT_EQ(Rejections().GetRejectionMask(0, 0, false, false), 0u);
}

// ---- Passes ---------------------------------------------------------------------------------

TEST_F(RejectionsTest, AnOrderGivenToARowKeepsOnlyWhatNoAssignmentOverrides)
{
    UserParameters().TransportCard = 1;
    CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    definitions.NewElement()->type = REQ_TYPE_BOOL;
    for (const bool deactivated : {false, true}) {
        SCOPED_TRACE(deactivated);
        ResetResources();
        ModelContext().orders.RemoveAllOrders();
        COrder& order = AddOrder("A");
        order.requirements.SetValue(0, 1);
        order.customer.location.country = 351;
        order.plan.assignedPairRow = 3;
        order.plan.deactivated = deactivated ? 1 : 0;
        for (int row = 0; row < 4; ++row) {
            CLorryDriver& pair = AddPair("T" + std::to_string(row), "D" + std::to_string(row));
            pair.requirements.SetValue(0, 0);
            pair.internationalCard = 0;
            pair.cardLocation.country = 34;
        }
        Init();
        const uint32_t full = deactivated ? 0x818u : 0x810u;
        EXPECT_EQ(Rejections().GetRejectionMask(0, 3, false, true), full);
        EXPECT_EQ(Rejections().GetAllRejections().GetBit(0, 3), deactivated ? 1 : 0);
        EXPECT_EQ(Rejections().GetAllRejections().GetBit(0, 2), 1);
        EXPECT_EQ(order.plan.acceptingRows, deactivated ? 0 : 1);
        EXPECT_EQ(order.plan.possibleRow, deactivated ? -1 : 3);
    }
}

TEST_F(RejectionsTest, NonPossibleDialogFollowsTheSettingAndBatchMode)
{
    TempFolder folder;
    struct
    {
        const char* setting; // the file's line, empty for no key
        bool batch;
        int shown;
    } const cases[] = {
        {"", false, 1},
        {"ShowNonPossibleDlg=0", false, 0},
        {"ShowNonPossibleDlg=1", false, 1},
        {"ShowNonPossibleDlg=2", false, 0},
        {"ShowNonPossibleDlg=3", false, 1},
        {"ShowNonPossibleDlg=1", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setting) + (c.batch ? " batch" : ""));
        ResetModelContext();
        ResetResources();
        ParamsFilePath = folder.Write("Params.ini", std::string("[Parameters]\n") + c.setting);
        RecordingDialog dialog;
        ModelContext().nonPossibleDialog = &dialog;
        ModelContext().batchMode = c.batch;
        AddOrder("A").plan.deactivated = 1; // rejected by every pair
        AddPair("T", "D");
        Init(true);
        // Shown once; a second pass shows it only for a not-located order.
        Rejections().SetRejections(true, -1, -1, false);
        EXPECT_EQ(static_cast<int>(dialog.shown.size()), c.shown);
        ModelContext().orders[0]->customer.location = TLocationData();
        Rejections().SetRejections(true, -1, -1, false);
        EXPECT_EQ(static_cast<int>(dialog.shown.size()), 2 * c.shown);
        if (c.shown) {
            EXPECT_EQ(dialog.shown[0], std::vector<int>{0});
        }
    }
}

TEST_F(RejectionsTest, CancellingTheDialogOfAFullPassReturnsZero)
{
    RecordingDialog dialog;
    dialog.cancel = true;
    ModelContext().nonPossibleDialog = &dialog;
    AddOrder("A").plan.deactivated = 1;
    AddOrder("B");
    AddOrder("C").plan.deactivated = 1;
    AddPair("T", "D");
    Rejections().InitRejections(3, 1, 0, true, false, false);
    EXPECT_EQ(Rejections().SetRejections(true, -1, -1, false), 0);
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0], (std::vector<int>{0, 2}));
    EXPECT_FALSE(dialog.single[0]);

    // One order's pass lists only its order, and never cancels.
    ModelContext().orders[2]->customer.location = TLocationData();
    EXPECT_EQ(Rejections().SetRejections(true, 2, -1, false), 1);
    ASSERT_EQ(dialog.shown.size(), 2u);
    EXPECT_EQ(dialog.shown[1], std::vector<int>{2});
    EXPECT_TRUE(dialog.single[1]);
    EXPECT_EQ(Rejections().GetNotLocatedOrders(), std::vector<int>{2});
}

TEST_F(RejectionsTest, BatchModeMailsOncePerEpisode)
{
    int mails = 0;
    ModelContext().sendMail = [&mails](int kind) { mails += kind == 2 ? 1 : 100; };
    ModelContext().batchMode = true;
    COrder& order = AddOrder("A");
    AddPair("T", "D");
    Init();
    const struct
    {
        bool deactivated;
        int mails;
    } passes[] = {{true, 1}, {true, 1}, {false, 1}, {true, 2}, {true, 2}};
    for (const auto& pass : passes) {
        order.plan.deactivated = pass.deactivated ? 1 : 0;
        Rejections().SetRejections(true, -1, -1, false);
        EXPECT_EQ(mails, pass.mails);
    }
}

TEST_F(RejectionsTest, RelatedOrdersWithDisjointDatesAreUnlinked)
{
    COrder& first = AddOrder("A");
    COrder& second = AddOrder("B");
    for (COrder* order : {&first, &second}) {
        order->plan.relatedOrderIndex = 0;
        order->plan.sameVehicleType = 3;
    }
    first.plan.fromDay = trv::OleDate(2026, 3, 2, 0, 0, 0);
    first.plan.toDay = trv::OleDate(2026, 3, 3, 0, 0, 0);
    second.plan.fromDay = trv::OleDate(2026, 3, 5, 0, 0, 0);
    second.plan.toDay = trv::OleDate(2026, 3, 6, 0, 0, 0);
    first.lines.header.hasReturnOrder = 1;
    AddPair("T", "D");
    Init();
    EXPECT_EQ(first.plan.sameVehicleType, 4);
    EXPECT_EQ(second.plan.sameVehicleType, 4);
    EXPECT_EQ(first.lines.header.hasReturnOrder, 0);

    // Overlapping windows, or an unset date, keep the group.
    second.plan.fromDay = trv::OleDate(2026, 3, 3, 0, 0, 0);
    for (COrder* order : {&first, &second})
        order->plan.sameVehicleType = 3;
    Rejections().CompruebaRelacionados(-1);
    EXPECT_EQ(second.plan.sameVehicleType, 3);
    second.plan.fromDay = trv::OleDate();
    second.plan.toDay = trv::OleDate();
    Rejections().CompruebaRelacionados(-1);
    EXPECT_EQ(second.plan.sameVehicleType, 3);
}

TEST_F(RejectionsTest, GroupsOfDifferentGroupingsGetTheirOwnCodes)
{
    CModelContext& context = ModelContext();
    for (const char* text : {"", "G1", "G2"})
        context.groupingIndexes.FindOrAdd(text);
    const char* groupings[] = {"G1", "G2"};
    for (int i = 0; i < 2; ++i) {
        COrder& order = AddOrder(std::string("O") + groupings[i]);
        order.Text(RELATION_CODE) = "R";
        order.Text(GROUPING_INDEX) = groupings[i];
        order.plan.sameVehicleType = 3;
        order.plan.kind = ORDER_DELIVERY_LOOSE;
    }
    for (COrder* order : context.orders)
        order->CalculateIndexes();
    ASSERT_EQ(context.orders[1]->plan.relatedOrderIndex, 0);
    ASSERT_EQ(context.orders[1]->plan.groupingIndex, 2);
    AddPair("T", "D");
    Rejections().InitRejections(2, 1, 0, true, false, true);
    EXPECT_EQ(context.orders[0]->Text(RELATION_CODE), "R-1-0-1-0");
    EXPECT_EQ(context.orders[1]->Text(RELATION_CODE), "R-2-0-2-0");
    EXPECT_EQ(context.orders[0]->plan.relatedOrderIndex, -1);
    EXPECT_EQ(context.orders[1]->plan.relatedOrderIndex, -1);
}

TEST_F(RejectionsTest, PairsRejectingEveryWarehouseAreMarked)
{
    CModelContext& context = ModelContext();
    CCondicionante& definition = *context.requirementDefinitions.NewElement();
    definition.type = REQ_TYPE_BOOL;
    definition.warehouse = true;
    AddOrder("A");
    CLorryDriver& pair = AddPair("T", "D");
    pair.requirements.SetValue(0, 0);
    AddPair("U", "E");
    Init();
    EXPECT_EQ(pair.flags & PAIR_WAREHOUSE_REJECTED, 0); // no warehouses: nobody marked
    EXPECT_EQ(Rejections().GetWareHouseRejections().GetRows(), 0);

    for (int w = 0; w < 2; ++w) {
        CWareHouse& wareHouse = *context.wareHouses.AddWareHouse();
        wareHouse.requirements.Init(1);
        wareHouse.requirements.SetValue(0, 1);
    }
    Init();
    EXPECT_EQ(pair.flags & PAIR_WAREHOUSE_REJECTED, PAIR_WAREHOUSE_REJECTED);
    EXPECT_EQ(pair.warehouseRejected, 1);
    EXPECT_EQ(Resources().pairs[1]->flags & PAIR_WAREHOUSE_REJECTED, 0);

    context.wareHouses[1]->requirements.SetValue(0, 0);
    Rejections().SetRejections(false, -1, -1, false);
    EXPECT_EQ(pair.flags & PAIR_WAREHOUSE_REJECTED, 0);
    EXPECT_EQ(pair.warehouseRejected, 0);

    // The pair list's warehouse masks read the same rows.
    CSmartStringArray masks;
    pair.warehouseMask = -1;
    Resources().pairs.BuildWarehouseMasks(masks);
    EXPECT_EQ(pair.warehouseMask, 1);
}

TEST_F(RejectionsTest, OrdersAskTheInstalledTables)
{
    InstallFleetLookups();
    UserParameters().QuantitiesControl = 1;
    AddOrder("A", 500);
    AddPair("T0", "D0", 400);
    AddPair("T1", "D1", 800);
    AddPair("T2", "D2", 900).SetDeactivated(true);
    Init();
    EXPECT_EQ(ModelContext().orders[0]->GetLargestCapacityTrailer(), 1);
    // Stops ask without the lorry state: the deactivated pair does not reject.
    const CStopRejections& stops = *ModelContext().stopRejections;
    EXPECT_EQ(stops.ComputeMask(0, 0), REJECT_NO_FIT);
    EXPECT_EQ(stops.ComputeMask(0, 2), 0u);
    EXPECT_EQ(stops.GetStoredMask(0, 2), REJECT_DEACTIVATED_LORRY);
}

} // namespace
