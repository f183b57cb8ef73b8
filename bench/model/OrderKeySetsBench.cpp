// Importing orders of two lines each from a ';' file through the order, customer and line key
// sets, next to a loop that reads the same fields with the definition's typed readers. The
// catalogue should stay within 1.5 times the loop, and its time per order flat from 10,000 to
// 100,000 orders.

#include "KLV/Fetch.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "model/OrdersNavigation.h"
#include "model/VariableBuilders.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kDefinitions = R"([BOOL]
DEFAULT=1,0
[TIME]
DEFAULT=HH:MM
[DATE]
DEFAULT=DD/MM/YYYY
[DEFAULT]
DECIMAL_SEP=.
[ORDERS_FORMAT]
TYPE=ASCII
SEPARATOR=;
KEY=ORDER_CODE
LISTS_IN_SAMELINE=CUSTOMER_START_TIME,CUSTOMER_END_TIME
[ORDERS]
ORDER_CODE=1
ORDER_PRIORITY=2
FROM_DAY=3
ORDER_BUDGET=4
CUSTOMER_CODE=5
CUSTOMER_NAME=6
CUSTOMER_CITY=7
CUSTOMER_LONGITUDE=8
CUSTOMER_LATITUDE=9
CUSTOMER_START_TIME=10
CUSTOMER_END_TIME=11
PRODUCT_CODE=12
PRODUCT_QUANTITY=13
PRODUCT_VOLUME=14
)";

// A scratch program folder with the definitions above and an order file of `count` orders.
class OrdersFolder
{
  public:
    explicit OrdersFolder(int count)
    {
        m_path = std::filesystem::temp_directory_path() /
                 ("trv_order_keys_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path);
        std::ofstream(m_path / "Data.ini") << kDefinitions;
        std::ofstream orders(m_path / "orders.txt");
        for (int i = 0; i < count; ++i)
            for (int line = 0; line < 2; ++line)
                orders << "O" << i << ";" << i % 5 << ";03/06/2024;" << i % 100 << ".5;C" << i % 997
                       << ";Customer " << i % 997 << ";Madrid;-3.7;40.4;08:00;14:00;P" << line
                       << ";" << 10 + line << ".25;" << line + 1 << "\n";
        ::setenv("TREVANTOR_HOME", m_path.c_str(), 1);
        CFetch::ResetDefinitionFiles();
        ResetUserParameters();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
        TrevantorVariables().SetEntityNavigation(&m_navigation);
    }
    ~OrdersFolder()
    {
        ResetTrevantorVariables();
        ResetModelContext();
        std::filesystem::remove_all(m_path);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
    COrdersNavigation m_navigation;
};

void BM_ImportOrdersThroughKeySets(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    OrdersFolder folder(count);
    CFetchRecordSource source(folder.File("Data.ini"), folder.File("orders.txt"));
    for (auto _ : state) {
        std::unique_ptr<CFieldRecord> input = source.Open("ORDERS", {});
        int read = 0;
        while (input && !input->IsEOF()) {
            if (!input->MoveNext())
                continue;
            COrder order;
            if (!TrevantorVariables().ReadEntity(ENTITY_ORDER, order, *input, 0, nullptr))
                break;
            read += order.lines.GetSize() == 2 ? 1 : 0;
        }
        if (read != count)
            state.SkipWithError("orders lost");
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// The same fields read by hand into an order of the same shape.
void BM_ReadOrderFieldsDirectly(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    OrdersFolder folder(count);
    for (auto _ : state) {
        CFetch fetch;
        if (!fetch.Init("ORDERS", "", "", FETCH_MODE_READ, folder.File("orders.txt"), "", "", 1,
                        nullptr, "", folder.File("Data.ini"))) {
            state.SkipWithError("no definition");
            break;
        }
        int read = 0;
        while (!fetch.IsEOF()) {
            if (!fetch.MoveNext())
                continue;
            COrder order;
            order.Text(ORDER_CODE) = fetch.GetFieldString("ORDER_CODE");
            order.plan.priority = fetch.GetFieldInt("ORDER_PRIORITY");
            order.plan.fromDay = fetch.GetFieldDate("FROM_DAY", trv::OleDate());
            order.plan.budget = fetch.GetFieldFloat("ORDER_BUDGET");
            TLocationData& place = order.customer.location;
            place.code = fetch.GetFieldString("CUSTOMER_CODE");
            place.name = fetch.GetFieldString("CUSTOMER_NAME");
            place.city = fetch.GetFieldString("CUSTOMER_CITY");
            place.coordinates.longitude = fetch.GetFieldDouble("CUSTOMER_LONGITUDE");
            place.coordinates.latitude = fetch.GetFieldDouble("CUSTOMER_LATITUDE");
            const CSmartIntArray starts =
                fetch.GetFieldListTime("CUSTOMER_START_TIME", -1, -1, 0, 0, nullptr);
            const CSmartIntArray ends =
                fetch.GetFieldListTime("CUSTOMER_END_TIME", -1, -1, 0, 0, nullptr);
            for (int i = 0; i < starts.GetSize() && i < ends.GetSize(); ++i)
                place.openingHours.InsertWindow(starts[i], ends[i]);
            // The order's records, one per line, as the key sets walk them.
            const int lineSource = fetch.FindLinkedFetchForField("PRODUCT_CODE");
            while (!fetch.IsLinkedEOF(lineSource) && fetch.MoveNextLinked(lineSource)) {
                auto line = std::make_unique<COrderLine>();
                line->productCode = fetch.GetFieldString("PRODUCT_CODE");
                line->quantity = fetch.GetFieldFloat("PRODUCT_QUANTITY");
                line->volume = fetch.GetFieldFloat("PRODUCT_VOLUME");
                order.lines.Add(line.release());
            }
            read += order.lines.GetSize() == 2 ? 1 : 0;
        }
        if (read != count)
            state.SkipWithError("orders lost");
    }
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_ImportOrdersThroughKeySets)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOrderFieldsDirectly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
