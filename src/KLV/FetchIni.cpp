// INI sections as sources and targets: each key=value entry of one section is a record.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "platform/Profile.h"
#include "platform/UserPrompt.h"

#include <vector>

namespace {

void AppendEntries(CFetchTextList& list, const std::vector<std::string>& entries, int& length)
{
    for (const std::string& entry : entries) {
        list.Add(entry);
        length += static_cast<int>(entry.size()) + 1;
    }
}

bool ReadSectionEntries(const std::string& section, const std::string& file,
                        std::vector<std::string>& entries)
{
    entries.clear();
    return !file.empty() && trv::GetProfileSection(section, file, entries) && !entries.empty();
}

} // namespace

int CFetch::OpenIni(int mode)
{
    std::string path;
    if (!ReadFileName(path))
        return 0;
    const std::string section = GetSetting("TABLENAME");
    if (section.empty()) {
        m_strLastError =
            TranslateFormat("FormatNotFound", "TABLENAME", (m_strName + "_FORMAT").c_str(),
                            m_strDefinitionFile.c_str());
        trv::GetUserPrompt().ShowMessage("FormatNotFound", m_strLastError, trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::OpenIni", "ReadTableName, %s", m_strLastError.c_str());
        return 0;
    }
    if (!ReadFieldsSeparator())
        return 0;
    ReadListSeparator();
    ReadListsInSameLine();

    m_arrIniEntries.RemoveAll();
    m_nIniLength = 0;
    m_nIniEntry = -1;
    m_strCurrentIniEntry.clear();
    std::vector<std::string> entries;
    const bool ownEntries = ReadSectionEntries(section, m_strFile, entries);
    AppendEntries(m_arrIniEntries, entries, m_nIniLength);
    // INI adds the INCLUDE file's section after its own; INI_OVERWRITE only in place of an
    // empty one.
    const bool addInclude = m_strType == "INI" || !ownEntries;
    if (addInclude && m_strIncludeFile != m_strFile &&
        ReadSectionEntries(section, m_strIncludeFile, entries))
        AppendEntries(m_arrIniEntries, entries, m_nIniLength);
    m_nRecord = 0;

    int result = 1;
    if (mode == FETCH_MODE_WRITE) {
        result = trv::DeleteProfileSection(section, m_strFile) ? 1 : 0;
        if (!result)
            TRV_TRACE(1, "CFetch::OpenIni", "No se puede escribir %s", m_strFile.c_str());
    }
    if (!PrepareWhere())
        return 0;
    return result;
}
