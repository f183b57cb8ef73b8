#pragma once

#include <cstddef>
#include <exception>
#include <string>

// An error of the zip classes, thrown by value. The cause is a C runtime errno (1-30 for the
// file layer: opening, reading, writing, creating an extraction target), an archive code
// (100-118) or a mapped zlib result (500-507). The file name is the archive's path, or the file
// being extracted, removed or renamed.
class CZipException : public std::exception
{
  public:
    enum Cause
    {
        generic = 100,
        badZipFile = 101,
        badCrc = 102,
        noDiskSpanningCallback = 103,
        diskChangeAborted = 104,
        actionAborted = 105,
        actionAbortedSafely = 106,
        nonRemovableDevice = 107,
        tooManyVolumes = 108,
        fileNameTooLong = 109,
        badPassword = 110,
        directoryWithSize = 111,
        internalError = 112,
        removeFailed = 113,
        renameFailed = 114,
        platformNotSupported = 115,
        centralDirNotFound = 116,
        zip64NotSupported = 117,
        sameExtractTarget = 118,
        zlibStreamEnd = 500,
        zlibNeedDictionary = 501,
        zlibErrno = 502,
        zlibStreamError = 503,
        zlibDataError = 504,
        notEnoughMemory = 505,
        zlibBufferError = 506,
        zlibVersionError = 507
    };

    // The system error (errno) current at construction is kept for the descriptions that
    // quote it (codes 100, 113, 114, 502 and unknown codes).
    explicit CZipException(int cause = generic, std::string fileName = {});

    // Maps a zlib result code to its cause (anything unknown gives `generic`).
    static int ZlibErrorToCause(int zlibError);

    int GetCause() const { return m_cause; }
    const std::string& GetFileName() const { return m_fileName; }
    int GetSystemError() const { return m_systemError; }

    // The description of the cause (see the table in the .cpp).
    std::string GetErrorDescription() const;

    // Copies the description, cut to size - 1 bytes and terminated; false for a missing buffer,
    // a zero size or an empty description.
    bool GetErrorMessage(char* buffer, std::size_t size) const;

    // "description: file name", or the description alone.
    const char* what() const noexcept override;

  private:
    int m_cause;
    std::string m_fileName;
    int m_systemError;
    std::string m_what;
};
