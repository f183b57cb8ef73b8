#include "zip/ZipFile.h"

#include "zip/ZipException.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CZipFile::~CZipFile()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

bool CZipFile::Open(const std::string& path, unsigned flags, bool throwOnError)
{
    Close();
    int openFlags = O_CLOEXEC;
    if (flags & modeReadWrite) {
        openFlags |= O_RDWR;
    } else if (flags & modeWrite) {
        openFlags |= O_WRONLY;
    } else {
        openFlags |= O_RDONLY;
    }
    if (flags & modeCreate) {
        openFlags |= O_CREAT;
        if (!(flags & modeNoTruncate)) {
            openFlags |= O_TRUNC;
        }
    }
    const int descriptor = ::open(path.c_str(), openFlags, 0666);
    if (descriptor < 0) {
        if (throwOnError) {
            throw CZipException(errno, path);
        }
        return false;
    }
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        if (throwOnError) {
            throw CZipException(EISDIR, path);
        }
        return false;
    }
    m_descriptor = descriptor;
    m_position = 0;
    m_path = path;
    return true;
}

void CZipFile::Close()
{
    if (m_descriptor < 0) {
        return;
    }
    const int result = ::close(m_descriptor);
    m_descriptor = -1;
    if (result != 0 && errno != EINTR) {
        throw CZipException(errno, m_path);
    }
}

void CZipFile::Flush()
{
    // Data go to the kernel on every write; nothing is held in user space.
}

std::uint64_t CZipFile::Seek(std::int64_t offset, int origin)
{
    std::int64_t base = 0;
    if (origin == current) {
        base = std::int64_t(m_position);
    } else if (origin == end) {
        base = std::int64_t(GetLength());
    }
    if (base + offset < 0) {
        throw CZipException(EINVAL, m_path);
    }
    m_position = std::uint64_t(base + offset);
    return m_position;
}

std::uint64_t CZipFile::GetLength() const
{
    struct stat status
    {
    };
    if (::fstat(m_descriptor, &status) != 0) {
        ThrowError();
    }
    return std::uint64_t(status.st_size);
}

void CZipFile::SetLength(std::uint64_t length)
{
    if (::ftruncate(m_descriptor, off_t(length)) != 0) {
        ThrowError();
    }
}

std::size_t CZipFile::Read(void* buffer, std::size_t count)
{
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t result =
            ::pread(m_descriptor, bytes + done, count - done, off_t(m_position + done));
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowError();
        }
        if (result == 0) {
            break;
        }
        done += std::size_t(result);
    }
    m_position += done;
    return done;
}

void CZipFile::Write(const void* buffer, std::size_t count)
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t result =
            ::pwrite(m_descriptor, bytes + done, count - done, off_t(m_position + done));
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowError();
        }
        done += std::size_t(result);
    }
    m_position += done;
}

void CZipFile::ThrowError() const
{
    throw CZipException(errno, m_path);
}
