#include "AllocationCounter.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Orders as an import leaves them: five lines each with their delivery point and texts.
std::vector<std::unique_ptr<COrder>> MakeOrders(int count, int linesPerOrder)
{
    std::vector<std::unique_ptr<COrder>> orders;
    for (int i = 0; i < count; ++i) {
        auto order = std::make_unique<COrder>();
        order->plan.index = i;
        order->Text(ORDER_CODE) = "ORDER-" + std::to_string(i);
        order->customer.location.code = "CUSTOMER-" + std::to_string(i % 300);
        order->customer.location.name = "A customer with a long enough name";
        order->customer.location.openingHours.InsertWindow(480, 840);
        order->fixedFares.Add(120.0f);
        for (int l = 0; l < linesPerOrder; ++l) {
            auto* line = new COrderLine;
            line->productIndex = l;
            line->productName = "PRODUCT " + std::to_string(l);
            line->productCode = "P" + std::to_string(l);
            line->volume = 1000.0f + static_cast<float>(l);
            line->customer.location.code = order->customer.location.code;
            order->lines.Add(line);
        }
        orders.push_back(std::move(order));
    }
    return orders;
}

// Each optimiser start copies every order for its partitions.
void CopyOrders(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    const auto sources = MakeOrders(static_cast<int>(state.range(0)), 5);
    std::vector<std::unique_ptr<COrder>> copies;
    for (size_t i = 0; i < sources.size(); ++i)
        copies.push_back(std::make_unique<COrder>());
    for (auto _ : state) {
        for (size_t i = 0; i < sources.size(); ++i)
            *copies[i] = *sources[i];
        benchmark::DoNotOptimize(copies.back()->lines.GetSize());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CopyOrders)->Arg(2000)->Unit(benchmark::kMillisecond);

// The ranked search with stocks controlled: ten warehouses, the fitting one far down the list.
void GetLoadingWarehouse(benchmark::State& state)
{
    constexpr int kWareHouses = 10;
    ResetUserParameters();
    ResetModelContext();
    UserParameters().LoadingProblem = 3;
    UserParameters().ControlStocks = 1;
    for (int i = 0; i < kWareHouses; ++i)
        ModelContext().wareHouses.AddWareHouse()->location.nodeIndex = i;
    CWareHouseNearnessTable& table = ModelContext().wareHouses.GetNearnessTable();
    table.Create(kWareHouses, {0}, 1, {0}, 1, kWareHouses);
    for (int node = 0; node < kWareHouses; ++node) {
        int32_t ranked[kWareHouses];
        for (int slot = 0; slot < kWareHouses; ++slot)
            ranked[slot] = (node + slot) % kWareHouses;
        table.SetRanked(node, 0, 0, ranked);
    }
    const auto orders = MakeOrders(1, 5);
    const COrder& order = *orders[0];
    CRemainingQuantities stocks;
    stocks.Resize(kWareHouses, 5);
    for (int product = 0; product < 5; ++product)
        stocks.Set(kWareHouses - 1, product, 1e6f);

    int node = 0;
    const long long allocationsBefore = AllocationCount();
    for (auto _ : state) {
        bool stockOk = false;
        int loadingNode = -1;
        const CWareHouse* found =
            order.GetLoadingWarehouse(-1, &stocks, node, &loadingNode, -1, &stockOk, false);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(loadingNode);
        node = node + 1 == kWareHouses ? 0 : node + 1;
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(GetLoadingWarehouse);

// The import looks up the latest piece of an order by code and partition for every record read;
// the time per lookup must not grow with the list.
void FindOrderByCodeAndPartition(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    COrders orders;
    const int count = static_cast<int>(state.range(0));
    for (int i = 0; i < count; ++i) {
        COrder* order = orders.AddOrder();
        order->plan.index = i;
        order->Text(ORDER_CODE) = "ORDER-" + std::to_string(i);
    }
    std::vector<std::string> codes;
    for (int i = 0; i < count; i += 97)
        codes.push_back("order-" + std::to_string(i));
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(orders.FindOrderByCodeAndPartition(codes[next], 1, -1));
        next = next + 1 == codes.size() ? 0 : next + 1;
    }
}
BENCHMARK(FindOrderByCodeAndPartition)->Arg(2000)->Arg(20000);

} // namespace
