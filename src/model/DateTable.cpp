#include "model/DateTable.h"

#include "model/ModelDates.h"
#include "model/TimeWindow.h"
#include "model/WeekDay.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsFriday(const trv::OleDate& date)
{
    const int weekDay = date.GetDayOfWeek();
    return trv::DayOfWeekFromNumber(weekDay, trv::WeekDayNumbering::SundayIsOne) ==
           trv::DayOfWeek::Friday;
}

std::string JoinDescriptions(const std::string& first, const std::string& second)
{
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    return first + " - " + second;
}

bool SameDates(const trv::OleDate& start, const trv::OleDate& end, const trv::OleDate& otherStart,
               const trv::OleDate& otherEnd)
{
    return start == otherStart && end == otherEnd;
}

// Minutes from `minute` to the end of `lastDay`; a window reaching thousands of years ahead
// (a mistyped year in a days-off file) gives the longest delay there is, not an overflow.
int32_t MinutesToEndOfDay(int32_t lastDay, int32_t minute)
{
    const std::int64_t minutes = (static_cast<std::int64_t>(lastDay) + 1) * MinutesPerDay -
                                 static_cast<std::int64_t>(minute);
    return static_cast<int32_t>(std::clamp<std::int64_t>(minutes, INT32_MIN, INT32_MAX));
}

} // namespace

void CDateWindow::Assign(const trv::OleDate& start, const trv::OleDate& end,
                         const std::string& text, const std::string& whom, int general)
{
    startDate = start;
    endDate = end;
    description = text;
    code = whom;
    generalMark = general;
    m_records.clear();
}

void CDateWindow::CopyFrom(const CDateWindow& other)
{
    startDate = other.startDate;
    endDate = other.endDate;
    description = other.description;
    generalMark = other.generalMark;
    m_records = other.m_records;
}

void CDateWindow::SetReference(const trv::OleDate& reference)
{
    firstDay = DaysFrom(reference, startDate);
    if (endDate.IsValid() && IsFriday(endDate)) {
        KeepRecord();
        endDate = endDate + 2.0;
    }
    lastDay = DaysFrom(reference, endDate);
}

std::vector<TDayOffRecord> CDateWindow::GetRecords() const
{
    if (!m_records.empty())
        return m_records;
    return {TDayOffRecord{startDate, endDate, description}};
}

void CDateWindow::KeepRecord()
{
    if (m_records.empty())
        m_records.push_back(TDayOffRecord{startDate, endDate, description});
}

CDateWindow* CDateTable::NewWindow()
{
    auto* window = new CDateWindow();
    Add(window);
    return window;
}

void CDateTable::AddNewWindow(const trv::OleDate& start, const trv::OleDate& end,
                              const std::string& description, const std::string& code,
                              int generalMark)
{
    NewWindow()->Assign(start, end, description, code, generalMark);
}

int CDateTable::AddWindow(const trv::OleDate& start, const trv::OleDate& end,
                          const std::string& description, const std::string& code, int generalMark)
{
    int index = 0;
    while (index < m_count && start > m_items[index]->startDate)
        ++index;
    auto* window = new CDateWindow();
    window->Assign(start, end, description, code, generalMark);
    InsertAt(index, window);
    return index;
}

CDateWindow* CDateTable::FindByCode(const std::string& code) const
{
    for (CDateWindow* window : *this)
        if (window->code == code)
            return window;
    return nullptr;
}

int CDateTable::ReadDaysOff(CFieldRecordSource& definitions, const std::string& definitionName,
                            const std::string& fileName, int generalMark, const std::string& filter,
                            bool skipDuplicates)
{
    const std::unique_ptr<CFieldRecord> definition = definitions.Open(
        definitionName, {.mode = TFieldRecordMode::read, .file = fileName, .filter = filter});
    if (!definition)
        return 0;
    const trv::OleDate zeroDate;
    while (!definition->IsEOF()) {
        // A record the filter passes over is no end: the code's windows may come later.
        if (!definition->MoveNext())
            continue;
        const trv::OleDate start = definition->GetFieldDate(StartDateField, zeroDate, {});
        const trv::OleDate end = definition->GetFieldDate(EndDateField, zeroDate, {});
        const bool duplicate = skipDuplicates && HasDates(start, end);
        const std::string description = definition->GetFieldString(DescriptionField, {}, -1, {});
        const std::string code = definition->GetFieldString(CodeField, {}, -1, {});
        if ((end > start || end == start) && !duplicate)
            AddWindow(start, end, description, code, generalMark);
    }
    return 1;
}

bool CDateTable::HasDates(const trv::OleDate& start, const trv::OleDate& end) const
{
    // A window whose end was moved or that absorbed others still has the dates it was read with.
    for (const CDateWindow* window : *this) {
        if (SameDates(window->startDate, window->endDate, start, end))
            return true;
        for (const TDayOffRecord& record : window->m_records)
            if (SameDates(record.startDate, record.endDate, start, end))
                return true;
    }
    return false;
}

int CDateTable::WriteDaysOff(CFieldRecord& definition, const std::string& code) const
{
    for (const CDateWindow* window : *this) {
        const std::string& recordCode = code.empty() ? window->code : code;
        for (const TDayOffRecord& record : window->GetRecords()) {
            definition.SetFieldString(CodeField, recordCode, -1, {});
            definition.SetFieldDate(StartDateField, record.startDate, {});
            definition.SetFieldDate(EndDateField, record.endDate, {});
            definition.SetFieldString(DescriptionField, record.description, -1, {});
            definition.WriteRecord();
            definition.ClearRecord();
        }
    }
    return 1;
}

void CDateTable::CopyMatchingWindows(CDateTable& destination, const std::string& customerCode,
                                     const std::string& city, const std::string& postcode,
                                     const trv::OleDate& reference) const
{
    const std::string upperCity = trv::ToUpper(city);
    const std::string upperCustomerCode = trv::ToUpper(customerCode);
    for (const CDateWindow* window : *this) {
        bool concerns = window->code.empty() || postcode.starts_with(window->code);
        if (!concerns) {
            const std::string upperCode = trv::ToUpper(window->code);
            concerns = upperCode == upperCity || upperCode == upperCustomerCode;
        }
        if (!concerns)
            continue;
        CDateWindow* copy = destination.NewWindow();
        copy->Assign(window->startDate, window->endDate, window->description, window->code, 0);
        copy->m_records = window->m_records;
    }
    destination.MergeWindows(reference);
}

void CDateTable::MergeWindows(const trv::OleDate& reference)
{
    for (CDateWindow* window : *this)
        window->SetReference(reference);
    int i = 0;
    while (i < m_count - 1) {
        CDateWindow& first = *m_items[i];
        CDateWindow& second = *m_items[i + 1];
        const bool touching =
            first.lastDay == second.firstDay - 1 || first.lastDay == second.firstDay;
        if (!touching || first.code != second.code) {
            ++i;
            continue;
        }
        first.KeepRecord();
        second.KeepRecord();
        first.m_records.insert(first.m_records.end(), second.m_records.begin(),
                               second.m_records.end());
        first.endDate = second.endDate;
        first.description = JoinDescriptions(first.description, second.description);
        first.generalMark = (first.generalMark == 1 && second.generalMark != 0) ? 1 : 0;
        first.SetReference(reference);
        RemoveAt(i + 1);
    }
}

int CDateTable::FindFirstWindowFrom(const trv::OleDate& reference)
{
    if (m_count == 0)
        return 0;
    MergeWindows(reference);
    for (int i = 0; i < m_count; ++i)
        if (m_items[i]->firstDay >= 0 || m_items[i]->lastDay >= 0)
            return i;
    return 0;
}

int CDateTable::DelayToAvailable(int32_t minute, int startIndex, int32_t& delayMinutes,
                                 int& windowIndex, int& nextIndex) const
{
    const int32_t day = minute / MinutesPerDay;
    int32_t foundDelay = 0;
    int foundWindow = -1;
    int next = -1;
    int result = -1;
    if (startIndex >= 0 && startIndex < m_count && m_items[startIndex]->firstDay <= day) {
        next = startIndex + 1;
        for (int i = startIndex; i < m_count; ++i) {
            const CDateWindow& window = *m_items[i];
            if (!window.ContainsDay(day))
                continue;
            foundDelay = MinutesToEndOfDay(window.lastDay, minute);
            foundWindow = i;
            next = i == startIndex ? next : i + 1;
            result = 3;
        }
    }
    // Written once at the end: callers that want only the answer pass one variable for all.
    delayMinutes = foundDelay;
    nextIndex = next;
    if (result == 3)
        windowIndex = foundWindow;
    return result;
}

int CDateTable::DelayToEndOfCoverage(int32_t minute, int32_t& delayMinutes, int& windowIndex) const
{
    int32_t currentDay = minute / MinutesPerDay;
    int32_t chainEnd = -1;
    for (int i = 0; i < m_count; ++i) {
        const CDateWindow& window = *m_items[i];
        if (window.ContainsDay(currentDay) && window.lastDay + 1 > chainEnd) {
            chainEnd = window.lastDay + 1;
            windowIndex = i;
            currentDay = chainEnd;
        }
    }
    if (chainEnd <= 0)
        return -1;
    delayMinutes = MinutesToEndOfDay(chainEnd - 1, minute);
    return 3;
}
