#include "KLV/AdoDB.h"

#include "KLV/Trace.h"
#include "platform/Text.h"

#include <cstdio>
#include <sql.h>
#include <sqlext.h>

namespace trv {
namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 15;

// "[SQLSTATE] message" of every diagnostic record of the handle, joined by "; ".
std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    std::string text;
    SQLCHAR state[6] = {};
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT record = 1; SQL_SUCCEEDED(SQLGetDiagRec(
             handleType, handle, record, state, &nativeError, message, sizeof message, &length));
         ++record) {
        if (!text.empty())
            text += "; ";
        text += "[";
        text += reinterpret_cast<const char*>(state);
        text += "] ";
        text += reinterpret_cast<const char*>(message);
    }
    return text;
}

[[noreturn]] void ThrowDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const char* step)
{
    std::string description = handle ? Diagnostics(handleType, handle) : std::string();
    if (description.empty())
        description = std::string(step) + " failed";
    throw AdoError(kAdoErrorFailure, description);
}

void Check(SQLRETURN result, SQLSMALLINT handleType, SQLHANDLE handle, const char* step)
{
    if (!SQL_SUCCEEDED(result))
        ThrowDiagnostics(handleType, handle, step);
}

SQLUINTEGER IsolationMask(long level)
{
    switch (level) {
    case kAdoXactReadUncommitted:
        return SQL_TXN_READ_UNCOMMITTED;
    case kAdoXactReadCommitted:
        return SQL_TXN_READ_COMMITTED;
    case 65536:
        return SQL_TXN_REPEATABLE_READ;
    case 1048576:
        return SQL_TXN_SERIALIZABLE;
    default:
        return 0;
    }
}

} // namespace

AdoError::AdoError(std::uint32_t code, const std::string& description, const std::string& source)
    : std::runtime_error(description), m_code(code), m_description(description), m_source(source)
{
}

std::string AdoError::ErrorMessage() const
{
    switch (m_code) {
    case kAdoErrorPointer:
        return "Invalid pointer";
    case kAdoErrorFeatureNotAvailable:
        return "Operation is not supported by the provider";
    case kAdoErrorItemNotFound:
        return "Item cannot be found in the collection";
    case kAdoErrorNoCurrentRecord:
        return "Either BOF or EOF is True, or the current record has been deleted";
    default:
        return "Unspecified error";
    }
}

AdoConnection::AdoConnection() = default;

AdoConnection::~AdoConnection()
{
    try {
        Close();
    } catch (const AdoError&) {
        // The handles are freed all the same; nobody is left to tell.
    }
}

void AdoConnection::Open(const std::string& connectionString)
{
    Close();
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        throw AdoError(kAdoErrorFailure, "ODBC environment cannot be allocated");
    m_environment = environment;
    Check(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                        reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, environment, "SQLSetEnvAttr");
    SQLHDBC connection = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection), SQL_HANDLE_ENV, environment,
          "SQLAllocHandle");
    SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    const std::string driverString = DriverConnectionString(connectionString);
    const SQLRETURN result = SQLDriverConnect(
        connection, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(driverString.c_str())),
        SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(result)) {
        std::string description = Diagnostics(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_ENV, environment);
        m_environment = nullptr;
        throw AdoError(kAdoErrorFailure,
                       description.empty() ? "SQLDriverConnect failed" : description);
    }
    m_connection = connection;
    m_connectionString = connectionString;
}

void AdoConnection::Close()
{
    SQLHDBC connection = m_connection;
    SQLHENV environment = m_environment;
    m_connection = nullptr;
    m_environment = nullptr;
    m_inTransaction = false;
    std::string failure;
    if (connection) {
        // Work left uncommitted is given up, never half kept.
        SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK);
        if (!SQL_SUCCEEDED(SQLDisconnect(connection)))
            failure = Diagnostics(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
    }
    if (environment)
        SQLFreeHandle(SQL_HANDLE_ENV, environment);
    if (!failure.empty())
        throw AdoError(kAdoErrorFailure, failure);
}

void AdoConnection::SetIsolationLevel(long level)
{
    if (!m_connection)
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    const SQLUINTEGER wanted = IsolationMask(level);
    SQLUINTEGER offered = 0;
    if (!wanted || !SQL_SUCCEEDED(SQLGetInfo(m_connection, SQL_TXN_ISOLATION_OPTION, &offered,
                                             sizeof offered, nullptr)))
        return;
    if (!(offered & wanted))
        return;
    Check(SQLSetConnectAttr(m_connection, SQL_ATTR_TXN_ISOLATION,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(wanted)), 0),
          SQL_HANDLE_DBC, m_connection, "SQLSetConnectAttr");
}

void AdoConnection::BeginTrans()
{
    if (!m_connection)
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    SQLUSMALLINT capable = SQL_TC_NONE;
    if (!SQL_SUCCEEDED(
            SQLGetInfo(m_connection, SQL_TXN_CAPABLE, &capable, sizeof capable, nullptr)) ||
        capable == SQL_TC_NONE)
        throw AdoError(kAdoErrorFeatureNotAvailable, "The driver offers no transactions");
    Check(SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, m_connection, "BeginTrans");
    m_inTransaction = true;
}

void AdoConnection::EndTransaction(bool commit)
{
    if (!m_connection)
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    const SQLRETURN ended =
        SQLEndTran(SQL_HANDLE_DBC, m_connection, commit ? SQL_COMMIT : SQL_ROLLBACK);
    std::string failure = SQL_SUCCEEDED(ended) ? "" : Diagnostics(SQL_HANDLE_DBC, m_connection);
    // Back to one statement per transaction, also when ending failed.
    SQLSetConnectAttr(m_connection, SQL_ATTR_AUTOCOMMIT,
                      reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    m_inTransaction = false;
    if (!SQL_SUCCEEDED(ended))
        throw AdoError(kAdoErrorFailure,
                       failure.empty() ? (commit ? "CommitTrans failed" : "RollbackTrans failed")
                                       : failure);
}

void AdoConnection::CommitTrans()
{
    EndTransaction(true);
}

void AdoConnection::RollbackTrans()
{
    EndTransaction(false);
}

long AdoConnection::Execute(const std::string& statement)
{
    if (!m_connection)
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    OdbcStatement handle(*this);
    const SQLRETURN result = SQLExecDirect(
        handle.Handle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(statement.c_str())), SQL_NTS);
    // An UPDATE or DELETE that touches no row answers "no data": 0 rows, no failure.
    if (result == SQL_NO_DATA)
        return 0;
    handle.Check(result, "SQLExecDirect");
    SQLLEN rows = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(handle.Handle(), &rows)))
        rows = -1;
    return static_cast<long>(rows);
}

char AdoConnection::IdentifierQuote() const
{
    char quote[4] = {};
    SQLSMALLINT length = 0;
    if (!m_connection ||
        !SQL_SUCCEEDED(
            SQLGetInfo(m_connection, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)) ||
        quote[0] == ' ' || quote[0] == '\0')
        return '"';
    return quote[0];
}

OdbcStatement::OdbcStatement(const AdoConnection& connection)
{
    if (!connection.Handle())
        throw AdoError(kAdoErrorPointer, "The connection is not open");
    SQLHSTMT statement = SQL_NULL_HSTMT;
    trv::Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.Handle(), &statement), SQL_HANDLE_DBC,
               connection.Handle(), "SQLAllocHandle");
    m_statement = statement;
}

OdbcStatement::~OdbcStatement()
{
    if (m_statement)
        SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
}

void OdbcStatement::Check(short result, const char* step) const
{
    if (!SQL_SUCCEEDED(result))
        ThrowDiagnostics(SQL_HANDLE_STMT, m_statement, step);
}

namespace {

// Walks the key=value pairs of a connection string: visit(key, value, last) for each, the key
// as written (untrimmed); a tail without '=' comes as visitTail(text).
template <typename Visit, typename VisitTail>
void ForEachConnectionPair(std::string_view text, Visit visit, VisitTail visitTail)
{
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t equals = text.find('=', position);
        if (equals == std::string_view::npos) {
            visitTail(text.substr(position));
            return;
        }
        // A braced value may hold ';'.
        std::size_t end = equals + 1;
        if (end < text.size() && text[end] == '{') {
            const std::size_t close = text.find('}', end);
            end = close == std::string_view::npos ? text.size() : close + 1;
        }
        end = text.find(';', end);
        if (end == std::string_view::npos)
            end = text.size();
        visit(text.substr(position, equals - position), text.substr(equals + 1, end - equals - 1),
              end >= text.size());
        position = end + 1;
    }
}

} // namespace

std::string HideConnectionPassword(const std::string& connectionString)
{
    std::string result;
    ForEachConnectionPair(
        connectionString,
        [&](std::string_view key, std::string_view value, bool last) {
            const std::string_view trimmedKey = Trim(key);
            result += key;
            result += '=';
            if (EqualsNoCase(trimmedKey, "PWD") || EqualsNoCase(trimmedKey, "PASSWORD"))
                result += "***";
            else
                result += value;
            if (!last)
                result += ';';
        },
        [&](std::string_view tail) { result += tail; });
    return result;
}

std::string DriverConnectionString(const std::string& connectionString)
{
    bool sqlite = false;
    bool stepping = false;
    ForEachConnectionPair(
        connectionString,
        [&](std::string_view key, std::string_view value, bool) {
            const std::string_view trimmedKey = Trim(key);
            if (EqualsNoCase(trimmedKey, "DRIVER") &&
                ToLower(value).find("sqlite3") != std::string::npos)
                sqlite = true;
            if (EqualsNoCase(trimmedKey, "STEPAPI"))
                stepping = true;
        },
        [](std::string_view) {});
    if (!sqlite || stepping)
        return connectionString;
    std::string result = connectionString;
    if (!result.empty() && result.back() != ';')
        result += ';';
    return result + "StepAPI=1";
}

std::string UnquoteName(const std::string& name)
{
    std::string_view text = Trim(name);
    if (text.size() >= 2 && ((text.front() == '[' && text.back() == ']') ||
                             (text.front() == '"' && text.back() == '"') ||
                             (text.front() == '`' && text.back() == '`')))
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

} // namespace trv

namespace {

void TraceOpenFailure(const std::string& connectionString, const trv::AdoError& error)
{
    TRV_TRACE(1, "CAdoDB::CAdoDB", "Error ejecutando: %s [%s] 0x%08x\n",
              trv::HideConnectionPassword(connectionString).c_str(), error.Description().c_str(),
              static_cast<unsigned>(error.Error()));
}

} // namespace

CAdoDB::CAdoDB(const std::string& connectionString, long isolationLevel)
{
    try {
        auto connection = std::make_shared<trv::AdoConnection>();
        connection->Open(connectionString);
        connection->SetIsolationLevel(isolationLevel);
        m_pConnection = std::move(connection);
        m_strConnectionString = connectionString;
    } catch (const trv::AdoError& error) {
        TraceOpenFailure(connectionString, error);
        m_strLastError = error.Description();
        m_pConnection.reset();
    } catch (const std::bad_alloc&) {
        const trv::AdoError error(0x8007000E, "Out of memory");
        TraceOpenFailure(connectionString, error);
        m_strLastError = error.Description();
        m_pConnection.reset();
    }
}

void CAdoDB::Close()
{
    if (!m_pConnection || m_pConnection->State() == 0)
        return;
    try {
        m_pConnection->Close();
    } catch (const trv::AdoError& error) {
        TRV_TRACE(1, "CAdoDB::Close", "%s", error.Description().c_str());
    }
}

long CAdoDB::Execute(trv::AdoConnectionPtr connection, const std::string& statement,
                     std::string& errorText)
{
    const auto fail = [&](const trv::AdoError& error) {
        errorText = error.Description();
        m_strLastError = error.Description();
        return -1L;
    };
    if (!connection)
        return fail(trv::AdoError(trv::kAdoErrorPointer, "The connection is not open"));
    try {
        connection->BeginTrans();
        const long rows = connection->Execute(statement);
        connection->CommitTrans();
        return rows;
    } catch (const trv::AdoError& error) {
        if (error.Error() == trv::kAdoErrorFeatureNotAvailable) {
            try {
                return connection->Execute(statement);
            } catch (const trv::AdoError& second) {
                return fail(second);
            }
        }
        if (connection->InTransaction()) {
            try {
                connection->RollbackTrans();
            } catch (const trv::AdoError& rollback) {
                TRV_TRACE(1, "CAdoDB::Execute", "RollbackTrans: %s",
                          rollback.Description().c_str());
            }
        }
        return fail(error);
    }
}

void CAdoDBDeleter::operator()(CAdoDB* database) const
{
    if (!database)
        return;
    database->Close();
    delete database;
}

CAdoDBPtr CreateAdoDB(const std::string& connectionString)
{
    return CAdoDBPtr(new CAdoDB(connectionString, trv::kAdoXactReadCommitted));
}

bool CADOXCatalog::Open(trv::AdoConnectionPtr connection)
{
    if (!connection || connection->State() == 0)
        return false;
    m_pConnection = std::move(connection);
    return true;
}

namespace {

// The catalogue's spelling of a table name, matched ignoring case; empty when there is none.
std::string FindTable(const trv::AdoConnection& connection, const std::string& wanted)
{
    trv::OdbcStatement statement(connection);
    statement.Check(SQLTables(static_cast<SQLHSTMT>(statement.Handle()), nullptr, 0, nullptr, 0,
                              nullptr, 0, nullptr, 0),
                    "SQLTables");
    std::string found;
    SQLCHAR name[512];
    SQLLEN length = 0;
    while (SQL_SUCCEEDED(SQLFetch(static_cast<SQLHSTMT>(statement.Handle())))) {
        // Column 3 is TABLE_NAME.
        if (!SQL_SUCCEEDED(SQLGetData(static_cast<SQLHSTMT>(statement.Handle()), 3, SQL_C_CHAR,
                                      name, sizeof name, &length)) ||
            length == SQL_NULL_DATA)
            continue;
        const std::string candidate(reinterpret_cast<const char*>(name));
        if (candidate == wanted)
            return candidate;
        if (found.empty() && trv::EqualsNoCase(candidate, wanted))
            found = candidate;
    }
    return found;
}

SQLSMALLINT SqlTypeOfAdoType(long adoType)
{
    switch (adoType) {
    case 2:
        return SQL_SMALLINT;
    case 3:
        return SQL_INTEGER;
    case 4:
        return SQL_REAL;
    case 5:
    case 6: // currency
        return SQL_DOUBLE;
    case 7:
    case 135:
        return SQL_TYPE_TIMESTAMP;
    case 11:
        return SQL_BIT;
    case 14:
        return SQL_DECIMAL;
    case 16:
    case 17:
        return SQL_TINYINT;
    case 18:
    case 19:
        return SQL_INTEGER;
    case 20:
    case 21:
        return SQL_BIGINT;
    case 72:
        return SQL_GUID;
    case 128:
        return SQL_BINARY;
    case 129:
        return SQL_CHAR;
    case 131:
        return SQL_NUMERIC;
    case 133:
        return SQL_TYPE_DATE;
    case 134:
        return SQL_TYPE_TIME;
    case 201:
    case 203:
        return SQL_LONGVARCHAR;
    case 204:
        return SQL_VARBINARY;
    case 205:
        return SQL_LONGVARBINARY;
    default: // 8, 130, 200, 202 and anything unknown: text
        return SQL_VARCHAR;
    }
}

// The driver's name for an ODBC type (SQLGetTypeInfo), or the standard SQL name.
std::string DriverTypeName(const trv::AdoConnection& connection, SQLSMALLINT sqlType)
{
    try {
        trv::OdbcStatement statement(connection);
        auto* handle = static_cast<SQLHSTMT>(statement.Handle());
        if (SQL_SUCCEEDED(SQLGetTypeInfo(handle, sqlType)) && SQL_SUCCEEDED(SQLFetch(handle))) {
            SQLCHAR name[256];
            SQLLEN length = 0;
            if (SQL_SUCCEEDED(SQLGetData(handle, 1, SQL_C_CHAR, name, sizeof name, &length)) &&
                length > 0)
                return reinterpret_cast<const char*>(name);
        }
    } catch (const trv::AdoError&) {
    }
    switch (sqlType) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
        return "SMALLINT";
    case SQL_INTEGER:
        return "INTEGER";
    case SQL_BIGINT:
        return "BIGINT";
    case SQL_REAL:
        return "REAL";
    case SQL_DOUBLE:
        return "DOUBLE PRECISION";
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return "NUMERIC";
    case SQL_BIT:
        return "BOOLEAN";
    case SQL_TYPE_DATE:
        return "DATE";
    case SQL_TYPE_TIME:
        return "TIME";
    case SQL_TYPE_TIMESTAMP:
        return "TIMESTAMP";
    default:
        return "VARCHAR(255)";
    }
}

std::string QuoteName(const std::string& name, char quote)
{
    std::string result(1, quote);
    for (char c : name) {
        result += c;
        if (c == quote)
            result += quote;
    }
    return result + quote;
}

} // namespace

CADOXTable::CADOXTable(CADOXCatalog& catalog, const std::string& tableName)
    : m_pConnection(catalog.m_pConnection)
{
    if (!m_pConnection || tableName.empty())
        return;
    try {
        m_strTableName = FindTable(*m_pConnection, trv::UnquoteName(tableName));
    } catch (const trv::AdoError&) {
        m_strTableName.clear();
    }
}

bool CADOXTable::AddField(const std::string& columnName, long adoType, bool nullable)
{
    constexpr long kAdoBoolean = 11;
    if (!m_pConnection || m_strTableName.empty() || columnName.empty())
        return false;
    try {
        const char quote = m_pConnection->IdentifierQuote();
        std::string statement = "ALTER TABLE " + QuoteName(m_strTableName, quote) + " ADD " +
                                QuoteName(trv::UnquoteName(columnName), quote) + " " +
                                DriverTypeName(*m_pConnection, SqlTypeOfAdoType(adoType));
        // A Boolean column keeps the database's default nullability, whatever is asked.
        if (!nullable && adoType != kAdoBoolean)
            statement += " NOT NULL";
        m_pConnection->Execute(statement);
        return true;
    } catch (const trv::AdoError&) {
        return false;
    }
}
