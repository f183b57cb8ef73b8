#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// The database connection layer: ODBC through unixODBC behind the names the data exchange
// engine uses. Connection strings are ODBC strings ("Driver=SQLite3;Database=plan.db").

namespace trv {

// HRESULT-style codes carried by AdoError.
constexpr std::uint32_t kAdoErrorFailure = 0x80004005;             // any failure the driver reports
constexpr std::uint32_t kAdoErrorPointer = 0x80004003;             // no connection or recordset
constexpr std::uint32_t kAdoErrorFeatureNotAvailable = 0x800A0CB3; // no transactions
constexpr std::uint32_t kAdoErrorItemNotFound = 0x800A0CC1;        // no field of that name
constexpr std::uint32_t kAdoErrorNoCurrentRecord = 0x800A0BCD;     // at the end or before the start

// A failure of a database call: the one exception of the connection layer. The wrappers
// CAdoDB and CAdoRecordset catch it; it reaches no caller of theirs.
class AdoError : public std::runtime_error
{
  public:
    AdoError(std::uint32_t code, const std::string& description,
             const std::string& source = "ODBC");

    std::uint32_t Error() const { return m_code; }
    const std::string& Description() const { return m_description; }
    const std::string& Source() const { return m_source; }
    // The meaning of the code, as a system would word it.
    std::string ErrorMessage() const;

  private:
    std::uint32_t m_code;
    std::string m_description;
    std::string m_source;
};

// Isolation levels the engine asks for.
constexpr long kAdoXactReadUncommitted = 256;
constexpr long kAdoXactReadCommitted = 4096;

// One ODBC connection, standing in for the ADO Connection object. Every failure throws
// AdoError. Shared by the CAdoDB that opened it and by the recordsets opened on it.
class AdoConnection
{
  public:
    AdoConnection();
    ~AdoConnection();
    AdoConnection(const AdoConnection&) = delete;
    AdoConnection& operator=(const AdoConnection&) = delete;

    void Open(const std::string& connectionString);
    void Close();
    // 0 closed, 1 open.
    long State() const { return m_connection ? 1 : 0; }
    const std::string& ConnectionString() const { return m_connectionString; }
    // Asks the driver for the level when it offers it; a driver without it keeps its own
    // (stricter) default.
    void SetIsolationLevel(long level);

    // Throws kAdoErrorFeatureNotAvailable when the driver has no transactions.
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return m_inTransaction; }
    // Runs one statement; the rows it affected (-1 when the driver cannot tell).
    long Execute(const std::string& statement);

    // The driver's identifier quote ('"' when it names none).
    char IdentifierQuote() const;
    // The ODBC connection handle (SQLHDBC), null when closed.
    void* Handle() const { return m_connection; }

  private:
    void EndTransaction(bool commit);

    void* m_environment = nullptr;
    void* m_connection = nullptr;
    std::string m_connectionString;
    bool m_inTransaction = false;
};

using AdoConnectionPtr = std::shared_ptr<AdoConnection>;

// One ODBC statement handle on an open connection, freed on destruction.
class OdbcStatement
{
  public:
    explicit OdbcStatement(const AdoConnection& connection);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    void* Handle() const { return m_statement; }
    // Throws AdoError with the driver's diagnostics when the result code is a failure.
    void Check(short result, const char* step) const;

  private:
    void* m_statement = nullptr;
};

// The connection string with the values of its password keys (PWD, PASSWORD) replaced by
// "***", for traces and messages.
std::string HideConnectionPassword(const std::string& connectionString);

// The connection string given to the driver: the SQLite3 driver is asked to step through a
// result as it is read (StepAPI=1) instead of building it whole first, unless the string says
// otherwise; any other string as it is.
std::string DriverConnectionString(const std::string& connectionString);

// Strips the bracket or double-quote quoting the engine may have put around a name.
std::string UnquoteName(const std::string& name);

} // namespace trv

// One database connection of the data exchange engine. Opening never throws: a failure leaves
// m_pConnection empty with the reason in m_strLastError.
class CAdoDB
{
  public:
    CAdoDB(const std::string& connectionString, long isolationLevel);

    // Closes the connection when it is open; a failure is traced, never thrown.
    void Close();

    // Runs one statement inside a transaction; the rows affected, or -1 with the reason in
    // errorText and m_strLastError. A failed statement is always rolled back, so the
    // connection never stays inside an open transaction. The caller passes m_pConnection.
    long Execute(trv::AdoConnectionPtr connection, const std::string& statement,
                 std::string& errorText);

    trv::AdoConnectionPtr m_pConnection;
    // Set only when the open succeeded.
    std::string m_strConnectionString;
    // Set by the database source for its dialect; a failed statement is rolled back whatever
    // it holds.
    int m_nRollback = 0;
    std::string m_strLastError;
};

// Sole owner of a CAdoDB: closes its connection and frees it when reset or destroyed.
struct CAdoDBDeleter
{
    void operator()(CAdoDB* database) const;
};
using CAdoDBPtr = std::unique_ptr<CAdoDB, CAdoDBDeleter>;

// A new connection with the read-committed isolation level.
CAdoDBPtr CreateAdoDB(const std::string& connectionString);

// The catalogue of a connection, used to add a column that a target table lacks.
class CADOXCatalog
{
  public:
    // False when the connection is not open.
    bool Open(trv::AdoConnectionPtr connection);

    trv::AdoConnectionPtr m_pConnection;
};

// One table of a catalogue, found by name ignoring case and quoting.
class CADOXTable
{
  public:
    CADOXTable(CADOXCatalog& catalog, const std::string& tableName);

    // Adds a column of an ADO data type through ALTER TABLE; false on any failure (no such
    // table, a driver error). A Boolean column is never made nullable.
    bool AddField(const std::string& columnName, long adoType, bool nullable);

    // The table's name as the catalogue spells it; empty when the table was not found.
    std::string m_strTableName;
    trv::AdoConnectionPtr m_pConnection;
};
