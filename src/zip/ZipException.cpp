#include "zip/ZipException.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <zlib.h>

namespace {

const char* ErrnoDescription(int code)
{
    switch (code) {
    case 1:
        return "Not super-user";
    case 2:
        return "No such file or directory";
    case 4:
        return "Interrupted system call";
    case 5:
        return "I/O error";
    case 6:
        return "No such device or address";
    case 9:
        return "Bad file number";
    case 12:
        return "Not enough space";
    case 13:
        return "Permission denied";
    case 14:
        return "Bad address";
    case 17:
        return "File exists";
    case 18:
        return "Cross-device link";
    case 19:
        return "No such device";
    case 20:
        return "Not a directory";
    case 21:
        return "Is a directory";
    case 22:
        return "Invalid argument";
    case 23:
        return "File table overflow";
    case 24:
        return "Too many open files";
    case 27:
        return "File too large";
    case 28:
        return "No space left on device";
    case 29:
        return "Illegal seek";
    case 30:
        return "Read-only file system";
    default:
        return nullptr;
    }
}

const char* ArchiveDescription(int cause)
{
    switch (cause) {
    case CZipException::badZipFile:
        return "Damaged or not a zip file";
    case CZipException::badCrc:
        return "Crc mismatched";
    case CZipException::noDiskSpanningCallback:
        return "No disk-spanning callback functor set";
    case CZipException::diskChangeAborted:
        return "Disk change aborted";
    case CZipException::actionAborted:
        return "Action aborted";
    case CZipException::actionAbortedSafely:
        return "Action aborted safely";
    case CZipException::nonRemovableDevice:
        return "The device selected for the disk spanning archive is non removable";
    case CZipException::tooManyVolumes:
        return "Limit of the maximum volumes reached (999)";
    case CZipException::fileNameTooLong:
        return "The filename of the file being added to the archive is too long";
    case CZipException::badPassword:
        return "Incorrect password set for the file being decrypted";
    case CZipException::directoryWithSize:
        return "During testing found the directory with the size greater than 0";
    case CZipException::internalError:
        return "Internal error";
    case CZipException::platformNotSupported:
        return "Cannot create the file for the specified platform";
    case CZipException::centralDirNotFound:
        return "The central directory was not found in the archive (or you were trying to open "
               "not the last disk of a multi-disk archive)";
    case CZipException::zip64NotSupported:
        return "ZIP64 archives are not supported";
    case CZipException::sameExtractTarget:
        return "Two entries of the archive would be extracted to the same file";
    case CZipException::zlibStreamEnd:
        return "Zlib Library error (end of stream)";
    case CZipException::zlibStreamError:
        return "Zlib library error (stream error)";
    case CZipException::zlibDataError:
        return "Zlib library error (data error)";
    case CZipException::notEnoughMemory:
        return "Not enough memory";
    case CZipException::zlibBufferError:
        return "Zlib library error (buffer error)";
    case CZipException::zlibVersionError:
        return "Zlib library error (version error)";
    default:
        return nullptr;
    }
}

std::string SystemMessage(int error)
{
    if (error == 0) {
        return "Unknown error";
    }
    if (const char* known = ErrnoDescription(error)) {
        return known;
    }
    return std::strerror(error);
}

} // namespace

CZipException::CZipException(int cause, std::string fileName)
    : m_cause(cause), m_fileName(std::move(fileName)), m_systemError(errno)
{
    if (cause > 0 && cause < 100) {
        m_systemError = cause;
    }
    m_what = GetErrorDescription();
    if (!m_fileName.empty()) {
        m_what += ": " + m_fileName;
    }
}

int CZipException::ZlibErrorToCause(int zlibError)
{
    switch (zlibError) {
    case Z_STREAM_END:
        return zlibStreamEnd;
    case Z_NEED_DICT:
        return zlibNeedDictionary;
    case Z_ERRNO:
        return zlibErrno;
    case Z_STREAM_ERROR:
        return zlibStreamError;
    case Z_DATA_ERROR:
        return zlibDataError;
    case Z_MEM_ERROR:
        return notEnoughMemory;
    case Z_BUF_ERROR:
        return zlibBufferError;
    case Z_VERSION_ERROR:
        return zlibVersionError;
    default:
        return generic;
    }
}

std::string CZipException::GetErrorDescription() const
{
    if (const char* known = ErrnoDescription(m_cause)) {
        return known;
    }
    if (const char* known = ArchiveDescription(m_cause)) {
        return known;
    }
    switch (m_cause) {
    case removeFailed:
        return "Error while removing a file (" + SystemMessage(m_systemError) + ")";
    case renameFailed:
        return "Error while renaming a file (" + SystemMessage(m_systemError) + ")";
    case zlibErrno:
        return SystemMessage(m_systemError == zlibErrno ? int(generic) : m_systemError);
    default:
        return SystemMessage(m_systemError);
    }
}

bool CZipException::GetErrorMessage(char* buffer, std::size_t size) const
{
    if (buffer == nullptr || size == 0) {
        return false;
    }
    const std::string description = GetErrorDescription();
    if (description.empty()) {
        return false;
    }
    const std::size_t count = std::min(description.size(), size - 1);
    std::memcpy(buffer, description.data(), count);
    buffer[count] = '\0';
    return true;
}

const char* CZipException::what() const noexcept
{
    return m_what.c_str();
}
