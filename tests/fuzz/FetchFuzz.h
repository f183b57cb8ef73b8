#pragma once

// The data exchange engine under a fuzz target: a definitions file written once into the
// target's folder, and the whole reading loop of a definition over a fuzzed source.

#include "FuzzSupport.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"

#include <initializer_list>

namespace trv::fuzz {

// The formats every definitions file needs, before the target's own definitions.
constexpr std::string_view kFormats = "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\n"
                                      "[DATE]\nDEFAULT=DD/MM/YYYY\n[DEFAULT]\nDECIMAL_SEP=.\n";

// Writes the definitions once; gives their file.
inline const std::string& Definitions(std::string_view definitions)
{
    static const std::string file = [&] {
        CFetch::ResetDefinitionFiles();
        return WriteFile("Definitions.ini", std::string(kFormats) + std::string(definitions));
    }();
    return file;
}

// Init of the definition over the file (reading, links not followed); 0 when it fails.
inline int OpenDefinition(CFetch& fetch, const std::string& name, const std::string& source,
                          const std::string& definitions, const std::string& where = "")
{
    const int opened =
        fetch.Init(name, "", "", FETCH_MODE_READ, source, where, "", 0, nullptr, "", definitions);
    if (!opened)
        Outcome("refused: " + fetch.m_strLastError);
    return opened;
}

// Forgets what Close would run or concatenate: a fuzzed definition may name any command.
inline void DropAfterCloseCommands(CFetch& fetch)
{
    fetch.m_strPostCommand.clear();
    fetch.m_strPostConcatFiles.clear();
}

// Reads every record the loop accepts (at most a few thousand) through each typed getter.
inline void ReadEveryRecord(CFetch& fetch, std::initializer_list<const char*> fields)
{
    int guard = 0;
    int records = 0;
    while (!fetch.IsEOF() && ++guard < 4096) {
        if (!fetch.MoveNext())
            continue;
        ++records;
        for (const char* field : fields) {
            fetch.GetFieldString(field);
            fetch.GetFieldInt(field);
            fetch.GetFieldDouble(field);
            fetch.GetFieldTime(field);
            fetch.GetFieldDate(field, trv::OleDate());
        }
    }
    Outcome(fetch.m_strLastError.empty()
                ? "read " + std::to_string(records) + " records"
                : "read " + std::to_string(records) + " records, then: " + fetch.m_strLastError);
    fetch.Close();
}

} // namespace trv::fuzz
