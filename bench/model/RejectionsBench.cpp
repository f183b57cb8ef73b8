#include "AllocationCounter.h"
#include "model/ModelContext.h"
#include "model/Rejections.h"
#include "model/Resources.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kRequirements = 10;

void Locate(TLocationData& place, double longitude, double latitude)
{
    place.coordinates.longitude = longitude;
    place.coordinates.latitude = latitude;
}

// Orders and pairs with ten requirement definitions of mixed kinds, quantities that fit some
// trailers, a few permission lists and cards: every check of the mask has work to do.
void BuildPlan(int orderCount, int pairCount)
{
    ResetUserParameters();
    ResetModelContext();
    ResetResources();
    CUserParameters& parameters = UserParameters();
    parameters.QuantitiesControl = 1;
    parameters.TransportCard = 1;
    CModelContext& context = ModelContext();
    for (int k = 0; k < kRequirements; ++k) {
        CCondicionante& definition = *context.requirementDefinitions.NewElement();
        definition.name = "Q" + std::to_string(k);
        definition.type = k % 3 == 0 ? REQ_TYPE_BOOL : REQ_TYPE_MORE_THAN;
        definition.driver = k == 4;
        definition.warehouse = k == 5;
        definition.weight = k == 7 ? 3 : 0;
    }
    for (int i = 0; i < orderCount; ++i) {
        COrder& order = *context.orders.AddOrder();
        order.plan.index = i;
        order.Text(ORDER_CODE) = "O" + std::to_string(i);
        order.lines.header.totalQuantity = 5000.0f + static_cast<float>(i % 40) * 500.0f;
        order.customer.location.country = 34;
        order.customer.province = i % 50 + 1;
        order.warehouseProvince = 28;
        Locate(order.customer.location, -3.0 - (i % 10) * 0.1, 40.0 + (i % 7) * 0.1);
        order.requirements.Init(kRequirements);
        for (int k = 0; k < kRequirements; ++k)
            order.requirements.SetValue(k, (i + k) % 4 == 0 ? 1 : 0);
        if (i % 25 == 0)
            order.permissionLists[PERMISSION_NON_ALLOWED_DRIVERS].Add("D3");
    }
    CResources& fleet = Resources();
    for (int row = 0; row < pairCount; ++row) {
        const std::string id = std::to_string(row);
        CTruck* truck = fleet.trucks.GetOrAdd("T" + id);
        Locate(truck->base, -3.7, 40.4);
        Locate(truck->endBase, -3.7, 40.4);
        CTrailer* trailer = fleet.trailers.GetOrAdd("R" + id);
        trailer->code = "R" + id;
        CDriver* driver = fleet.drivers.AddNew();
        driver->code = "D" + id;
        int existed = 0;
        CLorryDriver& pair = *fleet.pairs.Add(fleet.lorries.Add(truck, trailer), driver, existed);
        trailer->overloadedCapacity[0] = 10000.0f + static_cast<float>(row % 20) * 1000.0f;
        trailer->overloadedCapacity[1] = trailer->overloadedCapacity[2] = 1e9f;
        pair.transportCardType = row % 2;
        pair.internationalCard = 0;
        pair.cardLocation.country = 34;
        pair.cardProvince = 28;
        for (int k = 0; k < kRequirements; ++k)
            pair.requirements.SetValue(k, (row + k) % 3 == 0 ? 0 : 5);
    }
    context.rejectionModel.InitRejections(orderCount, pairCount, 0, true, false, false);
}

// The full pass every plan load and optimiser start runs.
void FullSetRejections(benchmark::State& state)
{
    BuildPlan(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    CRejections& rejections = ModelContext().rejectionModel;
    for (auto _ : state)
        benchmark::DoNotOptimize(rejections.SetRejections(false, -1, -1, false));
    state.counters["pairs"] = static_cast<double>(state.range(0) * state.range(1));
    ResetModelContext();
    ResetResources();
}
BENCHMARK(FullSetRejections)->Args({2000, 200})->Unit(benchmark::kMillisecond);

// Single masks over a plan of 2,000 orders and 200 pairs, with the allocations per read.
template <class Read> void ReadMasks(benchmark::State& state, Read read)
{
    BuildPlan(2000, 200);
    CRejections& rejections = ModelContext().rejectionModel;
    int order = 0;
    int row = 0;
    const long long allocationsBefore = AllocationCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(read(rejections, order, row));
        order = order + 7 >= 2000 ? order + 7 - 2000 : order + 7;
        row = row + 1 == 200 ? 0 : row + 1;
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount() - allocationsBefore),
                           benchmark::Counter::kAvgIterations);
    ResetModelContext();
    ResetResources();
}

// The views and the optimiser read single masks from the cache.
void CachedMaskRead(benchmark::State& state)
{
    ReadMasks(state, [](CRejections& rejections, int order, int row) {
        return rejections.GetRejectionMask(order, row, true, false);
    });
}
BENCHMARK(CachedMaskRead);

// A mask computed for one pair, as views ask while the optimiser runs.
void ComputedMask(benchmark::State& state)
{
    ReadMasks(state, [](CRejections& rejections, int order, int row) {
        return rejections.ComputeRejectionMask(order, row, false, true, true, 0);
    });
}
BENCHMARK(ComputedMask);

} // namespace
