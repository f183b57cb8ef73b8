#include "model/TimeWindow.h"

#include "KLV/Utils.h"
#include "model/WeekDay.h"

#include <algorithm>
#include <limits>

namespace {

// The day a minute lies on (truncating, as minutes of the demand model count days).
int32_t DayOfMinute(int64_t minute)
{
    return static_cast<int32_t>(minute / MinutesPerDay);
}

// Keeps a computed minute count inside 32 bits (far-away days only).
int32_t ClampToMinutes(int64_t minutes)
{
    return static_cast<int32_t>(std::clamp<int64_t>(minutes, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

bool CTimeWindow::Normalize(int referenceMinute)
{
    const int32_t oldStart = start;
    const int32_t oldEnd = end;
    if (referenceMinute != 0) {
        if (start != kUnsetTime && start >= referenceMinute)
            start -= MinutesPerDay;
        if (end != kUnsetTime && end >= referenceMinute &&
            static_cast<int64_t>(end) - MinutesPerDay >= start)
            end = end == MinutesPerDay ? -1 : end - MinutesPerDay;
    }
    if (end != kUnsetTime && end < start)
        end += MinutesPerDay;
    return start != oldStart || end != oldEnd;
}

std::string CTimeWindow::ToText(const std::string& pattern, const std::string& separator) const
{
    const std::string startText = MinutesToTimeText(start, pattern);
    std::string endText;
    // The day offset only makes sense against a start that was given.
    const int dayOffset =
        (start == kUnsetTime || end == kUnsetTime) ? 0 : DayOfMinute(end) - DayOfMinute(start);
    if (dayOffset > 0)
        endText = FormatTimeWithDayOffset(end, pattern, dayOffset);
    else
        endText = MinutesToTimeText(end, pattern);
    if (startText.empty() && endText.empty())
        return {};
    return startText + separator + endText;
}

void CTimeTable::Reset()
{
    SetSize(0);
    firstDay = UnsetDay;
    lastDay = UnsetDay;
    weekDayMask = 0;
}

void CTimeTable::CopyWindows(const CTimeTable& other)
{
    Copy(other);
}

void CTimeTable::InsertWindow(int32_t startMinute, int32_t endMinute)
{
    const CTimeWindow window(startMinute, endMinute);
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i].start >= startMinute) {
            InsertAt(i, window);
            return;
        }
    }
    Add(window);
}

void CTimeTable::Normalize(int referenceMinute)
{
    // A window that moved is put back in order and the scan starts over, until a whole pass
    // changes nothing.
    for (int i = 0; i < m_count;) {
        CTimeWindow window = m_items[i];
        if (!window.Normalize(referenceMinute)) {
            ++i;
            continue;
        }
        RemoveAt(i);
        InsertWindow(window.start, window.end);
        i = 0;
    }
    for (int i = m_count - 1; i >= 0; --i)
        if (m_items[i].IsUnset())
            RemoveAt(i);
}

int32_t CTimeTable::GetLimitMinute(bool multiDay, int32_t day) const
{
    if (!multiDay)
        return GetLastEnd();
    if (day == UnsetDay)
        day = lastDay;
    if (day == UnsetDay)
        return std::numeric_limits<int32_t>::max();
    const int64_t limit = int64_t{day} * MinutesPerDay + GetLastEnd();
    return static_cast<int32_t>(std::clamp<int64_t>(limit, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t CTimeTable::GetClosingTime(int32_t minute) const
{
    if (m_count == 0)
        return EmptyClosingTime;
    if (m_count == 1)
        return m_items[0].end;
    for (const CTimeWindow& window : *this)
        if (minute < window.start || minute <= window.end)
            return window.end;
    return m_items[m_count - 1].end;
}

std::string CTimeTable::ToText(const std::string& pattern, const std::string& separator) const
{
    if (m_count == 0)
        return {};
    const std::string startText = MinutesToTimeText(m_items[0].start, pattern);
    if (startText.empty())
        return startText;
    return startText + separator + MinutesToTimeText(m_items[m_count - 1].end, pattern);
}

int CTimeTable::DelayToAllowedDay(int32_t arrivalMinute, int weekDayOfDayZero, int32_t& waitMinutes,
                                  int32_t lastAllowedDay) const
{
    if (weekDayMask == 0)
        return 1;
    // A mask that opens no week day can never be served: answer at once instead of searching.
    if ((weekDayMask & trv::AllWeekDaysMask) == 0) {
        waitMinutes = -1;
        return 0;
    }
    const int64_t from =
        waitMinutes == -1 ? arrivalMinute : static_cast<int64_t>(arrivalMinute) + waitMinutes;
    const int32_t day = DayOfMinute(from);
    const trv::DayOfWeek dayZero =
        trv::DayOfWeekFromNumber(weekDayOfDayZero, trv::WeekDayNumbering::MondayIsOne);
    const trv::DayOfWeek weekDay = trv::AddDays(dayZero, day);
    if (trv::IsWeekDayInMask(weekDayMask, weekDay))
        return 1;

    int daysAhead = 1;
    while (!trv::IsWeekDayInMask(weekDayMask, trv::AddDays(weekDay, daysAhead)))
        ++daysAhead;

    // An empty table is open all day: service starts at the opening day's midnight, not at the
    // span an empty table assumes for its first start (which lies on the day before).
    const int64_t openingMinute = m_count == 0 ? 0 : GetFirstStart();
    const int64_t openingDay = static_cast<int64_t>(day) + daysAhead;
    if (lastAllowedDay != UnsetDay && openingDay > lastAllowedDay) {
        // Too late for the next opening day: the same week day one week earlier.
        const int64_t earlierDayStart = (openingDay - trv::DaysPerWeek) * MinutesPerDay;
        const int64_t earlierWait = earlierDayStart + openingMinute - arrivalMinute;
        if (earlierWait >= 0) {
            waitMinutes = ClampToMinutes(earlierWait);
            return 1;
        }
        waitMinutes = ClampToMinutes(arrivalMinute - (earlierDayStart + GetLastEnd()));
        return 0;
    }
    waitMinutes = ClampToMinutes(openingDay * MinutesPerDay + openingMinute - arrivalMinute);
    return 1;
}

int CTimeTable::ScanWindows(int32_t minute, int32_t windowStartLimitMinute,
                            int32_t windowEndLimitMinute, int32_t& waitMinutes,
                            int32_t& slackMinutes) const
{
    const CTimeWindow* window = m_items;
    const CTimeWindow* const last = m_items + m_count;
    for (; window != last; ++window) {
        const int32_t opening =
            (windowStartLimitMinute != -1 && windowStartLimitMinute > window->start)
                ? windowStartLimitMinute
                : window->start;
        const int32_t closing = (windowEndLimitMinute != -1 && windowEndLimitMinute < window->end)
                                    ? windowEndLimitMinute
                                    : window->end;
        if (minute < opening) {
            waitMinutes = opening - minute;
            slackMinutes = closing - minute;
            return ServiceStartsAfterWait;
        }
        if (minute <= closing) {
            slackMinutes = closing - minute;
            return ServiceStartsAtArrival;
        }
    }
    return ServiceImpossible;
}

int CTimeTable::ComputeServiceStart(int32_t arrivalMinute, int32_t& waitMinutes,
                                    int32_t& slackMinutes, int32_t windowStartLimitMinute,
                                    int32_t windowEndLimitMinute, bool multiDay,
                                    int weekDayOfDayZero, int32_t requestedFirstDay,
                                    int32_t requestedLastDay, int32_t earliestRestartMinute) const
{
    waitMinutes = 0;
    slackMinutes = 0;
    const int32_t lastEnd = windowEndLimitMinute != -1 ? windowEndLimitMinute : GetLastEnd();
    const bool tableHasLastDay = lastDay != UnsetDay;
    const bool pastTableDays = tableHasLastDay && requestedFirstDay > lastDay;

    int64_t time = arrivalMinute;
    if (pastTableDays)
        time = std::max<int64_t>(time, static_cast<int64_t>(requestedFirstDay) * MinutesPerDay);

    const int32_t first =
        (requestedFirstDay == UnsetDay || requestedFirstDay < firstDay || pastTableDays)
            ? firstDay
            : requestedFirstDay;
    int32_t last = lastDay;
    if (requestedLastDay != UnsetDay)
        last = (tableHasLastDay && requestedLastDay > lastDay) ? lastDay : requestedLastDay;

    if (!multiDay) {
        if (m_count == 0) {
            slackMinutes = UnlimitedSlack;
            return ServiceStartsAtArrival;
        }
        if (time > lastEnd) {
            waitMinutes = ClampToMinutes(time - lastEnd);
            return ServiceImpossible;
        }
        return ScanWindows(static_cast<int32_t>(time), windowStartLimitMinute, windowEndLimitMinute,
                           waitMinutes, slackMinutes);
    }

    const int32_t lastServiceMinuteOfDay = std::min(lastEnd, MinutesPerDay - 1);
    const int64_t lastServiceMinute =
        static_cast<int64_t>(last) * MinutesPerDay + lastServiceMinuteOfDay;
    const int64_t day = time / MinutesPerDay;
    const int32_t minuteOfDay = static_cast<int32_t>(time - day * MinutesPerDay);

    if (last >= 0 && time > lastServiceMinute) {
        waitMinutes = ClampToMinutes(time - lastServiceMinute);
        return ServiceImpossible;
    }
    if (last != UnsetDay && lastServiceMinute < 0) {
        waitMinutes = ClampToMinutes(time - lastServiceMinute);
        return ServiceImpossible;
    }
    if (day == last && minuteOfDay > lastServiceMinuteOfDay) {
        waitMinutes = minuteOfDay - lastServiceMinuteOfDay;
        return ServiceImpossible;
    }

    waitMinutes = -1;
    const int32_t opening = windowStartLimitMinute != -1 ? windowStartLimitMinute : GetFirstStart();
    const int32_t restart = std::max({earliestRestartMinute, opening, 0});
    const int64_t firstAllowedMinute = static_cast<int64_t>(std::max(first, 0)) * MinutesPerDay;
    if (time < firstAllowedMinute)
        waitMinutes = ClampToMinutes(firstAllowedMinute - time + restart);
    else if (minuteOfDay > lastServiceMinuteOfDay)
        waitMinutes = restart + MinutesPerDay - minuteOfDay;

    if (DelayToAllowedDay(static_cast<int32_t>(time), weekDayOfDayZero, waitMinutes, last) == 0)
        return ServiceImpossible;
    if (waitMinutes != -1)
        return ServiceOnLaterDay;
    if (m_count == 0) {
        slackMinutes = UnlimitedSlack;
        return ServiceStartsAtArrival;
    }
    return ScanWindows(minuteOfDay, windowStartLimitMinute, windowEndLimitMinute, waitMinutes,
                       slackMinutes);
}
