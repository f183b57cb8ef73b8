// Opening a definition's source by its kind, the last step of Init.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"

int CFetch::OpenSource(const std::string&, CAdoDB*, CFetchConditionBuilder*)
{
    switch (m_nKind) {
    case FETCH_KIND_FIXED:
        // One record made of expressions only: nothing to open.
        m_nRecord = 0;
        return 1;
    case FETCH_KIND_CALCULATED:
        return 1;
    default:
        // The other kinds have no reader in this build.
        m_strLastError = "TYPE " + m_strType;
        TRV_TRACE(1, "CFetch::Init", "No se puede abrir el tipo %s (%s)", m_strType.c_str(),
                  m_strName.c_str());
        return 0;
    }
}
