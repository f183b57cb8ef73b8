// Linked definitions whose records live in a database table: one SELECT per search, on the
// child's own connection, narrowed by the link condition; the rows found are then walked
// through the child's recordset, which always goes back to its first row after a walk.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"

namespace {

// The recordset rows of a database child; null when it has none.
trv::AdoRecordsetPtr LinkedRows(const CFetch& child)
{
    return child.m_pRecordset ? child.m_pRecordset->GetRecordset() : nullptr;
}

// Puts the rows back on their first row; false (traced) when the driver refuses.
bool RewindRows(const trv::AdoRecordsetPtr& rows, const std::string& name)
{
    try {
        rows->MoveFirst();
        return true;
    } catch (const trv::AdoError& error) {
        TRV_TRACE(1, "CFetch::SearchLinkedRegisters", "%s: %s", name.c_str(),
                  error.Description().c_str());
        return false;
    }
}

} // namespace

int CFetch::SearchLinkedDatabase()
{
    std::string condition;
    if (!BuildLinkWhere(m_arrLinkedFields, m_arrLinkValues, condition))
        return 0;
    // Without a condition the SELECT would take every row of the table as linked.
    if (condition.empty()) {
        TRV_TRACE(1, "CFetch::SearchLinkedRegisters",
                  "SearchLinkedRegisters, %s: the table has none of the linked columns",
                  m_strName.c_str());
        return 0;
    }
    CAdoDB* database = CurrentConnection();
    if (!database) {
        TRV_TRACE(1, "CFetch::SearchLinkedRegisters", "SearchLinkedRegisters, %s: no connection",
                  m_strName.c_str());
        return 0;
    }
    // m_strWhere was rewritten into SQL when the child opened; the link values are literals
    // built by the dialect, so nothing reaches the statement raw.
    const std::string where =
        m_strWhere.empty() ? condition : "(" + m_strWhere + ") AND (" + condition + ")";
    const std::string statement = m_sqlDialect.ReadStatement(m_strTableName, where);
    ++m_nSourceStamp; // the fields find their columns in the new rows
    m_pRecordset = CreateAdoRecordset(database->m_pConnection, statement, adOpenDynamic,
                                      adLockOptimistic, adCmdText, m_strErrorText);
    TRV_TRACE(2, "CFetch::SearchLinkedRegisters", "Link=%s", statement.c_str());
    if (!m_strErrorText.empty()) {
        TRV_TRACE(1, "CFetch::SearchLinkedRegisters", "SearchLinkedRegisters, %s",
                  m_strErrorText.c_str());
        return 0;
    }
    const trv::AdoRecordsetPtr rows = LinkedRows(*this);
    if (!rows || rows->IsEOF())
        return 0;
    // The row reader moves to the first row itself only when it knows there are rows.
    m_nRecordCount = static_cast<int>(rows->RecordCount());
    if (!RewindRows(rows, m_strName))
        return 0;
    m_nRecord = 0;
    return 1;
}

std::string CFetch::ReadLinkedDatabaseValues(CFetch& child, const std::string& field, int listMode,
                                             const FetchTextMap* variables)
{
    int unused = 0;
    if (!listMode)
        return child.GetField(field, unused, 0, 0, variables); // the first matching row
    std::string value;
    if (child.IsEOF())
        return value;
    do {
        if (child.MoveNext()) {
            value += child.GetField(field, unused, 0, 0, variables);
            value += m_strListSeparator;
        }
    } while (!child.IsEOF());
    // The next read through the child starts again at its first linked row.
    if (const trv::AdoRecordsetPtr rows = LinkedRows(child))
        RewindRows(rows, child.m_strName);
    child.m_nRecord = 0;
    child.ClearFieldCache();
    return value;
}

int CFetch::MoveNextLinkedDatabase(CFetch& child)
{
    const trv::AdoRecordsetPtr rows = LinkedRows(child);
    if (!rows)
        return 0;
    try {
        if (child.m_nRecord == 0) {
            rows->MoveFirst();
        } else {
            if (!rows->IsEOF())
                rows->MoveNext();
        }
    } catch (const trv::AdoError& error) {
        TRV_TRACE(1, "CFetch::MoveNextLinked", "%s: %s", child.m_strName.c_str(),
                  error.Description().c_str());
        return 0;
    }
    if (rows->IsEOF())
        return 0;
    ++child.m_nRecord;
    child.ClearFieldCache();
    return 1;
}

int CFetch::IsLinkedDatabaseEOF(CFetch& child)
{
    const trv::AdoRecordsetPtr rows = LinkedRows(child);
    if (!rows)
        return 1;
    if (!rows->IsEOF())
        return 0;
    // Walked to the end: the child is left on its first linked row for the reads that follow.
    RewindRows(rows, child.m_strName);
    child.m_nRecord = 0;
    child.ClearFieldCache();
    return 1;
}
