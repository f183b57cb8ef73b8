// Orders reading their 5 lines each through a child linked on its KEY field, for growing numbers
// of orders. The child is found through its key index, so the time per order (items_per_second
// read inversely) must stay flat from 1,000 to 10,000 orders; a child scanned at every order
// would grow linearly. The scanned case is measured beside it at small sizes for contrast.

#include "KLV/Fetch.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLinesPerOrder = 5;
constexpr int kOrderCounts[] = {250, 1000, 2500, 5000, 10000};

// Per order count: orders_N.csv, lines_N.csv and the definitions ORDERS_N (KEY-linked child
// LINES_N) and SCANNED_N (the same lines through a child without KEY).
class GeneratedOrders
{
  public:
    GeneratedOrders()
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_fetch_links_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::ofstream definitions(folder_ / "Links.ini");
        definitions << "[BOOL]\nDEFAULT=1,0\n[TIME]\nDEFAULT=HH:MM\n[DATE]\nDEFAULT=DD/MM/YYYY\n";
        for (const int count : kOrderCounts) {
            WriteData(count);
            const std::string size = std::to_string(count);
            for (const char* kind : {"ORDERS", "SCANNED"}) {
                const std::string child = std::string(kind) == "ORDERS" ? "LINES_" : "PLAIN_";
                definitions << "[" << kind << "_" << size
                            << "_FORMAT]\nTYPE=ASCII\nFILENAME=orders_" << size
                            << ".csv\nSEPARATOR=;\n[" << kind << "_" << size
                            << "]\nCODE=1\nPRODUCTS=(CODE),(ORDER)," << child << size
                            << ",PRODUCT,LIST\nQUANTITY=(CODE),(ORDER)," << child << size
                            << ",QTY\n";
            }
            definitions << "[LINES_" << size << "_FORMAT]\nTYPE=ASCII\nFILENAME=lines_" << size
                        << ".csv\nSEPARATOR=;\nKEY=ORDER\n[LINES_" << size
                        << "]\nORDER=1\nPRODUCT=2\nQTY=3\n";
            definitions << "[PLAIN_" << size << "_FORMAT]\nTYPE=ASCII\nFILENAME=lines_" << size
                        << ".csv\nSEPARATOR=;\n[PLAIN_" << size << "]\nORDER=1\nPRODUCT=2\nQTY=3\n";
        }
    }

    ~GeneratedOrders() { std::filesystem::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  private:
    void WriteData(int count)
    {
        const std::string size = std::to_string(count);
        std::ofstream orders(folder_ / ("orders_" + size + ".csv"), std::ios::binary);
        std::ofstream lines(folder_ / ("lines_" + size + ".csv"), std::ios::binary);
        for (int order = 0; order < count; ++order) {
            const std::string code = "ORD" + std::to_string(order);
            orders << code << '\n';
            for (int line = 0; line < kLinesPerOrder; ++line)
                lines << code << ";P" << line << ";" << order + line << '\n';
        }
    }

    std::filesystem::path folder_;
};

GeneratedOrders& Orders()
{
    static GeneratedOrders orders;
    return orders;
}

void ReadOrders(benchmark::State& state, const char* kind)
{
    const std::string name = std::string(kind) + "_" + std::to_string(state.range(0));
    const std::string definitions = Orders().Path("Links.ini");
    std::size_t characters = 0;
    for (auto _ : state) {
        CFetch orders;
        if (!orders.Init(name, "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", definitions)) {
            state.SkipWithError("the orders definition did not open");
            return;
        }
        while (!orders.IsEOF()) {
            if (!orders.MoveNext())
                continue;
            characters += orders.GetFieldString("PRODUCTS").size();
            characters += static_cast<std::size_t>(orders.GetFieldInt("QUANTITY"));
        }
        orders.Close();
    }
    benchmark::DoNotOptimize(characters);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_OrdersThroughKeyLinkedChild(benchmark::State& state)
{
    ReadOrders(state, "ORDERS");
}

void BM_OrdersThroughScannedChild(benchmark::State& state)
{
    ReadOrders(state, "SCANNED");
}

} // namespace

BENCHMARK(BM_OrdersThroughKeyLinkedChild)
    ->Arg(1000)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrdersThroughScannedChild)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);
