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

// Reads a text or binary value in chunks, whatever its length.
FieldValue ReadBytes(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType)
{
    const std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    std::string value;
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
        if (indicator == SQL_NULL_DATA)
            return DbNull{};
        const std::size_t room = sizeof buffer - terminator;
        const std::size_t got =
            indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room
                ? room
                : static_cast<std::size_t>(indicator);
        value.append(buffer, got);
        if (result == SQL_SUCCESS)
            break;
    }
    return value;
}

template <typename T>
bool ReadFixed(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, T& out)
{
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(statement, column, cType, &out, sizeof out, &indicator)))
        throw AdoError(kAdoErrorFailure, "SQLGetData failed on column " + std::to_string(column));
    return indicator != SQL_NULL_DATA;
}

FieldValue ReadValue(SQLHSTMT statement, SQLUSMALLINT column, long adoType)
{
    switch (adoType) {
    case AdoType::TinyInt:
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::BigInt: {
        SQLBIGINT value = 0;
        return ReadFixed(statement, column, SQL_C_SBIGINT, value)
                   ? FieldValue(static_cast<std::int64_t>(value))
                   : FieldValue(DbNull{});
    }
    case AdoType::Boolean: {
        unsigned char value = 0;
        return ReadFixed(statement, column, SQL_C_BIT, value) ? FieldValue(value != 0)
                                                              : FieldValue(DbNull{});
    }
    case AdoType::Single:
    case AdoType::Double: {
        double value = 0;
        return ReadFixed(statement, column, SQL_C_DOUBLE, value) ? FieldValue(value)
                                                                 : FieldValue(DbNull{});
    }
    case AdoType::Decimal:
    case AdoType::Numeric: {
        // Read as text and parsed in the C locale, so no digit is lost to the driver's rounding.
        FieldValue text = ReadBytes(statement, column, SQL_C_CHAR);
        const auto* digits = std::get_if<std::string>(&text);
        if (!digits)
            return text;
        double value = 0;
        const std::string_view trimmed = Trim(*digits);
        const char* start = trimmed.data() + (trimmed.starts_with('+') ? 1 : 0);
        std::from_chars(start, trimmed.data() + trimmed.size(), value);
        return value;
    }
    case AdoType::DBDate: {
        SQL_DATE_STRUCT date{};
        if (!ReadFixed(statement, column, SQL_C_TYPE_DATE, date))
            return DbNull{};
        return OleDate(date.year, date.month, date.day);
    }
    case AdoType::DBTime: {
        SQL_TIME_STRUCT time{};
        if (!ReadFixed(statement, column, SQL_C_TYPE_TIME, time))
            return DbNull{};
        OleDate value;
        value.SetTime(time.hour, time.minute, time.second);
        return value;
    }
    case AdoType::DBTimeStamp: {
        SQL_TIMESTAMP_STRUCT stamp{};
        if (!ReadFixed(statement, column, SQL_C_TYPE_TIMESTAMP, stamp))
            return DbNull{};
        return OleDate(stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second);
    }
    case AdoType::Binary:
    case AdoType::VarBinary:
    case AdoType::LongVarBinary:
        return ReadBytes(statement, column, SQL_C_BINARY);
    default:
        return ReadBytes(statement, column, SQL_C_CHAR);
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

void AdoRecordset::Open(const std::string& statement, AdoConnectionPtr connection)
{
    Close();
    if (!connection || connection->State() == 0)
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    m_statement = statement;
    m_connection = std::move(connection);
    Load();
}

void AdoRecordset::Requery()
{
    if (!m_connection)
        throw AdoError(kAdoErrorPointer, "The recordset was never opened");
    Load();
}

void AdoRecordset::Load()
{
    OdbcStatement handle(*m_connection);
    auto* statement = static_cast<SQLHSTMT>(handle.Handle());
    const SQLRETURN executed = SQLExecDirect(
        statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(m_statement.c_str())), SQL_NTS);
    if (executed != SQL_NO_DATA)
        handle.Check(executed, "SQLExecDirect");

    std::vector<AdoField> fields;
    SQLSMALLINT columns = 0;
    if (executed != SQL_NO_DATA)
        handle.Check(SQLNumResultCols(statement, &columns), "SQLNumResultCols");
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        handle.Check(SQLDescribeCol(statement, column, name, sizeof name, &nameLength, &sqlType,
                                    &size, &digits, &nullable),
                     "SQLDescribeCol");
        AdoField field;
        field.name = reinterpret_cast<const char*>(name);
        field.type = AdoTypeOfSqlType(sqlType);
        field.definedSize = FixedSize(field.type, size);
        fields.push_back(std::move(field));
    }

    std::vector<FieldValue> values;
    for (;;) {
        const SQLRETURN fetched = columns ? SQLFetch(statement) : SQL_NO_DATA;
        if (fetched == SQL_NO_DATA)
            break;
        handle.Check(fetched, "SQLFetch");
        for (SQLUSMALLINT column = 1; column <= columns; ++column)
            values.push_back(ReadValue(statement, column, fields[column - 1].type));
    }
    m_fields = std::move(fields);
    m_values = std::move(values);
    m_current = 0;
    m_open = true;
}

void AdoRecordset::Close()
{
    m_open = false;
    m_fields.clear();
    m_values.clear();
    m_current = 0;
}

long AdoRecordset::RecordCount() const
{
    return m_open ? static_cast<long>(RowCount()) : 0;
}

void AdoRecordset::MoveFirst()
{
    if (!m_open)
        throw AdoError(kAdoErrorPointer, "The recordset is closed");
    m_current = 0;
}

void AdoRecordset::MoveNext()
{
    if (IsEOF())
        throw AdoError(kAdoErrorNoCurrentRecord, "MoveNext past the last record");
    ++m_current;
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
                                    long, long, long, std::string& errorText)
{
    errorText.clear();
    CAdoRecordsetPtr result(new CAdoRecordset);
    result->m_pRecordset = std::make_shared<trv::AdoRecordset>();
    result->m_pConnection = connection;
    try {
        result->m_pRecordset->Open(statement, std::move(connection));
    } catch (const trv::AdoError& error) {
        CAdoRecordset::dump_com_error(error);
        errorText = "Error Accediendo BD. Query=" + statement + ". Error=" + error.ErrorMessage() +
                    " " + error.Description();
    }
    return result;
}
