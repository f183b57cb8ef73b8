#pragma once

#include "KLV/Fetch.h"
#include "model/DateTable.h"

#include <string>

namespace trv {

// Reads days off through a named data definition of the data exchange engine.
class FetchDayOffReader : public DayOffRecordReader
{
  public:
    // `definitionFile` replaces the normal precedence of the definition files when not empty.
    explicit FetchDayOffReader(std::string definitionFile = {})
        : m_definitionFile(std::move(definitionFile))
    {
    }

    int Open(const std::string& definitionName, const std::string& fileName,
             const std::string& filter) override;
    bool IsEOF() override { return m_fetch.IsEOF() != 0; }
    bool MoveNext() override { return m_fetch.MoveNext() != 0; }
    COleDateTime GetFieldDate(const char* name, const COleDateTime& defaultDate) override;
    std::string GetFieldString(const char* name, const std::string& defaultText) override;
    void Close() override { m_fetch.Close(); }

  private:
    std::string m_definitionFile;
    CFetch m_fetch;
};

// Writes days off to a definition the caller has opened for writing (and closes).
class FetchDayOffWriter : public DayOffRecordWriter
{
  public:
    explicit FetchDayOffWriter(CFetch& definition) : m_fetch(definition) {}

    void SetFieldString(const char* name, const std::string& text) override
    {
        m_fetch.SetFieldString(name, text);
    }
    void SetFieldDate(const char* name, const COleDateTime& date) override
    {
        m_fetch.SetFieldDate(name, date);
    }
    void WriteRecord() override;

  private:
    CFetch& m_fetch;
};

} // namespace trv
