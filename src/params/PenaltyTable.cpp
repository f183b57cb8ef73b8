#include "params/PenaltyTable.h"

#include "KLV/Trace.h"
#include "params/DictionaryBridge.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <fstream>
#include <string_view>

namespace {

// Header and value layout of one line, chosen by its length.
struct LineLayout
{
    std::size_t factorWidth;
    double factorScale;
    std::size_t valueWidth;
};

const LineLayout* FindLayout(std::size_t length)
{
    static const LineLayout shortFactor{4, 0.01, 5};
    static const LineLayout longFactor{8, 0.000001, 5};
    static const LineLayout wideValues{8, 0.000001, 10};
    switch (length) {
    case 249:
        return &shortFactor;
    case 253:
        return &longFactor;
    case 493:
        return &wideValues;
    default:
        return nullptr;
    }
}

// The file's lines without their line ends; blank lines are no rows and are skipped.
bool ReadLines(const std::string& path, std::vector<std::string>& lines)
{
    std::string found = trv::FindPathNoCase(path);
    std::ifstream in(found.empty() ? path : found, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (trv::Trim(line).empty())
            continue;
        lines.push_back(line);
    }
    return true;
}

int RowNumberOf(std::string_view line)
{
    return trv::ParseInt(line.substr(0, 2));
}

void FillRow(TPenaltyRow& row, std::string_view line, const LineLayout& layout)
{
    row.period = trv::ParseInt(line.substr(2, 3));
    row.factor =
        static_cast<float>(trv::ParseInt(line.substr(5, layout.factorWidth)) * layout.factorScale);
    std::size_t start = 5 + layout.factorWidth;
    for (std::size_t i = 0; i < kPenaltyPeriods; ++i) {
        double value =
            trv::ParseDouble(line.substr(start + i * layout.valueWidth, layout.valueWidth));
        row.values[i] = static_cast<float>(value);
        row.rates[i] = static_cast<float>(value * static_cast<double>(row.factor));
    }
    row.cumulative[0] = 0.0f;
    for (std::size_t i = 1; i < kPenaltyPeriods; ++i)
        row.cumulative[i] =
            row.cumulative[i - 1] + static_cast<float>(row.period) * row.rates[i - 1];
}

} // namespace

int TPenaltyTable::Load(const std::string& path, bool merge)
{
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) {
        TRV_TRACE(1, "TPenaltyTable::Load", "No se puede abrir %s", path.c_str());
        return CannotOpen;
    }
    int highestRow = 0;
    for (const std::string& line : lines) {
        if (!FindLayout(line.size())) {
            TRV_TRACE(1, "TPenaltyTable::Load", "Linea de %zu caracteres en %s", line.size(),
                      path.c_str());
            return BadLineLength;
        }
        highestRow = std::max(highestRow, RowNumberOf(line));
    }
    // An empty file names no row at all: it cannot be a penalty table.
    if (lines.empty())
        return BadLineLength;

    if (!merge)
        rows.assign(static_cast<std::size_t>(highestRow), TPenaltyRow{});
    else if (static_cast<int>(rows.size()) < highestRow)
        rows.resize(static_cast<std::size_t>(highestRow));

    int result = Loaded;
    for (const std::string& line : lines) {
        int rowNumber = RowNumberOf(line);
        // Row "00" names no row: rows start at 1.
        if (rowNumber < 1)
            continue;
        TPenaltyRow& row = rows[static_cast<std::size_t>(rowNumber - 1)];
        FillRow(row, line, *FindLayout(line.size()));
        if (row.period == 0) {
            trv::GetUserPrompt().ShowMessage("PeriodTimePenalty",
                                             trv::params::TranslateKey("PeriodTimePenalty"),
                                             trv::MessageKind::Information);
            result = ZeroPeriod;
        }
    }
    return result;
}
