#include "KLV/AdoRecordset.h"

#include "KLV/Trace.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <sql.h>
#include <sqlext.h>

namespace trv {
namespace {

constexpr std::size_t kTextChunkBytes = 4096;

long FixedSize(long adoType, SQLULEN columnSize)
{
    switch (adoType) {
    case AdoType::TinyInt:
        return 1;
    case AdoType::SmallInt:
    case AdoType::Boolean:
        return 2;
    case AdoType::Integer:
    case AdoType::Single:
        return 4;
    case AdoType::BigInt:
    case AdoType::Double:
        return 8;
    case AdoType::DBDate:
    case AdoType::DBTime:
    case AdoType::DBTimeStamp:
        return 16;
    default:
        return static_cast<long>(std::min<SQLULEN>(columnSize, LONG_MAX));
    }
}

// Reads a text or binary value in chunks, whatever its length, into `out` (a text kept from the
// row before is reused, its storage with it).
void ReadBytes(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, FieldValue& out)
{
    const std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    std::string* value = std::get_if<std::string>(&out);
    if (value)
        value->clear();
    char buffer[kTextChunkBytes];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN result =
            SQLGetData(statement, column, cType, buffer, sizeof buffer, &indicator);
        if (result == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(result))
            throw AdoError(kAdoErrorFailure,
                           "SQLGetData failed on column " + std::to_string(column));
        if (indicator == SQL_NULL_DATA) {
            out = DbNull{};
            return;
        }
        const std::size_t room = sizeof buffer - terminator;
        const std::size_t got =
            indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room
                ? room
                : static_cast<std::size_t>(indicator);
        if (!value)
            value = &out.emplace<std::string>();
        value->append(buffer, got);
        if (result == SQL_SUCCESS)
            break;
    }
    if (!value)
        out.emplace<std::string>();
}

template <typename T>
bool ReadFixed(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, T& out)
{
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(statement, column, cType, &out, sizeof out, &indicator)))
        throw AdoError(kAdoErrorFailure, "SQLGetData failed on column " + std::to_string(column));
    return indicator != SQL_NULL_DATA;
}

// Reads the column's value of the current row into `out`.
void ReadValue(SQLHSTMT statement, SQLUSMALLINT column, long adoType, FieldValue& out)
{
    switch (adoType) {
    case AdoType::TinyInt:
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::BigInt: {
        SQLBIGINT value = 0;
        out = ReadFixed(statement, column, SQL_C_SBIGINT, value)
                  ? FieldValue(static_cast<std::int64_t>(value))
                  : FieldValue(DbNull{});
        return;
    }
    case AdoType::Boolean: {
        unsigned char value = 0;
        out = ReadFixed(statement, column, SQL_C_BIT, value) ? FieldValue(value != 0)
                                                             : FieldValue(DbNull{});
        return;
    }
    case AdoType::Single:
    case AdoType::Double: {
        double value = 0;
        out = ReadFixed(statement, column, SQL_C_DOUBLE, value) ? FieldValue(value)
                                                                : FieldValue(DbNull{});
        return;
    }
    case AdoType::Decimal:
    case AdoType::Numeric: {
        // Read as text and parsed in the C locale, so no digit is lost to the driver's rounding.
        FieldValue text;
        ReadBytes(statement, column, SQL_C_CHAR, text);
        const auto* digits = std::get_if<std::string>(&text);
        if (!digits) {
            out = std::move(text);
            return;
        }
        double value = 0;
        const std::string_view trimmed = Trim(*digits);
        const char* start = trimmed.data() + (trimmed.starts_with('+') ? 1 : 0);
        std::from_chars(start, trimmed.data() + trimmed.size(), value);
        out = value;
        return;
    }
    case AdoType::DBDate: {
        SQL_DATE_STRUCT date{};
        out = ReadFixed(statement, column, SQL_C_TYPE_DATE, date)
                  ? FieldValue(OleDate(date.year, date.month, date.day))
                  : FieldValue(DbNull{});
        return;
    }
    case AdoType::DBTime: {
        SQL_TIME_STRUCT time{};
        if (!ReadFixed(statement, column, SQL_C_TYPE_TIME, time)) {
            out = DbNull{};
            return;
        }
        OleDate value;
        value.SetTime(time.hour, time.minute, time.second);
        out = value;
        return;
    }
    case AdoType::DBTimeStamp: {
        SQL_TIMESTAMP_STRUCT stamp{};
        out = ReadFixed(statement, column, SQL_C_TYPE_TIMESTAMP, stamp)
                  ? FieldValue(OleDate(stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute,
                                       stamp.second))
                  : FieldValue(DbNull{});
        return;
    }
    case AdoType::Binary:
    case AdoType::VarBinary:
    case AdoType::LongVarBinary:
        ReadBytes(statement, column, SQL_C_BINARY, out);
        return;
    default:
        ReadBytes(statement, column, SQL_C_CHAR, out);
        return;
    }
}

} // namespace

long AdoTypeOfSqlType(int sqlType)
{
    switch (sqlType) {
    case SQL_CHAR:
        return AdoType::Char;
    case SQL_VARCHAR:
        return AdoType::VarChar;
    case SQL_LONGVARCHAR:
        return AdoType::LongVarChar;
    case SQL_WCHAR:
        return AdoType::WChar;
    case SQL_WVARCHAR:
        return AdoType::VarWChar;
    case SQL_WLONGVARCHAR:
        return AdoType::LongVarWChar;
    case SQL_DECIMAL:
        return AdoType::Decimal;
    case SQL_NUMERIC:
        return AdoType::Numeric;
    case SQL_SMALLINT:
        return AdoType::SmallInt;
    case SQL_INTEGER:
        return AdoType::Integer;
    case SQL_BIGINT:
        return AdoType::BigInt;
    case SQL_TINYINT:
        return AdoType::TinyInt;
    case SQL_REAL:
        return AdoType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return AdoType::Double;
    case SQL_BIT:
        return AdoType::Boolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return AdoType::DBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return AdoType::DBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return AdoType::DBTimeStamp;
    case SQL_BINARY:
        return AdoType::Binary;
    case SQL_VARBINARY:
        return AdoType::VarBinary;
    case SQL_LONGVARBINARY:
        return AdoType::LongVarBinary;
    case SQL_GUID:
        return AdoType::Guid;
    default:
        return AdoType::Variant;
    }
}

void AdoRecordset::Open(const std::string& statement, AdoConnectionPtr connection, AdoCursor cursor)
{
    Close();
    if (!connection || connection->State() == 0)
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    m_statement = statement;
    m_connection = std::move(connection);
    m_cursor = cursor;
    if (m_cursor == AdoCursor::ForwardOnly)
        Execute();
    else
        Load();
}

void AdoRecordset::Requery()
{
    if (!m_connection)
        throw AdoError(kAdoErrorPointer, "The recordset was never opened");
    if (m_cursor == AdoCursor::ForwardOnly)
        Execute();
    else
        Load();
}

std::unique_ptr<OdbcStatement> AdoRecordset::Run(std::vector<AdoField>& fields)
{
    auto handle = std::make_unique<OdbcStatement>(*m_connection);
    auto* statement = static_cast<SQLHSTMT>(handle->Handle());
    const SQLRETURN executed = SQLExecDirect(
        statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(m_statement.c_str())), SQL_NTS);
    if (executed != SQL_NO_DATA)
        handle->Check(executed, "SQLExecDirect");

    SQLSMALLINT columns = 0;
    if (executed != SQL_NO_DATA)
        handle->Check(SQLNumResultCols(statement, &columns), "SQLNumResultCols");
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        handle->Check(SQLDescribeCol(statement, column, name, sizeof name, &nameLength, &sqlType,
                                     &size, &digits, &nullable),
                      "SQLDescribeCol");
        AdoField field;
        field.name = reinterpret_cast<const char*>(name);
        field.type = AdoTypeOfSqlType(sqlType);
        field.definedSize = FixedSize(field.type, size);
        fields.push_back(std::move(field));
    }
    return handle;
}

void AdoRecordset::Load()
{
    std::vector<AdoField> fields;
    const std::unique_ptr<OdbcStatement> handle = Run(fields);
    auto* statement = static_cast<SQLHSTMT>(handle->Handle());
    const auto columns = static_cast<SQLUSMALLINT>(fields.size());
    std::vector<FieldValue> values;
    for (;;) {
        const SQLRETURN fetched = columns ? SQLFetch(statement) : SQL_NO_DATA;
        if (fetched == SQL_NO_DATA)
            break;
        handle->Check(fetched, "SQLFetch");
        for (SQLUSMALLINT column = 1; column <= columns; ++column)
            ReadValue(statement, column, fields[column - 1].type, values.emplace_back());
    }
    m_fields = std::move(fields);
    m_values = std::move(values);
    m_current = 0;
    m_open = true;
}

void AdoRecordset::Execute()
{
    m_handle.reset();
    std::vector<AdoField> fields;
    std::unique_ptr<OdbcStatement> handle = Run(fields);
    m_fields = std::move(fields);
    m_values.resize(m_fields.size());
    m_handle = std::move(handle);
    m_current = 0;
    m_open = true;
    m_atEnd = !FetchRow();
}

bool AdoRecordset::FetchRow()
{
    if (!m_handle || m_fields.empty())
        return false;
    auto* statement = static_cast<SQLHSTMT>(m_handle->Handle());
    const SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) {
        // Done: the driver's statement goes now, not when the recordset does.
        m_handle.reset();
        return false;
    }
    m_handle->Check(fetched, "SQLFetch");
    for (std::size_t column = 0; column < m_fields.size(); ++column)
        ReadValue(statement, static_cast<SQLUSMALLINT>(column + 1), m_fields[column].type,
                  m_values[column]);
    return true;
}

void AdoRecordset::Close()
{
    m_open = false;
    m_handle.reset();
    m_atEnd = true;
    m_fields.clear();
    m_values.clear();
    m_current = 0;
}

long AdoRecordset::RecordCount() const
{
    if (!m_open)
        return 0;
    return m_cursor == AdoCursor::ForwardOnly ? -1 : static_cast<long>(RowCount());
}

void AdoRecordset::MoveFirst()
{
    if (!m_open)
        throw AdoError(kAdoErrorPointer, "The recordset is closed");
    if (m_cursor == AdoCursor::ForwardOnly && m_current != 0) {
        Execute();
        return;
    }
    m_current = 0;
}

void AdoRecordset::MoveNext()
{
    if (IsEOF())
        throw AdoError(kAdoErrorNoCurrentRecord, "MoveNext past the last record");
    ++m_current;
    if (m_cursor == AdoCursor::ForwardOnly) {
        try {
            m_atEnd = !FetchRow();
        } catch (...) {
            m_atEnd = true;
            m_handle.reset();
            throw;
        }
    }
}

std::size_t AdoRecordset::FieldIndex(std::string_view name) const
{
    for (std::size_t index = 0; index < m_fields.size(); ++index)
        if (EqualsNoCase(m_fields[index].name, name))
            return index;
    throw AdoError(kAdoErrorItemNotFound,
                   "Item cannot be found in the collection: " + std::string(name));
}

const FieldValue& AdoRecordset::Value(std::size_t index) const
{
    if (IsEOF())
        throw AdoError(kAdoErrorNoCurrentRecord, "No current record");
    if (index >= m_fields.size())
        throw AdoError(kAdoErrorItemNotFound, "No field " + std::to_string(index));
    if (m_cursor == AdoCursor::ForwardOnly)
        return m_values[index];
    return m_values[m_current * m_fields.size() + index];
}

} // namespace trv

namespace {

void TraceFieldError(const char* method, const trv::AdoError& error, const std::string& fieldName)
{
    TRV_TRACE(1, method, "Error Accediendo BD. ErrorCod=%08lx description=%s, Field= %s",
              static_cast<unsigned long>(error.Error()), error.Description().c_str(),
              fieldName.c_str());
}

const trv::AdoRecordset& Opened(const trv::AdoRecordsetPtr& recordset)
{
    if (!recordset)
        throw trv::AdoError(trv::kAdoErrorPointer, "No recordset");
    return *recordset;
}

} // namespace

void CAdoRecordset::dump_com_error(const trv::AdoError& error)
{
    TRV_TRACE(2, "CAdoRecordset::dump_com_error",
              "CADORecordset Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\t"
              "Description = %s\n",
              static_cast<unsigned long>(error.Error()), error.ErrorMessage().c_str(),
              error.Source().c_str(), error.Description().c_str());
}

bool CAdoRecordset::IsEOF()
{
    try {
        return Opened(m_pRecordset).IsEOF();
    } catch (const trv::AdoError& error) {
        dump_com_error(error);
        return true;
    }
}

void CAdoRecordset::Close()
{
    if (m_pRecordset && m_pRecordset->State() != 0)
        m_pRecordset->Close();
}

bool CAdoRecordset::IsRecordEmpty()
{
    try {
        const trv::AdoRecordset& recordset = Opened(m_pRecordset);
        for (std::size_t index = 0; index < recordset.FieldCount(); ++index)
            if (!std::holds_alternative<trv::DbNull>(recordset.Value(index)))
                return false;
        return true;
    } catch (const trv::AdoError& error) {
        dump_com_error(error);
        return true;
    }
}

void CAdoRecordset::vGetFieldValue(const std::string& fieldName, trv::FieldValue& out)
{
    try {
        const trv::AdoRecordset& recordset = Opened(m_pRecordset);
        out = recordset.Value(recordset.FieldIndex(fieldName));
    } catch (const trv::AdoError& error) {
        dump_com_error(error);
        TraceFieldError("CAdoRecordset::vGetFieldValue", error, fieldName);
    }
}

void CAdoRecordset::vGetFieldSize(const std::string& fieldName, long& out)
{
    try {
        const trv::AdoRecordset& recordset = Opened(m_pRecordset);
        out = recordset.Field(recordset.FieldIndex(fieldName)).definedSize;
    } catch (const trv::AdoError& error) {
        dump_com_error(error);
        TraceFieldError("CAdoRecordset::vGetFieldSize", error, fieldName);
        out = 0;
    }
}

void CAdoRecordset::vGetFieldType(const std::string& fieldName, long& out)
{
    try {
        const trv::AdoRecordset& recordset = Opened(m_pRecordset);
        out = recordset.Field(recordset.FieldIndex(fieldName)).type;
    } catch (const trv::AdoError& error) {
        dump_com_error(error);
        TraceFieldError("CAdoRecordset::vGetFieldType", error, fieldName);
        out = trv::AdoType::Empty;
    }
}

void CAdoRecordset::Requery()
{
    try {
        if (!m_pRecordset)
            throw trv::AdoError(trv::kAdoErrorPointer, "No recordset");
        m_pRecordset->Requery();
    } catch (const trv::AdoError& error) {
        dump_com_error(error);
    }
}

void CAdoRecordsetDeleter::operator()(CAdoRecordset* recordset) const
{
    if (!recordset)
        return;
    recordset->Close();
    delete recordset;
}

CAdoRecordsetPtr CreateAdoRecordset(trv::AdoConnectionPtr connection, const std::string& statement,
                                    long cursorType, long, long, std::string& errorText)
{
    errorText.clear();
    CAdoRecordsetPtr result(new CAdoRecordset);
    result->m_pRecordset = std::make_shared<trv::AdoRecordset>();
    result->m_pConnection = connection;
    try {
        result->m_pRecordset->Open(statement, std::move(connection),
                                   cursorType == adOpenForwardOnly ? trv::AdoCursor::ForwardOnly
                                                                   : trv::AdoCursor::Static);
    } catch (const trv::AdoError& error) {
        CAdoRecordset::dump_com_error(error);
        errorText = "Error Accediendo BD. Query=" + statement + ". Error=" + error.ErrorMessage() +
                    " " + error.Description();
    }
    return result;
}
