// Reading a 100,000-row SQLite table through the database layer (the recordset a database
// definition walks, every value turned into its text) and importing it through a DATABASE
// definition (CFetch: every field read by name as the importers do), next to the sqlite3 shell
// exporting the same table to CSV in the same run. The import prints "engine/sqlite3", the
// ratio of its processor time to the shell's export in the same iterations.

#include "AllocationCounter.h"
#include "KLV/AdoDB.h"
#include "KLV/AdoRecordset.h"
#include "KLV/Fetch.h"
#include "KLV/SqlDialect.h"
#include "ProcessorTime.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;

// A SQLite file of kRows orders, made once by the sqlite3 shell.
class OrdersDatabase
{
  public:
    OrdersDatabase()
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_sql_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "orders.db").string();
        const std::string script =
            "CREATE TABLE orders (code VARCHAR(20), customer VARCHAR(40), weight DOUBLE "
            "PRECISION, due TIMESTAMP, pallets INTEGER);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(kRows) +
            ") INSERT INTO orders SELECT 'ORD' || i, 'Customer ' || (i % 977), i * 0.25, "
            "datetime('2024-01-01', '+' || (i % 365) || ' days'), i % 33 FROM n;";
        const std::string command = "sqlite3 '" + path_ + "' \"" + script + "\"";
        ok_ = std::system(command.c_str()) == 0;
    }
    ~OrdersDatabase() { std::filesystem::remove_all(folder_); }

    bool Ok() const { return ok_; }
    const std::string& Path() const { return path_; }
    std::string ConnectionString() const { return "Driver=SQLite3;Database=" + path_; }

    // A definitions file with the DATABASE definition ORDERS over the table.
    std::string Definitions() const
    {
        const std::string file = (folder_ / "Data.ini").string();
        std::ofstream(file) << "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=hh:mm\n[DATE]\n"
                               "DEFAULT=DD/MM/YYYY\n[DECIMALS]\nDEFAULT=2\n[ORDERS_FORMAT]\n"
                               "TYPE=DATABASE\nFILENAME="
                            << ConnectionString()
                            << "\nTABLENAME=orders\nKEY=CODE\nORDER_BY=CODE\n[ORDERS]\n"
                               "CODE=code\nCUSTOMER=customer\nWEIGHT=weight\nDUE=due\n"
                               "PALLETS=pallets\n";
        return file;
    }

  private:
    std::filesystem::path folder_;
    std::string path_;
    bool ok_ = false;
};

OrdersDatabase& Database()
{
    static OrdersDatabase database;
    return database;
}

void AppendText(const trv::FieldValue& value, std::string& text)
{
    if (const auto* string = std::get_if<std::string>(&value))
        text += *string;
    else if (const auto* integer = std::get_if<std::int64_t>(&value))
        text += std::to_string(*integer);
    else if (const auto* number = std::get_if<double>(&value))
        text += std::to_string(*number);
    else if (const auto* date = std::get_if<trv::OleDate>(&value))
        text += date->FormatDayFirst();
}

void BM_ReadThroughRecordset(benchmark::State& state)
{
    if (!Database().Ok()) {
        state.SkipWithError("sqlite3 could not create the table");
        return;
    }
    const CAdoDBPtr database = CreateAdoDB(Database().ConnectionString());
    if (!database->m_pConnection) {
        state.SkipWithError(database->m_strLastError.c_str());
        return;
    }
    const trv::CSqlDialect dialect("DATABASE");
    const std::string statement =
        dialect.ReadStatement("orders", "") + " ORDER BY " + dialect.OrderBy({"code"});
    std::string text;
    for (auto _ : state) {
        std::string error;
        const CAdoRecordsetPtr recordset = CreateAdoRecordset(
            database->m_pConnection, statement, adOpenDynamic, adLockOptimistic, adCmdText, error);
        auto rows = recordset->GetRecordset();
        std::size_t bytes = 0;
        for (; rows && !rows->IsEOF(); rows->MoveNext()) {
            text.clear();
            for (std::size_t field = 0; field < rows->FieldCount(); ++field)
                AppendText(rows->Value(field), text);
            bytes += text.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ReadThroughRecordset)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportThroughDefinition(benchmark::State& state)
{
    if (!Database().Ok()) {
        state.SkipWithError("sqlite3 could not create the table");
        return;
    }
    const std::string definitions = Database().Definitions();
    const std::string command =
        "sqlite3 -csv '" + Database().Path() + "' 'SELECT * FROM orders ORDER BY code' > /dev/null";
    double engine = 0;
    double shell = 0;
    long long allocations = 0;
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        const long long allocationsBefore = AllocationCount();
        CFetch fetch;
        if (!fetch.Init("ORDERS", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "",
                        definitions)) {
            state.SkipWithError(fetch.m_strLastError.c_str());
            return;
        }
        std::size_t bytes = 0;
        int records = 0;
        while (!fetch.IsEOF()) {
            if (!fetch.MoveNext())
                continue;
            bytes += fetch.GetFieldString("CODE").size() + fetch.GetFieldString("CUSTOMER").size();
            bytes += static_cast<std::size_t>(fetch.GetFieldDouble("WEIGHT") > 0);
            bytes += static_cast<std::size_t>(fetch.GetFieldInt("PALLETS"));
            bytes += fetch.GetFieldString("DUE").size();
            ++records;
        }
        fetch.Close();
        engine += ThreadCpuSeconds() - start;
        allocations += AllocationCount() - allocationsBefore;
        if (records != kRows) {
            state.SkipWithError("not every row was imported");
            return;
        }
        benchmark::DoNotOptimize(bytes);
        // The sqlite3 shell's CSV export of the same table, in the same iteration.
        const double shellStart = ChildrenCpuSeconds();
        benchmark::DoNotOptimize(std::system(command.c_str()));
        shell += ChildrenCpuSeconds() - shellStart;
    }
    state.counters["engine/sqlite3"] = engine / shell;
    // Five fields read per row.
    state.counters["engine_allocations/value"] =
        static_cast<double>(allocations) / (static_cast<double>(state.iterations()) * kRows * 5);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportThroughDefinition)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sqlite3ShellCsvExport(benchmark::State& state)
{
    if (!Database().Ok()) {
        state.SkipWithError("sqlite3 could not create the table");
        return;
    }
    const std::string command =
        "sqlite3 -csv '" + Database().Path() + "' 'SELECT * FROM orders ORDER BY code' > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
    state.SetItemsProcessed(state.iterations() * kRows);
}
// Real time: the work happens in the child process.
BENCHMARK(BM_Sqlite3ShellCsvExport)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
