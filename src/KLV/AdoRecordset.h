#pragma once

#include "KLV/AdoDB.h"
#include "platform/OleDate.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace trv {

// SQL NULL.
struct DbNull
{
    bool operator==(const DbNull&) const = default;
};

// The value of one field of the current record: empty (no value read), NULL, a Boolean, an
// integer, a floating or decimal number, a text (UTF-8, or the bytes of a binary column) or a
// date and time.
using FieldValue =
    std::variant<std::monostate, DbNull, bool, std::int64_t, double, std::string, OleDate>;

// ADO data type codes of the columns, mapped from the driver's ODBC SQL types.
namespace AdoType {
constexpr long Empty = 0;
constexpr long SmallInt = 2;
constexpr long Integer = 3;
constexpr long Single = 4;
constexpr long Double = 5;
constexpr long Boolean = 11;
constexpr long Variant = 12;
constexpr long Decimal = 14;
constexpr long TinyInt = 16;
constexpr long BigInt = 20;
constexpr long Guid = 72;
constexpr long Binary = 128;
constexpr long Char = 129;
constexpr long WChar = 130;
constexpr long Numeric = 131;
constexpr long DBDate = 133;
constexpr long DBTime = 134;
constexpr long DBTimeStamp = 135;
constexpr long VarChar = 200;
constexpr long LongVarChar = 201;
constexpr long VarWChar = 202;
constexpr long LongVarWChar = 203;
constexpr long VarBinary = 204;
constexpr long LongVarBinary = 205;
} // namespace AdoType

// The ADO data type of an ODBC SQL type (SQL_VARCHAR ...).
long AdoTypeOfSqlType(int sqlType);

// One column of a recordset.
struct AdoField
{
    std::string name;
    long type = AdoType::Empty;
    // Characters for texts, bytes for other types.
    long definedSize = 0;
};

// How a recordset walks its rows. Static: the whole result is read when it opens, so counting
// and moving back to the first row are free. ForwardOnly: one row at a time as the driver
// gives it, in the memory of one row; its count is unknown (-1) and going back to the first
// row runs the statement again.
enum class AdoCursor
{
    Static,
    ForwardOnly,
};

// The result of one statement, standing in for an ADO recordset. Every failure throws AdoError.
class AdoRecordset
{
  public:
    void Open(const std::string& statement, AdoConnectionPtr connection,
              AdoCursor cursor = AdoCursor::Static);
    // Runs the statement again on the same connection (new columns included).
    void Requery();
    void Close();
    // 0 closed, 1 open.
    long State() const { return m_open ? 1 : 0; }

    bool IsEOF() const
    {
        return !m_open || (m_cursor == AdoCursor::ForwardOnly ? m_atEnd : m_current >= RowCount());
    }
    // The rows of a static cursor; -1 for a forward-only one.
    long RecordCount() const;
    void MoveFirst();
    void MoveNext();

    std::size_t FieldCount() const { return m_fields.size(); }
    const AdoField& Field(std::size_t index) const { return m_fields[index]; }
    // The field's index, names compared ignoring case; throws kAdoErrorItemNotFound.
    std::size_t FieldIndex(std::string_view name) const;
    // A value of the current record; throws kAdoErrorNoCurrentRecord at the end.
    const FieldValue& Value(std::size_t index) const;

    const std::string& Source() const { return m_statement; }
    const AdoConnectionPtr& ActiveConnection() const { return m_connection; }

  private:
    void Load();
    // Forward-only: runs the statement and reads its first row.
    void Execute();
    // Forward-only: the next row into m_values; false past the last one.
    bool FetchRow();
    // Runs the statement on a new handle and reads its columns.
    std::unique_ptr<OdbcStatement> Run(std::vector<AdoField>& fields);
    std::size_t RowCount() const
    {
        return m_fields.empty() ? 0 : m_values.size() / m_fields.size();
    }

    std::string m_statement;
    AdoConnectionPtr m_connection;
    AdoCursor m_cursor = AdoCursor::Static;
    std::vector<AdoField> m_fields;
    // Static: row after row, FieldCount values each. Forward-only: the current row, its texts'
    // storage reused by the next.
    std::vector<FieldValue> m_values;
    std::size_t m_current = 0;
    bool m_open = false;
    // Forward-only: the statement still giving rows, and whether it gave its last.
    std::unique_ptr<OdbcStatement> m_handle;
    bool m_atEnd = true;
};

using AdoRecordsetPtr = std::shared_ptr<AdoRecordset>;

} // namespace trv

// Cursor type, lock type and options the engine opens its recordsets with.
constexpr long adOpenForwardOnly = 0;
constexpr long adOpenDynamic = 2;
constexpr long adLockOptimistic = 3;
constexpr long adCmdText = 1;

// One recordset of the data exchange engine. No database failure leaves it: each is traced
// and turned into a plain result.
class CAdoRecordset
{
  public:
    // True at the end, and when asking fails.
    bool IsEOF();
    // The recordset itself, for moving, counting and reading fields directly.
    trv::AdoRecordsetPtr GetRecordset() const { return m_pRecordset; }
    void Close();
    // True when every field of the current record is NULL (or there is no current record).
    bool IsRecordEmpty();
    // The value of the named field of the current record; `out` unchanged on failure.
    void vGetFieldValue(const std::string& fieldName, trv::FieldValue& out);
    // The field's defined size; 0 when there is no such field.
    void vGetFieldSize(const std::string& fieldName, long& out);
    // The field's ADO data type; 0 when there is no such field.
    void vGetFieldType(const std::string& fieldName, long& out);
    // Runs the query again, after a column was added to the table.
    void Requery();
    static void dump_com_error(const trv::AdoError& error);

    trv::AdoRecordsetPtr m_pRecordset;
    trv::AdoConnectionPtr m_pConnection;
};

// Sole owner of a CAdoRecordset: closes it and releases its connection when reset or
// destroyed.
struct CAdoRecordsetDeleter
{
    void operator()(CAdoRecordset* recordset) const;
};
using CAdoRecordsetPtr = std::unique_ptr<CAdoRecordset, CAdoRecordsetDeleter>;

// Opens a recordset on the statement. errorText is emptied first; on failure the wrapper holds
// an unopened recordset and errorText says "Error Accediendo BD. Query=... Error=...". The
// cursor type, lock type and options are accepted as the engine passes them: adOpenForwardOnly
// walks the rows as the driver gives them, any other cursor reads the result whole; no
// recordset is updatable.
CAdoRecordsetPtr CreateAdoRecordset(trv::AdoConnectionPtr connection, const std::string& statement,
                                    long cursorType, long lockType, long options,
                                    std::string& errorText);
