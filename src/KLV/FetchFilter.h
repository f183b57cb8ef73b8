#pragma once

#include "platform/OleDate.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Record filters of the data exchange engine: the WHERE condition a definition reads with and
// the WRITE_IF condition it writes with.
//
// The language: comparisons "FIELD operator value" joined by " AND " or " OR ", optionally
// grouped in one level of parentheses, the groups joined by AND or OR. Everything combines
// strictly from left to right, without precedence: "A=1 OR B=2 AND C=3" is (A or B) and C.
// Operators: "=", "<>", "<=", ">=", "<", ">", " LIKE ", " NOT_LIKE ", "START_BY" (WRITE_IF knows
// only the first six). A value in double (or single) quotes is a literal, a quote inside it
// doubled; an unquoted number, date or time is a literal too; any other value names a field.
// Two numbers compare as numbers, two dates or times by their value, anything else as texts.
//
// A condition is parsed once (at the opening of the source) and then tested record by record
// without allocating: the read loop is a hot path.

// What a filter sees of the record it tests.
class CFetchFilterRecord
{
  public:
    virtual ~CFetchFilterRecord() = default;
    // The current line of a text source; the empty text for other sources.
    virtual std::string_view GetCurrentLine() const = 0;
    // The value of a field of the current record, the empty text when it has none. `value`
    // keeps its capacity from one call to the next.
    virtual void GetFieldValue(std::string_view name, std::string& value) = 0;
};

// The definition's settings a filter depends on.
struct CFetchFilterSettings
{
    std::string separator;                 // field separator; empty for fixed-width lines
    std::string qualifier;                 // text qualifier of separated lines ("" for none)
    std::string decimalSeparator = ".";    // accepted besides "." in numbers
    std::string dateFormat = "DD/MM/YYYY"; // DATE format of the definition's date texts
    // Numeric left operands address the current line: a 1-based column of a separated line, or
    // "start,length" (characters) of a fixed-width line. Off for conditions of expressions.
    bool linePositions = true;
};

enum class FetchFilterUse
{
    Where,   // record filter of a reader
    WriteIf, // write condition: field names compared with literals, six operators
};

class CFetchFilter
{
  public:
    // Parses a condition; an empty text gives a filter that passes everything. False (and the
    // filter passes everything) when the text is malformed; GetError says what is wrong.
    bool Parse(std::string_view condition, const CFetchFilterSettings& settings,
               FetchFilterUse use = FetchFilterUse::Where);
    const std::string& GetError() const { return m_error; }
    bool IsEmpty() const { return m_groups.empty(); }

    // 1 when the record is rejected, 0 when it passes. A column beyond the fields of the
    // current line rejects the record.
    int Test(CFetchFilterRecord& record);

    // WRITE_IF: forgets every value set (a new output record).
    void ClearWriteIf();
    // WRITE_IF: a value set on the output record; every comparison on that field takes it (the
    // last value set counts, as it is the one written).
    void ResolveWriteIf(std::string_view field, std::string_view value);
    // WRITE_IF: 1 when the output record must not be written. A comparison whose field was
    // never set fails.
    int TestWriteIf() const;

  private:
    enum class Operator : std::uint8_t
    {
        Equal,
        NotEqual,
        LessOrEqual,
        GreaterOrEqual,
        Less,
        Greater,
        Like,
        NotLike,
        StartBy,
    };
    enum class Connector : std::uint8_t
    {
        None,
        And,
        Or,
    };
    enum class LeftKind : std::uint8_t
    {
        Field,
        Column,   // 1-based column of a separated line
        Position, // start and length of a fixed-width line
    };
    enum class ValueKind : std::uint8_t
    {
        Text,
        Number,
        Date,
        Time,
    };
    // A value ready for comparison: its trimmed text and, unless it is a plain text, its number
    // (a date as its serial, a time as minutes).
    struct Operand
    {
        std::string_view text;
        ValueKind kind = ValueKind::Text;
        double number = 0;
    };
    struct Comparison
    {
        Connector connector = Connector::None; // before this comparison within its group
        Operator op = Operator::Equal;
        LeftKind leftKind = LeftKind::Field;
        int column = 0; // Column: 1-based; Position: 1-based start
        int length = 0; // Position only
        std::string leftName;
        std::string leftBareName; // the name without its square brackets, when it had them
        bool rightIsField = false;
        std::string right; // literal text (unquoted, trimmed) or field name
        ValueKind rightKind = ValueKind::Text;
        double rightNumber = 0;
    };
    struct Group
    {
        Connector connector = Connector::None; // before this group
        std::size_t first = 0;
        std::size_t count = 0;
    };

    bool Fail(std::string message);
    bool ParseGroup(std::string_view text, Connector connector);
    bool ParseComparison(std::string_view text, Connector connector);
    bool ParseLeftOperand(std::string_view text, Comparison& comparison);
    void ParseRightOperand(std::string_view text, Comparison& comparison) const;

    Operand Classify(std::string_view text) const;
    static bool Holds(Operator op, const Operand& left, const Operand& right);
    // 0 passes, 1 fails, -1 rejects the whole record (column beyond the line's fields).
    int TestComparison(const Comparison& comparison, CFetchFilterRecord& record);
    // The column's text of the current line; false when the line has fewer fields.
    bool ReadColumn(std::string_view line, int column, std::string& value) const;

    template <typename ComparisonResult> int Combine(ComparisonResult&& result) const;

    CFetchFilterSettings m_settings;
    FetchFilterUse m_use = FetchFilterUse::Where;
    std::vector<Group> m_groups;
    std::vector<Comparison> m_comparisons;
    std::string m_error;
    // WRITE_IF outcomes per comparison: -1 never set, 0 holds, 1 fails.
    std::vector<std::int8_t> m_writeIfOutcomes;
    // Reused between records so that testing allocates nothing.
    std::string m_leftValue;
    std::string m_rightValue;
};

// Shows and traces the message of a condition that cannot be used; returns the text shown,
// for the definition's last error. `setting` is "WHERE" or "WRITE_IF".
std::string ReportInvalidFilter(std::string_view definition, std::string_view setting,
                                std::string_view condition, std::string_view error);

// ---- Texts of conditions ----------------------------------------------------------------

// The one way a value is written into a condition: in double quotes, a double quote inside
// doubled (O"Brien -> "O""Brien").
std::string QuoteFilterValue(std::string_view value);
// A date written into a condition: year-month-day, quoted.
std::string QuoteFilterValue(const trv::OleDate& date);
// A quoted literal without its quotes, the doubled quote inside made single again; any other
// text unchanged.
std::string UnquoteFilterValue(std::string_view text);

// Finds the token of the list that occurs first in the text (case-sensitive; on equal
// positions the longer token), returns the text before it trimmed and removes that text and
// the token from `text`. A token found only at the text's last character does not count.
// Without a token the whole text is returned trimmed, `text` emptied and `found` empty.
std::string SplitAtFirstOf(std::span<const std::string_view> tokens, std::string& text,
                           std::string& found);

// Rewrites a condition group by group: the text before each "(" and the text inside the
// parentheses pass through `convertPiece` (false stops everything), then the text after the
// last ")". Groups are rebuilt as "before ( inside ) " for database sources, else
// "before (inside) ". False when the parentheses do not balance or a piece is refused; the
// condition is changed only on success.
bool RewriteFilter(std::string& condition, bool databaseSource,
                   const std::function<bool(std::string& piece)>& convertPiece);
