#pragma once

#include "KLV/Utils.h"
#include "containers/SmartArray.h"

#include <cstdint>
#include <limits>
#include <string>

// Times of the demand model are integer minutes from 00:00 of planning day 0; a day has 1440
// minutes, a negative minute lies on an earlier day, 1440 or more on a later one.
inline constexpr int MinutesPerDay = 1440;
// A day index that was never given.
inline constexpr int32_t UnsetDay = -123456789;
// The slack of a place that is always open.
inline constexpr int32_t UnlimitedSlack = std::numeric_limits<int32_t>::max();

// Result codes of CTimeTable::ComputeServiceStart.
enum ServiceStartResult : int
{
    ServiceStartsAtArrival = 0,
    ServiceStartsAfterWait = 1,
    ServiceImpossible = 2,
    ServiceOnLaterDay = 3
};

// One interval of opening minutes; the end may pass 1440 when the window closes on a later day.
class CTimeWindow
{
  public:
    CTimeWindow() = default;
    CTimeWindow(int32_t startMinute, int32_t endMinute) : start(startMinute), end(endMinute) {}

    bool IsUnset() const { return start == kUnsetTime && end == kUnsetTime; }

    // Moves the window so that it reads relative to a day that starts at referenceMinute
    // (0: plain midnight); with a reference other than 0 the minutes from it to midnight belong
    // to the evening before the planning day. A window crossing midnight gets an end past 1440.
    // Returns whether start or end changed.
    bool Normalize(int referenceMinute);

    // "22:00 - 02:00 (+1)": both ends through the date-time pattern, joined by the separator; an
    // end on a later day carries the day offset.
    std::string ToText(const std::string& pattern, const std::string& separator) const;

    bool operator==(const CTimeWindow&) const = default;

    int32_t start = kUnsetTime;
    int32_t end = kUnsetTime;
};

// The opening hours of a place: its windows in ascending order of start, the first and last day
// on which it may be served and its opening week days (bit 0 Monday .. bit 6 Sunday; 0 every
// day). An empty table is always open. The service-start queries run for every arrival the
// optimiser evaluates: they only read the contiguous window block.
class CTimeTable : public CSmartArray<CTimeWindow, CTimeWindow, 0, 0>
{
  public:
    // Spans assumed by an empty table.
    static constexpr int32_t EmptyFirstStart = -MinutesPerDay;
    static constexpr int32_t EmptyLastEnd = 10 * MinutesPerDay;
    static constexpr int32_t EmptyClosingTime = MinutesPerDay;

    CTimeTable() = default;
    // Copies carry the windows, then the days and the mask.
    CTimeTable(const CTimeTable& other) = default;
    CTimeTable(CTimeTable&& other) noexcept = default;
    CTimeTable& operator=(const CTimeTable& other) = default;
    CTimeTable& operator=(CTimeTable&& other) noexcept = default;

    void Reset();
    // Makes the window list an exact copy of other's; days and mask stay.
    void CopyWindows(const CTimeTable& other);
    // Inserts before the first window whose start is at or after the new start, so a window
    // inserted last comes first among equal starts.
    void InsertWindow(int32_t startMinute, int32_t endMinute);
    // Normalises every window for the reference minute (re-sorting those that moved) and drops
    // the unset ones.
    void Normalize(int referenceMinute);

    int32_t GetFirstStart() const { return m_count == 0 ? EmptyFirstStart : m_items[0].start; }
    int32_t GetLastEnd() const { return m_count == 0 ? EmptyLastEnd : m_items[m_count - 1].end; }
    // The latest minute service may end: the last window's end (14400 without windows), and in
    // multi-day form counted from day 0, an unset day taking the table's last day; with neither
    // day set there is no limit (INT32_MAX).
    int32_t GetLimitMinute(bool multiDay, int32_t day) const;
    // The end of the window that serves minute t: the first window that t has not passed yet.
    int32_t GetClosingTime(int32_t minute) const;

    // The first window's start and the last window's end as one text; empty for an empty table.
    std::string ToText(const std::string& pattern, const std::string& separator) const;

    // Pushes an arrival to the next opening week day. weekDayOfDayZero is numbered 1 Monday ..
    // 7 Sunday (the mask's numbering). waitMinutes is in/out: -1 on entry means no wait yet.
    // lastAllowedDay limits how far the service may move. Returns 1 when service is possible (wait
    // changed only when the day was closed), 0 when it is not (wait = lateness, or -1 when the mask
    // opens no day at all).
    int DelayToAllowedDay(int32_t arrivalMinute, int weekDayOfDayZero, int32_t& waitMinutes,
                          int32_t lastAllowedDay) const;

    // When service can start for an arrival: at once (0), after a wait the same day (1), never
    // from this arrival (2) or on a later day (3); see ServiceStartResult. Limits of -1 do not
    // narrow the windows; weekDayOfDayZero is numbered 1 Monday .. 7 Sunday.
    int ComputeServiceStart(int32_t arrivalMinute, int32_t& waitMinutes, int32_t& slackMinutes,
                            int32_t windowStartLimitMinute, int32_t windowEndLimitMinute,
                            bool multiDay, int weekDayOfDayZero, int32_t requestedFirstDay,
                            int32_t requestedLastDay, int32_t earliestRestartMinute) const;

    int32_t firstDay = UnsetDay;
    int32_t lastDay = UnsetDay;
    int32_t weekDayMask = 0;

  private:
    int ScanWindows(int32_t minute, int32_t windowStartLimitMinute, int32_t windowEndLimitMinute,
                    int32_t& waitMinutes, int32_t& slackMinutes) const;
};
