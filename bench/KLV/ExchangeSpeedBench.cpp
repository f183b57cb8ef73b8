// The engine against the tools a planner would compare it with, both sides timed in the same
// iteration (processor time), each pair printing its ratio as a counter:
//   BM_ReadEveryFieldAsText   engine/awk   reading every field of every record as text
//   BM_ReadTypedFields        engine/awk   every field through its typed getter
//   BM_WriteThroughDefinition engine/ofstream  the same rows written through a definition (and
//                                              the allocations per value it made)
//   BM_XmlRepeatedRecords     40k/20k      an XML source of 40,000 records against 20,000
//   BM_DateTimeAllocations    allocations/value  dates and times read and written
// The peer of the reads is awk summing the length of every field. The source is a generated
// file of TRV_BENCH_ROWS records (1,000,000 unless set) of 20 ';'-separated fields, made once
// per run in the temporary folder.

#include "AllocationCounter.h"
#include "KLV/Fetch.h"
#include "ProcessorTime.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColumns = 20;

// What each column holds, and the getter that reads it.
enum class Column
{
    Text,
    Int,
    Real,
    Date,
    Time,
};
constexpr Column kLayout[kColumns] = {Column::Text, Column::Text, Column::Int,  Column::Real,
                                      Column::Date, Column::Time, Column::Int,  Column::Real,
                                      Column::Text, Column::Date, Column::Time, Column::Int,
                                      Column::Int,  Column::Real, Column::Text, Column::Int,
                                      Column::Time, Column::Real, Column::Int,  Column::Text};

int RowCount()
{
    const char* rows = std::getenv("TRV_BENCH_ROWS");
    const int count = rows ? std::atoi(rows) : 0;
    return count > 0 ? count : 1000000;
}

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// The generated source, its definitions and the names of its fields.
class ExchangeSource
{
  public:
    ExchangeSource() : rows_(RowCount())
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trv_exchange_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::ofstream data(folder_ / "orders.csv", std::ios::binary);
        std::string line;
        for (int row = 0; row < rows_; ++row) {
            line.clear();
            for (int column = 0; column < kColumns; ++column) {
                if (column > 0)
                    line += ';';
                AppendValue(line, row, column);
            }
            line += '\n';
            data << line;
        }
        data.close();
        bytes_ = std::filesystem::file_size(folder_ / "orders.csv");

        std::ofstream definitions(folder_ / "Data.ini");
        definitions << "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\n[DATE]\nDEFAULT=DD/MM/YYYY\n"
                       "[DECIMALS]\nDEFAULT=2\n[DEFAULT]\nDECIMAL_SEP=.\n"
                       "[ORDERS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nFILENAME=orders.csv\n"
                       "[OUT_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nFILENAME=out.csv\n";
        for (const char* section : {"ORDERS", "OUT"}) {
            definitions << "[" << section << "]\n";
            for (int column = 0; column < kColumns; ++column)
                definitions << "F" << column << "=" << column + 1 << "\n";
        }
        for (int column = 0; column < kColumns; ++column)
            names_.push_back("F" + std::to_string(column));
    }
    ~ExchangeSource() { std::filesystem::remove_all(folder_); }

    static void AppendValue(std::string& line, int row, int column)
    {
        char text[32];
        const int n = row + column * 7;
        switch (kLayout[column]) {
        case Column::Text:
            std::snprintf(text, sizeof text, column == 0 ? "ORD%07d" : "C%d", n % 100000);
            break;
        case Column::Int:
            std::snprintf(text, sizeof text, "%d", n % 1000);
            break;
        case Column::Real:
            std::snprintf(text, sizeof text, "%d.%d", n % 100, n % 97);
            break;
        case Column::Date:
            std::snprintf(text, sizeof text, "%02d/%02d/20%02d", n % 28 + 1, n % 12 + 1, n % 30);
            break;
        case Column::Time:
            std::snprintf(text, sizeof text, "%02d:%02d", n % 24, n % 60);
            break;
        }
        line += text;
    }

    std::string Path(const char* name) const { return (folder_ / name).string(); }
    int Rows() const { return rows_; }
    std::uintmax_t Bytes() const { return bytes_; }
    const std::vector<std::string>& Names() const { return names_; }

    int Open(CFetch& fetch, const char* name, int mode) const
    {
        return fetch.Init(name, "", "", mode, "", "", "", 1, nullptr, "", Path("Data.ini"));
    }

    // awk reading every field of the file; its processor time.
    double Awk() const
    {
        const std::string command = "awk -F';' '{for(i=1;i<=NF;i++) s+=length($i)} END{print s}' " +
                                    Path("orders.csv") + " >/dev/null";
        const double start = ChildrenCpuSeconds();
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "awk failed\n");
        return ChildrenCpuSeconds() - start;
    }

  private:
    std::filesystem::path folder_;
    int rows_;
    std::uintmax_t bytes_ = 0;
    std::vector<std::string> names_;
};

ExchangeSource& Source()
{
    static ExchangeSource source;
    return source;
}

// Reads every record, every field as text or through its typed getter; the records read.
int ReadAll(bool typed, std::size_t& sink)
{
    const ExchangeSource& source = Source();
    CFetch fetch;
    if (!source.Open(fetch, "ORDERS", FETCH_MODE_READ))
        return -1;
    const std::vector<std::string>& names = source.Names();
    const trv::OleDate noDate;
    int records = 0;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        ++records;
        for (int column = 0; column < kColumns; ++column) {
            const std::string& name = names[static_cast<std::size_t>(column)];
            if (!typed) {
                sink += fetch.GetFieldString(name).size();
                continue;
            }
            switch (kLayout[column]) {
            case Column::Text:
                sink += fetch.GetFieldString(name).size();
                break;
            case Column::Int:
                sink += static_cast<std::size_t>(fetch.GetFieldInt(name));
                break;
            case Column::Real:
                sink += static_cast<std::size_t>(fetch.GetFieldDouble(name));
                break;
            case Column::Date:
                sink += static_cast<std::size_t>(fetch.GetFieldDate(name, noDate).GetDay());
                break;
            case Column::Time:
                sink += static_cast<std::size_t>(fetch.GetFieldTime(name));
                break;
            }
        }
    }
    return records;
}

void ReadAgainstAwk(benchmark::State& state, bool typed)
{
    const ExchangeSource& source = Source();
    double engine = 0;
    double awk = 0;
    std::size_t sink = 0;
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        const int records = ReadAll(typed, sink);
        engine += ThreadCpuSeconds() - start;
        awk += source.Awk();
        if (records != source.Rows()) {
            state.SkipWithError("not every record was read");
            return;
        }
    }
    benchmark::DoNotOptimize(sink);
    state.counters["engine/awk"] = engine / awk;
    state.counters["engine_cpu_s"] = engine / static_cast<double>(state.iterations());
    state.counters["awk_cpu_s"] = awk / static_cast<double>(state.iterations());
    state.counters["MB"] = static_cast<double>(source.Bytes()) / 1e6;
    state.SetItemsProcessed(state.iterations() * source.Rows());
}

void BM_ReadEveryFieldAsText(benchmark::State& state)
{
    ReadAgainstAwk(state, false);
}
BENCHMARK(BM_ReadEveryFieldAsText)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadTypedFields(benchmark::State& state)
{
    ReadAgainstAwk(state, true);
}
BENCHMARK(BM_ReadTypedFields)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rows written through a definition and by a buffered std::ofstream loop joining the
// same texts.
void BM_WriteThroughDefinition(benchmark::State& state)
{
    const ExchangeSource& source = Source();
    // Texts of mixed lengths, some numeric, as an export of orders would hold.
    std::vector<std::string> values;
    for (int value = 0; value < 97; ++value)
        values.push_back(value % 3 == 0 ? std::to_string(value * 137)
                                        : "Value " + std::to_string(value) + " of text");
    const std::vector<std::string>& names = source.Names();
    const int rows = source.Rows();
    double engine = 0;
    double stream = 0;
    long long allocations = 0;
    for (auto _ : state) {
        double start = ThreadCpuSeconds();
        const long long allocationsBefore = AllocationCount();
        {
            CFetch fetch;
            if (!source.Open(fetch, "OUT", FETCH_MODE_WRITE)) {
                state.SkipWithError("the target could not be opened");
                return;
            }
            for (int row = 0; row < rows; ++row) {
                for (int column = 0; column < kColumns; ++column)
                    fetch.SetFieldString(names[static_cast<std::size_t>(column)],
                                         values[static_cast<std::size_t>(row + column) % 97]);
                fetch.WriteRecord();
                fetch.ClearRecord();
            }
            if (!fetch.Close()) {
                state.SkipWithError("the target could not be written");
                return;
            }
        }
        engine += ThreadCpuSeconds() - start;
        allocations += AllocationCount() - allocationsBefore;
        start = ThreadCpuSeconds();
        {
            std::ofstream out(source.Path("stream.csv"), std::ios::binary);
            std::string line;
            for (int row = 0; row < rows; ++row) {
                line.clear();
                for (int column = 0; column < kColumns; ++column) {
                    if (column > 0)
                        line += ';';
                    line += values[static_cast<std::size_t>(row + column) % 97];
                }
                line += '\n';
                out << line;
            }
        }
        stream += ThreadCpuSeconds() - start;
    }
    if (std::filesystem::file_size(source.Path("out.csv")) !=
        std::filesystem::file_size(source.Path("stream.csv")))
        state.SkipWithError("the two files differ in size");
    state.counters["engine/ofstream"] = engine / stream;
    state.counters["engine_cpu_s"] = engine / static_cast<double>(state.iterations());
    state.counters["ofstream_cpu_s"] = stream / static_cast<double>(state.iterations());
    state.counters["engine_allocations/value"] =
        static_cast<double>(allocations) /
        (static_cast<double>(state.iterations()) * rows * kColumns);
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_WriteThroughDefinition)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// An XML source of `records` repeated Order elements read through a definition; its time, or
// none when not every record was read.
std::optional<Clock::duration> ReadXml(const std::string& folder, int records)
{
    const std::string file = folder + "/orders" + std::to_string(records) + ".xml";
    {
        std::ofstream xml(file, std::ios::binary);
        xml << "<Root><Depot>North</Depot>";
        for (int record = 0; record < records; ++record)
            xml << "<Order><Id>O" << record << "</Id><Qty>" << record % 50
                << "</Qty><Line><Product>P" << record % 13 << "</Product></Line></Order>";
        xml << "</Root>";
    }
    const auto start = Clock::now();
    CFetch fetch;
    fetch.Init("XML_ORDERS", "", "", FETCH_MODE_READ, file, "", "", 1, nullptr, "",
               folder + "/Xml.ini");
    std::size_t sink = 0;
    int read = 0;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        sink += fetch.GetFieldString("ID").size() + fetch.GetFieldString("PRODUCT").size();
        ++read;
    }
    benchmark::DoNotOptimize(sink);
    if (read != records)
        return std::nullopt;
    return Clock::now() - start;
}

void BM_XmlRepeatedRecords(benchmark::State& state)
{
    const ExchangeSource& source = Source();
    const std::string folder = source.Path("");
    std::ofstream(folder + "/Xml.ini")
        << "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\n[DATE]\nDEFAULT=DD/MM/YYYY\n"
           "[XML_ORDERS_FORMAT]\nTYPE=XML\n[XML_ORDERS]\nDEPOT=Root.Depot\nID=Root.Order.Id\n"
           "QTY=Root.Order.Qty\nPRODUCT=Root.Order.Line.Product\n";
    Clock::duration small{};
    Clock::duration large{};
    for (auto _ : state) {
        const auto smallTime = ReadXml(folder, 20000);
        const auto largeTime = ReadXml(folder, 40000);
        if (!smallTime || !largeTime) {
            state.SkipWithError("not every XML record was read");
            return;
        }
        small += *smallTime;
        large += *largeTime;
    }
    state.counters["20k_s"] = Seconds(small) / static_cast<double>(state.iterations());
    state.counters["40k_s"] = Seconds(large) / static_cast<double>(state.iterations());
    state.counters["40k/20k"] = Seconds(large) / Seconds(small);
}
BENCHMARK(BM_XmlRepeatedRecords)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Allocations made per date or time value once the first records have grown the buffers:
// read through GetFieldDate and GetFieldTime, and written through SetFieldDate and
// SetFieldTime.
void BM_DateTimeAllocations(benchmark::State& state)
{
    const ExchangeSource& source = Source();
    const std::vector<std::string>& names = source.Names();
    const trv::OleDate noDate;
    long long readAllocations = 0;
    long long writeAllocations = 0;
    long long values = 0;
    for (auto _ : state) {
        CFetch reader;
        CFetch writer;
        if (!source.Open(reader, "ORDERS", FETCH_MODE_READ) ||
            !source.Open(writer, "OUT", FETCH_MODE_WRITE)) {
            state.SkipWithError("the definitions could not be opened");
            return;
        }
        int record = 0;
        int sink = 0;
        while (!reader.IsEOF() && record < 20000) {
            if (!reader.MoveNext())
                continue;
            const bool counted = ++record > 100;
            for (int column = 0; column < kColumns; ++column) {
                const std::string& name = names[static_cast<std::size_t>(column)];
                if (kLayout[column] != Column::Date && kLayout[column] != Column::Time)
                    continue;
                const long long before = AllocationCount();
                if (kLayout[column] == Column::Date) {
                    const trv::OleDate date = reader.GetFieldDate(name, noDate);
                    const long long read = AllocationCount();
                    writer.SetFieldDate(name, date);
                    sink += date.GetDay();
                    if (counted) {
                        readAllocations += read - before;
                        writeAllocations += AllocationCount() - read;
                    }
                } else {
                    const int minutes = reader.GetFieldTime(name);
                    const long long read = AllocationCount();
                    writer.SetFieldTime(name, minutes);
                    sink += minutes;
                    if (counted) {
                        readAllocations += read - before;
                        writeAllocations += AllocationCount() - read;
                    }
                }
                values += counted ? 1 : 0;
            }
            writer.WriteRecord();
            writer.ClearRecord();
        }
        benchmark::DoNotOptimize(sink);
    }
    state.counters["read_allocations/value"] =
        static_cast<double>(readAllocations) / static_cast<double>(values);
    state.counters["write_allocations/value"] =
        static_cast<double>(writeAllocations) / static_cast<double>(values);
}
BENCHMARK(BM_DateTimeAllocations)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
