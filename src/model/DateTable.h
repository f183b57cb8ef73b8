#pragma once

#include "containers/SmartArray.h"
#include "params/FieldRecord.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <string>
#include <vector>

// One dated record as it was read or entered. A window keeps the records it was made of, so a
// calendar is written back with the dates it was given, however the planning date moved or
// joined its windows.
struct TDayOffRecord
{
    trv::OleDate startDate;
    trv::OleDate endDate;
    std::string description;
};

// One off-day period: dates, whom it concerns (a driver's or customer's code, a city or postcode
// prefix; empty: everyone) and, once a reference date is set, its days counted from that date.
class CDateWindow
{
  public:
    CDateWindow() = default;

    // Sets dates, description, code and general mark; the days stay as they are.
    void Assign(const trv::OleDate& start, const trv::OleDate& end, const std::string& text,
                const std::string& whom, int general);
    // Takes dates, description and general mark of other; code and days stay.
    void CopyFrom(const CDateWindow& other);
    // Recomputes the days for the reference date. An end on a Friday is moved to the Sunday, so
    // the window covers the weekend.
    void SetReference(const trv::OleDate& reference);

    bool ContainsDay(int32_t day) const { return firstDay <= day && day <= lastDay; }

    // The records to write for this window: those it was made of, or its own dates when it
    // was filled field by field.
    std::vector<TDayOffRecord> GetRecords() const;

    int32_t firstDay = -1;
    int32_t lastDay = -1;
    trv::OleDate startDate;
    trv::OleDate endDate;
    std::string description;
    std::string code;
    int32_t generalMark = 0;

  private:
    friend class CDateTable;
    // Keeps the current dates as the window's record before they change.
    void KeepRecord();

    std::vector<TDayOffRecord> m_records;
};

// An off-day calendar: an owning list of windows. Windows added with AddWindow stand in start
// date order, those added with AddNewWindow in the order added. Merging for a planning date
// may change end dates and remove joined windows, so window indexes hold until the next merge.
// The delay queries only read and may run on the optimiser's threads.
class CDateTable : public CSmartPtrArray<CDateWindow>
{
  public:
    // Field names of a days-off record.
    static constexpr const char* CodeField = "OFF_DAY_CODE";
    static constexpr const char* StartDateField = "START_DATE";
    static constexpr const char* EndDateField = "END_DATE";
    static constexpr const char* DescriptionField = "DESCRIPTION";

    CDateWindow* NewWindow();
    void AddNewWindow(const trv::OleDate& start, const trv::OleDate& end,
                      const std::string& description, const std::string& code, int generalMark);
    // Inserts before the first window that does not start earlier; returns the new index.
    int AddWindow(const trv::OleDate& start, const trv::OleDate& end,
                  const std::string& description, const std::string& code, int generalMark);
    CDateWindow* FindByCode(const std::string& code) const;
    void RemoveAll() { SetSize(0); }

    // Appends a window per record of the definition read from the file (empty: the
    // definition's own) with the filter; records ending before they start are dropped, with
    // skipDuplicates also those whose dates a window already has. Returns 0 when the definition
    // cannot be opened, else 1.
    int ReadDaysOff(CFieldRecordSource& definitions, const std::string& definitionName,
                    const std::string& fileName, int generalMark, const std::string& filter,
                    bool skipDuplicates);
    // Writes the records of every window, under the given code when it is not empty, to a
    // definition the caller has opened for writing (and closes). Returns 1.
    int WriteDaysOff(CFieldRecord& definition, const std::string& code) const;

    // Appends to destination the windows that concern a customer (empty code, a prefix of the
    // postcode, the city or the customer code, the last two ignoring case), then merges it.
    void CopyMatchingWindows(CDateTable& destination, const std::string& customerCode,
                             const std::string& city, const std::string& postcode,
                             const trv::OleDate& reference) const;
    // Sets every window's days for the reference date and joins touching windows of one code.
    void MergeWindows(const trv::OleDate& reference);
    // Merges, then the index of the first window that reaches the reference date; 0 when none.
    int FindFirstWindowFrom(const trv::OleDate& reference);

    // 3 when the day of minute lies in an off-day window from startIndex on (delay = minutes to
    // the end of the last such window in table order), -1 otherwise.
    int DelayToAvailable(int32_t minute, int startIndex, int32_t& delayMinutes, int& windowIndex,
                         int& nextIndex) const;
    // 3 with the delay to the end of the chain of windows that covers the day of minute, -1
    // (delay untouched) when none covers it.
    int DelayToEndOfCoverage(int32_t minute, int32_t& delayMinutes, int& windowIndex) const;

  private:
    // Whether a window has these dates, now or as it was read.
    bool HasDates(const trv::OleDate& start, const trv::OleDate& end) const;
};
