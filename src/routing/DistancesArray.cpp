#include "routing/DistancesArray.h"

#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "params/Parameters.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"
#include "routing/RoutingContext.h"
#include "routing/RoutingText.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kMark[4] = {'D', 'S', 'T', '\0'};
constexpr std::size_t kCellAlignment = 64;
constexpr std::size_t kHugePage = 2 << 20;
// Cells move between file and memory in blocks of this many bytes.
constexpr std::size_t kBlockBytes = 256 << 10;
constexpr std::size_t kCellsPerBlock = kBlockBytes / sizeof(TDistanceCell);
// Threads reading a large matrix file at once.
constexpr std::size_t kReaders = 4;

// The integer part of a value, held inside the int range (files may hold any float).
int32_t TruncateMinutes(double value)
{
    if (std::isnan(value))
        return 0;
    if (!(value > -2147483648.0))
        return INT32_MIN;
    if (!(value < 2147483647.0))
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

// Minutes as stored: the integer part of the value + 0.5.
int32_t RoundMinutes(float minutes)
{
    return TruncateMinutes(static_cast<double>(minutes) + 0.5);
}

// A 4-byte word of the cell array, read and written whatever the cell field's type.
typedef uint32_t CellWord __attribute__((may_alias));

// The position of the first cell read from a file that holds the no-way mark (the largest float
// in its minutes or its km), or `count`.
std::size_t FindNoWayCell(const TDistanceCell* cells, std::size_t count)
{
    const CellWord* words = reinterpret_cast<const CellWord*>(cells);
    const uint32_t noWay = std::bit_cast<uint32_t>(FLT_MAX);
    uint32_t anyNoWay = 0;
#pragma omp simd reduction(| : anyNoWay)
    for (std::size_t word = 0; word < 2 * count; ++word)
        anyNoWay |= static_cast<uint32_t>(words[word] == noWay);
    if (anyNoWay == 0)
        return count;
    std::size_t word = 0;
    while (words[word] != noWay)
        ++word;
    return word / 2;
}

// Turns cells read from a file (float minutes, float km) into memory cells (km, minutes) in
// place, minutes as the integer part of minutes + 0.5 held inside the int range (what
// RoundMinutes gives). Worked out in single precision without branches, so the compiler converts
// four cells at once: the fraction left by truncation is exact in a float.
// True when a cell held the no-way mark (the largest float in its minutes or its km).
bool ConvertFileCells(TDistanceCell* cells, std::size_t count)
{
    CellWord* words = reinterpret_cast<CellWord*>(cells);
    const uint32_t noWay = std::bit_cast<uint32_t>(FLT_MAX);
    uint32_t anyNoWay = 0;
#pragma omp simd reduction(| : anyNoWay)
    for (std::size_t index = 0; index < count; ++index) {
        const uint32_t kmBits = words[2 * index + 1];
        anyNoWay |= static_cast<uint32_t>(words[2 * index] == noWay) |
                    static_cast<uint32_t>(kmBits == noWay);
        const float minutes = std::bit_cast<float>(words[2 * index]);
        float clamped = minutes < 2147483520.0f ? minutes : 2147483520.0f; // largest below 2^31
        clamped = clamped > -2147483648.0f ? clamped : -2147483648.0f;
        clamped = minutes == minutes ? clamped : 0.0f;
        const int32_t whole = static_cast<int32_t>(clamped);
        const float fraction = clamped - static_cast<float>(whole);
        // Adding 0.5 crosses the next integer towards zero's other side only here.
        const int32_t up = clamped >= 0.0f
                               ? static_cast<int32_t>(fraction >= 0.5f)
                               : static_cast<int32_t>((whole <= -1) & (fraction > -0.5f));
        int32_t rounded = whole + up;
        rounded = minutes >= 2147483648.0f ? INT32_MAX : rounded;
        rounded = minutes < -2147483648.0f ? INT32_MIN : rounded;
        words[2 * index] = kmBits;
        words[2 * index + 1] = static_cast<uint32_t>(rounded);
    }
    return anyNoWay != 0;
}

// Reads `count` bytes at `offset` without moving any stream; false on an error or a short file.
bool ReadAt(int descriptor, void* buffer, std::size_t count, long long offset)
{
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0) {
        const ssize_t result = ::pread(descriptor, bytes, count, static_cast<off_t>(offset));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        bytes += result;
        offset += result;
        count -= static_cast<std::size_t>(result);
    }
    return true;
}

bool ReadWords(std::FILE* file, int32_t* words, std::size_t count)
{
    return std::fread(words, sizeof(int32_t), count, file) == count;
}

bool WriteWords(std::FILE* file, const int32_t* words, std::size_t count)
{
    return std::fwrite(words, sizeof(int32_t), count, file) == count;
}

int32_t FloatBits(float value)
{
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

void CTiemposCamino::Grow(int first, int second)
{
    if (first <= m_firstDimension)
        return;
    m_firstDimension = first;
    m_secondDimension = second;
    m_values.resize(
        second > 0 ? static_cast<std::size_t>(first) * static_cast<std::size_t>(second) : 0, 0);
}

void CDistancesArray::AlignedFree::operator()(TDistanceCell* cells) const
{
    std::free(cells);
}

void CDistancesArray::Free()
{
    Reset();
    m_cells.reset();
    m_cellCapacity = 0;
}

void CDistancesArray::Reset()
{
    m_cellCount = 0;
    m_tables.clear();
    m_tables.shrink_to_fit();
    m_secondDimension = -1;
    m_firstDimension = -1;
    m_slots.clear();
    m_date = trv::OleDate();
    m_version = -1;
    m_rowCount = -1;
    m_columnCount = -1;
    m_straightLine = 0;
}

void CDistancesArray::AllocateCells(std::size_t count, bool zeroFill)
{
    m_cellCount = 0;
    if (count > m_cellCapacity) {
        m_cells.reset();
        m_cellCapacity = 0;
        // Large arrays start on a huge-page boundary so the kernel may back them with huge pages.
        const std::size_t bytes = count * sizeof(TDistanceCell);
        const std::size_t alignment = bytes >= kHugePage ? kHugePage : kCellAlignment;
        auto* cells = static_cast<TDistanceCell*>(
            std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment));
        if (cells == nullptr)
            throw std::bad_alloc();
        if (bytes >= kHugePage)
            ::madvise(cells, bytes, MADV_HUGEPAGE);
        m_cells.reset(cells);
        m_cellCapacity = count;
    }
    if (zeroFill && count > 0)
        std::memset(static_cast<void*>(m_cells.get()), 0, count * sizeof(TDistanceCell));
    m_cellCount = count;
}

void CDistancesArray::Allocate(int nodeCount, bool withTables, int first, int second)
{
    const int n = nodeCount < 0 ? 0 : nodeCount;
    AllocateCells(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), true);
    m_rowCount = n;
    m_columnCount = n;
    m_tables.clear();
    if (withTables)
        AllocateTables(first, second);
}

void CDistancesArray::AllocateTables(int first, int second)
{
    m_tables.resize(m_cellCount);
    for (CTiemposCamino& table : m_tables)
        table.Grow(first, second);
    m_firstDimension = first;
    m_secondDimension = second;
}

void CDistancesArray::SetDate(const trv::OleDate& date)
{
    m_date = date;
    m_date.SetStatus(trv::OleDate::valid);
}

void CDistancesArray::CopyCells(CDistancesArray& target) const
{
    for (int row = 0; row < GetNodeCount(); ++row)
        for (int column = 0; column < GetNodeCount(); ++column)
            target.Cell(row, column) = Cell(row, column);
}

bool CDistancesArray::Save(const std::string& path)
{
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return false;
    m_version = 2;
    int year = -1, month = -1, day = -1, hour, minute, second;
    if (!m_date.GetParts(year, month, day, hour, minute, second))
        year = month = day = -1;
    const bool withTables = HasTables();
    const int32_t header[8] = {static_cast<int32_t>(GetNodeCount()),
                               0,
                               m_version,
                               day,
                               month,
                               year,
                               m_secondDimension,
                               m_firstDimension};
    bool written = WriteWords(file, header, 1) && std::fwrite(kMark, 1, 4, file) == 4 &&
                   WriteWords(file, header + 2, 6);
    // A names the slot entries that follow, whatever the slot array's own length.
    if (m_firstDimension > 0) {
        std::vector<int32_t> slots(m_slots);
        slots.resize(static_cast<std::size_t>(m_firstDimension), 0);
        written = written && WriteWords(file, slots.data(), slots.size());
    }
    const int32_t tail[3] = {withTables ? 1 : 0, m_routingValue1, m_routingValue2};
    written = written && WriteWords(file, tail, 3);
    const std::size_t tableWords =
        withTables && m_firstDimension > 0 && m_secondDimension > 0
            ? static_cast<std::size_t>(m_firstDimension) * m_secondDimension
            : 0;
    // Cells go out as float minutes then float km, a block at a time.
    std::vector<int32_t> block;
    block.reserve(2 * kCellsPerBlock);
    for (std::size_t start = 0; written && start < m_cellCount; start += kCellsPerBlock) {
        const std::size_t end = std::min(m_cellCount, start + kCellsPerBlock);
        block.clear();
        for (std::size_t index = start; index < end; ++index) {
            block.push_back(FloatBits(static_cast<float>(m_cells[index].minutes)));
            block.push_back(FloatBits(m_cells[index].km));
            if (tableWords == 0)
                continue;
            written = WriteWords(file, block.data(), block.size()) &&
                      WriteWords(file, m_tables[index].Values(), tableWords);
            block.clear();
        }
        written = written && WriteWords(file, block.data(), block.size());
    }
    const int32_t flag = m_straightLine;
    written = written && WriteWords(file, &flag, 1);
    written = std::fclose(file) == 0 && written;
    std::error_code error;
    if (written)
        std::filesystem::rename(temporary, path, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

bool CDistancesArray::Load(const std::string& path)
{
    Reset();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::fseek(file, 0, SEEK_END);
    const long long length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (length == 0) {
        std::fclose(file);
        std::error_code error;
        if (!std::filesystem::remove(path, error) || error)
            trv::GetUserPrompt().ShowMessage("ErrorImpossibleDeleteFile",
                                             RoutingMessage("ErrorImpossibleDeleteFile", path),
                                             trv::MessageKind::Error);
        return false;
    }
    int32_t words[2];
    bool result = false;
    if (length >= 8 && ReadWords(file, words, 2) && std::memcmp(&words[1], kMark, 4) == 0) {
        m_rowCount = m_columnCount = words[0];
        result = LoadBinary(file, length);
    } else {
        std::fseek(file, 0, SEEK_SET);
        result = LoadText(file, length);
    }
    std::fclose(file);
    if (!result && m_rowCount < 0)
        TRV_TRACE(1, "CDistancesArray::Load", "El fichero %s no es una matriz de distancias",
                  path.c_str());
    return result;
}

bool CDistancesArray::LoadBinary(std::FILE* file, long long fileLength)
{
    const int32_t n = m_rowCount;
    m_rowCount = m_columnCount = -1;
    int32_t header[6]; // version, day, month, year, B, A
    if (n < 0 || !ReadWords(file, header, 6))
        return false;
    const int32_t version = header[0];
    const int32_t second = header[4];
    const int32_t first = header[5];
    // The layout must fit the file before anything the size of the matrix is allocated.
    using Wide = unsigned __int128;
    const Wide slotWords = first > 0 ? static_cast<Wide>(first) : 0;
    if (32 + 4 * slotWords + 4 > static_cast<Wide>(fileLength))
        return false;
    std::vector<int32_t> slots(static_cast<std::size_t>(slotWords));
    int32_t tablesFlag = 0;
    if (!ReadWords(file, slots.data(), slots.size()) || !ReadWords(file, &tablesFlag, 1))
        return false;
    int32_t routing[2] = {0, -1};
    if (version > 1 && !ReadWords(file, routing, 2))
        return false;
    const bool withTables = tablesFlag == 1;
    const Wide tableWords = withTables && first > 0 && second > 0
                                ? static_cast<Wide>(first) * static_cast<Wide>(second)
                                : 0;
    const Wide cellCount = static_cast<Wide>(n) * static_cast<Wide>(n);
    const Wide needed = static_cast<Wide>(std::ftell(file)) + cellCount * (8 + 4 * tableWords) + 4;
    if (needed > static_cast<Wide>(fileLength))
        return false;

    m_version = version;
    if (header[1] == -1 || header[2] == -1 || header[3] == -1)
        m_date = trv::OleDate();
    else
        m_date = trv::OleDate(header[3], header[2], header[1]);
    m_slots = std::move(slots);
    m_routingValue1 = routing[0];
    m_routingValue2 = routing[1];
    AllocateCells(static_cast<std::size_t>(cellCount), false);
    m_rowCount = m_columnCount = n;
    if (withTables) {
        AllocateTables(first, second);
    } else {
        m_firstDimension = m_secondDimension = -1;
    }

    bool result = true;
    if (tableWords == 0) {
        // The file's cell is two 4-byte words like the memory's: each block is read straight into
        // the cells and turned into (km, minutes) in place, a block behind the reading.
        std::size_t noWay = m_cellCount;
        if (!ReadAndConvertCells(file, noWay))
            return false;
        if (noWay < m_cellCount) {
            std::memset(static_cast<void*>(&m_cells[noWay]), 0,
                        (m_cellCount - noWay) * sizeof(TDistanceCell));
            ReportNoWay(noWay);
            result = false;
        }
    } else {
        // An empty matrix has no storage to clear.
        if (m_cellCount > 0)
            std::memset(static_cast<void*>(m_cells.get()), 0, m_cellCount * sizeof(TDistanceCell));
        for (std::size_t index = 0; index < m_cellCount; ++index) {
            float values[2];
            if (std::fread(values, sizeof(float), 2, file) != 2)
                return false;
            if (values[0] == FLT_MAX || values[1] == FLT_MAX) {
                ReportNoWay(index);
                result = false;
                break;
            }
            m_cells[index].km = values[1];
            m_cells[index].minutes = RoundMinutes(values[0]);
            if (!ReadWords(file, m_tables[index].Values(), static_cast<std::size_t>(tableWords)))
                return false;
        }
    }
    int32_t flag = 0;
    if (result && ReadWords(file, &flag, 1))
        m_straightLine = flag;
    return result;
}

bool CDistancesArray::ReadAndConvertCells(std::FILE* file, std::size_t& noWay)
{
    const long cellsOffset = std::ftell(file);
    const int descriptor = ::fileno(file);
    const std::size_t blocks = (m_cellCount + kCellsPerBlock - 1) / kCellsPerBlock;
    const auto readBlock = [&](std::size_t start, std::size_t count) {
        return ReadAt(descriptor, &m_cells[start], count * sizeof(TDistanceCell),
                      cellsOffset + static_cast<long long>(start * sizeof(TDistanceCell)));
    };
    std::atomic<std::size_t> nextBlock{0};
    // The first block holding a no-way cell; blocks after it are cleared anyway.
    std::atomic<std::size_t> flagged{blocks};
    std::atomic<bool> complete{true};
    // Each reader converts a block right after reading it, while it is still in its cache.
    const auto readAndConvert = [&] {
        for (std::size_t block; (block = nextBlock.fetch_add(1)) < blocks;) {
            if (block > flagged.load() || !complete.load())
                return;
            const std::size_t start = block * kCellsPerBlock;
            const std::size_t count = std::min(m_cellCount - start, kCellsPerBlock);
            if (!readBlock(start, count)) {
                complete.store(false);
                return;
            }
            if (ConvertFileCells(&m_cells[start], count)) {
                std::size_t known = flagged.load();
                while (block < known && !flagged.compare_exchange_weak(known, block)) {
                }
            }
        }
    };
    // One thread copies the page cache at about half the memory's bandwidth: several read apart
    // blocks at once. Small matrices are read by the calling thread.
    const std::size_t readers =
        blocks > 2 ? std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kReaders) : 1;
    std::vector<std::thread> helpers;
    for (std::size_t reader = 1; reader < readers; ++reader)
        helpers.emplace_back(readAndConvert);
    readAndConvert();
    for (std::thread& helper : helpers)
        helper.join();
    // What follows the cells is read through the stream again.
    if (!complete.load() ||
        std::fseek(file, cellsOffset + static_cast<long>(m_cellCount * sizeof(TDistanceCell)),
                   SEEK_SET) != 0)
        return false;
    const std::size_t flaggedBlock = flagged.load();
    if (flaggedBlock == blocks)
        return true;
    // The conversion lost which cell held the mark: the block is read again to find it.
    const std::size_t start = flaggedBlock * kCellsPerBlock;
    const std::size_t count = std::min(m_cellCount - start, kCellsPerBlock);
    if (!readBlock(start, count))
        return false;
    const std::size_t bad = FindNoWayCell(&m_cells[start], count);
    ConvertFileCells(&m_cells[start], bad);
    noWay = start + bad;
    return true;
}

bool CDistancesArray::LoadText(std::FILE* file, long long fileLength)
{
    std::string bytes;
    if (!trv::ReadRemainingBytes(file, bytes))
        return false;
    std::string_view text = bytes;
    const std::size_t feed = text.find('\n');
    const int n = trv::ParseInt(text.substr(0, feed));
    // Every cell needs a line of at least three characters.
    if (n < 0 || static_cast<long double>(n) * n * 3 > static_cast<long double>(fileLength))
        return false;
    m_rowCount = m_columnCount = n;
    AllocateCells(static_cast<std::size_t>(n) * n, true);
    m_firstDimension = m_secondDimension = -1;
    text = feed == std::string_view::npos ? std::string_view() : text.substr(feed + 1);
    for (std::size_t index = 0; index < m_cellCount; ++index) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t tab = line.find('\t');
        const double minutes = trv::ParseDouble(trv::Trim(line.substr(0, tab)));
        const double km =
            tab == std::string_view::npos ? 0.0 : trv::ParseDouble(trv::Trim(line.substr(tab + 1)));
        if (minutes >= FLT_MAX || km >= FLT_MAX) {
            ReportNoWay(index);
            return false;
        }
        m_cells[index].km = static_cast<float>(km);
        m_cells[index].minutes = RoundMinutes(static_cast<float>(minutes));
    }
    // The straight-line flag follows the cells as a word.
    if (text.size() >= 4) {
        int32_t flag;
        std::memcpy(&flag, text.data(), sizeof flag);
        m_straightLine = flag;
    }
    return true;
}

void CDistancesArray::ReportNoWay(std::size_t index) const
{
    const std::size_t n = static_cast<std::size_t>(GetNodeCount());
    const CSchNodesList& nodes = RoutingContext().nodes;
    const CNode* from = nodes.GetNode(static_cast<int>(index / n));
    const CNode* to = nodes.GetNode(static_cast<int>(index % n));
    static const CNode empty;
    from = from != nullptr ? from : &empty;
    to = to != nullptr ? to : &empty;
    trv::GetUserPrompt().ShowMessage(
        "NoWayBetween",
        RoutingMessage("NoWayBetween", from->postcode, from->city, to->postcode, to->city),
        trv::MessageKind::Error);
}

std::string CDistancesArray::GetCacheFile(int classNumber)
{
    return GetTempFolder(1) + trv::FormatC("Distance_%d.dat", classNumber);
}

std::string CDistancesArray::GetPlanFile(const std::string& planPath, int classNumber)
{
    return PlanFileStem(planPath) + trv::FormatC("_%d.dst", classNumber);
}

bool CDistancesArray::Export(const std::string& planPath, int classNumber)
{
    const std::string source = GetCacheFile(classNumber);
    std::error_code error;
    if (!std::filesystem::exists(source, error))
        return true;
    const std::string target = GetPlanFile(planPath, classNumber);
    const std::string temporary = target + ".tmp";
    std::filesystem::copy_file(source, temporary, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (!error)
        std::filesystem::rename(temporary, target, error);
    if (!error)
        return true;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(temporary, ignored))
        std::filesystem::remove(temporary, ignored);
    trv::GetUserPrompt().ShowMessage("FileCannotWrite",
                                     RoutingMessage("FileCannotWrite", target, std::string()),
                                     trv::MessageKind::Error);
    return false;
}

void ApplyStartStopCorrection(TDistanceCell& cell, float accelerationKm)
{
    const double p = accelerationKm;
    const double t = cell.minutes;
    const double d = cell.km;
    if (p == 0 || t == 0 || d == 0)
        return;
    const double f = 1.0 / (d / t); // minutes per km
    const double e = 2.0 * p;
    const double corrected =
        d >= e ? f * (d - e) + 2.0 * f * e + 0.5 : 2.0 * std::sqrt(f * e * f * e * d / e) + 0.5;
    cell.minutes = TruncateMinutes(corrected);
}

void ApplyStartStopCorrection(TDistanceCell& cell)
{
    ApplyStartStopCorrection(cell, UserParameters().DistanciaAceleracion);
}

void UpdateTravelTimeAdjustmentFlag(bool hourSpeedsLoaded)
{
    const CUserParameters& parameters = UserParameters();
    RoutingContext().travelTimeAdjustment =
        hourSpeedsLoaded ||
        (parameters.DistanceToFly != -1 && parameters.TimeForDistanceToFly != -1) ||
        parameters.FixTimeStartStop != 0 || parameters.FixTimeStartStopDistance0 != 0 ||
        parameters.MinimoTiempoTrayecto > 0;
}
