// Web addresses as sources: the response of URL_GET or URL_POST is saved into a working file
// that the kind's reader then reads.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"

int CFetch::DownloadSource()
{
    // The HTTP exchange is not wired into the engine in this build: a web source cannot be
    // opened, and says so.
    m_strLastError = "Error_Abrir_Archivo " + m_strFile;
    TRV_TRACE(1, "CFetch::ReadFileName", "Error_Abrir_Archivo %s", m_strFile.c_str());
    return 0;
}
