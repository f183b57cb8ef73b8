#include "zip/ZipStorage.h"

#include "zip/ZipException.h"
#include "zip/ZipPlatform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const unsigned kCreateFlags =
    CZipFile::modeCreate | CZipFile::modeReadWrite | CZipFile::shareDenyWrite;
const unsigned kExistingFlags =
    CZipFile::modeReadWrite | CZipFile::shareDenyWrite | CZipFile::modeNoTruncate;
const unsigned kReadOnlyFlags =
    CZipFile::modeRead | CZipFile::shareDenyWrite | CZipFile::modeNoTruncate;
const char kSplitMarker[4] = {'P', 'K', 7, 8};
const int kMaxVolumes = 999;

std::string ExtensionOf(const std::string& path)
{
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot + 1);
}

std::string WithExtension(const std::string& path, const std::string& extension)
{
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    std::string stem = path;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        stem = path.substr(0, dot);
    }
    return extension.empty() ? stem : stem + "." + extension;
}

} // namespace

void CZipStorage::Open(const std::string& path, int mode, std::uint64_t volumeSize)
{
    m_writeBuffer.Allocate(unsigned(m_writeBufferSize));
    m_bytesInBuffer = 0;
    m_newSplit = false;
    m_file = &m_internalFile;
    m_inMemory = false;
    m_archivePath = path;
    if (mode == create) {
        m_readOnly = false;
        m_splitMode = noSplit;
        m_internalFile.Open(path, kCreateFlags, true);
        m_currentVolume = 0;
        return;
    }
    if (mode == createSplit) {
        if (volumeSize == 0) {
            if (m_diskChangeCallback == nullptr) {
                throw CZipException(CZipException::noDiskSpanningCallback, path);
            }
            if (!ZipPlatform::IsDriveRemovable(path)) {
                throw CZipException(CZipException::nonRemovableDevice, path);
            }
            m_splitMode = removableDisks;
        } else {
            m_splitMode = numberedFiles;
            m_splitValue = volumeSize;
        }
        m_readOnly = false;
        m_newSplit = true;
        m_currentVolume = 0;
        m_bytesWrittenToVolume = 0;
        m_volumeExtension = ExtensionOf(path);
        NextVolume(4);
        Write(kSplitMarker, 4, true);
        return;
    }
    m_readOnly = mode == openReadOnly;
    m_internalFile.Open(path, m_readOnly ? kReadOnlyFlags : kExistingFlags, true);
    m_splitMode = splitUnknown;
    m_currentVolume = -1;
}

void CZipStorage::OpenOnFile(CZipAbstractFile& file)
{
    m_writeBuffer.Allocate(unsigned(m_writeBufferSize));
    m_bytesInBuffer = 0;
    m_newSplit = false;
    m_file = &file;
    m_inMemory = true;
    m_readOnly = false;
    m_currentVolume = 0;
    m_splitMode = noSplit;
    m_archivePath.clear();
    file.SetLength(0);
    file.SeekToBegin();
}

void CZipStorage::SetExistingSplit(int lastVolume)
{
    m_splitMode = ZipPlatform::IsDriveRemovable(m_archivePath) ? removableDisks : numberedFiles;
    if (m_splitMode == removableDisks && m_diskChangeCallback == nullptr) {
        throw CZipException(CZipException::noDiskSpanningCallback, m_archivePath);
    }
    m_splitValue = std::uint64_t(lastVolume);
    m_volumeExtension = ExtensionOf(m_archivePath);
    m_currentVolume = lastVolume;
    m_writeBuffer.Release();
}

int CZipStorage::IsSplit() const
{
    if (m_splitMode == noSplit || m_splitMode == splitUnknown) {
        return 0;
    }
    return m_newSplit ? 1 : -1;
}

void CZipStorage::Read(void* buffer, std::size_t count, bool atOnce)
{
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t read = m_file->Read(bytes + done, count - done);
        done += read;
        if (done == count) {
            break;
        }
        const bool canMove = IsSplit() == -1 && (read == 0 || !atOnce) &&
                             std::uint64_t(m_currentVolume) < m_splitValue;
        if (!canMove || (atOnce && done > 0)) {
            throw CZipException(CZipException::badZipFile, m_archivePath);
        }
        ChangeVolume(m_currentVolume + 1);
        m_file->SeekToBegin();
    }
}

void CZipStorage::Write(const void* buffer, std::size_t count, bool atOnce)
{
    const auto* bytes = static_cast<const char*>(buffer);
    if (IsSplit() == 0) {
        WriteToFile(bytes, count);
        return;
    }
    while (count > 0) {
        const std::uint64_t need = atOnce ? count : 1;
        std::uint64_t room = GetFreeInVolume();
        while (room < need) {
            if (m_splitMode == numberedFiles && m_bytesWrittenToVolume == 0 &&
                m_bytesInBuffer == 0) {
                m_roomInVolume = need;
                room = need;
                break;
            }
            NextVolume(need);
            room = GetFreeInVolume();
        }
        const std::size_t piece =
            atOnce ? count : std::size_t(std::min<std::uint64_t>(room, count));
        WriteToFile(bytes, piece);
        bytes += piece;
        count -= piece;
    }
}

void CZipStorage::WriteToFile(const char* bytes, std::size_t count)
{
    const std::size_t capacity = m_writeBuffer.GetSize();
    if (capacity == 0) {
        m_file->Write(bytes, count);
        return;
    }
    while (count > 0) {
        // A large write with an empty buffer goes straight to the file.
        if (m_bytesInBuffer == 0 && count >= capacity && IsSplit() == 0) {
            m_file->Write(bytes, count);
            return;
        }
        const std::size_t room = capacity - m_bytesInBuffer;
        const std::size_t piece = count < room ? count : room;
        std::memcpy(m_writeBuffer.GetBuffer() + m_bytesInBuffer, bytes, piece);
        m_bytesInBuffer += std::uint32_t(piece);
        bytes += piece;
        count -= piece;
        if (m_bytesInBuffer == capacity) {
            FlushBuffer();
        }
    }
}

void CZipStorage::FlushBuffer()
{
    if (m_bytesInBuffer == 0) {
        return;
    }
    m_file->Write(m_writeBuffer.GetBuffer(), m_bytesInBuffer);
    if (IsSplit() != 0) {
        m_bytesWrittenToVolume += m_bytesInBuffer;
    }
    m_bytesInBuffer = 0;
    if (m_splitMode == removableDisks && m_newSplit) {
        m_roomInVolume =
            ZipPlatform::GetDeviceFreeSpace(m_file->GetFilePath()) + m_bytesWrittenToVolume;
    }
}

std::uint64_t CZipStorage::GetPosition() const
{
    return m_file->GetPosition() + m_bytesInBuffer;
}

std::uint64_t CZipStorage::Seek(std::int64_t offset, int origin)
{
    FlushBuffer();
    return m_file->Seek(offset, origin);
}

std::uint64_t CZipStorage::GetLength()
{
    FlushBuffer();
    return m_file->GetLength();
}

void CZipStorage::SetLength(std::uint64_t length)
{
    FlushBuffer();
    m_file->SetLength(length);
}

std::uint64_t CZipStorage::GetFreeInVolume() const
{
    const std::uint64_t used =
        m_bytesInBuffer + (m_splitMode == numberedFiles ? m_bytesWrittenToVolume : 0);
    return m_roomInVolume > used ? m_roomInVolume - used : 0;
}

std::string CZipStorage::GetSplitVolumeName(bool last) const
{
    if (last) {
        return WithExtension(m_archivePath, m_volumeExtension);
    }
    char number[16];
    std::snprintf(number, sizeof(number), "%.3d", m_currentVolume);
    return WithExtension(m_archivePath, number);
}

void CZipStorage::NextVolume(std::uint64_t needed, const std::string& path)
{
    FlushBuffer();
    if (m_bytesWrittenToVolume > 0) {
        if (m_currentVolume + 1 >= kMaxVolumes) {
            throw CZipException(CZipException::tooManyVolumes, m_archivePath);
        }
        ++m_currentVolume;
        m_bytesWrittenToVolume = 0;
    }
    if (!m_internalFile.IsClosed()) {
        m_internalFile.Close();
    }
    if (m_splitMode == numberedFiles) {
        const std::string volume = GetSplitVolumeName(false);
        m_internalFile.Open(volume, kCreateFlags, true);
        m_roomInVolume = m_splitValue;
        return;
    }
    const std::string volume = path.empty() ? m_archivePath : path;
    m_diskChangeCallback->m_path = volume;
    m_diskChangeCallback->m_volumeNumber = m_currentVolume + 1;
    if (!m_diskChangeCallback->Callback(std::int64_t(needed))) {
        throw CZipException(CZipException::diskChangeAborted, volume);
    }
    for (;;) {
        std::int64_t code = 0;
        char label[32];
        std::snprintf(label, sizeof(label), "pkback# %.3d", m_currentVolume + 1);
        if (ZipPlatform::GetPathKind(volume) != 0) {
            code = -2;
        } else if (!ZipPlatform::SetVolumeLabel(volume, label)) {
            code = -3;
        } else if (m_internalFile.Open(volume, kCreateFlags, false)) {
            m_roomInVolume = ZipPlatform::GetDeviceFreeSpace(volume);
            return;
        } else {
            code = -4;
        }
        if (!m_diskChangeCallback->Callback(code)) {
            throw CZipException(CZipException::diskChangeAborted, volume);
        }
    }
}

void CZipStorage::ChangeVolume(int number)
{
    if (number == m_currentVolume) {
        return;
    }
    m_internalFile.Close();
    m_currentVolume = number;
    std::string volume;
    if (m_splitMode == removableDisks) {
        volume = m_archivePath;
        m_diskChangeCallback->m_path = volume;
        m_diskChangeCallback->m_volumeNumber = number + 1;
        if (!m_diskChangeCallback->Callback(-1)) {
            throw CZipException(CZipException::diskChangeAborted, volume);
        }
    } else {
        volume = GetSplitVolumeName(std::uint64_t(number) == m_splitValue);
    }
    m_internalFile.Open(volume, kReadOnlyFlags, true);
}

void CZipStorage::RenameLastVolume()
{
    const std::string current = m_internalFile.GetFilePath();
    const std::string target = GetSplitVolumeName(true);
    m_internalFile.Close();
    if (current == target) {
        return;
    }
    if (ZipPlatform::GetPathKind(target) != 0) {
        ZipPlatform::RemoveFile(target, true);
    }
    ZipPlatform::RenameFile(current, target, true);
}

std::string CZipStorage::Close(bool afterException)
{
    bool renamed = false;
    if (!afterException) {
        FlushBuffer();
        if (m_newSplit && m_splitMode == numberedFiles) {
            RenameLastVolume();
            renamed = true;
        }
    }
    if (!renamed && !m_inMemory) {
        if (afterException) {
            try {
                m_internalFile.Close();
            } catch (const CZipException&) {
            }
        } else {
            if (!m_readOnly && IsSplit() != -1) {
                m_internalFile.Flush();
            }
            m_internalFile.Close();
        }
    }
    m_writeBuffer.Release();
    m_bytesInBuffer = 0;
    m_currentVolume = -1;
    m_splitMode = noSplit;
    m_newSplit = false;
    m_file = nullptr;
    return m_archivePath;
}

void CZipStorage::FinalizeSpan()
{
    FlushBuffer();
    if (m_splitMode == numberedFiles) {
        RenameLastVolume();
    } else {
        m_internalFile.Close();
    }
    m_newSplit = false;
    if (m_currentVolume == 0) {
        m_splitMode = noSplit;
        m_internalFile.Open(m_archivePath, kExistingFlags, true);
    } else {
        m_splitValue = std::uint64_t(m_currentVolume);
        m_internalFile.Open(m_splitMode == numberedFiles ? GetSplitVolumeName(true) : m_archivePath,
                            kReadOnlyFlags, true);
    }
    m_file = &m_internalFile;
}
