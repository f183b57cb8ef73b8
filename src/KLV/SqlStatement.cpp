#include "KLV/SqlStatement.h"

#include "KLV/FetchFilter.h"
#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "platform/Text.h"

#include <array>
#include <cctype>
#include <chrono>
#include <thread>

namespace trv {
namespace {

constexpr std::array<std::string_view, 2> kConnectors = {" OR ", " AND "};
constexpr std::array<std::string_view, 8> kOperators = {
    "=", "<>", "<=", ">=", "<", ">", " LIKE ", " NOT_LIKE "};

bool IsQuote(char c)
{
    return c == '\'' || c == '"';
}

// The end (one past the closing quote) of the first quoted value of the text; npos when the
// text opens no quote, `text.size() + 1` when the quote is not closed. A doubled quote inside
// is part of the value.
std::size_t QuotedValueEnd(std::string_view text)
{
    std::size_t index = 0;
    while (index < text.size() && !IsQuote(text[index]))
        ++index;
    if (index == text.size())
        return std::string_view::npos;
    const char quote = text[index];
    for (++index; index < text.size(); ++index) {
        if (text[index] != quote)
            continue;
        if (index + 1 < text.size() && text[index + 1] == quote) {
            ++index;
            continue;
        }
        return index + 1;
    }
    return text.size() + 1;
}

// The next comparison of a piece and the connector after it. A connector inside a quoted
// value does not cut the comparison.
std::string NextComparison(std::string& rest, std::string& connector)
{
    const std::string saved = rest;
    std::string comparison = SplitAtFirstOf(kConnectors, rest, connector);
    const std::size_t end = QuotedValueEnd(comparison);
    if (end == std::string_view::npos || end <= comparison.size())
        return comparison;
    // The cut fell inside the quotes: cut after the closing quote instead.
    const std::size_t start = saved.find_first_not_of(' ');
    const std::size_t close = QuotedValueEnd(std::string_view(saved).substr(start));
    if (close > saved.size() - start) {
        rest.clear();
        connector.clear();
        return std::string(Trim(saved));
    }
    rest = saved.substr(start + close);
    std::string tail = SplitAtFirstOf(kConnectors, rest, connector);
    return saved.substr(start, close) + tail;
}

// The operator of a comparison; the field before it comes out, the value in `value`.
bool SplitComparison(const std::string& comparison, std::string& field, std::string& op,
                     std::string& value)
{
    std::string rest = comparison;
    field = SplitAtFirstOf(kOperators, rest, op);
    if (!op.empty()) {
        value = std::string(Trim(rest));
        return true;
    }
    // A comparison with an empty value ends with its operator.
    for (const std::string_view candidate : {"<>", "="}) {
        if (comparison.size() > candidate.size() && comparison.ends_with(candidate)) {
            field = std::string(
                Trim(std::string_view(comparison).substr(0, comparison.size() - candidate.size())));
            op = std::string(candidate);
            value.clear();
            return true;
        }
    }
    return false;
}

bool IsIdentifier(std::string_view text)
{
    if (text.empty() || std::isdigit(static_cast<unsigned char>(text.front())))
        return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.')
            return false;
    return true;
}

// The column's name without the parenthesis a grouped condition leaves on it.
std::string BareColumn(std::string_view column)
{
    column = Trim(column);
    if (!column.empty() && column.front() == '(')
        column = Trim(column.substr(1));
    if (!column.empty() && column.back() == ')')
        column = Trim(column.substr(0, column.size() - 1));
    return std::string(column);
}

bool FailFilter(std::string& error, const std::string& detail)
{
    error = Translate("ErrorSQLFilter");
    TRV_TRACE(1, "CFetch::ParseFilterPart", "ParseFilterPart, %s %s", error.c_str(),
              detail.c_str());
    return false;
}

// A value against a column of unknown type: texts quoted, numbers and names as written.
std::string UntypedLiteral(const CSqlDialect& dialect, const std::string& value, bool literal,
                           const SqlValueFormat& format)
{
    if (value.empty() || value == "NULL")
        return "NULL";
    std::string number;
    if (!literal &&
        (NormaliseSqlNumber(value, format.decimalSeparator, number) || IsIdentifier(value)))
        return number.empty() ? value : number;
    return dialect.TextLiteral(value);
}

} // namespace

bool ConvertFilterPieceToSql(std::string& piece, const CSqlDialect& dialect,
                             const SqlValueFormat& format, CSqlFilterFields& fields,
                             bool listReader, std::string& error)
{
    error.clear();
    std::string output;
    std::string rest = piece;
    std::string previousConnector;
    while (!rest.empty()) {
        std::string connector;
        const std::string comparison = NextComparison(rest, connector);
        std::string field;
        std::string op;
        std::string value;
        if (!SplitComparison(comparison, field, op, value)) {
            output += " " + connector + " ";
            previousConnector = connector;
            continue;
        }
        std::string column;
        if (!fields.ColumnOfField(field, column)) {
            TRV_TRACE(1, "CFetch::ParseFilterPart",
                      "ParseFilterPart, ReadFieldFormat %s %s returned FALSE", field.c_str(),
                      column.c_str());
            error = "no field " + field;
            return false;
        }
        if (column.empty() && listReader) {
            if (connector == " OR " || previousConnector == " OR ") {
                output += " ";
                previousConnector = connector;
                continue;
            }
            return FailFilter(error, field);
        }
        // The value: a quoted literal, FETCH_DATE, a field's current value, or as written.
        bool literal = false;
        std::string closing;
        if (!value.empty() && IsQuote(value.front())) {
            value = UnquoteFilterValue(value);
            literal = true;
        } else if (value == "FETCH_DATE") {
            value = fields.FetchDateText();
            literal = true;
        } else {
            if (value.find("FETCH_DATE") != std::string::npos) {
                trv::ReplaceAllInPlace(value, "FETCH_DATE", fields.FetchDateText());
                literal = true;
            }
            if (value.ends_with("))")) {
                value.pop_back();
                closing = " )";
            }
            std::string current;
            if (fields.FieldValue(value, current) && !current.empty()) {
                value = current;
                literal = true;
            }
        }
        const SqlColumnType type = fields.ColumnType(BareColumn(column));
        std::string sqlValue;
        if (type.type != 0) {
            std::string refused;
            if (!dialect.Literal(value, type.type, type.size, format, SqlLiteralUse::Filter,
                                 sqlValue, refused)) {
                TRV_TRACE(1, "CFetch::ParseFilterPart", "ParseFilterPart, %s %s", column.c_str(),
                          refused.c_str());
                error = refused;
                return false;
            }
            column = dialect.FilterColumn(column);
        } else {
            sqlValue = UntypedLiteral(dialect, value, literal, format);
        }
        if (sqlValue == "NULL") {
            if (op == "<>")
                op = " IS NOT ";
            else if (op == "=")
                op = " IS ";
            else
                return FailFilter(error, field + op + "NULL");
        } else if (op == " NOT_LIKE ") {
            op = " NOT LIKE ";
        }
        output += column + op + sqlValue + closing + " " + connector + " ";
        previousConnector = connector;
    }
    piece = std::string(Trim(output));
    return true;
}

bool ConvertFilterToSql(std::string& where, const CSqlDialect& dialect,
                        const SqlValueFormat& format, CSqlFilterFields& fields, bool listReader,
                        std::string& error)
{
    error.clear();
    const bool converted = RewriteFilter(where, true, [&](std::string& piece) {
        return ConvertFilterPieceToSql(piece, dialect, format, fields, listReader, error);
    });
    if (!converted && error.empty())
        error = "the parentheses of \"" + where + "\" do not balance";
    return converted;
}

namespace {

// column=literal over columns of known type; `use` per column follows the MYSQL rule that a
// back-quoted key keeps its literal unchanged.
bool FillText(const CSqlDialect& dialect, const SqlValueFormat& format,
              const std::vector<SqlOutValue>& columns, bool key, const char* joiner,
              std::string& condition, std::string* columnList, std::string* valueList,
              std::string& error)
{
    for (const SqlOutValue& column : columns) {
        if (column.type.type == 0)
            continue;
        const bool blank = column.column.find(' ') != std::string::npos;
        const SqlLiteralUse use = dialect.Kind() == SqlDialect::MySql && blank
                                      ? SqlLiteralUse::Filter
                                      : SqlLiteralUse::Write;
        std::string literal;
        if (!dialect.Literal(column.value, column.type.type, column.type.size, format, use, literal,
                             error)) {
            TRV_TRACE(1, "CFetch::FillText", "FillText, %s %s", column.column.c_str(),
                      error.c_str());
            return false;
        }
        if (key && literal == "NULL") {
            TRV_TRACE(1, "CFetch::FillText", "FillText, %s bKey && sFieldValue==NULL",
                      column.column.c_str());
            error = "the key " + column.column + " has no value";
            return false;
        }
        const std::string name = dialect.ConditionColumn(column.column);
        if (!condition.empty()) {
            condition += joiner;
            if (columnList) {
                *columnList += ',';
                *valueList += ',';
            }
        }
        condition += name + (literal == "NULL" && !key ? " IS " : "=") + literal;
        if (columnList) {
            *columnList += name;
            *valueList += literal;
        }
    }
    return true;
}

} // namespace

bool BuildKeyCondition(const CSqlDialect& dialect, const SqlValueFormat& format,
                       const std::vector<SqlOutValue>& keys, SqlRowTexts& texts, std::string& error)
{
    texts.keyCondition.clear();
    texts.keyColumns.clear();
    texts.keyValues.clear();
    return FillText(dialect, format, keys, true, " And ", texts.keyCondition, &texts.keyColumns,
                    &texts.keyValues, error);
}

bool BuildDeleteCondition(const CSqlDialect& dialect, const SqlValueFormat& format,
                          const std::vector<SqlOutValue>& columns, std::string& condition,
                          std::string& error)
{
    condition.clear();
    return FillText(dialect, format, columns, false, " And ", condition, nullptr, nullptr, error);
}

bool BuildValueLists(const CSqlDialect& dialect, const SqlValueFormat& format,
                     const std::vector<SqlOutValue>& columns, SqlRowTexts& texts,
                     std::string& error)
{
    texts.columns.clear();
    texts.values.clear();
    texts.setList.clear();
    for (const SqlOutValue& column : columns) {
        if (column.type.type == 0)
            continue;
        std::string literal;
        if (!dialect.Literal(column.value, column.type.type, column.type.size, format,
                             SqlLiteralUse::Write, literal, error)) {
            TRV_TRACE(1, "CFetch::BuildValueLists", "BuildValueLists, %s %s", column.column.c_str(),
                      error.c_str());
            return false;
        }
        const std::string name = dialect.ListColumn(column.column);
        if (!texts.columns.empty()) {
            texts.columns += ',';
            texts.values += ',';
            texts.setList += ',';
        }
        texts.columns += name;
        texts.values += literal;
        texts.setList += name + "=" + literal;
    }
    return true;
}

bool BuildLinkCondition(const CSqlDialect& dialect, const SqlValueFormat& format,
                        const std::vector<SqlOutValue>& links, std::string& condition,
                        std::string& error)
{
    condition.clear();
    for (const SqlOutValue& link : links) {
        if (link.type.type == 0)
            continue;
        std::string literal;
        if (!dialect.Literal(link.value, link.type.type, link.type.size, format,
                             SqlLiteralUse::Filter, literal, error)) {
            TRV_TRACE(1, "CFetch::BuildLinkWhere", "BuildLinkWhere, %s %s", link.column.c_str(),
                      error.c_str());
            condition.clear();
            return false;
        }
        if (!condition.empty())
            condition += " AND ";
        condition +=
            dialect.FilterColumn(link.column) + (literal == "NULL" ? " IS " : "=") + literal;
    }
    return true;
}

std::string InsertStatement(const std::string& table, const SqlRowTexts& texts)
{
    std::string columns = texts.keyColumns;
    std::string values = texts.keyValues;
    if (!texts.columns.empty()) {
        if (!columns.empty()) {
            columns += ',';
            values += ',';
        }
        columns += texts.columns;
        values += texts.values;
    }
    return "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
}

std::string UpdateStatement(const std::string& table, const SqlRowTexts& texts)
{
    if (texts.setList.empty())
        return {};
    return "UPDATE " + table + " SET " + texts.setList + " WHERE " + texts.keyCondition;
}

std::string DeleteStatement(const std::string& table, const std::string& condition,
                            const std::string& where)
{
    std::string statement = "DELETE FROM " + table;
    if (!condition.empty())
        statement += " WHERE " + condition;
    if (!where.empty())
        statement += (condition.empty() ? " WHERE " : " AND ") + where;
    return statement;
}

CSqlTable::CSqlTable(CAdoDB& database, CSqlDialect& dialect, std::string table)
    : m_database(database), m_dialect(dialect), m_table(std::move(table))
{
    if (m_database.m_pConnection && m_database.m_pConnection->State() == 1)
        m_dialect.SetIdentifierQuote(m_database.m_pConnection->IdentifierQuote());
}

bool CSqlTable::Open(std::string& error)
{
    m_pRecordset = CreateAdoRecordset(m_database.m_pConnection, m_dialect.WriteStatement(m_table),
                                      adOpenDynamic, adLockOptimistic, adCmdText, error);
    if (!error.empty()) {
        TRV_TRACE(1, "CFetch::OpenRecordset", "OpenRecordset, %s", error.c_str());
        m_pRecordset.reset();
        return false;
    }
    m_mapColumnTypes.clear();
    return true;
}

SqlColumnType CSqlTable::ColumnType(const std::string& column)
{
    const auto found = m_mapColumnTypes.find(column);
    if (found != m_mapColumnTypes.end())
        return found->second;
    SqlColumnType type;
    if (m_pRecordset) {
        const std::string bare = UnquoteName(column);
        m_pRecordset->vGetFieldType(bare, type.type);
        m_pRecordset->vGetFieldSize(bare, type.size);
    }
    m_mapColumnTypes.emplace(column, type);
    return type;
}

bool CSqlTable::AddMissingColumn(const std::string& column, long adoType, bool nullable)
{
    if (!m_pRecordset)
        return false;
    CADOXCatalog catalog;
    if (!catalog.Open(m_database.m_pConnection))
        return false;
    CADOXTable table(catalog, m_table);
    if (!table.AddField(column, adoType, nullable)) {
        TRV_TRACE(1, "CFetch::AddMissingColumn", "AddMissingColumn, %s %s", m_table.c_str(),
                  column.c_str());
        return false;
    }
    m_pRecordset->Requery();
    m_mapColumnTypes.erase(column);
    return true;
}

int CSqlTable::IsNewRecord(const std::string& keyCondition, std::string& error)
{
    if (keyCondition.empty())
        return 1;
    const CAdoRecordsetPtr probe = CreateAdoRecordset(
        m_database.m_pConnection, "SELECT * FROM " + m_table + " WHERE " + keyCondition,
        adOpenDynamic, adLockOptimistic, adCmdText, error);
    if (!error.empty()) {
        TRV_TRACE(1, "CFetch::GetIfItsNewRecord", "GetIfItsNewRecord, %s", error.c_str());
        return -1;
    }
    return probe->IsEOF() ? 1 : 0;
}

bool CSqlTable::Execute(const std::string& statement, std::string& error, int retries,
                        int retryMilliseconds)
{
    error.clear();
    m_database.Execute(m_database.m_pConnection, statement, error);
    TRV_TRACE(2, "CFetch::ExecuteQuery", "Query: [%s]", statement.c_str());
    if (error.empty())
        return true;
    TRV_TRACE(1, "CFetch::ExecuteQuery",
              "ExecuteQuery, pAdoDatabase->ulExecuteQuery %s returned the error %s "
              "the first time",
              statement.c_str(), error.c_str());
    for (int attempt = 0; attempt < retries; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(retryMilliseconds));
        error.clear();
        m_database.Execute(m_database.m_pConnection, statement, error);
        if (error.empty())
            return true;
        TRV_TRACE(1, "CFetch::ExecuteQuery",
                  "ExecuteQuery, pAdoDatabase->ulExecuteQuery returned the error %s "
                  "at attempt %d",
                  error.c_str(), attempt);
    }
    return false;
}

bool CSqlTable::ResolveTypes(std::vector<SqlOutValue>& values, bool addMissing, bool keys)
{
    for (SqlOutValue& value : values) {
        const long declared = value.type.type;
        value.type = ColumnType(value.column);
        if (value.type.type != 0 || !addMissing || declared == 0)
            continue;
        if (!AddMissingColumn(value.column, declared, !keys))
            return false;
        value.type = ColumnType(value.column);
    }
    return true;
}

bool CSqlTable::WriteRow(std::vector<SqlOutValue> keys, std::vector<SqlOutValue> columns,
                         bool addMissing, const SqlValueFormat& format, std::string& statement,
                         bool& inserted, std::string& error)
{
    statement.clear();
    inserted = false;
    error.clear();
    if (!ResolveTypes(keys, addMissing, true) || !ResolveTypes(columns, addMissing, false)) {
        error = "a missing column of " + m_table + " cannot be added";
        return false;
    }
    SqlRowTexts texts;
    if (!BuildKeyCondition(m_dialect, format, keys, texts, error))
        return false;
    const int isNew = IsNewRecord(texts.keyCondition, error);
    if (isNew < 0)
        return false;
    if (!BuildValueLists(m_dialect, format, columns, texts, error))
        return false;
    if (isNew == 1) {
        if (texts.keyColumns.empty() && texts.columns.empty())
            return true;
        statement = InsertStatement(m_table, texts);
        m_lastInsertedValues = texts.keyValues;
        if (!texts.values.empty())
            m_lastInsertedValues += (m_lastInsertedValues.empty() ? "" : ",") + texts.values;
        inserted = true;
    } else {
        statement = UpdateStatement(m_table, texts);
        if (statement.empty())
            return true;
    }
    return Execute(statement, error);
}

std::string CSqlNewEntriesLog::Path()
{
    return GetExeFolder() + "IONewEntries.log";
}

bool CSqlNewEntriesLog::Append(const std::string& table, const std::string& values)
{
    TRV_TRACE(2, "CFetch::ExecuteQuery", "ExecuteQuery, appending entries to the new entries file");
    if (!m_file)
        m_file = std::fopen(Path().c_str(), "w");
    if (!m_file) {
        TRV_TRACE(1, "CFetch::ExecuteQuery", "%s cannot be written", Path().c_str());
        return false;
    }
    // Without a dictionary text of its own the log still says what was inserted.
    std::string entry = Translate("NewEntry") == "NewEntry"
                            ? table + ": " + values + "\n"
                            : TranslateFormat("NewEntry", table, values);
    return std::fwrite(entry.data(), 1, entry.size(), m_file) == entry.size() &&
           std::fflush(m_file) == 0;
}

void CSqlNewEntriesLog::Close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

} // namespace trv
