#include "model/ModelContext.h"
#include "model/NoCombinable.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// 5,000 orders of 1,000 customers spread over a region of 100 km, loading at 3 warehouses, and
// 50 rules of radii up to 15 km, half of each type.
void CalculaNoCombinables(benchmark::State& state)
{
    ResetModelContext();
    std::minstd_rand random(7);
    std::uniform_real_distribution<double> longitude(-4.2, -3.0);
    std::uniform_real_distribution<double> latitude(40.0, 40.9);
    std::vector<TMapPoint> places;
    for (int c = 0; c < 1000; ++c)
        places.push_back({longitude(random), latitude(random)});
    COrders& orders = ModelContext().orders;
    for (int o = 0; o < 5000; ++o) {
        COrder* order = orders.AddOrder();
        const int customer = static_cast<int>(random() % places.size());
        TLocationData& place = order->customer.location;
        place.codeIndex = customer;
        place.coordinates.longitude = places[static_cast<size_t>(customer)].longitude;
        place.coordinates.latitude = places[static_cast<size_t>(customer)].latitude;
        order->plan.warehouseIndex = static_cast<int>(random() % 3);
    }
    CNoCombinable& rules = ModelContext().noCombinable;
    rules.InitMatrices(1000, 3);
    std::uniform_real_distribution<double> radius(0.0, 15.0);
    for (int r = 0; r < 50; ++r)
        rules.AddRule({longitude(random), latitude(random)}, {longitude(random), latitude(random)},
                      radius(random), radius(random), r % 2);
    for (auto _ : state) {
        rules.CalculaNoCombinables();
        benchmark::DoNotOptimize(rules.GetMatrix(0, 0).GetRows());
    }
    ResetModelContext();
}
BENCHMARK(CalculaNoCombinables)->Unit(benchmark::kMillisecond);

} // namespace
