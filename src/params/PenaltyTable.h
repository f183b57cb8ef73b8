#pragma once

#include <array>
#include <string>
#include <vector>

// Time-penalty rows: a day cut into 48 periods of a fixed number of minutes, each with its own
// rate per minute, so the penalty of t minutes grows piecewise linearly. The rows come from the
// fixed-width files "TablaPen.txt" (standard) and the company's "CustomTablaPen.txt".

constexpr int kPenaltyPeriods = 48;

struct TPenaltyRow
{
    int period = 1;                                  // length of each period, in minutes
    float factor = 1.0f;                             // scale applied to the file's values
    std::array<float, kPenaltyPeriods> rates{};      // penalty per minute: value x factor
    std::array<float, kPenaltyPeriods> values{};     // the file's values as read
    std::array<float, kPenaltyPeriods> cumulative{}; // penalty accumulated before each period
};

class TPenaltyTable
{
  public:
    // Results of Load.
    enum LoadResult
    {
        Loaded = 0,
        CannotOpen = 1,
        BadLineLength = 2,
        ZeroPeriod = 3
    };

    // Reads a penalty file. Replace mode (merge false) makes the table exactly the file's rows;
    // merge mode overwrites the rows the file lists and keeps the others. CannotOpen and
    // BadLineLength leave the table unchanged; ZeroPeriod reports each such row to the user
    // and keeps reading.
    int Load(const std::string& path, bool merge);

    // Penalty of `minutes` (their absolute value) on the 1-based row; 0 for a row that does
    // not exist or has a zero period. Minutes beyond the 48 periods keep the last rate.
    float GetPenalty(int rowNumber, int minutes) const
    {
        if (rowNumber < 1 || rowNumber > static_cast<int>(rows.size()))
            return 0.0f;
        const TPenaltyRow& row = rows[static_cast<std::size_t>(rowNumber - 1)];
        if (row.period == 0)
            return 0.0f;
        long long absolute = minutes < 0 ? -static_cast<long long>(minutes) : minutes;
        long long period = row.period;
        long long index = absolute / period;
        if (index < 0)
            index = 0;
        if (index > kPenaltyPeriods - 1)
            index = kPenaltyPeriods - 1;
        const auto k = static_cast<std::size_t>(index);
        return static_cast<float>(absolute - period * index) * row.rates[k] + row.cumulative[k];
    }

    int GetCount() const { return static_cast<int>(rows.size()); }
    const TPenaltyRow& GetRow(int rowNumber) const
    {
        return rows[static_cast<std::size_t>(rowNumber - 1)];
    }
    void Clear() { rows.clear(); }

    std::vector<TPenaltyRow> rows; // row n is element n - 1
};
