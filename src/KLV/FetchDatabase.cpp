// Database sources and targets: a definition of TYPE "DATABASE" or of the SQL family reaches
// one table through a connection, reads the rows of its SELECT (the WHERE rewritten into SQL,
// the ORDER BY of its fields) and writes each output record as one row, inserted or updated
// by its key. The statements themselves are built by SqlDialect and SqlStatement, so no value
// reaches the SQL raw.

#include "KLV/Fetch.h"
#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr const char* kDefaultFetchDate = "01011980";

std::string Masked(const std::string& connectionString)
{
    return trv::HideConnectionPassword(connectionString);
}

// What rewriting a filter into SQL asks of the definition.
class CFetchSqlFields final : public trv::CSqlFilterFields
{
  public:
    explicit CFetchSqlFields(CFetch& fetch) : m_fetch(fetch) {}

    bool ColumnOfField(const std::string& field, std::string& column) override
    {
        if (!m_fetch.ReadFieldFormat(field, column, !m_fetch.m_bIsListReader))
            return false;
        std::string argument;
        int ok = 0;
        if (m_fetch.GetLineFormat(field, argument, ok, 0) == LINE_VALUE) {
            // A VALUE= line names the column through its value.
            int linked = 0;
            column = m_fetch.GetField(field, linked);
        }
        return true;
    }

    bool FieldValue(const std::string& name, std::string& value) override
    {
        if (m_fetch.m_mapFields.find(name) == m_fetch.m_mapFields.end())
            return false;
        int linked = 0;
        value = m_fetch.GetField(name, linked);
        return true;
    }

    trv::SqlColumnType ColumnType(const std::string& column) override
    {
        trv::CSqlTable* table = m_fetch.SqlTable();
        return table ? table->ColumnType(column) : trv::SqlColumnType();
    }

    std::string FetchDateText() override { return m_fetch.FetchDateText(); }

  private:
    CFetch& m_fetch;
};

} // namespace

// ---- Opening -----------------------------------------------------------------------------

int CFetch::OpenDatabaseSource(CAdoDB* connection)
{
    m_pSqlTable.reset();
    m_pRecordset.reset();
    m_pWorkbook.reset();
    m_bRecordDeleted = 0;
    m_sqlDialect = trv::CSqlDialect(m_strType);
    if (m_nKind == FETCH_KIND_SQL)
        return OpenSqlSource(m_nMode, connection);
    // The kind DATABASE lets no field stand for a column of its own name.
    m_bSameFieldName = 0;
    return InitAdoDB(m_nMode, connection) ? 1 : 0;
}

int CFetch::OpenSqlSource(int mode, CAdoDB* connection)
{
    const std::string sameFieldName = trv::ToUpper(GetSetting("SAMEFIELDNAME"));
    // Set before the table is opened, so that KEY and ORDER_BY may name such columns too.
    m_bSameFieldName = sameFieldName.starts_with('T') || sameFieldName.starts_with('Y');
    if (m_strType == "EXCEL")
        return OpenExcelSource(mode);

    const bool opened = InitAdoDB(mode, connection);
    if (mode == FETCH_MODE_CONSULT)
        return opened ? 1 : 0;
    if (!opened) {
        m_pSqlTable.reset();
        m_pRecordset.reset();
        CurrentConnectionSlot().reset();
    }
    m_nKind = FETCH_KIND_DATABASE;
    if (!opened)
        return 0;
    if (m_bDeleteAllAtStart)
        DeleteAllData();
    if (!m_strPreSql.empty())
        ExecuteSQLSentence(m_strPreSql);
    return 1;
}

bool CFetch::InitAdoDB(int mode, CAdoDB* connection)
{
    if (m_nKind == FETCH_KIND_DATABASE) {
        // The connection string stands where a file would: it is taken as written, not as a
        // path.
        if (const std::string& fileName = GetSetting("FILENAME"); !fileName.empty())
            m_strFile = fileName;
        if (m_strFile.empty()) {
            m_strLastError = TranslateFormat("FormatNotFound", "FILENAME", m_strName + "_FORMAT",
                                             m_strDefinitionFile);
            TRV_TRACE(1, "CFetch::InitAdoDB", "%s", m_strLastError.c_str());
            return false;
        }
    } else {
        std::string path;
        if (!ReadFileName(path))
            return false;
    }
    ReadListSeparator();
    ReadListsInSameLine();
    ReadConnectionString();
    if (mode == FETCH_MODE_CONSULT)
        return true;

    CAdoDBPtr& slot = CurrentConnectionSlot();
    if (m_bFollowLinks || !slot || !slot->m_pConnection) {
        if (!OpenDB(connection))
            return false;
    } else if (connection) {
        TRV_TRACE(1, "CFetch::InitAdoDB", "%s: a connection is open already", m_strName.c_str());
        return false;
    } else {
        m_sqlDialect.SetIdentifierQuote(slot->m_pConnection->IdentifierQuote());
    }

    std::string statement;
    std::string orderBy;
    if (!ReadTableName() || !GetSelect(statement, mode) || !ReadOrderBy(orderBy) ||
        !OpenRecordset(statement, orderBy, 0))
        return false;
    if (!GetPrimaryKeys()) {
        TRV_TRACE(2, "CFetch::InitAdoDB", "No Get Primary Keys");
        return false;
    }
    if (!GetDeletingFields()) {
        TRV_TRACE(2, "CFetch::InitAdoDB", "No Get Deleting Fields");
        return false;
    }
    m_nRecord = 0;
    return true;
}

CAdoDBPtr& CFetch::CurrentConnectionSlot()
{
    const std::size_t index = static_cast<std::size_t>(std::max(0, m_nCurrentChild));
    const std::size_t wanted =
        std::max<std::size_t>(index + 1, static_cast<std::size_t>(m_arrListChildren.GetSize()));
    if (m_arrConnections.size() < wanted)
        m_arrConnections.resize(wanted);
    return m_arrConnections[index];
}

CAdoDB* CFetch::CurrentConnection()
{
    CAdoDB* database = CurrentConnectionSlot().get();
    return database && database->m_pConnection ? database : nullptr;
}

bool CFetch::OpenDB(CAdoDB* connection)
{
    // The table and the recordset refer to the connection that is replaced.
    m_pSqlTable.reset();
    m_pRecordset.reset();
    CAdoDBPtr& slot = CurrentConnectionSlot();
    slot.reset();
    const long isolation = m_sqlDialect.IsolationLevel();
    if (m_nKind == FETCH_KIND_DATABASE) {
        TRV_TRACE(2, "CFetch::OpenDB", "InitAdoDB FETCH_DATABASE %s", Masked(m_strFile).c_str());
        slot.reset(new CAdoDB(m_strFile, isolation));
        if (!slot->m_pConnection) {
            m_strLastError = slot->m_strLastError;
            TRV_TRACE(1, "CFetch::OpenDB", "Cannot open the connection %s: %s",
                      Masked(m_strFile).c_str(), slot->m_strLastError.c_str());
            slot.reset();
            return false;
        }
    } else {
        if (!m_strConnectionString.empty()) {
            slot.reset(new CAdoDB(m_strConnectionString, isolation));
            if (slot->m_pConnection) {
                TRV_TRACE(2, "CFetch::OpenDB", "InitAdoDB FETCH_SQL bOK=TRUE %s",
                          Masked(m_strConnectionString).c_str());
            } else {
                m_strLastError = slot->m_strLastError;
                TRV_TRACE(1, "CFetch::OpenDB", "Cannot open the connection %s: %s",
                          Masked(m_strConnectionString).c_str(), slot->m_strLastError.c_str());
                slot.reset();
            }
        }
        // Without a connection of its own, the definition opens one on the string of the
        // connection lent to Init.
        if (!slot) {
            if (!connection || !connection->m_pConnection) {
                if (m_strLastError.empty())
                    m_strLastError = "CONNECTION_STRING " + m_strName;
                return false;
            }
            m_strConnectionString = connection->m_pConnection->ConnectionString();
            slot = CreateAdoDB(m_strConnectionString);
            if (!slot->m_pConnection) {
                m_strLastError = slot->m_strLastError;
                TRV_TRACE(1, "CFetch::OpenDB", "Cannot open the connection %s",
                          Masked(m_strConnectionString).c_str());
                slot.reset();
                return false;
            }
        }
    }
    slot->m_nRollback = m_sqlDialect.RollbackFlag();
    m_sqlDialect.SetIdentifierQuote(slot->m_pConnection->IdentifierQuote());
    return true;
}

void CFetch::ReadConnectionString()
{
    if (m_strConnectionString.empty())
        m_strConnectionString = GetSetting("CONNECTION_STRING");
    if (m_strConnectionString.empty())
        m_strConnectionString =
            ReadIniString("DEFAULT", "CONNECTION_STRING", m_strDefinitionFile, "");
}

bool CFetch::ReadTableName()
{
    const std::string& name = GetSetting("TABLENAME");
    if (name.empty()) {
        m_strTableName.clear();
        m_strLastError = TranslateFormat("FormatNotFound", "TABLENAME", m_strName + "_FORMAT",
                                         m_strDefinitionFile);
        trv::GetUserPrompt().ShowMessage("FormatNotFound", m_strLastError, trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::ReadTableName", "ReadTableName, %s", m_strLastError.c_str());
        return false;
    }
    m_strTableName = m_sqlDialect.TableName(name, m_nKind == FETCH_KIND_INI);
    return true;
}

bool CFetch::GetSelect(std::string& statement, int mode)
{
    statement.clear();
    if (mode == FETCH_MODE_CONSULT)
        return true;
    m_pRecordset.reset();
    if (!m_strWhere.empty()) {
        // The column types decide how each value of the filter is written.
        TRV_TRACE(2, "CFetch::GetSelect", "Reading the column types: [%s]",
                  m_sqlDialect.ProbeStatement(m_strTableName).c_str());
        if (!SqlTable()) {
            m_strLastError = m_strErrorText;
            return false;
        }
        CFetchSqlFields fields(*this);
        std::string error;
        if (!trv::ConvertFilterToSql(m_strWhere, m_sqlDialect, SqlFormat(), fields,
                                     m_bIsListReader != 0, error)) {
            m_strLastError = error;
            TRV_TRACE(1, "CFetch::GetSelect", "GetSelect: the WHERE filter could not be parsed");
            return false;
        }
    }
    statement = mode == FETCH_MODE_WRITE ? m_sqlDialect.WriteStatement(m_strTableName)
                                         : m_sqlDialect.ReadStatement(m_strTableName, m_strWhere);
    return true;
}

bool CFetch::ReadOrderByColumns(std::vector<std::pair<std::string, bool>>& columns)
{
    columns.clear();
    m_arrOrderByFields.SetSize(0);
    AppendCommaItems(GetSetting("ORDER_BY"), m_arrOrderByFields);
    for (const std::string& item : m_arrOrderByFields) {
        std::string name(trv::Trim(item));
        const bool descending = name.ends_with('<');
        if (descending)
            name = std::string(trv::Trim(name.substr(0, name.size() - 1)));
        std::string column;
        if (!ReadFieldFormat(name, column, true))
            return false;
        columns.emplace_back(std::move(column), descending);
    }
    return true;
}

bool CFetch::ReadOrderBy(std::string& orderBy)
{
    orderBy.clear();
    std::vector<std::pair<std::string, bool>> order;
    if (!ReadOrderByColumns(order))
        return false;
    std::vector<std::string> columns;
    for (const auto& [column, descending] : order)
        columns.push_back(descending ? column + " <" : column);
    orderBy = m_sqlDialect.OrderBy(columns);
    return true;
}

bool CFetch::OpenRecordset(std::string& statement, const std::string& orderBy, int)
{
    if (m_nMode == FETCH_MODE_CONSULT)
        return true;
    m_strCountQuery = statement;
    if (!orderBy.empty() && !statement.empty())
        statement += " ORDER BY " + orderBy;
    m_strQuery = statement;
    TRV_TRACE(2, "CFetch::OpenRecordset", "Opening the query: %s", statement.c_str());
    CAdoDB* database = CurrentConnection();
    ++m_nSourceStamp; // the fields find their columns in the new rows
    // A read walks its rows once, as the driver gives them: the result is never held whole.
    const long cursor = m_nMode == FETCH_MODE_READ ? adOpenForwardOnly : adOpenDynamic;
    m_pRecordset = CreateAdoRecordset(database ? database->m_pConnection : nullptr, statement,
                                      cursor, adLockOptimistic, adCmdText, m_strErrorText);
    if (!m_strErrorText.empty()) {
        m_strLastError = m_strErrorText;
        TRV_TRACE(1, "CFetch::OpenRecordset", "OpenRecordset, %s", m_strErrorText.c_str());
        m_pRecordset.reset();
        return false;
    }
    if (const trv::AdoRecordsetPtr rows = m_pRecordset->GetRecordset()) {
        try {
            // Unknown (-1) for rows read as they come, unless there are none.
            m_nRecordCount = rows->IsEOF() ? 0 : static_cast<int>(rows->RecordCount());
        } catch (const trv::AdoError&) {
            // The count keeps its value.
        }
    }
    TRV_TRACE(2, "CFetch::OpenRecordset", "Query [%s] opened, %d rows (-1: read as they come)",
              statement.c_str(), m_nRecordCount);
    return true;
}

int CFetch::CountQueryRows()
{
    CAdoDB* database = CurrentConnection();
    if (!database || m_strCountQuery.empty())
        return 0;
    std::string error;
    const CAdoRecordsetPtr counted = CreateAdoRecordset(
        database->m_pConnection, "SELECT COUNT(*) FROM (" + m_strCountQuery + ") counted_rows",
        adOpenDynamic, adLockOptimistic, adCmdText, error);
    const trv::AdoRecordsetPtr rows = counted->GetRecordset();
    if (!error.empty() || !rows || rows->IsEOF() || rows->FieldCount() == 0) {
        TRV_TRACE(1, "CFetch::GetRecordCount", "%s: %s", m_strName.c_str(), error.c_str());
        return 0;
    }
    const trv::FieldValue& value = rows->Value(0);
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return static_cast<int>(*number);
    if (const auto* number = std::get_if<double>(&value))
        return static_cast<int>(*number);
    if (const auto* text = std::get_if<std::string>(&value))
        return std::atoi(text->c_str());
    return 0;
}

bool CFetch::GetPrimaryKeys()
{
    const std::string& key = GetSetting("KEY");
    if (key.empty() && m_nKind == FETCH_KIND_DATABASE) {
        m_strLastError =
            TranslateFormat("FormatNotFound", "KEY", m_strName + "_FORMAT", m_strDefinitionFile);
        trv::GetUserPrompt().ShowMessage("FormatNotFound", m_strLastError, trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::GetPrimaryKeys", "%s", m_strLastError.c_str());
        return false;
    }
    m_arrKeyFields.SetSize(0);
    AppendCommaItems(key, m_arrKeyFields);
    m_arrKeyColumns.SetSize(0);
    if (!FillArrayWithFieldsString(m_arrKeyFields, m_arrKeyColumns)) {
        TRV_TRACE(1, "CFetch::GetPrimaryKeys", "GetPrimaryKeys: a KEY field has no column");
        return false;
    }
    m_arrKeyColumnIndex.assign(static_cast<std::size_t>(m_arrKeyColumns.GetSize()), 0);
    return true;
}

bool CFetch::GetDeletingFields()
{
    std::string fields;
    ReadDelete(fields);
    m_arrDeletingFields.SetSize(0);
    AppendCommaItems(fields, m_arrDeletingFields);
    m_arrDeletingColumns.SetSize(0);
    if (!FillArrayWithFieldsString(m_arrDeletingFields, m_arrDeletingColumns)) {
        TRV_TRACE(1, "CFetch::GetDeletingFields",
                  "GetDeletingFields: a DELETE field has no column");
        return false;
    }
    m_arrDeletingValues.assign(static_cast<std::size_t>(m_arrDeletingColumns.GetSize()), 0);
    return true;
}

bool CFetch::FillArrayWithFieldsString(const FetchTextArray& fields, FetchTextArray& columns)
{
    for (const std::string& field : fields) {
        std::string column;
        if (!ReadFieldFormat(std::string(trv::Trim(field)), column, true))
            return false;
        columns.Add(column);
    }
    return true;
}

bool CFetch::ReadFieldFormat(const std::string& field, std::string& column, bool showError)
{
    column.clear();
    std::string argument;
    int ok = 0;
    const int kind = GetLineFormat(field, argument, ok, 0);
    if (kind == LINE_UNDEFINED && m_bSameFieldName && IsDatabaseKind(m_nKind)) {
        column = field;
        return true;
    }
    if (kind == LINE_UNDEFINED) {
        if (!showError)
            return true;
        m_strLastError =
            TranslateFormat("FieldNotFoundInSection", field, m_strName, m_strDefinitionFile);
        trv::GetUserPrompt().ShowMessage("FieldNotFoundInSection", m_strLastError,
                                         trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::ReadFieldFormat", "%s", m_strLastError.c_str());
        return false;
    }
    if (kind != LINE_POSITION) {
        column = field;
        return true;
    }
    int start = -1;
    int length = -1;
    int third = -1;
    const int parsed = ParseFieldSource(argument, start, length, third, column);
    if (column.empty())
        column = length > 0 ? trv::FormatC("%d,%d", start, length) : trv::FormatC("%d", start);
    return parsed != 0;
}

// ---- Column types, formats ---------------------------------------------------------------

trv::CSqlTable* CFetch::SqlTable()
{
    if (m_pSqlTable)
        return m_pSqlTable.get();
    CAdoDB* database = CurrentConnection();
    if (!database || m_strTableName.empty())
        return nullptr;
    auto table = std::make_unique<trv::CSqlTable>(*database, m_sqlDialect, m_strTableName);
    std::string error;
    if (!table->Open(error)) {
        m_strErrorText = error;
        TRV_TRACE(1, "CFetch::GetSelect", "GetSelect, %s", error.c_str());
        return nullptr;
    }
    m_pSqlTable = std::move(table);
    return m_pSqlTable.get();
}

trv::SqlValueFormat CFetch::SqlFormat() const
{
    trv::SqlValueFormat format;
    if (!m_strBoolTrue.empty())
        format.boolTrue = m_strBoolTrue;
    if (!m_strBoolFalse.empty())
        format.boolFalse = m_strBoolFalse;
    if (!m_strDateFormat.empty())
        format.dateFormat = m_strDateFormat;
    if (!m_strDecimalSeparator.empty())
        format.decimalSeparator = m_strDecimalSeparator;
    return format;
}

std::string CFetch::FetchDateText()
{
    if (m_strDateArgument.empty())
        m_strDateArgument = kDefaultFetchDate;
    return ToDateFormat(m_strDateArgument);
}

bool CFetch::BuildLinkWhere(const FetchTextArray& linkingFields,
                            const FetchTextArray& linkingValues, std::string& condition)
{
    condition.clear();
    trv::CSqlTable* table = m_pRecordset ? SqlTable() : nullptr;
    if (!table)
        return false;
    std::vector<trv::SqlOutValue> links;
    for (int index = 0; index < linkingFields.GetSize(); ++index) {
        trv::SqlOutValue link;
        if (!ReadFieldFormat(linkingFields[index], link.column, true))
            return false;
        link.value = index < linkingValues.GetSize() ? linkingValues[index] : std::string();
        link.type = table->ColumnType(link.column);
        links.push_back(std::move(link));
    }
    std::string error;
    if (trv::BuildLinkCondition(m_sqlDialect, SqlFormat(), links, condition, error))
        return true;
    m_strLastError = error;
    return false;
}

// ---- Reading rows ------------------------------------------------------------------------

int CFetch::IsDatabaseEOF()
{
    if (m_pWorkbook)
        return IsExcelEOF();
    return !m_pRecordset || m_pRecordset->IsEOF() ? 1 : 0;
}

int CFetch::MoveNextDatabase()
{
    if (m_pWorkbook)
        return MoveNextExcel();
    const trv::AdoRecordsetPtr rows = m_pRecordset ? m_pRecordset->GetRecordset() : nullptr;
    if (!rows)
        return 0;
    try {
        if (m_nRecord == 0 && m_nRecordCount != 0) {
            rows->MoveFirst();
            ++m_nRecord;
            return rows->IsEOF() ? 0 : 1;
        }
        if (!rows->IsEOF())
            rows->MoveNext();
    } catch (const trv::AdoError& error) {
        TRV_TRACE(1, "CFetch::MoveNext", "%s: %s", m_strName.c_str(), error.Description().c_str());
        return 0;
    }
    // No WHERE test: the SELECT carried it.
    if (rows->IsEOF() || m_pRecordset->IsRecordEmpty())
        return 0;
    ++m_nRecord;
    return 1;
}

bool IsRealColumnType(long adoType)
{
    constexpr long kSingle = 4, kDouble = 5, kDecimal = 14, kNumeric = 131;
    return adoType == kSingle || adoType == kDouble || adoType == kDecimal || adoType == kNumeric;
}

void CFetch::ResolveSourceColumn(FetchFieldPlace& place)
{
    if (place.sourceStamp == m_nSourceStamp)
        return;
    place.columnIndex = -1;
    place.floatColumn = false;
    if (m_pWorkbook) {
        place.columnIndex = SheetColumnIndex(place.column);
        place.sourceStamp = m_nSourceStamp;
        return;
    }
    const trv::AdoRecordsetPtr rows = m_pRecordset ? m_pRecordset->GetRecordset() : nullptr;
    if (!rows)
        return; // nothing open: found when a source is
    place.sourceStamp = m_nSourceStamp;
    try {
        const std::size_t index = rows->FieldIndex(place.column);
        place.columnIndex = static_cast<int>(index);
        place.floatColumn = IsRealColumnType(rows->Field(index).type);
    } catch (const trv::AdoError& error) {
        TRV_TRACE(1, "CFetch::ReadRawValue", "%s: %s %s", m_strName.c_str(), place.column.c_str(),
                  error.Description().c_str());
    }
}

void CFetch::ReadDatabaseValue(FetchFieldPlace& place, std::string& value)
{
    value.clear();
    if (m_pWorkbook) {
        ReadExcelValue(place, value);
        return;
    }
    if (place.column.empty() || !m_pRecordset)
        return;
    const trv::AdoRecordsetPtr rows = m_pRecordset->GetRecordset();
    if (!rows || rows->IsEOF())
        return;
    ResolveSourceColumn(place);
    if (place.columnIndex < 0)
        return;
    try {
        const trv::FieldValue& field = rows->Value(static_cast<std::size_t>(place.columnIndex));
        // A text is copied into the value's own storage.
        if (const auto* text = std::get_if<std::string>(&field))
            value.assign(*text);
        else
            value = VariantToText(field);
    } catch (const trv::AdoError& error) {
        TRV_TRACE(1, "CFetch::ReadRawValue", "%s: %s %s", m_strName.c_str(), place.column.c_str(),
                  error.Description().c_str());
    }
}

// ---- Writing rows ------------------------------------------------------------------------

void CFetch::MapPrimaryKeys(const FetchTextArray& columns, std::vector<int>& places) const
{
    places.assign(static_cast<std::size_t>(columns.GetSize()), -1);
    for (int index = 0; index < columns.GetSize(); ++index) {
        const auto found =
            std::find(m_arrOutColumns.begin(), m_arrOutColumns.end(), columns[index]);
        if (found != m_arrOutColumns.end())
            places[static_cast<std::size_t>(index)] =
                static_cast<int>(found - m_arrOutColumns.begin());
    }
}

bool CFetch::WriteDatabaseRow(int line)
{
    std::vector<std::string> values(m_arrOutValues.size());
    for (std::size_t place = 0; place < values.size(); ++place)
        values[place] = GetCleanOutputValue(static_cast<int>(place));
    return WriteDatabaseValues(line, values);
}

bool CFetch::WriteDatabaseValues(int line, const std::vector<std::string>& values)
{
    if (m_pWorkbook)
        return WriteExcelValues(values);
    trv::CSqlTable* table = SqlTable();
    if (!table) {
        m_strLastError = "TABLENAME " + m_strTableName + ": " + m_strErrorText;
        TRV_TRACE(1, "CFetch::WriteRecord", "%s: the table %s is not open", m_strName.c_str(),
                  m_strTableName.c_str());
        return false;
    }
    // A record written as list lines replaces the old rows of its DELETE columns before its
    // first line (only once per opening without DELETE_ALWAYS): deleting before every line
    // would take away the lines just written. A record whose old rows could not be deleted
    // is not written.
    if (line == 0 && !DeleteData("", line, &values))
        return false;

    MapPrimaryKeys(m_arrKeyColumns, m_arrKeyColumnIndex);
    const auto declared = [&](std::size_t place) {
        trv::SqlColumnType type;
        if (place < m_arrSetTypes.size() && m_arrSetTypes[place]) {
            type.type = m_arrSetTypes[place]->nAdoType;
            type.size = m_arrSetTypes[place]->nSize;
        }
        return type;
    };
    std::vector<trv::SqlOutValue> keys;
    for (std::size_t index = 0; index < m_arrKeyColumnIndex.size(); ++index) {
        const int place = m_arrKeyColumnIndex[index];
        if (place < 0 || static_cast<std::size_t>(place) >= values.size())
            continue;
        keys.push_back({m_arrKeyColumns[static_cast<int>(index)],
                        values[static_cast<std::size_t>(place)],
                        declared(static_cast<std::size_t>(place))});
    }
    std::vector<trv::SqlOutValue> columns;
    for (std::size_t place = 0; place < m_arrOutColumns.size() && place < values.size(); ++place) {
        const std::string& column = m_arrOutColumns[place];
        const bool isKey = std::find(m_arrKeyColumnIndex.begin(), m_arrKeyColumnIndex.end(),
                                     static_cast<int>(place)) != m_arrKeyColumnIndex.end();
        if (isKey || column.empty())
            continue;
        columns.push_back({column, values[place], declared(place)});
    }

    std::string statement;
    std::string error;
    bool inserted = false;
    if (!table->WriteRow(std::move(keys), std::move(columns), m_bSameFieldName != 0, SqlFormat(),
                         statement, inserted, error)) {
        m_strErrorText = error;
        m_strLastError = m_strName + ": " + error;
        TRV_TRACE(1, "CFetch::WriteRecord", "%s: %s %s", m_strName.c_str(), error.c_str(),
                  statement.c_str());
        return false;
    }
    if (inserted && m_bLogNewEntries) {
        if (!m_pNewEntriesLog)
            m_pNewEntriesLog = std::make_unique<trv::CSqlNewEntriesLog>();
        m_pNewEntriesLog->Append(m_strTableName, table->LastInsertedValues());
    }
    return true;
}

bool CFetch::DeleteData(const std::string& filter, int line, const std::vector<std::string>* values)
{
    TRV_TRACE(2, "CFetch::DeleteData", "Delete %s %s", m_strName.c_str(), filter.c_str());
    bool result = true;
    if (m_nKind == FETCH_KIND_DATABASE && m_pWorkbook) {
        // Rows of a worksheet are not deleted, as a spreadsheet driver refuses it too.
        const bool wanted = !filter.empty() || ((!m_bRecordDeleted || m_bDeleteAlways) &&
                                                m_arrDeletingColumns.GetSize() > 0);
        if (wanted) {
            m_strLastError = m_strName + ": rows of a workbook cannot be deleted";
            TRV_TRACE(1, "CFetch::DeleteData", "%s", m_strLastError.c_str());
            result = false;
        }
    } else if (IsDatabaseKind(m_nKind)) {
        trv::CSqlTable* table = SqlTable();
        std::string statement;
        std::string error;
        if (!table) {
            result = false;
        } else if (!filter.empty()) {
            std::string converted = filter;
            CFetchSqlFields fields(*this);
            if (trv::ConvertFilterToSql(converted, m_sqlDialect, SqlFormat(), fields,
                                        m_bIsListReader != 0, error)) {
                statement = "DELETE FROM " + m_strTableName + " WHERE " + converted;
                TRV_TRACE(2, "CFetch::DeleteData", "DELETE WHERE=%s", statement.c_str());
            } else {
                m_strLastError = error;
                result = false;
            }
        } else if ((!m_bRecordDeleted || m_bDeleteAlways) && m_arrDeletingColumns.GetSize() > 0) {
            MapPrimaryKeys(m_arrDeletingColumns, m_arrDeletingValues);
            std::vector<trv::SqlOutValue> columns;
            for (std::size_t index = 0; index < m_arrDeletingValues.size(); ++index) {
                const int place = m_arrDeletingValues[index];
                const std::string& column = m_arrDeletingColumns[static_cast<int>(index)];
                if (place < 0) {
                    TRV_TRACE(1, "CFetch::DeleteData", "%s",
                              TranslateFormat("DeletingFieldNotFound", column).c_str());
                    continue;
                }
                std::string value = values && static_cast<std::size_t>(place) < values->size()
                                        ? (*values)[static_cast<std::size_t>(place)]
                                        : GetCleanOutputValue(place);
                // FETCH_DATE goes into the value, which is then written as a literal.
                if (value.find("FETCH_DATE") != std::string::npos)
                    trv::ReplaceAllInPlace(value, "FETCH_DATE", FetchDateText());
                columns.push_back({column, value, table->ColumnType(column)});
            }
            m_bRecordDeleted = 1;
            std::string condition;
            if (!trv::BuildDeleteCondition(m_sqlDialect, SqlFormat(), columns, condition, error)) {
                m_strLastError = error;
                result = false;
            } else if (condition.empty()) {
                // Without a condition the delete would empty the whole table.
                m_strLastError = m_strName + ": no DELETE column has a value";
                TRV_TRACE(1, "CFetch::DeleteData", "%s", m_strLastError.c_str());
                result = false;
            } else {
                statement = trv::DeleteStatement(m_strTableName, condition, m_strWhere);
            }
        }
        if (!statement.empty()) {
            TRV_TRACE(2, "CFetch::DeleteData", "Delete sentence=%s", statement.c_str());
            CAdoDB* database = CurrentConnection();
            database->Execute(database->m_pConnection, statement, error);
            if (!error.empty()) {
                m_strErrorText = error;
                m_strLastError = error;
                TRV_TRACE(1, "CFetch::DeleteData", "%s: %s", statement.c_str(), error.c_str());
                result = false;
            }
        }
    }
    for (auto& child : m_arrChildren)
        child->DeleteData(child->m_strDeleteSentence, line);
    return result;
}

bool CFetch::ExecuteSQLSentence(const std::string& sql)
{
    if (!IsDatabaseKind(m_nKind))
        return true;
    TRV_TRACE(2, "CFetch::ExecuteSQLSentence", "Running the SQL statement: %s", sql.c_str());
    std::string error;
    if (CAdoDB* database = CurrentConnection())
        database->Execute(database->m_pConnection, sql, error);
    TRV_TRACE(2, "CFetch::ExecuteSQLSentence", "The SQL statement ran: %s", sql.c_str());
    if (error.empty())
        return true;
    m_strErrorText = error;
    TRV_TRACE(1, "CFetch::ExecuteSQLSentence", "The SQL statement failed: %s, error: %s",
              sql.c_str(), error.c_str());
    return false;
}

bool CFetch::DeleteAllData()
{
    if (!IsDatabaseKind(m_nKind))
        return true;
    CAdoDB* database = CurrentConnection();
    if (!database)
        return false;
    const std::string statement = "DELETE FROM " + m_strTableName;
    std::string error;
    database->Execute(database->m_pConnection, statement, error);
    if (error.empty())
        return true;
    m_strErrorText = error;
    TRV_TRACE(1, "CFetch::DeleteAllData", "%s: %s", statement.c_str(), error.c_str());
    return false;
}

// ---- Closing -----------------------------------------------------------------------------

void CFetch::CloseRecordset()
{
    m_pSqlTable.reset();
    m_pRecordset.reset();
    if (!m_arrConnections.empty())
        CurrentConnectionSlot().reset();
}

bool CFetch::CloseDatabaseSource()
{
    bool completed = true;
    // A read still walking its rows lets go of them before the closing statement runs.
    if (!m_pWorkbook)
        m_pRecordset.reset();
    if (m_bInitialised && !m_strPostSql.empty()) {
        ExecuteSQLSentence(m_strPostSql);
        m_strPostSql.clear();
    }
    if (m_pWorkbook) {
        if (m_nMode == FETCH_MODE_WRITE)
            completed = SaveWorkbook();
        m_pWorkbook.reset();
    }
    m_pSqlTable.reset();
    m_pRecordset.reset();
    for (CAdoDBPtr& slot : m_arrConnections)
        slot.reset();
    m_arrKeyColumns.SetSize(0);
    m_arrKeyColumnIndex.clear();
    m_arrDeletingColumns.SetSize(0);
    m_arrDeletingValues.clear();
    if (m_pNewEntriesLog)
        m_pNewEntriesLog->Close();
    return completed;
}
