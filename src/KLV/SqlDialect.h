#pragma once

#include <string>
#include <string_view>
#include <vector>

// The SQL texts of database sources and targets, per dialect. The dialect is the definition's
// TYPE word: "SQL", "EXCEL", "ORACLE", "MYSQL", "NAV", "PROGRESS", "INFORMIX"; any other word
// ("DATABASE") is the default dialect.
//
// Two forms of text. Without a connection (texts compared in tests, logs) each dialect writes
// its classic forms: names in square brackets, #date# literals. Once the connection the
// statements run on is known (SetIdentifierQuote), names are quoted with the driver's own quote
// character and dates of the default dialect become ODBC escapes ({d '...'}, {ts '...'}), so
// the same definition runs on every ODBC driver.
//
// No value reaches a statement raw: texts are quoted with their single quotes doubled, numbers
// must be numbers, dates must be dates. A value that cannot be written safely is refused.

// "[name]"; a name opening with "(" gives "( [rest]", one closing with ")" gives "[name] )".
std::string BracketName(const std::string& name);

namespace trv {

enum class SqlDialect
{
    Default,
    Sql,
    Excel,
    Oracle,
    MySql,
    Nav,
    Progress,
    Informix,
};

// The dialect of a TYPE word (exact comparison, as the word is written).
SqlDialect SqlDialectOfType(std::string_view typeWord);

// The value formats of the definition that literals depend on.
struct SqlValueFormat
{
    std::string boolTrue = "S";            // BOOL text meaning true
    std::string boolFalse = "N";           // BOOL text meaning false
    std::string dateFormat = "DD/MM/YYYY"; // DATE mask of date values; a time may follow a blank
    std::string decimalSeparator = ".";    // accepted besides "." in numbers
};

// Where a literal is used: a condition of a filter, or a value written into a row.
enum class SqlLiteralUse
{
    Filter,
    Write,
};

// A date and time taken apart from a value text.
struct SqlDateParts
{
    bool hasDate = false;
    bool hasTime = false;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Reads a date value: the DATE mask of the definition, else day-first or year-first text, an
// optional time "HH:MM[:SS]" after a blank, or a time alone. False when it is neither.
bool ParseSqlDate(std::string_view value, std::string_view dateMask, SqlDateParts& parts);

// True when the text is a plain decimal number ("-12", "3.5", "1e3"); the separator is accepted
// in place of "." and the number comes out with ".".
bool NormaliseSqlNumber(std::string_view text, std::string_view decimalSeparator,
                        std::string& number);

class CSqlDialect
{
  public:
    explicit CSqlDialect(std::string_view typeWord = "DATABASE");

    SqlDialect Kind() const { return m_kind; }
    const std::string& TypeWord() const { return m_typeWord; }

    // The identifier quote of the connection (AdoConnection::IdentifierQuote); 0 goes back to
    // the dialect's classic texts.
    void SetIdentifierQuote(char quote) { m_quote = quote; }
    char IdentifierQuote() const { return m_quote; }
    bool OnConnection() const { return m_quote != 0; }

    // ---- Names ------------------------------------------------------------------------

    // BracketName, or the same shape in the connection's quote character.
    std::string QuoteName(std::string_view name) const;
    // TABLENAME as the statements use it: quoted when it holds a blank (unless already in
    // brackets); always in double quotes for "NAV"; as written for INI definitions.
    std::string TableName(std::string_view name, bool iniDefinition = false) const;
    // A column of a filter or link condition: quoted unless the dialect writes names bare.
    std::string FilterColumn(std::string_view column) const;
    // A column in a key or delete condition of a write: default quoted, "MYSQL" back-quoted when
    // it holds a blank, others bare.
    std::string ConditionColumn(std::string_view column) const;
    // A column in an INSERT column list or a SET list: as in conditions, but "NAV" and
    // "PROGRESS" put it in double quotes.
    std::string ListColumn(std::string_view column) const;

    // ---- Statements -------------------------------------------------------------------

    // The statement that learns the column types before a WHERE is converted.
    std::string ProbeStatement(std::string_view table) const;
    // The statement a target table is opened with.
    std::string WriteStatement(std::string_view table) const;
    // "SELECT * FROM table " and " WHERE " + where when there is one.
    std::string ReadStatement(std::string_view table, std::string_view where) const;
    // ORDER_BY columns, "," joined; a column followed by " <" sorts descending.
    std::string OrderBy(const std::vector<std::string>& columns) const;
    long IsolationLevel() const;
    // 1 when a failed statement must be rolled back explicitly ("MYSQL").
    int RollbackFlag() const;

    // ---- Literals ---------------------------------------------------------------------

    // The literal of a value for a column of an ADO type and defined size (characters). "NULL"
    // and an empty value give NULL. False (with the reason) when the value cannot be written
    // for that type: a non-number for a number column, a non-date for a date column.
    bool Literal(std::string_view value, long adoType, long definedSize,
                 const SqlValueFormat& format, SqlLiteralUse use, std::string& literal,
                 std::string& error) const;
    // A text in single quotes, single quotes doubled (and backslashes for "MYSQL").
    std::string TextLiteral(std::string_view text) const;

  private:
    bool DateLiteral(std::string_view value, long adoType, const SqlValueFormat& format,
                     SqlLiteralUse use, std::string& literal, std::string& error) const;
    bool WriteDateLiteral(const SqlDateParts& parts, std::string& literal) const;
    bool FilterDateLiteral(std::string_view value, const SqlDateParts& parts, bool dateOnlyType,
                           std::string& literal) const;
    std::string BooleanLiteral(std::string_view value, const SqlValueFormat& format) const;
    bool QuotesFilterColumns() const;

    std::string m_typeWord;
    SqlDialect m_kind = SqlDialect::Default;
    char m_quote = 0;
};

} // namespace trv
