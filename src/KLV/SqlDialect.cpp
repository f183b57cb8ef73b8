#include "KLV/SqlDialect.h"

#include "platform/OleDate.h"
#include "platform/Text.h"

#include <cctype>
#include <cstdio>

std::string BracketName(const std::string& name)
{
    if (!name.empty() && name.front() == '(')
        return "( [" + name.substr(1) + "]";
    if (!name.empty() && name.back() == ')')
        return "[" + name.substr(0, name.size() - 1) + "] )";
    return "[" + name + "]";
}

namespace trv {
namespace {

// ADO data types by the way their values are written.
bool IsTextType(long type)
{
    switch (type) {
    case 8:
    case 129:
    case 130:
    case 200:
    case 201:
    case 202:
    case 203:
        return true;
    default:
        return false;
    }
}

bool IsNumberType(long type)
{
    switch (type) {
    case 2:  // smallint
    case 3:  // integer
    case 4:  // single
    case 5:  // double
    case 6:  // currency
    case 14: // decimal
    case 16: // tinyint
    case 17: // unsigned tinyint
    case 18:
    case 19:
    case 20: // bigint
    case 21:
    case 131: // numeric
    case 139: // varnumeric
        return true;
    default:
        return false;
    }
}

bool IsDateType(long type)
{
    return type == 7 || type == 133;
}

bool IsDateTimeType(long type)
{
    return type == 134 || type == 135;
}

bool IsDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Only the characters a date or time is written with, so that the text may stand inside a
// dialect's quotes unchanged.
bool HasOnlyDateCharacters(std::string_view text)
{
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '/' && c != '-' && c != '.' &&
            c != ':' && c != ' ' && c != 'T')
            return false;
    return true;
}

int ToInt(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// The digits under a run of one mask letter; false when the run is missing or not digits.
bool TakeMaskField(std::string_view value, std::string_view mask, char letter, int& number,
                   std::size_t& digitCount)
{
    const std::size_t first = mask.find(letter);
    if (first == std::string_view::npos)
        return false;
    std::size_t last = first;
    while (last + 1 < mask.size() && mask[last + 1] == letter)
        ++last;
    digitCount = last - first + 1;
    const std::string_view digits = value.substr(first, digitCount);
    if (!IsDigits(digits))
        return false;
    number = ToInt(digits);
    return true;
}

bool ParseDateByMask(std::string_view text, std::string_view mask, SqlDateParts& parts)
{
    if (mask.empty() || text.size() != mask.size())
        return false;
    for (std::size_t index = 0; index < mask.size(); ++index) {
        const char letter = mask[index];
        if (letter != 'D' && letter != 'M' && letter != 'Y' && text[index] != letter)
            return false;
    }
    std::size_t dayDigits = 0;
    std::size_t monthDigits = 0;
    std::size_t yearDigits = 0;
    if (!TakeMaskField(text, mask, 'D', parts.day, dayDigits) ||
        !TakeMaskField(text, mask, 'M', parts.month, monthDigits) ||
        !TakeMaskField(text, mask, 'Y', parts.year, yearDigits))
        return false;
    if (yearDigits == 2)
        parts.year += parts.year < 30 ? 2000 : 1900;
    return true;
}

// "YYYY-MM-DD" or "YYYY/MM/DD".
bool ParseYearFirst(std::string_view text, SqlDateParts& parts)
{
    if (text.size() != 10 || (text[4] != '-' && text[4] != '/') || text[7] != text[4] ||
        !IsDigits(text.substr(0, 4)) || !IsDigits(text.substr(5, 2)) ||
        !IsDigits(text.substr(8, 2)))
        return false;
    parts.year = ToInt(text.substr(0, 4));
    parts.month = ToInt(text.substr(5, 2));
    parts.day = ToInt(text.substr(8, 2));
    return true;
}

bool ParseDatePart(std::string_view text, std::string_view mask, SqlDateParts& parts)
{
    if (!ParseDateByMask(text, mask, parts) && !ParseYearFirst(text, parts)) {
        const OleDate date = OleDate::ParseDayFirst(text);
        if (!date.IsValid())
            return false;
        parts.year = date.GetYear();
        parts.month = date.GetMonth();
        parts.day = date.GetDay();
    }
    return OleDate(parts.year, parts.month, parts.day).IsValid();
}

bool ParseTimePart(std::string_view text, SqlDateParts& parts)
{
    const OleDate time = OleDate::ParseTime(text);
    if (!time.IsValid())
        return false;
    parts.hour = time.GetHour();
    parts.minute = time.GetMinute();
    parts.second = time.GetSecond();
    return true;
}

std::string Format(const char* format, int a, int b, int c)
{
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string Format(const char* format, int a, int b, int c, int d, int e, int f)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c, d, e, f);
    return text;
}

std::string QuoteWith(std::string_view name, char quote)
{
    std::string result(1, quote);
    for (const char c : name) {
        result += c;
        if (c == quote)
            result += quote;
    }
    result += quote;
    return result;
}

} // namespace

SqlDialect SqlDialectOfType(std::string_view typeWord)
{
    if (typeWord == "SQL")
        return SqlDialect::Sql;
    if (typeWord == "EXCEL")
        return SqlDialect::Excel;
    if (typeWord == "ORACLE")
        return SqlDialect::Oracle;
    if (typeWord == "MYSQL")
        return SqlDialect::MySql;
    if (typeWord == "NAV")
        return SqlDialect::Nav;
    if (typeWord == "PROGRESS")
        return SqlDialect::Progress;
    if (typeWord == "INFORMIX")
        return SqlDialect::Informix;
    return SqlDialect::Default;
}

bool ParseSqlDate(std::string_view value, std::string_view dateMask, SqlDateParts& parts)
{
    parts = SqlDateParts();
    value = Trim(value);
    if (value.empty())
        return false;
    const std::size_t blank = value.find(' ');
    std::string_view datePart = value.substr(0, blank);
    std::string_view timePart =
        blank == std::string_view::npos ? std::string_view() : Trim(value.substr(blank + 1));
    // ISO "YYYY-MM-DDTHH:MM:SS".
    if (timePart.empty() && datePart.size() > 10 && datePart[10] == 'T') {
        timePart = datePart.substr(11);
        datePart = datePart.substr(0, 10);
    }
    // The mask may carry a time part of its own after a blank.
    const std::string_view dateMaskPart = dateMask.substr(0, dateMask.find(' '));
    if (timePart.empty() && datePart.find(':') != std::string_view::npos) {
        parts.hasTime = ParseTimePart(datePart, parts);
        return parts.hasTime;
    }
    parts.hasDate = ParseDatePart(datePart, dateMaskPart, parts);
    if (!parts.hasDate)
        return false;
    if (!timePart.empty()) {
        parts.hasTime = ParseTimePart(timePart, parts);
        if (!parts.hasTime)
            return false;
    }
    return true;
}

bool NormaliseSqlNumber(std::string_view text, std::string_view decimalSeparator,
                        std::string& number)
{
    text = Trim(text);
    number.clear();
    std::size_t index = 0;
    if (index < text.size() && (text[index] == '-' || text[index] == '+'))
        number += text[index++];
    bool digits = false;
    bool point = false;
    while (index < text.size()) {
        const char c = text[index];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
            number += c;
            ++index;
        } else if (!point && (c == '.' ||
                              (!decimalSeparator.empty() &&
                               text.substr(index, decimalSeparator.size()) == decimalSeparator))) {
            point = true;
            number += '.';
            index += c == '.' ? 1 : decimalSeparator.size();
        } else {
            break;
        }
    }
    if (!digits)
        return false;
    if (index < text.size() && (text[index] == 'e' || text[index] == 'E')) {
        number += 'e';
        ++index;
        if (index < text.size() && (text[index] == '-' || text[index] == '+'))
            number += text[index++];
        const std::size_t start = index;
        while (index < text.size() && std::isdigit(static_cast<unsigned char>(text[index])))
            number += text[index++];
        if (index == start)
            return false;
    }
    return index == text.size();
}

CSqlDialect::CSqlDialect(std::string_view typeWord)
    : m_typeWord(typeWord), m_kind(SqlDialectOfType(typeWord))
{
}

std::string CSqlDialect::QuoteName(std::string_view name) const
{
    if (!OnConnection())
        return BracketName(std::string(name));
    if (!name.empty() && name.front() == '(')
        return "( " + QuoteWith(name.substr(1), m_quote);
    if (!name.empty() && name.back() == ')')
        return QuoteWith(name.substr(0, name.size() - 1), m_quote) + " )";
    return QuoteWith(name, m_quote);
}

std::string CSqlDialect::TableName(std::string_view name, bool iniDefinition) const
{
    if (iniDefinition)
        return std::string(name);
    if (m_kind == SqlDialect::Nav)
        return QuoteWith(name, '"');
    const bool bracketed = !name.empty() && (name.front() == '[' || name.back() == ']');
    if (bracketed) {
        // Brackets are the classic spelling; a connection gets its own quotes.
        if (OnConnection() && name.size() >= 2 && name.front() == '[' && name.back() == ']')
            return QuoteName(name.substr(1, name.size() - 2));
        return std::string(name);
    }
    if (name.size() > 1 && name.find(' ', 1) != std::string_view::npos)
        return QuoteName(name);
    return std::string(name);
}

bool CSqlDialect::QuotesFilterColumns() const
{
    switch (m_kind) {
    case SqlDialect::Oracle:
    case SqlDialect::Nav:
    case SqlDialect::MySql:
    case SqlDialect::Progress:
    case SqlDialect::Informix:
        return false;
    default:
        return true;
    }
}

std::string CSqlDialect::FilterColumn(std::string_view column) const
{
    return QuotesFilterColumns() ? QuoteName(column) : std::string(column);
}

std::string CSqlDialect::ConditionColumn(std::string_view column) const
{
    switch (m_kind) {
    case SqlDialect::MySql:
        return column.find(' ') == std::string_view::npos ? std::string(column)
                                                          : QuoteWith(column, '`');
    case SqlDialect::Oracle:
    case SqlDialect::Informix:
    case SqlDialect::Nav:
    case SqlDialect::Progress:
        return std::string(column);
    default:
        return QuoteName(column);
    }
}

std::string CSqlDialect::ListColumn(std::string_view column) const
{
    if (m_kind == SqlDialect::Nav || m_kind == SqlDialect::Progress)
        return QuoteWith(column, '"');
    return ConditionColumn(column);
}

std::string CSqlDialect::ProbeStatement(std::string_view table) const
{
    const std::string name(table);
    switch (m_kind) {
    case SqlDialect::Sql:
    case SqlDialect::Progress:
        return "SELECT TOP 1 * FROM " + name;
    case SqlDialect::Oracle:
    case SqlDialect::MySql:
        return "SELECT * FROM " + name + " WHERE 0=1";
    default:
        // On a live connection the column types come without reading any row.
        return OnConnection() ? "SELECT * FROM " + name + " WHERE 0=1" : "SELECT * FROM " + name;
    }
}

std::string CSqlDialect::WriteStatement(std::string_view table) const
{
    if (m_kind == SqlDialect::Oracle)
        return "SELECT * FROM " + std::string(table) + " WHERE ROWNUM <= 1";
    return ProbeStatement(table);
}

std::string CSqlDialect::ReadStatement(std::string_view table, std::string_view where) const
{
    std::string statement = "SELECT * FROM " + std::string(table) + " ";
    if (!where.empty()) {
        statement += " WHERE ";
        statement += where;
    }
    return statement;
}

std::string CSqlDialect::OrderBy(const std::vector<std::string>& columns) const
{
    const bool quoted = m_kind != SqlDialect::Oracle && m_kind != SqlDialect::Informix &&
                        m_kind != SqlDialect::MySql;
    std::string text;
    for (const std::string& item : columns) {
        std::string_view column = TrimRight(item);
        bool descending = false;
        if (!column.empty() && column.back() == '<') {
            descending = true;
            column = TrimRight(column.substr(0, column.size() - 1));
        }
        if (!text.empty())
            text += ',';
        text += quoted ? QuoteName(column) : std::string(column);
        if (descending)
            text += " DESC";
    }
    return text;
}

long CSqlDialect::IsolationLevel() const
{
    return m_kind == SqlDialect::Nav ? 256 : 4096;
}

int CSqlDialect::RollbackFlag() const
{
    return m_kind == SqlDialect::MySql ? 1 : 0;
}

std::string CSqlDialect::TextLiteral(std::string_view text) const
{
    std::string literal;
    literal.reserve(text.size() + 2);
    literal += '\'';
    for (const char c : text) {
        literal += c;
        if (c == '\'')
            literal += '\'';
        // MySQL reads a backslash as an escape inside quotes.
        else if (c == '\\' && m_kind == SqlDialect::MySql)
            literal += '\\';
    }
    literal += '\'';
    return literal;
}

std::string CSqlDialect::BooleanLiteral(std::string_view value, const SqlValueFormat& format) const
{
    if (value == format.boolTrue)
        return "True";
    if (value == format.boolFalse)
        return "False";
    return "NULL";
}

bool CSqlDialect::WriteDateLiteral(const SqlDateParts& parts, std::string& literal) const
{
    const bool both = parts.hasDate && parts.hasTime;
    switch (m_kind) {
    case SqlDialect::MySql:
        if (both)
            literal =
                Format("STR_TO_DATE('%02d-%02d-%04d %02d:%02d:%02d', "
                       "'%%m-%%d-%%Y %%H:%%i:%%s')",
                       parts.month, parts.day, parts.year, parts.hour, parts.minute, parts.second);
        else if (parts.hasDate)
            literal = Format("STR_TO_DATE('%02d-%02d-%04d', '%%m-%%d-%%Y')", parts.month, parts.day,
                             parts.year);
        else
            literal = Format("STR_TO_DATE('%02d:%02d:%02d', '%%H:%%i:%%s')", parts.hour,
                             parts.minute, parts.second);
        return true;
    case SqlDialect::Oracle:
    case SqlDialect::Informix:
        if (both)
            literal =
                Format("to_date('%02d/%02d/%04d %02d:%02d:%02d','DD/MM/YYYY HH24:MI:SS')",
                       parts.day, parts.month, parts.year, parts.hour, parts.minute, parts.second);
        else if (parts.hasDate)
            literal = Format("to_date('%02d/%02d/%04d','DD/MM/YYYY')", parts.day, parts.month,
                             parts.year);
        else
            literal = Format("to_date('%02d:%02d:%02d','HH24:MI:SS')", parts.hour, parts.minute,
                             parts.second);
        return true;
    case SqlDialect::Nav:
        if (both)
            literal = Format("{d'%02d-%02d-%04d %02d:%02d:%02d'}", parts.month, parts.day,
                             parts.year, parts.hour, parts.minute, parts.second);
        else if (parts.hasDate)
            literal = Format("{d'%02d-%02d-%04d'}", parts.month, parts.day, parts.year);
        else
            literal = Format("{'%02d:%02d:%02d'}", parts.hour, parts.minute, parts.second);
        return true;
    default:
        return false;
    }
}

bool CSqlDialect::FilterDateLiteral(std::string_view value, const SqlDateParts& parts,
                                    bool dateOnlyType, std::string& literal) const
{
    const std::string text(Trim(value));
    switch (m_kind) {
    case SqlDialect::Oracle:
    case SqlDialect::MySql:
        // Built from the parts: a date text alone would be read as arithmetic.
        return WriteDateLiteral(parts, literal);
    case SqlDialect::Progress:
        literal = "'" + text + "'";
        return true;
    case SqlDialect::Informix:
        literal =
            dateOnlyType ? "DATE('" + text + "')" : "DATETIME('" + text + "', '%m/%d/%Y %H:%i:%s')";
        return true;
    case SqlDialect::Nav:
        literal = dateOnlyType ? "{d'" + text + "'}" : "'" + text + "'";
        return true;
    default:
        break;
    }
    if (!OnConnection()) {
        literal = dateOnlyType ? "#" + text + "#" : "'" + text + "'";
        return true;
    }
    if (!parts.hasDate)
        literal = Format("{t '%02d:%02d:%02d'}", parts.hour, parts.minute, parts.second);
    else if (dateOnlyType)
        literal = Format("{d '%04d-%02d-%02d'}", parts.year, parts.month, parts.day);
    else
        literal = Format("{ts '%04d-%02d-%02d %02d:%02d:%02d'}", parts.year, parts.month, parts.day,
                         parts.hour, parts.minute, parts.second);
    return true;
}

bool CSqlDialect::DateLiteral(std::string_view value, long adoType, const SqlValueFormat& format,
                              SqlLiteralUse use, std::string& literal, std::string& error) const
{
    SqlDateParts parts;
    const bool parsed =
        ParseSqlDate(value, format.dateFormat, parts) && HasOnlyDateCharacters(value);
    const bool rewritesForWrite = use == SqlLiteralUse::Write &&
                                  (m_kind == SqlDialect::MySql || m_kind == SqlDialect::Oracle ||
                                   m_kind == SqlDialect::Informix || m_kind == SqlDialect::Nav);
    if (!parsed) {
        // A date that does not parse is written as NULL by the MYSQL writer.
        if (rewritesForWrite && m_kind == SqlDialect::MySql) {
            literal = "NULL";
            return true;
        }
        error = "\"" + std::string(value) + "\" is not a date";
        return false;
    }
    if (rewritesForWrite)
        return WriteDateLiteral(parts, literal);
    return FilterDateLiteral(value, parts, IsDateType(adoType), literal);
}

bool CSqlDialect::Literal(std::string_view rawValue, long adoType, long definedSize,
                          const SqlValueFormat& format, SqlLiteralUse use, std::string& literal,
                          std::string& error) const
{
    error.clear();
    if (rawValue == "NULL") {
        literal = "NULL";
        return true;
    }
    std::string value(rawValue);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.empty()) {
        literal = "NULL";
        return true;
    }
    if (IsTextType(adoType)) {
        if (definedSize > 0 && Length(value) > static_cast<std::size_t>(definedSize))
            value = Left(value, static_cast<std::size_t>(definedSize));
        literal = TextLiteral(value);
        return true;
    }
    const bool mysqlBoolean =
        m_kind == SqlDialect::MySql && (adoType == 11 || adoType == 16 || adoType == 17);
    if (adoType == 11 || mysqlBoolean) {
        literal = BooleanLiteral(value, format);
        if (mysqlBoolean && use == SqlLiteralUse::Write)
            literal = literal[0] == 'F' || literal[0] == 'N' ? "FALSE" : "TRUE";
        return true;
    }
    if (IsDateType(adoType) || IsDateTimeType(adoType))
        return DateLiteral(value, adoType, format, use, literal, error);
    if (IsNumberType(adoType)) {
        if (!NormaliseSqlNumber(value, format.decimalSeparator, literal)) {
            error = "\"" + value + "\" is not a number";
            return false;
        }
        return true;
    }
    // Identifiers, binary and other values: never raw, always as a quoted text.
    literal = TextLiteral(value);
    return true;
}

} // namespace trv
