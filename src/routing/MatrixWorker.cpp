#include "routing/MatrixWorker.h"

#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "params/Parameters.h"
#include "routing/RoutingMapAndGuideClient.h"
#include "routing/RoutinoEngine.h"
#include "routing/StraightLineDistances.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Files hold little-endian words; so does every machine this program runs on.
static_assert(sizeof(float) == 4);

void PutWord(std::string& out, int32_t value)
{
    char bytes[4];
    std::memcpy(bytes, &value, 4);
    out.append(bytes, 4);
}

void PutFloat(std::string& out, float value)
{
    char bytes[4];
    std::memcpy(bytes, &value, 4);
    out.append(bytes, 4);
}

int32_t GetWord(const char* data)
{
    int32_t value = 0;
    std::memcpy(&value, data, 4);
    return value;
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

// Written under a temporary name and renamed, so a reader sees the old file or the whole new one.
bool WriteWholeFile(const std::string& path, const std::string& data)
{
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file.write(data.data(), static_cast<std::streamsize>(data.size())) || !file.flush())
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

std::string Indexed(const std::string& folder, const char* prefix, int index)
{
    return folder + prefix + std::to_string(index) + ".dat";
}

} // namespace

std::vector<TMatrixBlock> SplitMatrixRows(int nodeCount, int workers)
{
    std::vector<TMatrixBlock> blocks;
    if (nodeCount <= 0)
        return blocks;
    workers = std::max(workers, 1);
    int perWorker = nodeCount / workers;
    int extra = nodeCount % workers;
    if (perWorker == 0) {
        workers = extra;
        perWorker = 1;
        extra = 0;
    }
    int first = 0;
    for (int worker = 0; worker < workers; ++worker) {
        const int count = perWorker + (worker < extra ? 1 : 0);
        blocks.push_back({first, count});
        first += count;
    }
    return blocks;
}

std::string MatrixInputFile(const std::string& folder, int index)
{
    return Indexed(folder, "Mx_In_", index);
}

std::string MatrixOutputFile(const std::string& folder, int index)
{
    return Indexed(folder, "Mx_Out_", index);
}

std::string MatrixProgressFile(const std::string& folder, int index)
{
    return Indexed(folder, "Prog_", index);
}

bool WriteMatrixInput(const std::string& path, const std::vector<TRoutingPoint>& nodes,
                      const TMatrixBlock& block)
{
    if (block.first < 0 || block.count < 0 ||
        static_cast<std::size_t>(block.first) + static_cast<std::size_t>(block.count) >
            nodes.size())
        return false;
    std::string data;
    data.reserve(8 + 8 * (static_cast<std::size_t>(block.count) + nodes.size()));
    PutWord(data, block.count);
    PutWord(data, static_cast<int32_t>(nodes.size()));
    for (int origin = block.first; origin < block.first + block.count; ++origin) {
        PutWord(data, nodes[static_cast<std::size_t>(origin)].x);
        PutWord(data, nodes[static_cast<std::size_t>(origin)].y);
    }
    for (const TRoutingPoint& node : nodes) {
        PutWord(data, node.x);
        PutWord(data, node.y);
    }
    return WriteWholeFile(path, data);
}

bool ParseMatrixInput(const char* data, std::size_t size, std::vector<TRoutingPoint>& origins,
                      std::vector<TRoutingPoint>& nodes, std::string& error)
{
    origins.clear();
    nodes.clear();
    if (size < 8) {
        error = "the input is shorter than its counts";
        return false;
    }
    const int32_t rows = GetWord(data);
    const int32_t count = GetWord(data + 4);
    if (rows < 0 || count < 0 || rows > count) {
        error = "the input's counts are impossible: " + std::to_string(rows) + " origins of " +
                std::to_string(count) + " nodes";
        return false;
    }
    const std::size_t expected =
        8 + 8 * (static_cast<std::size_t>(rows) + static_cast<std::size_t>(count));
    if (size != expected) {
        error = "the input holds " + std::to_string(size) + " bytes where its counts need " +
                std::to_string(expected);
        return false;
    }
    const char* at = data + 8;
    const auto readPoints = [&at](std::vector<TRoutingPoint>& points, int32_t n) {
        points.resize(static_cast<std::size_t>(n));
        for (TRoutingPoint& point : points) {
            point.x = GetWord(at);
            point.y = GetWord(at + 4);
            at += 8;
        }
    };
    readPoints(origins, rows);
    readPoints(nodes, count);
    return true;
}

bool ReadMatrixInput(const std::string& path, std::vector<TRoutingPoint>& origins,
                     std::vector<TRoutingPoint>& nodes, std::string& error)
{
    std::string data;
    if (!ReadWholeFile(path, data, error))
        return false;
    if (!ParseMatrixInput(data.data(), data.size(), origins, nodes, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool WriteMatrixOutput(const std::string& path, int rows, int columns,
                       const std::vector<TMatrixOutputCell>& cells)
{
    if (rows < 0 || columns < 0 ||
        cells.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns))
        return false;
    std::string data;
    data.reserve(8 + 8 * cells.size());
    PutWord(data, rows);
    PutWord(data, columns);
    for (const TMatrixOutputCell& cell : cells) {
        PutFloat(data, cell.km);
        PutFloat(data, cell.minutes);
    }
    return WriteWholeFile(path, data);
}

bool ParseMatrixOutput(const char* data, std::size_t size, int rows, int columns,
                       std::vector<TMatrixOutputCell>& cells, std::string& error)
{
    cells.clear();
    if (size < 8) {
        error = "the output is shorter than its counts";
        return false;
    }
    const int32_t fileRows = GetWord(data);
    const int32_t fileColumns = GetWord(data + 4);
    if (fileRows != rows || fileColumns != columns) {
        error = "the output holds " + std::to_string(fileRows) + " x " +
                std::to_string(fileColumns) + " cells where " + std::to_string(rows) + " x " +
                std::to_string(columns) + " were asked";
        return false;
    }
    if (rows < 0 || columns < 0) {
        error = "the output's counts are negative";
        return false;
    }
    // Compared in cells, so no product of the counts can wrap round to the file's length.
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if ((size - 8) % 8 != 0 || count != (size - 8) / 8) {
        error = "the output holds " + std::to_string(size) + " bytes where " +
                std::to_string(rows) + " x " + std::to_string(columns) + " cells were expected";
        return false;
    }
    cells.resize(count);
    std::memcpy(cells.data(), data + 8, 8 * count);
    return true;
}

bool ReadMatrixOutputFile(const std::string& path, int rows, int columns,
                          std::vector<TMatrixOutputCell>& cells, std::string& error)
{
    std::string data;
    if (!ReadWholeFile(path, data, error))
        return false;
    if (!ParseMatrixOutput(data.data(), data.size(), rows, columns, cells, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool WriteMatrixProgress(const std::string& path, int progress)
{
    std::string data;
    PutWord(data, progress);
    return WriteWholeFile(path, data);
}

int ReadMatrixProgress(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return -1;
    char bytes[4];
    const bool read = std::fread(bytes, 1, 4, file) == 4;
    std::fclose(file);
    return read ? GetWord(bytes) : -1;
}

int UnitsToMinutes(double units)
{
    return static_cast<int>(units * (1.0 / 6.0) + 0.5);
}

int RunMatrixWorker(int argc, const char* const* argv)
{
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: %s <program id> <worker> <road-editor database> <speed file> "
                     "<first origin>\n",
                     argc > 0 ? argv[0] : kMatrixWorkerProgram);
        return 2;
    }
    const std::string folder = GetTempFolder(0) + "Trevantor" + argv[1] + "/";
    const int index = std::atoi(argv[2]);
    const std::string speedFile = argv[4];
    const std::string progressFile = MatrixProgressFile(folder, index);
    std::vector<TRoutingPoint> origins;
    std::vector<TRoutingPoint> nodes;
    std::string error;
    if (!ReadMatrixInput(MatrixInputFile(folder, index), origins, nodes, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    WriteMatrixProgress(progressFile, 0);
    // The company's parameters give the vehicle; without them the defaults serve.
    UserParameters().Load();
    TRoutingConfiguration configuration;
    configuration.Read();
    RoutinoEngine engine;
    if (!engine.Open(configuration.nodeGraphPath, error) ||
        !engine.SetProfile(ReadRouteProfile(speedFile), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::vector<double> metres;
    std::vector<double> units;
    const int rows = static_cast<int>(origins.size());
    engine.CalculateMatrix(origins, nodes, metres, units, [&](int done) {
        // 100 only once the output is written.
        WriteMatrixProgress(progressFile, rows > 0 ? done * 99 / rows : 99);
        return true;
    });
    std::vector<TMatrixOutputCell> cells(metres.size());
    for (std::size_t cell = 0; cell < cells.size(); ++cell) {
        if (metres[cell] < 0.0) {
            cells[cell] = {-1.0f, -1.0f};
            continue;
        }
        // Minutes rounded here, so the reader's truncation keeps them.
        cells[cell] = {static_cast<float>(metres[cell] * 0.001),
                       static_cast<float>(UnitsToMinutes(units[cell]))};
    }
    if (!WriteMatrixOutput(MatrixOutputFile(folder, index), rows, static_cast<int>(nodes.size()),
                           cells)) {
        std::fprintf(stderr, "%s: cannot be written\n", MatrixOutputFile(folder, index).c_str());
        return 1;
    }
    WriteMatrixProgress(progressFile, 101);
    return 0;
}
