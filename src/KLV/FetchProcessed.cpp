// Processed input files: after a file has been read it is moved to DESTINATION_FOLDER, a
// marked copy may stay beside it, and a temporary copy it was read from is removed. An input
// file is never lost: a move that cannot be made leaves it where it was.

#include "KLV/Fetch.h"
#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "platform/Path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr std::string_view kProcessedMarker = ".TVR.";

// The path with every "." of its file name made ".TVR." (orders.csv -> orders.TVR.csv); the
// folders keep their names.
std::string MarkedPath(const std::string& path)
{
    const std::string name = trv::GetPathFileName(path);
    std::string marked;
    for (const char character : name) {
        if (character == '.')
            marked += kProcessedMarker;
        else
            marked += character;
    }
    return path.substr(0, path.size() - name.size()) + marked;
}

// Moves the file; across file systems by copy and delete. An existing target is not replaced.
bool MoveFile(const std::string& source, const std::string& target)
{
    std::error_code error;
    if (std::filesystem::exists(target, error)) {
        TRV_TRACE(1, "CFetch::MoveProcessedFile", "Ya existe %s: %s se queda donde estaba",
                  target.c_str(), source.c_str());
        return false;
    }
    if (std::rename(source.c_str(), target.c_str()) == 0)
        return true;
    if (errno != EXDEV) {
        TRV_TRACE(1, "CFetch::MoveProcessedFile", "No se puede mover %s a %s: %s", source.c_str(),
                  target.c_str(), std::strerror(errno));
        return false;
    }
    if (CopyFileContents(source, target) != 0) {
        std::remove(target.c_str());
        TRV_TRACE(1, "CFetch::MoveProcessedFile", "No se puede copiar %s a %s", source.c_str(),
                  target.c_str());
        return false;
    }
    if (std::remove(source.c_str()) != 0)
        TRV_TRACE(1, "CFetch::MoveProcessedFile", "No se puede borrar %s", source.c_str());
    return true;
}

} // namespace

void CFetch::MoveProcessedFile()
{
    std::string destination;
    std::string source;
    if (m_nKind == FETCH_KIND_FOLDER) {
        destination = GetSetting("DESTINATION_FOLDER");
        if (!destination.empty() && m_nNextFile >= 0 && m_nNextFile < m_arrFiles.GetSize())
            source = m_arrFiles[m_nNextFile];
    } else {
        destination = m_strDestinationFolder;
        source = m_strFile;
    }
    const std::string name = trv::GetPathFileName(source);

    if (!destination.empty() && !source.empty()) {
        destination = ResolveRelative(destination);
        if (destination.back() != '/')
            destination += '/';
        const bool skip = m_mapFormat.count("MOVE_ONLY_IF_PROCESSED") != 0 && !m_bHasCurrentRecord;
        const bool processedAlready = source.find(kProcessedMarker) != std::string::npos;
        if (!skip && !processedAlready) {
            if (!GetSetting("TEMP_DESTINATION").empty() &&
                CopyFileContents(source, MarkedPath(source)) != 0)
                TRV_TRACE(1, "CFetch::MoveProcessedFile", "No se puede copiar %s a %s",
                          source.c_str(), MarkedPath(source).c_str());
            MoveFile(source, destination + name);
        }
    }

    if (m_bCopyToTemp && !name.empty()) {
        const std::string copy = GetTempFolder(1) + name;
        if (m_nMode == FETCH_MODE_WRITE)
            CopyFileContents(copy, m_strFile);
        std::remove(copy.c_str());
    }
}
