#include "model/DateTableFetch.h"

namespace trv {

int FetchDayOffReader::Open(const std::string& definitionName, const std::string& fileName,
                            const std::string& filter)
{
    return m_fetch.Init(definitionName, "", "", FETCH_MODE_READ, fileName, filter, "", 1, nullptr,
                        "", m_definitionFile);
}

COleDateTime FetchDayOffReader::GetFieldDate(const char* name, const COleDateTime& defaultDate)
{
    return m_fetch.GetFieldDate(name, defaultDate);
}

std::string FetchDayOffReader::GetFieldString(const char* name, const std::string& defaultText)
{
    return m_fetch.GetFieldString(name, defaultText);
}

void FetchDayOffWriter::WriteRecord()
{
    m_fetch.WriteRecord();
    m_fetch.ClearRecord();
}

} // namespace trv
