// An order whose lines carry their own delivery points takes the requirements of every line's
// record, read through the catalogue with the demand model's requirement list.

#include "MemoryFieldRecord.h"
#include "model/Condicionantes.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TPoint
{
    std::string code;
};

struct TProduct
{
    std::string code;
    TPoint point;
};

struct TRequiringOrder
{
    TRequirementValues requirements;
    std::vector<TProduct> lines;
};

// Only what reading an order's lines asks.
class CLinesNavigation : public CEntityNavigation
{
  public:
    TEntityRef GetOrderDeliveryPoint(const TEntityRef&) const override { return {}; }
    bool IsDeliveryOrder(const TEntityRef&) const override { return true; }
    int GetOrderLineCount(const TEntityRef& order) const override
    {
        return static_cast<int>(order.Get<TRequiringOrder>()->lines.size());
    }
    TEntityRef GetOrderLine(const TEntityRef& order, int index) const override
    {
        return order.Get<TRequiringOrder>()->lines[static_cast<size_t>(index)];
    }
    std::unique_ptr<CEntityHolder> NewOrderLine() const override
    {
        return std::make_unique<TEntityHolder<TProduct>>();
    }
    int FindOrderLine(const TEntityRef&, const TEntityRef&, bool) const override { return -1; }
    int AddOrderLineCopy(const TEntityRef& order, const TEntityRef& line) override
    {
        auto& lines = order.Get<TRequiringOrder>()->lines;
        lines.push_back(*line.Get<TProduct>());
        return static_cast<int>(lines.size()) - 1;
    }
    void AccumulateOrderLine(const TEntityRef&, int, const TEntityRef&) override {}
    TEntityRef GetLineDeliveryPoint(const TEntityRef& line) const override
    {
        TProduct* product = line.Get<TProduct>();
        return product ? TEntityRef(product->point) : TEntityRef();
    }
    TEntityRef GetPairTruck(const TEntityRef&) const override { return {}; }
    TEntityRef GetPairTrailer(const TEntityRef&) const override { return {}; }
    TEntityRef GetPairDriver(const TEntityRef&) const override { return {}; }
    TEntityRef GetVehicleTotals(const TEntityRef&) const override { return {}; }
};

TEST(OrderRequirementsTest, EveryLineRecordAddsItsRequirementsToTheOrder)
{
    CMemoryRecordSource source;
    source.tables["REQUIREMENTS"] = {{{"REQ_NAME", "PERMITS"}, {"REQ_TYPE", "IN_LIST"}}};
    CListaCondicionantes requirements;
    requirements.LoadDefinitions(source, true, nullptr, false);
    ASSERT_EQ(requirements.GetSize(), 1);

    ResetTrevantorVariables();
    ResetUserParameters();
    UserParameters().CustomerInOrderLines = 1;
    CTrevantorVariables& catalogue = TrevantorVariables();
    const int all = VAR_USE_READ | VAR_USE_WRITE;
    catalogue.SetBuilder(KEYS_ORDER, [&](CTrevantorVariables&, CTrevantorVariablesKeys& keys) {
        keys.SetDefinitionList(VAR_REQUIREMENTS, &requirements);
        keys.AddRequirements("ORDER_REQUIREMENTS", VarMember(&TRequiringOrder::requirements), "",
                             "", 0, all);
    });
    catalogue.SetBuilder(KEYS_ORDER_LINE, [&](CTrevantorVariables&, CTrevantorVariablesKeys& keys) {
        keys.AddString("PRODUCT_CODE", VarMember(&TProduct::code), 20, "", "", "", 0, all);
    });
    catalogue.SetBuilder(KEYS_CUSTOMER, [&](CTrevantorVariables&, CTrevantorVariablesKeys& keys) {
        keys.AddString("CUSTOMER_CODE", VarMember(&TPoint::code), 20, "", "", "", 0, all);
    });
    CLinesNavigation navigation;
    catalogue.SetEntityNavigation(&navigation);
    catalogue.Init();

    CMemoryFieldRecord record;
    record.lineRows = {{{"PRODUCT_CODE", "A"}, {"CUSTOMER_CODE", "C1"}, {"PERMITS", "P1"}},
                       {{"PRODUCT_CODE", "B"}, {"CUSTOMER_CODE", "C2"}, {"PERMITS", "P2"}}};
    TRequiringOrder order;
    order.requirements.Init(1);
    ASSERT_TRUE(catalogue.ReadEntity(ENTITY_ORDER, order, record, 0, nullptr));
    ASSERT_EQ(order.lines.size(), 2u);
    EXPECT_EQ(order.lines[1].point.code, "C2");
    const CSmartSortNoRepeatStringArray* permits = order.requirements.GetSet(0);
    ASSERT_NE(permits, nullptr);
    EXPECT_EQ(std::vector<std::string>(permits->begin(), permits->end()),
              (std::vector<std::string>{"P1", "P2"}));

    ResetTrevantorVariables();
    ResetUserParameters();
}

} // namespace
