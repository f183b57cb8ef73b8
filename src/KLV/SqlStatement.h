#pragma once

#include "KLV/AdoDB.h"
#include "KLV/AdoRecordset.h"
#include "KLV/SqlDialect.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

// The statements of database sources and targets: a definition's filter rewritten into a WHERE
// condition, the key condition of linked records, and the INSERT, UPDATE and DELETE texts of a
// row written by key, with the table they run on.

namespace trv {

// The ADO type and defined size of a column; type 0 when the table has no such column.
struct SqlColumnType
{
    long type = 0;
    long size = 0;
};

// What rewriting a filter asks of the definition it belongs to.
class CSqlFilterFields
{
  public:
    virtual ~CSqlFilterFields() = default;
    // The source column of a field of the filter. False when the field has no line (the callee
    // has reported it); true with an empty column for a field a LIST definition lacks.
    virtual bool ColumnOfField(const std::string& field, std::string& column) = 0;
    // The current value of a field of the definition; false when the name is not a field.
    virtual bool FieldValue(const std::string& name, std::string& value) = 0;
    // The type of a column of the open table.
    virtual SqlColumnType ColumnType(const std::string& column) = 0;
    // FETCH_DATE: the date argument in the definition's DATE format.
    virtual std::string FetchDateText() = 0;
};

// Rewrites one piece of a filter (the text between parentheses) into SQL: fields become
// columns, values literals of the column's type, comparisons with NULL become IS / IS NOT.
// False with the reason (already traced) when a field is unknown, a value does not fit its
// column or NULL is compared otherwise than by "=" or "<>".
bool ConvertFilterPieceToSql(std::string& piece, const CSqlDialect& dialect,
                             const SqlValueFormat& format, CSqlFilterFields& fields,
                             bool listReader, std::string& error);
// Rewrites a whole filter, group by group; `where` changes only on success.
bool ConvertFilterToSql(std::string& where, const CSqlDialect& dialect,
                        const SqlValueFormat& format, CSqlFilterFields& fields, bool listReader,
                        std::string& error);

// One column of a row to write or to find.
struct SqlOutValue
{
    std::string column;
    std::string value;
    SqlColumnType type;
};

// The texts of one row: "," separated lists, no trailing comma.
struct SqlRowTexts
{
    std::string keyCondition; // column=literal per key, joined with " And "
    std::string keyColumns;
    std::string keyValues;
    std::string columns; // the non-key columns
    std::string values;
    std::string setList; // column=literal per non-key column
};

// The key condition and key lists over columns of known type (type 0 columns are left out).
// False when a key's literal is NULL or a value does not fit its column.
bool BuildKeyCondition(const CSqlDialect& dialect, const SqlValueFormat& format,
                       const std::vector<SqlOutValue>& keys, SqlRowTexts& texts,
                       std::string& error);
// The condition over the deleting columns, NULL values allowed.
bool BuildDeleteCondition(const CSqlDialect& dialect, const SqlValueFormat& format,
                          const std::vector<SqlOutValue>& columns, std::string& condition,
                          std::string& error);
// The column, value and SET lists of the non-key columns. False when a value does not fit.
bool BuildValueLists(const CSqlDialect& dialect, const SqlValueFormat& format,
                     const std::vector<SqlOutValue>& columns, SqlRowTexts& texts,
                     std::string& error);
// column=literal for each linking column of known type, joined with " AND "; an empty value
// gives IS NULL.
bool BuildLinkCondition(const CSqlDialect& dialect, const SqlValueFormat& format,
                        const std::vector<SqlOutValue>& links, std::string& condition,
                        std::string& error);

// "INSERT INTO table (keys,columns) VALUES (keys,values)".
std::string InsertStatement(const std::string& table, const SqlRowTexts& texts);
// "UPDATE table SET list WHERE key condition"; empty when there is nothing to set.
std::string UpdateStatement(const std::string& table, const SqlRowTexts& texts);
// "DELETE FROM table WHERE condition", " AND " + where when there is one.
std::string DeleteStatement(const std::string& table, const std::string& condition,
                            const std::string& where);

// One table of a database target: its column types, the new-record test and the statements
// run with their retries.
class CSqlTable
{
  public:
    // `table` as the statements name it (CSqlDialect::TableName). The dialect takes the
    // connection's identifier quote when the connection is open.
    CSqlTable(CAdoDB& database, CSqlDialect& dialect, std::string table);

    // Opens the dialect's write statement on the table to learn its columns.
    bool Open(std::string& error);
    const std::string& Table() const { return m_table; }

    // The column's type and size, from the cache or the open recordset.
    SqlColumnType ColumnType(const std::string& column);
    // Creates a column the table lacks (ALTER TABLE) and reads the columns again.
    bool AddMissingColumn(const std::string& column, long adoType, bool nullable);

    // 1 when no row matches the key condition (or there is none), 0 when one does, -1 when the
    // probe failed (traced; error set).
    int IsNewRecord(const std::string& keyCondition, std::string& error);

    // Runs a statement; a failure is retried `retries` times, `retryMilliseconds` apart. The
    // last error comes out.
    bool Execute(const std::string& statement, std::string& error, int retries = 5,
                 int retryMilliseconds = 100);

    // Writes one row by key: INSERT when no row has the key, else UPDATE of the other columns.
    // Keys and columns of type 0 take their type from the table; with `addMissing` a column the
    // table lacks is created with the type given in the value. False (traced) when a key is
    // empty, a value does not fit, the probe or the statement failed. `statement` receives the
    // statement run (empty when nothing had to be run); `inserted` whether it inserted.
    bool WriteRow(std::vector<SqlOutValue> keys, std::vector<SqlOutValue> columns, bool addMissing,
                  const SqlValueFormat& format, std::string& statement, bool& inserted,
                  std::string& error);
    // The value list of the last INSERT (for the new-entries log).
    const std::string& LastInsertedValues() const { return m_lastInsertedValues; }

  private:
    bool ResolveTypes(std::vector<SqlOutValue>& values, bool addMissing, bool keys);

    CAdoDB& m_database;
    CSqlDialect& m_dialect;
    std::string m_table;
    CAdoRecordsetPtr m_pRecordset;
    std::unordered_map<std::string, SqlColumnType> m_mapColumnTypes;
    std::string m_lastInsertedValues;
};

// "IONewEntries.log" in the program folder: the rows a definition inserted. Emptied when the
// first row of an opening is logged, closed with the definition.
class CSqlNewEntriesLog
{
  public:
    CSqlNewEntriesLog() = default;
    ~CSqlNewEntriesLog() { Close(); }
    CSqlNewEntriesLog(const CSqlNewEntriesLog&) = delete;
    CSqlNewEntriesLog& operator=(const CSqlNewEntriesLog&) = delete;

    // Appends the dictionary's "NewEntry" text of the table and value list, as it comes (the
    // text supplies its own line ends). False when the log cannot be written.
    bool Append(const std::string& table, const std::string& values);
    void Close();
    static std::string Path();

  private:
    std::FILE* m_file = nullptr;
};

} // namespace trv
