#include "model/ModelContext.h"
#include "model/Orders.h"
#include "params/Parameters.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// n orders of five lines each, a quarter as many customers as orders, with the dates, windows and
// texts the derivation works on.
void FillOrders(int count)
{
    COrders& orders = ModelContext().orders;
    const int customers = count / 4;
    for (int i = 0; i < count; ++i) {
        COrder* order = orders.AddOrder();
        order->plan.index = i;
        order->Text(ORDER_CODE) = "ORDER-" + std::to_string(i);
        order->Text(SPECIAL_CODE) = "S" + std::to_string(i % 50);
        order->Text(SERVICE_COLOR) = "RGB(0,128,255)";
        order->plan.fromDay = trv::OleDate(2024, 6, 3 + i % 3);
        order->plan.toDay = trv::OleDate(2024, 6, 5 + i % 3);
        TLocationData& place = order->customer.location;
        place.code = "CUSTOMER-" + std::to_string(i % customers);
        place.city = "CITY-" + std::to_string(i % 97);
        place.postcode = "8020";
        place.openingHours.InsertWindow(480, 840);
        place.openingHours.weekDayMask = 0x1F;
        for (int l = 0; l < 5; ++l) {
            auto* line = new COrderLine;
            line->productIndex = l;
            line->productCode = "P" + std::to_string(l);
            line->quantity = 100.0f + static_cast<float>(l);
            line->volume = 1000.0f + static_cast<float>(l);
            line->customer.location.code = place.code;
            order->lines.Add(line);
        }
    }
}

// Every order of the list derived once per iteration; items are orders, so the time per order of
// the two sizes compares directly.
void DeriveOrders(benchmark::State& state)
{
    ResetUserParameters();
    ResetModelContext();
    UserParameters().ControlDiasApertura = 1;
    const int count = static_cast<int>(state.range(0));
    FillOrders(count);
    const trv::OleDate planningDate(2024, 6, 3);
    COrders& orders = ModelContext().orders;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i)
            orders[i]->CalculateFields(planningDate, true, false, false, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
    ResetModelContext();
}
BENCHMARK(DeriveOrders)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
