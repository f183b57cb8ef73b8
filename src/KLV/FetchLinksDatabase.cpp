// Linked definitions whose records live in a database table: one SELECT per search, the rows
// walked through the child's recordset.
//
// Database sources are not yet opened into a recordset by CFetch, so a database child finds no
// rows: its reads give the empty value (or the DEFAULT= tail) and its walk ends at once.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"

int CFetch::SearchLinkedDatabase()
{
    TRV_TRACE(2, "CFetch::SearchLinkedRegisters", "SearchLinkedRegisters, %s: no recordset",
              m_strName.c_str());
    return 0;
}

std::string CFetch::ReadLinkedDatabaseValues(CFetch&, const std::string&, int, const FetchTextMap*)
{
    return {};
}

int CFetch::MoveNextLinkedDatabase(CFetch&)
{
    return 0;
}

int CFetch::IsLinkedDatabaseEOF(CFetch&)
{
    return 1;
}
