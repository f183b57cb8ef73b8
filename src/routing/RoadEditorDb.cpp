#include "routing/RoadEditorDb.h"

#include "KLV/AdoRecordset.h"
#include "KLV/FetchFilter.h"
#include "KLV/Trace.h"

#include <variant>

namespace {

constexpr const char* kSqliteDriver = "SQLite3";

constexpr const char* kCreateAuthors = "CREATE TABLE IF NOT EXISTS AUTHORS (ID INTEGER PRIMARY "
                                       "KEY AUTOINCREMENT, NAME TEXT NOT NULL, DESCRIPTION TEXT)";
constexpr const char* kCreateSegments =
    "CREATE TABLE IF NOT EXISTS SEGMENT_ENTRIES (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
    "FIRST_NUMBER INTEGER NOT NULL, SECOND_NUMBER INTEGER NOT NULL, ATTRIBUTE INTEGER NOT NULL, "
    "FIRST_CLOSED INTEGER NOT NULL, SECOND_CLOSED INTEGER NOT NULL, ARGUMENT INTEGER NOT NULL, "
    "AUTHOR_ID INTEGER NOT NULL)";

long long AsInteger(const trv::FieldValue& value)
{
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return *number;
    if (const auto* real = std::get_if<double>(&value))
        return static_cast<long long>(*real);
    if (const auto* text = std::get_if<std::string>(&value))
        return std::atoll(text->c_str());
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? 1 : 0;
    return -1;
}

} // namespace

bool CRoadEditorDb::Open(const std::string& path)
{
    Release();
    m_database = CreateAdoDB(std::string("Driver=") + kSqliteDriver + ";Database=" + path);
    if (!m_database->m_pConnection) {
        m_lastError = m_database->m_strLastError;
        m_database.reset();
        return false;
    }
    m_path = path;
    if (!Run(kCreateAuthors) || !Run(kCreateSegments)) {
        Release();
        return false;
    }
    return true;
}

void CRoadEditorDb::Release()
{
    m_database.reset();
    m_path.clear();
    m_settings = TRoadEditorSettings();
}

bool CRoadEditorDb::Run(const std::string& statement)
{
    if (!IsOpen())
        return false;
    std::string error;
    if (m_database->Execute(m_database->m_pConnection, statement, error) < 0) {
        m_lastError = error;
        TRV_TRACE(1, "CRoadEditorDb", "%s: %s", statement.c_str(), error.c_str());
        return false;
    }
    return true;
}

long long CRoadEditorDb::QueryId(const std::string& statement)
{
    if (!IsOpen())
        return -1;
    std::string error;
    CAdoRecordsetPtr rows =
        CreateAdoRecordset(m_database->m_pConnection, statement, 0, 0, 0, error);
    if (!error.empty()) {
        m_lastError = error;
        return -1;
    }
    if (rows->IsEOF())
        return -1;
    trv::FieldValue value;
    rows->vGetFieldValue("ID", value);
    return AsInteger(value);
}

long long CRoadEditorDb::FindAuthor(const std::string& name)
{
    return QueryId("SELECT ID FROM AUTHORS WHERE NAME=" + QuoteFilterValue(name) + " ORDER BY ID");
}

long long CRoadEditorDb::AddAuthor(const std::string& name, const std::string& description)
{
    if (!Run("INSERT INTO AUTHORS (NAME, DESCRIPTION) VALUES (" + QuoteFilterValue(name) + ", " +
             QuoteFilterValue(description) + ")"))
        return -1;
    return QueryId("SELECT MAX(ID) AS ID FROM AUTHORS");
}

bool CRoadEditorDb::DescribeSegment(int first, int second, long long authorId,
                                    TRoadSegmentEntry& entry)
{
    if (!IsOpen())
        return false;
    const std::string statement =
        "SELECT ID, FIRST_CLOSED, SECOND_CLOSED FROM SEGMENT_ENTRIES WHERE FIRST_NUMBER=" +
        std::to_string(first) + " AND SECOND_NUMBER=" + std::to_string(second) +
        " AND AUTHOR_ID=" + std::to_string(authorId) + " ORDER BY ID";
    std::string error;
    CAdoRecordsetPtr rows =
        CreateAdoRecordset(m_database->m_pConnection, statement, 0, 0, 0, error);
    if (!error.empty() || rows->IsEOF())
        return false;
    trv::FieldValue value;
    rows->vGetFieldValue("ID", value);
    entry.id = AsInteger(value);
    rows->vGetFieldValue("FIRST_CLOSED", value);
    entry.firstClosed = AsInteger(value) > 0;
    rows->vGetFieldValue("SECOND_CLOSED", value);
    entry.secondClosed = AsInteger(value) > 0;
    return true;
}

bool CRoadEditorDb::WriteEntry(int first, int second, int attribute, bool firstClosed,
                               bool secondClosed, long long authorId)
{
    return Run("INSERT INTO SEGMENT_ENTRIES (FIRST_NUMBER, SECOND_NUMBER, ATTRIBUTE, "
               "FIRST_CLOSED, SECOND_CLOSED, ARGUMENT, AUTHOR_ID) VALUES (" +
               std::to_string(first) + ", " + std::to_string(second) + ", " +
               std::to_string(attribute) + ", " + (firstClosed ? "1" : "0") + ", " +
               (secondClosed ? "1" : "0") + ", 0, " + std::to_string(authorId) + ")");
}

bool CRoadEditorDb::DeleteEntry(long long id)
{
    return Run("DELETE FROM SEGMENT_ENTRIES WHERE ID=" + std::to_string(id));
}
