#pragma once

// An in-memory stand-in for the records of a data definition: rows of name=text fields, read
// and written through the typed interface the variable layer uses. Values are kept as plain
// texts (integers "%d", numbers "%.9g", dates as their OLE value or "INVALID", minutes as
// integers or "UNSET", lists joined by "|"), so a write followed by a read gives the values
// back. Nothing here knows a file format.

#include "params/FieldRecord.h"
#include "platform/Text.h"

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The field names of a multi-field variable.
inline CSmartStringArray FieldNames(std::initializer_list<const char*> names)
{
    CSmartStringArray array;
    for (const char* name : names)
        array.Add(name);
    return array;
}

class CMemoryFieldRecord : public CFieldRecord
{
  public:
    using Row = std::map<std::string, std::string>;

    explicit CMemoryFieldRecord(std::vector<Row>* rows = nullptr, int* openCount = nullptr)
        : m_rows(rows ? rows : &m_own), m_openCount(openCount)
    {
        if (m_openCount)
            ++*m_openCount;
    }
    ~CMemoryFieldRecord() override
    {
        if (m_openCount)
            --*m_openCount;
    }
    CMemoryFieldRecord(const CMemoryFieldRecord&) = delete;
    CMemoryFieldRecord& operator=(const CMemoryFieldRecord&) = delete;

    // ---- Test access -------------------------------------------------------------------------
    Row& Current() { return m_current; }
    std::vector<Row>& Rows() { return *m_rows; }
    // Makes row `index` current.
    void Select(int index) { m_current = (*m_rows)[static_cast<std::size_t>(index)]; }
    std::vector<std::string> missingRequired;
    CSmartStringArray requirementFields;
    std::string requirementName;
    bool database = false;
    std::map<std::string, std::vector<Row>> subTables; // fields declared as sub-tables
    // The current record's own line rows, and the rows a linked definition holds for it by the
    // field whose line names that definition.
    std::vector<Row> lineRows;
    std::map<std::string, std::vector<Row>> linkedLines;
    int variablesEvaluated = 0;
    std::vector<std::pair<std::string, std::string>> writes; // every value set, in order

    // ---- Readers -----------------------------------------------------------------------------
    int GetFieldBool(const std::string& name, int defaultValue, const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        if (text.empty())
            return defaultValue;
        return text == "1" || trv::EqualsNoCase(text, "YES") ? 1 : 0;
    }
    int GetFieldInt(const std::string& name, int defaultValue, int minimum, int maximum,
                    const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        int value = text.empty() ? defaultValue : trv::ParseInt(text);
        if (minimum != -1 && value < minimum)
            value = minimum;
        if (maximum != -1 && value > maximum)
            value = maximum;
        return value;
    }
    float GetFieldFloat(const std::string& name, float defaultValue, const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        return text.empty() ? defaultValue : static_cast<float>(trv::ParseDouble(text));
    }
    double GetFieldDouble(const std::string& name, double defaultValue,
                          const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        return text.empty() ? defaultValue : trv::ParseDouble(text);
    }
    std::string GetFieldString(const std::string& name, const std::string& defaultValue, int width,
                               const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        if (text.empty())
            return defaultValue;
        return width > 0 ? trv::Left(text, static_cast<std::size_t>(width)) : text;
    }
    int GetFieldTime(const std::string& name, int defaultMinutes, int, int,
                     const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        if (text.empty())
            return defaultMinutes;
        return text == "UNSET" ? kUnsetTime : trv::ParseInt(text);
    }
    trv::OleDate GetFieldDate(const std::string& name, const trv::OleDate& defaultValue,
                              const TFieldRead& how) override
    {
        const std::string text = Text(name, how.required);
        if (text.empty())
            return defaultValue;
        return text == "INVALID" ? trv::OleDate::Invalid() : trv::OleDate(trv::ParseDouble(text));
    }
    CSmartIntArray GetFieldListTime(const std::string& name, int, int,
                                    const TFieldRead& how) override
    {
        CSmartIntArray values;
        for (const std::string& item : Items(name, how.required))
            values.Add(item == "UNSET" ? kUnsetTime : trv::ParseInt(item));
        return values;
    }
    int GetFieldList(const std::string& name, CSmartStringArray& items, const std::string&,
                     bool applyWidth, int width, const TFieldRead& how) override
    {
        for (const std::string& item : Items(name, how.required))
            items.Add(applyWidth && width > 0 ? trv::Left(item, static_cast<std::size_t>(width))
                                              : item);
        return width;
    }
    CSmartFloatArray GetFieldListFloat(const std::string& name, const TFieldRead& how) override
    {
        CSmartFloatArray values;
        for (const std::string& item : Items(name, how.required))
            values.Add(static_cast<float>(trv::ParseDouble(item)));
        return values;
    }
    CSmartIntArray GetFieldListInt(const std::string& name, const TFieldRead& how) override
    {
        CSmartIntArray values;
        for (const std::string& item : Items(name, how.required))
            values.Add(item.empty() ? kEmptyListItem : trv::ParseInt(item));
        return values;
    }
    void GetFieldListStrings(const std::string& name, CSmartStringArray& items,
                             const TFieldRead& how) override
    {
        items.SetSize(0);
        for (const std::string& item : Items(name, how.required))
            items.Add(item);
    }
    void GetFieldCoordinates(TGeoCoordinate& coordinates, const CSmartStringArray& names,
                             double defaultValue, const TFieldRead& how) override
    {
        coordinates.X = GetFieldDouble(names[0], defaultValue, how);
        coordinates.Y = GetFieldDouble(names[1], defaultValue, how);
        coordinates.longitude = coordinates.X;
        coordinates.latitude = coordinates.Y;
    }
    int GetRequirements(const std::string& requirementName, TRequirementRead type,
                        const TFieldRead&, std::unique_ptr<CSmartStringArray>& list) override
    {
        const std::string field =
            requirementFields.GetSize() > 0 ? requirementFields[0] : requirementName;
        const std::string text = Text(field, false);
        list.reset();
        if (text.empty())
            return kAnyRequirementValue;
        if (type == TRequirementRead::list) {
            list = std::make_unique<CSmartStringArray>();
            for (const std::string& item : Items(field, false))
                list->Add(item);
            return 0;
        }
        if (type == TRequirementRead::boolean)
            return text == "1" || trv::EqualsNoCase(text, "YES") ? 1 : 0;
        return trv::ParseInt(text);
    }

    // ---- Writers -----------------------------------------------------------------------------
    void SetFieldBool(const std::string& name, bool value, const TFieldWrite& how) override
    {
        Store(name, how.isSet ? std::string(1, value ? '1' : '0') : std::string());
    }
    void SetFieldInt(const std::string& name, int value, int, int, const TFieldWrite& how) override
    {
        Store(name, how.isSet ? trv::FormatC("%d", value) : "");
    }
    void SetFieldFloat(const std::string& name, float value, const TFieldWrite&) override
    {
        Store(name, trv::FormatC("%.9g", value));
    }
    void SetFieldString(const std::string& name, const std::string& text, int maxChars,
                        const TFieldWrite&) override
    {
        Store(name, maxChars > 0 ? trv::Left(text, static_cast<std::size_t>(maxChars)) : text);
    }
    void SetFieldDouble(const std::string& name, double value, const TFieldWrite&) override
    {
        Store(name, trv::FormatC("%.17g", value));
    }
    void SetFieldDate(const std::string& name, const trv::OleDate& date,
                      const TFieldWrite&) override
    {
        Store(name, date.GetStatus() == trv::OleDate::invalid
                        ? "INVALID"
                        : trv::FormatC("%.10f", date.GetValue()));
    }
    void SetFieldTime(const std::string& name, int minutes, int, int, const TFieldWrite&) override
    {
        Store(name, minutes == kUnsetTime ? "UNSET" : trv::FormatC("%d", minutes));
    }
    void SetFieldListTime(const std::string& name, const CSmartIntArray& minutes, int, int,
                          const TFieldWrite&) override
    {
        std::vector<std::string> items;
        for (const int value : minutes)
            items.push_back(value == kUnsetTime ? "UNSET" : trv::FormatC("%d", value));
        Store(name, Join(items));
    }
    void SetFieldListFloat(const std::string& name, const CSmartFloatArray& values,
                           const TFieldWrite&) override
    {
        std::vector<std::string> items;
        for (const float value : values)
            items.push_back(trv::FormatC("%.9g", value));
        Store(name, Join(items));
    }
    void SetFieldListInt(const std::string& name, const CSmartIntArray& values,
                         const TFieldWrite&) override
    {
        std::vector<std::string> items;
        for (const int value : values)
            items.push_back(trv::FormatC("%d", value));
        Store(name, Join(items));
    }
    void SetFieldListString(const std::string& name, const CSmartStringArray& values,
                            const TFieldWrite& how) override
    {
        Store(name, how.isSet ? Join(std::vector<std::string>(values.begin(), values.end())) : "");
    }
    void SetFieldCoordinates(const CSmartStringArray& names, const TGeoCoordinate& coordinates,
                             const TFieldWrite&) override
    {
        Store(names[0], trv::FormatC("%.17g", coordinates.longitude));
        Store(names[1], trv::FormatC("%.17g", coordinates.latitude));
    }

    // ---- Definition ------------------------------------------------------------------------
    const CSmartStringArray& GetRequirementFields() const override { return requirementFields; }
    void SetRequirementName(const std::string& name) override { requirementName = name; }
    bool IsDatabaseOutput() const override { return database; }
    std::string GetBoolText(bool value) const override { return value ? "S" : "N"; }

    bool IsEOF() override { return m_next >= m_rows->size(); }
    bool MoveNext() override
    {
        if (m_next >= m_rows->size())
            return false;
        m_current = (*m_rows)[m_next++];
        return true;
    }
    void ClearRecord() override { m_current.clear(); }
    bool WriteRecord() override
    {
        m_rows->push_back(m_current);
        return true;
    }
    CFieldRecord& ResetLines(const std::string& field) override
    {
        m_linePosition = 0;
        m_lineRecord.reset();
        const auto linked = linkedLines.find(field);
        if (linked == linkedLines.end())
            return *this;
        m_lineRecord = std::make_unique<CMemoryFieldRecord>(&linked->second);
        m_lineRecord->database = database;
        return *m_lineRecord;
    }
    bool IsLinesEnd() override
    {
        if (m_lineRecord)
            return m_lineRecord->IsEOF();
        if (database || lineRows.empty())
            return m_linePosition != 0;
        return m_linePosition >= lineRows.size();
    }
    bool MoveNextLine() override
    {
        if (m_lineRecord)
            return m_lineRecord->MoveNext();
        if (!database && !lineRows.empty()) {
            if (m_linePosition >= lineRows.size())
                return false;
            m_current = lineRows[m_linePosition];
        }
        ++m_linePosition;
        return true;
    }
    void EvaluateVariables() override { ++variablesEvaluated; }

    std::unique_ptr<CFieldRecord> OpenSubTableOutput(const std::string& field) override
    {
        const auto found = subTables.find(field);
        if (found == subTables.end())
            return nullptr;
        return std::make_unique<CMemoryFieldRecord>(&found->second);
    }

  private:
    void Store(const std::string& name, const std::string& value)
    {
        m_current[name] = value;
        writes.emplace_back(name, value);
    }
    std::string Text(const std::string& name, bool required)
    {
        const auto found = m_current.find(name);
        const std::string text = found == m_current.end() ? std::string() : found->second;
        if (text.empty() && required)
            missingRequired.push_back(name);
        return text;
    }
    std::vector<std::string> Items(const std::string& name, bool required)
    {
        std::vector<std::string> items;
        std::string text = Text(name, required);
        if (text.empty())
            return items;
        std::size_t start = 0;
        for (;;) {
            const std::size_t bar = text.find('|', start);
            items.push_back(text.substr(start, bar == std::string::npos ? bar : bar - start));
            if (bar == std::string::npos)
                return items;
            start = bar + 1;
        }
    }
    static std::string Join(const std::vector<std::string>& items)
    {
        std::string text;
        for (std::size_t i = 0; i < items.size(); ++i)
            text += (i ? "|" : "") + items[i];
        return text;
    }

    std::vector<Row> m_own;
    std::vector<Row>* m_rows;
    int* m_openCount;
    std::size_t m_next = 0;
    Row m_current;
    std::size_t m_linePosition = 0;
    std::unique_ptr<CMemoryFieldRecord> m_lineRecord;
};

// Named tables of rows opened as records; a write opens a missing table. Counts the records
// still open, so a test sees that a caller released what it opened.
class CMemoryRecordSource : public CFieldRecordSource
{
  public:
    std::map<std::string, std::vector<CMemoryFieldRecord::Row>> tables;
    int openRecords = 0;
    TFieldRecordOpen lastOpen; // how the last record was opened

    std::unique_ptr<CFieldRecord> Open(const std::string& definition,
                                       const TFieldRecordOpen& how) override
    {
        lastOpen = how;
        auto found = tables.find(definition);
        if (found == tables.end()) {
            if (how.mode != TFieldRecordMode::write)
                return nullptr;
            found = tables.emplace(definition, std::vector<CMemoryFieldRecord::Row>()).first;
        }
        return std::make_unique<CMemoryFieldRecord>(&found->second, &openRecords);
    }
};
