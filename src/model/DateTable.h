#pragma once

#include "containers/SmartArray.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <string>
#include <vector>

// One dated record as it was read or entered. A window keeps the records it was made of, so a
// calendar is written back with the dates it was given, however the planning date moved or
// joined its windows.
struct TDayOffRecord
{
    COleDateTime startDate;
    COleDateTime endDate;
    std::string description;
};

// One off-day period: dates, whom it concerns (a driver's or customer's code, a city or postcode
// prefix; empty: everyone) and, once a reference date is set, its days counted from that date.
class CDateWindow
{
  public:
    CDateWindow() = default;

    // Sets dates, description, code and general mark; the days stay as they are.
    void Assign(const COleDateTime& start, const COleDateTime& end, const std::string& text,
                const std::string& whom, int general);
    // Takes dates, description and general mark of other; code and days stay.
    void CopyFrom(const CDateWindow& other);
    // Recomputes the days for the reference date. An end on a Friday is moved to the Sunday, so
    // the window covers the weekend.
    void SetReference(const COleDateTime& reference);

    bool ContainsDay(int32_t day) const { return firstDay <= day && day <= lastDay; }

    // The records to write for this window: those it was made of, or its own dates when it
    // was filled field by field.
    std::vector<TDayOffRecord> GetRecords() const;

    int32_t firstDay = -1;
    int32_t lastDay = -1;
    COleDateTime startDate;
    COleDateTime endDate;
    std::string description;
    std::string code;
    int32_t generalMark = 0;

  private:
    friend class CDateTable;
    // Keeps the current dates as the window's record before they change.
    void KeepRecord();

    std::vector<TDayOffRecord> m_records;
};

namespace trv {

// What a calendar needs of a data definition opened for reading days off: the definition
// engine implements it over its named definitions; tests use an in-memory one.
class DayOffRecordReader
{
  public:
    virtual ~DayOffRecordReader() = default;
    // Opens the definition for reading from the file (empty: the definition's own) with the
    // filter; 0 when it cannot be opened, else not 0.
    virtual int Open(const std::string& definitionName, const std::string& fileName,
                     const std::string& filter) = 0;
    virtual bool IsEOF() = 0;
    // Loads the next record; false when there is none.
    virtual bool MoveNext() = 0;
    // A field of the current record, the default when absent or empty.
    virtual COleDateTime GetFieldDate(const char* name, const COleDateTime& defaultDate) = 0;
    virtual std::string GetFieldString(const char* name, const std::string& defaultText) = 0;
    virtual void Close() = 0;
};

// What a calendar needs of a data definition opened for writing days off.
class DayOffRecordWriter
{
  public:
    virtual ~DayOffRecordWriter() = default;
    virtual void SetFieldString(const char* name, const std::string& text) = 0;
    virtual void SetFieldDate(const char* name, const COleDateTime& date) = 0;
    // Appends the current output record.
    virtual void WriteRecord() = 0;
};

} // namespace trv

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
    void AddNewWindow(const COleDateTime& start, const COleDateTime& end,
                      const std::string& description, const std::string& code, int generalMark);
    // Inserts before the first window that does not start earlier; returns the new index.
    int AddWindow(const COleDateTime& start, const COleDateTime& end,
                  const std::string& description, const std::string& code, int generalMark);
    CDateWindow* FindByCode(const std::string& code) const;
    void RemoveAll() { SetSize(0); }

    // Appends a window per record of the definition (records ending before they start are
    // dropped; with skipDuplicates those whose dates a window already has). Returns 0 when the
    // definition cannot be opened, else the result of opening it.
    int ReadDaysOff(trv::DayOffRecordReader& definition, const std::string& definitionName,
                    const std::string& fileName, int generalMark, const std::string& filter,
                    bool skipDuplicates);
    // Writes the records of every window, under the given code when it is not empty. The
    // caller opens and closes the definition. Returns 1.
    int WriteDaysOff(trv::DayOffRecordWriter& definition, const std::string& code) const;

    // Appends to destination the windows that concern a customer (empty code, a prefix of the
    // postcode, the city or the customer code, the last two ignoring case), then merges it.
    void CopyMatchingWindows(CDateTable& destination, const std::string& customerCode,
                             const std::string& city, const std::string& postcode,
                             const COleDateTime& reference) const;
    // Sets every window's days for the reference date and joins touching windows of one code.
    void MergeWindows(const COleDateTime& reference);
    // Merges, then the index of the first window that reaches the reference date; 0 when none.
    int FindFirstWindowFrom(const COleDateTime& reference);

    // 3 when the day of minute lies in an off-day window from startIndex on (delay = minutes to
    // the end of the last such window in table order), -1 otherwise.
    int DelayToAvailable(int32_t minute, int startIndex, int32_t& delay, int& windowIndex,
                         int& nextIndex) const;
    // 3 with the delay to the end of the chain of windows that covers the day of minute, -1
    // (delay untouched) when none covers it.
    int DelayToEndOfCoverage(int32_t minute, int32_t& delay, int& windowIndex) const;

  private:
    // Whether a window has these dates, now or as it was read.
    bool HasDates(const COleDateTime& start, const COleDateTime& end) const;
};
