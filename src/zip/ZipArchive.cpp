#include "zip/ZipArchive.h"

#include "platform/Text.h"
#include "zip/ZipException.h"
#include "zip/ZipFile.h"
#include "zip/ZipPathComponent.h"
#include "zip/ZipPlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::uint64_t kMaxZipSize = 0xFFFFFFFFull;
const int kFileNotTooLarge = 27; // errno EFBIG: "File too large"

std::string WithoutTrailingSeparators(std::string path)
{
    while (!path.empty() && IsZipSeparator(path.back())) {
        path.pop_back();
    }
    return path;
}

// Absolute names, drive names and names with a ".." component would land outside the target
// folder.
bool IsSafeEntryName(const std::string& name)
{
    if (!name.empty() && IsZipSeparator(name.front())) {
        return false;
    }
    if (name.size() >= 2 && name[1] == ':') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (name.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Writes the central directory, reporting to the save callback when there is one.
void WriteCentralDirectory(CZipCentralDir& directory, CZipActionCallback* callback,
                           const std::string& archivePath)
{
    if (callback != nullptr) {
        callback->Init({}, archivePath);
    }
    directory.Write(callback);
    if (callback != nullptr) {
        callback->CallbackEnd();
    }
}

std::string ParentFolder(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

CZipArchive::CZipArchive()
{
    m_centralDir.Init(&m_storage);
}

CZipArchive::~CZipArchive()
{
    try {
        CloseArchive(1);
    } catch (...) {
    }
    FreeZlibBlocks();
}

// ---- zlib memory -------------------------------------------------------------------------

voidpf CZipArchive::ZlibAlloc(voidpf opaque, uInt items, uInt size)
{
    auto* archive = static_cast<CZipArchive*>(opaque);
    void* block = std::malloc(std::size_t(items) * size);
    if (block != nullptr && archive->m_trackLeaks) {
        archive->m_zlibBlocks.push_back(block);
    }
    return block;
}

void CZipArchive::ZlibFree(voidpf opaque, voidpf address)
{
    auto* archive = static_cast<CZipArchive*>(opaque);
    auto& blocks = archive->m_zlibBlocks;
    const auto found = std::find(blocks.begin(), blocks.end(), address);
    if (found != blocks.end()) {
        blocks.erase(found);
    }
    std::free(address);
}

void CZipArchive::FreeZlibBlocks()
{
    for (void* block : m_zlibBlocks) {
        std::free(block);
    }
    m_zlibBlocks.clear();
}

void CZipArchive::EndEntryState()
{
    m_entryState = 0;
    m_info.buffer.Release();
    FreeZlibBlocks();
    m_info.stream = z_stream{};
}

// ---- Opening and closing -----------------------------------------------------------------

void CZipArchive::OpenArchive(const std::string& path, int mode, std::uint64_t volumeSize)
{
    if (!IsClosed()) {
        return;
    }
    m_storage.Open(path, mode, volumeSize);
    try {
        ResetState(mode);
    } catch (...) {
        // An archive whose directory cannot be read is not left half open.
        m_centralDir.Clear();
        m_storage.Close(true);
        throw;
    }
}

void CZipArchive::OpenArchiveOnFile(CZipAbstractFile& file)
{
    if (!IsClosed()) {
        return;
    }
    m_storage.OpenOnFile(file);
    ResetState(zipCreate);
}

void CZipArchive::ResetState(int mode)
{
    m_password.Release();
    m_entryState = 0;
    m_centralDir.Clear();
    m_extractedFiles.clear();
    m_systemCompatibility = 0;
    m_rootPath.clear();
    if (mode != zipOpen && mode != zipOpenReadOnly) {
        return;
    }
    m_centralDir.Read();
    if (m_centralDir.GetCount() > 0) {
        const int system = m_centralDir.GetHeader(0)->GetSystemCompatibility();
        if (IsSupportedZipSystem(system)) {
            m_systemCompatibility = system;
        }
    }
}

void CZipArchive::CloseArchive(int afterException)
{
    if (IsClosed()) {
        if (afterException == 0 || m_storage.IsClosedFile()) {
            return;
        }
    }
    if (m_entryState == -1) {
        CloseEntry({}, afterException != 0);
    } else if (m_entryState == 1) {
        CloseNewEntry(afterException != 0);
    }
    if (afterException != 1 && !IsClosed()) {
        WriteCentralDirectory(m_centralDir, GetCallback(callbackSave), GetArchivePath());
    }
    m_centralDir.Clear();
    m_storage.Close(afterException == 1);
    EndEntryState();
    m_readBuffer.Release();
}

void CZipArchive::FlushArchive()
{
    if (IsClosed() || m_storage.IsSplit() == -1) {
        return;
    }
    WriteCentralDirectory(m_centralDir, GetCallback(callbackSave), GetArchivePath());
    if (m_storage.IsSplit() == 0) {
        m_storage.FlushBuffer();
        m_storage.GetFile()->Flush();
    } else {
        m_storage.FinalizeSpan();
    }
}

void CZipArchive::SetRootPath(const std::string& path)
{
    if (IsClosed() || m_entryState != 0) {
        return;
    }
    m_rootPath = WithoutTrailingSeparators(path);
}

bool CZipArchive::SetSystemCompatibility(int system)
{
    if (IsClosed() || m_entryState == 1 || !IsSupportedZipSystem(system)) {
        return false;
    }
    m_systemCompatibility = system;
    return true;
}

// ---- Entries in the archive --------------------------------------------------------------

bool CZipArchive::GetEntryInfo(CZipFileHeader& header, int index) const
{
    if (IsClosed() || index < 0 || index >= m_centralDir.GetCount()) {
        return false;
    }
    header = *m_centralDir.GetHeader(index);
    return true;
}

int CZipArchive::FindEntry(const std::string& name)
{
    if (IsClosed()) {
        return -1;
    }
    std::string wanted = name;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    return m_centralDir.FindEntry(wanted, m_caseSensitive, false);
}

std::string CZipArchive::TrimRootPath(const std::string& path) const
{
    const CZipPathComponent component(path);
    if (m_rootPath.empty()) {
        return component.GetFileName();
    }
    const std::size_t rootLength = m_rootPath.size();
    if (path.size() < rootLength) {
        return component.GetFileName();
    }
    const std::string head = path.substr(0, rootLength);
    const bool matches =
        m_caseSensitive ? head == m_rootPath : trv::CompareNoCase(head, m_rootPath) == 0;
    if (!matches) {
        return component.GetFileName();
    }
    if (path.size() == rootLength) {
        return {};
    }
    if (!IsZipSeparator(path[rootLength])) {
        return component.GetFileName();
    }
    std::size_t start = rootLength;
    while (start < path.size() && IsZipSeparator(path[start])) {
        ++start;
    }
    std::string rest = path.substr(start);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return rest;
}

std::string CZipArchive::MakeExtractPath(const std::string& folder, const std::string& name) const
{
    std::string target = WithoutTrailingSeparators(folder);
    const std::string stored = WithoutTrailingSeparators(name);
    if (stored.empty()) {
        return target.empty() ? std::string(".") : target;
    }
    if (!target.empty()) {
        target += "/";
    }
    return target + TrimRootPath(stored);
}

// ---- Adding ------------------------------------------------------------------------------

bool CZipArchive::AddFileFromDisk(const std::string& path)
{
    return AddFileFromDisk(CZipAddFileInfo(path));
}

bool CZipArchive::AddFileFromDisk(const CZipAddFileInfo& info)
{
    if (IsClosed() || m_info.bufferSize == 0 || m_entryState != 0) {
        return false;
    }
    const std::string path = WithoutTrailingSeparators(info.path);
    if (path.empty() && info.sourceFile == nullptr) {
        return false;
    }
    std::string name = info.nameInArchive;
    if (name.empty()) {
        name = info.fullPath ? CZipPathComponent(path).GetNoDrive() : TrimRootPath(path);
    }
    int replaceIndex = info.replaceIndex;
    if (!ResolveReplaceIndex(name, replaceIndex)) {
        return false;
    }

    std::uint32_t attributes = ZipPlatform::kDefaultFileAttributes;
    std::time_t modified = std::time(nullptr);
    if (info.sourceFile == nullptr) {
        std::uint32_t windows = 0;
        if (!ZipPlatform::GetFileAttr(path, windows)) {
            return false;
        }
        attributes = ZipPlatform::WindowsToUnixAttributes(windows);
        if (!ZipPlatform::GetFileModTime(path, modified)) {
            modified = std::time(nullptr);
        }
    }
    CZipFileHeader header;
    header.SetFileName(name);
    header.m_versionMadeBy = std::uint16_t((m_systemCompatibility << 8) | 20);
    header.SetSystemAttributes(attributes);
    header.SetModificationTime(modified);

    const bool nested = (info.smartFlags & smartNested) == smartNested;
    CZipActionCallback* callback = nested ? nullptr : GetCallback(callbackAdd);
    if (callback != nullptr) {
        callback->Init(name, path);
    }

    if (attributes & ZipPlatform::kAttributeFolder) {
        const CZipAutoBuffer password = m_password;
        if (info.smartFlags & smartFolderUnencrypted) {
            m_password.Release();
        }
        bool added = false;
        try {
            added = OpenNewEntry(header, 0, 0, replaceIndex);
            if (added) {
                CloseNewEntry(false);
            }
        } catch (...) {
            m_password = password;
            throw;
        }
        m_password = password;
        if (callback != nullptr) {
            callback->CallbackEnd();
        }
        return added;
    }

    int level = info.level < -1 || info.level > 9 ? -1 : info.level;
    const bool smallStore = (info.smartFlags & smartStoreSmall) && level != 0;
    const bool emptyUnencrypted =
        (info.smartFlags & smartEmptyUnencrypted) && m_password.GetSize() > 0;
    bool compressCheck = (info.smartFlags & smartCheckEfficiency) && level != 0;
    std::uint64_t size = 0;
    bool sizeKnown = false;
    if (info.sourceFile != nullptr) {
        size = info.sourceFile->GetLength();
        sizeKnown = true;
    } else {
        sizeKnown = ZipPlatform::GetFileSize(path, size);
    }
    if (!sizeKnown) {
        compressCheck = false;
    }
    // No ZIP64: an entry that cannot be described in 32 bits is refused before anything is
    // written.
    if (sizeKnown && size >= kMaxZipSize) {
        throw CZipException(kFileNotTooLarge, path);
    }

    const CZipAutoBuffer password = m_password;
    if (emptyUnencrypted && sizeKnown && size == 0) {
        m_password.Release();
    }
    if (smallStore && sizeKnown && size < 5) {
        level = 0;
    }
    bool result = false;
    try {
        const bool useTemporary =
            (compressCheck && m_storage.IsSplit() != 0) || (replaceIndex >= 0 && level != 0);
        int temporaryResult = -1;
        if (useTemporary) {
            temporaryResult =
                AddThroughTemporary(info, name, level, size, replaceIndex, compressCheck);
        }
        if (temporaryResult >= 0) {
            result = temporaryResult == 1;
        } else {
            result = AddDirect(info, header, level, size, replaceIndex, nested);
            if (result && compressCheck && replaceIndex < 0 && RemoveLastEntry(false)) {
                CZipAddFileInfo again = info;
                again.path = path;
                again.nameInArchive = name;
                again.level = 0;
                again.smartFlags = smartNested;
                again.replaceIndex = -1;
                result = AddFileFromDisk(again);
            }
        }
    } catch (...) {
        m_password = password;
        throw;
    }
    m_password = password;
    return result;
}

bool CZipArchive::AddDirect(const CZipAddFileInfo& info, CZipFileHeader& header, int level,
                            std::uint64_t size, int replaceIndex, bool nested)
{
    CZipFile diskFile;
    CZipAbstractFile* source = info.sourceFile;
    if (source == nullptr) {
        if (!diskFile.Open(WithoutTrailingSeparators(info.path),
                           CZipFile::modeRead | CZipFile::shareDenyNone, false)) {
            return false;
        }
        source = &diskFile;
    } else {
        source->SeekToBegin();
    }
    if (replaceIndex >= 0) {
        level = 0;
    }
    if (!OpenNewEntry(header, level, std::uint32_t(size), replaceIndex)) {
        return false;
    }
    CZipActionCallback* callback = GetCallback(nested ? callbackAddStore : callbackAdd);
    if (nested && callback != nullptr) {
        callback->Init(header.GetFileName(), info.path);
    }
    if (callback != nullptr) {
        callback->SetTotal(size);
    }
    const unsigned chunk = info.bufferSize == 0 ? 65536u : info.bufferSize;
    m_readBuffer.Allocate(chunk);
    for (;;) {
        const std::size_t read = source->Read(m_readBuffer.GetBuffer(), chunk);
        if (read > 0) {
            WriteNewEntryData(m_readBuffer.GetBuffer(), read);
        }
        if (callback != nullptr && !callback->Callback(read)) {
            char probe = 0;
            const bool unfinished = read == chunk && source->Read(&probe, 1) == 1;
            int cause = CZipException::actionAbortedSafely;
            if (unfinished) {
                if (m_storage.IsSplit() == 0 && replaceIndex < 0) {
                    AbandonNewEntry();
                } else {
                    CloseNewEntry(true);
                    cause = CZipException::actionAborted;
                }
            } else {
                CloseNewEntry(false);
            }
            callback->CallbackEnd();
            throw CZipException(cause, GetArchivePath());
        }
        if (read < chunk) {
            break;
        }
    }
    CloseNewEntry(false);
    if (callback != nullptr) {
        callback->CallbackEnd();
    }
    return true;
}

bool CZipArchive::OpenNewEntry(CZipFileHeader& header, int level, std::uint32_t sourceSize,
                               int replaceIndex)
{
    if (IsClosed() || m_entryState != 0 || m_storage.IsSplit() == -1) {
        return false;
    }
    const bool replacing = replaceIndex >= 0 && replaceIndex < m_centralDir.GetCount();
    if (!replacing && m_centralDir.GetCount() >= 0xFFFF) {
        return false;
    }
    m_info.buffer.Allocate(unsigned(m_info.bufferSize));
    header.m_versionMadeBy = std::uint16_t((m_systemCompatibility << 8) | 20);

    std::string name = header.GetFileName();
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty()) {
        char generated[32];
        std::snprintf(generated, sizeof(generated), "file%i",
                      replacing ? replaceIndex : m_centralDir.GetCount());
        name = generated;
    }
    header.SetFileName(name);
    if (header.IsDirectory() && !IsZipSeparator(name.back())) {
        name += "/";
        header.SetFileName(name);
    }
    if (replacing) {
        level = 0;
    }
    if (level < -1 || level > 9) {
        level = -1;
    }
    if (header.IsDirectory()) {
        level = 0;
    }
    const bool encrypted = m_password.GetSize() > 0;
    header.ConvertNameToArchive();
    if (!header.PrepareData(level, m_storage.IsSplit() == 1, encrypted)) {
        throw CZipException(CZipException::fileNameTooLong, GetArchivePath());
    }

    CZipFileHeader* opened = m_centralDir.AddNewEntry(header, replacing ? replaceIndex : -1);
    m_reservedEnd = 0;
    if (replacing) {
        const std::uint64_t needed =
            std::uint64_t(opened->GetSize(true)) +
            (encrypted ? CZipFileHeader::kEncryptionHeaderSize : 0) + sourceSize +
            (opened->IsDataDescriptor() ? CZipFileHeader::kDescriptorSize : 0);
        MakeSpaceForReplace(replaceIndex, needed, name);
    }
    opened->WriteLocal(m_storage);
    if (encrypted) {
        CryptInitKeys();
        WriteEncryptionHeader(*opened);
    }

    m_entryInput = 0;
    m_entryOutput = 0;
    m_info.crc = 0;
    m_info.stream = z_stream{};
    if (opened->m_method == 8) {
        m_info.stream.zalloc = &CZipArchive::ZlibAlloc;
        m_info.stream.zfree = &CZipArchive::ZlibFree;
        m_info.stream.opaque = this;
        const int error =
            deflateInit2(&m_info.stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (error != Z_OK) {
            throw CZipException(CZipException::ZlibErrorToCause(error), GetArchivePath());
        }
        m_info.stream.next_out = reinterpret_cast<Bytef*>(m_info.buffer.GetBuffer());
        m_info.stream.avail_out = uInt(m_info.buffer.GetSize());
    }
    m_entryState = 1;
    return true;
}

void CZipArchive::FlushEntryBuffer(std::size_t count)
{
    if (count == 0) {
        return;
    }
    if (m_password.GetSize() > 0) {
        CryptEncode(m_info.buffer.GetBuffer(), count);
    }
    m_entryOutput += count;
    if (m_entryOutput > kMaxZipSize) {
        AbandonNewEntry();
        throw CZipException(kFileNotTooLarge, GetArchivePath());
    }
    if (m_reservedEnd != 0 && m_storage.GetPosition() + count > m_reservedEnd) {
        // The source grew after its size was measured: it no longer fits its place.
        throw CZipException(CZipException::internalError, GetArchivePath());
    }
    m_storage.Write(m_info.buffer.GetBuffer(), count, false);
}

bool CZipArchive::WriteNewEntryData(const void* data, std::size_t count)
{
    if (m_entryState != 1) {
        return false;
    }
    m_entryInput += count;
    if (m_entryInput > kMaxZipSize) {
        AbandonNewEntry();
        throw CZipException(kFileNotTooLarge, GetArchivePath());
    }
    const auto* bytes = static_cast<const Bytef*>(data);
    m_info.crc = std::uint32_t(crc32(m_info.crc, bytes, uInt(count)));
    const CZipFileHeader* opened = m_centralDir.GetOpenedHeader();
    if (opened->m_method != 8) {
        if (m_password.GetSize() == 0 && m_reservedEnd == 0) {
            m_entryOutput += count;
            m_storage.Write(bytes, count, false);
            return true;
        }
        while (count > 0) {
            const std::size_t piece = std::min<std::size_t>(count, m_info.buffer.GetSize());
            std::memcpy(m_info.buffer.GetBuffer(), bytes, piece);
            FlushEntryBuffer(piece);
            bytes += piece;
            count -= piece;
        }
        return true;
    }
    z_stream& stream = m_info.stream;
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = uInt(count);
    while (stream.avail_in > 0) {
        if (stream.avail_out == 0) {
            FlushEntryBuffer(m_info.buffer.GetSize());
            stream.next_out = reinterpret_cast<Bytef*>(m_info.buffer.GetBuffer());
            stream.avail_out = uInt(m_info.buffer.GetSize());
        }
        const int error = deflate(&stream, Z_NO_FLUSH);
        if (error != Z_OK && error != Z_NEED_DICT) {
            throw CZipException(CZipException::ZlibErrorToCause(error), GetArchivePath());
        }
    }
    return true;
}

bool CZipArchive::CloseNewEntry(bool afterException)
{
    if (m_entryState != 1) {
        return false;
    }
    CZipFileHeader* opened = m_centralDir.GetOpenedHeader();
    if (afterException) {
        if (opened != nullptr && opened->m_method == 8) {
            deflateEnd(&m_info.stream);
        }
        m_centralDir.DropOpenedHeader();
        EndEntryState();
        return true;
    }
    if (opened->m_method == 8) {
        z_stream& stream = m_info.stream;
        stream.avail_in = 0;
        for (;;) {
            if (stream.avail_out == 0) {
                FlushEntryBuffer(m_info.buffer.GetSize());
                stream.next_out = reinterpret_cast<Bytef*>(m_info.buffer.GetBuffer());
                stream.avail_out = uInt(m_info.buffer.GetSize());
            }
            const int error = deflate(&stream, Z_FINISH);
            if (error == Z_STREAM_END) {
                break;
            }
            if (error != Z_OK && error != Z_BUF_ERROR) {
                throw CZipException(CZipException::ZlibErrorToCause(error), GetArchivePath());
            }
        }
        FlushEntryBuffer(m_info.buffer.GetSize() - stream.avail_out);
        deflateEnd(&stream);
    }
    opened->m_crc32 = m_info.crc;
    opened->m_compressedSize = std::uint32_t(
        m_entryOutput + (opened->IsEncrypted() ? CZipFileHeader::kEncryptionHeaderSize : 0));
    opened->m_uncompressedSize = std::uint32_t(m_entryInput);
    m_centralDir.CloseNewEntry();
    m_reservedEnd = 0;
    EndEntryState();
    if (m_autoFlush) {
        FlushArchive();
    }
    return true;
}

void CZipArchive::AbandonNewEntry()
{
    const bool appended = m_reservedEnd == 0 && m_storage.IsSplit() == 0;
    CloseNewEntry(true);
    if (appended) {
        m_centralDir.RemoveEntry(-1);
    }
}

// ---- Extracting --------------------------------------------------------------------------

bool CZipArchive::ExtractFileToDisk(int index, const std::string& folder)
{
    CZipFileHeader header;
    if (!GetEntryInfo(header, index)) {
        return false;
    }
    const std::string& name = header.GetFileName();
    if (!IsSafeEntryName(name)) {
        throw CZipException(CZipException::badZipFile, name);
    }
    const std::string target = MakeExtractPath(folder, name);
    CZipActionCallback* callback = GetCallback(callbackExtract);
    if (callback != nullptr) {
        callback->Init(name, target);
    }
    if (header.IsDirectory()) {
        if (!ZipPlatform::ForceDirectory(target)) {
            throw CZipException(errno == 0 ? EACCES : errno, target);
        }
        ZipPlatform::SetFileAttr(target, header.GetSystemAttributes());
        if (callback != nullptr) {
            callback->CallbackEnd();
        }
        return true;
    }
    // Names are extracted bare, so two entries of different folders can meet in one file:
    // the second would silently replace what the first wrote.
    const auto earlier = m_extractedFiles.find(target);
    if (earlier != m_extractedFiles.end() && earlier->second != name) {
        throw CZipException(CZipException::sameExtractTarget, earlier->second + " and " + name);
    }
    if (callback != nullptr) {
        callback->SetTotal(header.m_uncompressedSize);
    }
    if (!OpenEntry(index)) {
        return false;
    }
    CZipFile output;
    bool created = false;
    int result = 0;
    try {
        const std::string parent = ParentFolder(target);
        if (!parent.empty()) {
            ZipPlatform::ForceDirectory(parent);
        }
        // A link in the target's place would carry the data elsewhere: the link itself goes.
        struct stat status
        {
        };
        if (::lstat(target.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
            ::unlink(target.c_str());
        }
        output.Open(target, CZipFile::modeCreate | CZipFile::modeWrite | CZipFile::shareDenyNone,
                    true);
        created = true;
        ZipPlatform::SetFileAttr(target, ZipPlatform::kAttributeArchive);
        const std::size_t chunk = 65536;
        m_readBuffer.Allocate(unsigned(chunk));
        int abortCause = 0;
        for (;;) {
            const std::size_t read = ReadEntry(m_readBuffer.GetBuffer(), chunk);
            if (read > 0) {
                output.Write(m_readBuffer.GetBuffer(), read);
            }
            if (callback != nullptr && !callback->Callback(read)) {
                char probe = 0;
                abortCause = read == chunk && ReadEntry(&probe, 1) == 1
                                 ? CZipException::actionAborted
                                 : CZipException::actionAbortedSafely;
                break;
            }
            if (read < chunk) {
                break;
            }
        }
        output.Close();
        if (abortCause != 0) {
            const int closed = CloseEntry(target, abortCause == CZipException::actionAborted);
            if (closed != 1) {
                abortCause = CZipException::actionAborted;
            }
            callback->CallbackEnd();
            throw CZipException(abortCause, target);
        }
        result = CloseEntry(target);
    } catch (const CZipException& error) {
        try {
            output.Close();
        } catch (...) {
        }
        if (m_entryState == -1) {
            CloseEntry({}, true);
        }
        // A damaged or unfinished file is not left behind as if it were good.
        if (created && error.GetCause() != CZipException::actionAbortedSafely) {
            ::unlink(target.c_str());
        }
        if (error.GetCause() == CZipException::badCrc ||
            error.GetCause() == CZipException::badZipFile) {
            throw CZipException(error.GetCause(), target);
        }
        throw;
    }
    m_extractedFiles.emplace(target, name);
    if (callback != nullptr) {
        callback->CallbackEnd();
    }
    return result == 1;
}

bool CZipArchive::OpenEntry(int index)
{
    if (IsClosed() || index < 0 || index >= m_centralDir.GetCount() || m_storage.IsSplit() == 1 ||
        m_entryState != 0) {
        return false;
    }
    m_centralDir.OpenEntry(index);
    CZipFileHeader& header = *m_centralDir.GetOpenedHeader();
    if (header.m_method != 0 && header.m_method != 8) {
        m_centralDir.CloseEntry(true);
        throw CZipException(CZipException::badZipFile, GetArchivePath());
    }
    if (header.IsEncrypted()) {
        if (m_password.GetSize() == 0 || !CheckEncryptionHeader(header)) {
            m_centralDir.CloseEntry(true);
            throw CZipException(CZipException::badPassword, GetArchivePath());
        }
    }
    m_info.buffer.Allocate(unsigned(m_info.bufferSize));
    m_info.stream = z_stream{};
    if (header.m_method == 8) {
        m_info.stream.zalloc = &CZipArchive::ZlibAlloc;
        m_info.stream.zfree = &CZipArchive::ZlibFree;
        m_info.stream.opaque = this;
        const int error = inflateInit2(&m_info.stream, -MAX_WBITS);
        if (error != Z_OK) {
            m_centralDir.CloseEntry(true);
            throw CZipException(CZipException::ZlibErrorToCause(error), GetArchivePath());
        }
    }
    m_info.compressedLeft = header.GetDataSize();
    m_info.uncompressedLeft = header.m_uncompressedSize;
    m_info.crc = 0;
    m_entryProduced = 0;
    m_entryState = -1;
    return true;
}

std::size_t CZipArchive::ReadEntry(void* buffer, std::size_t count)
{
    if (m_entryState != -1 || count == 0) {
        return 0;
    }
    const CZipFileHeader& header = *m_centralDir.GetOpenedHeader();
    const bool encrypted = header.IsEncrypted();
    auto* out = static_cast<Bytef*>(buffer);
    std::size_t produced = 0;
    if (header.m_method == 0) {
        const std::size_t piece =
            std::size_t(std::min<std::uint64_t>(count, m_info.compressedLeft));
        if (piece > 0) {
            m_storage.Read(out, piece, false);
            if (encrypted) {
                CryptDecode(reinterpret_cast<char*>(out), piece);
            }
            m_info.compressedLeft -= piece;
        }
        produced = piece;
    } else {
        z_stream& stream = m_info.stream;
        stream.next_out = out;
        stream.avail_out = uInt(count);
        while (stream.avail_out > 0) {
            if (stream.avail_in == 0 && m_info.compressedLeft > 0) {
                const std::size_t piece = std::size_t(
                    std::min<std::uint64_t>(m_info.buffer.GetSize(), m_info.compressedLeft));
                m_storage.Read(m_info.buffer.GetBuffer(), piece, false);
                if (encrypted) {
                    CryptDecode(m_info.buffer.GetBuffer(), piece);
                }
                m_info.compressedLeft -= piece;
                stream.next_in = reinterpret_cast<Bytef*>(m_info.buffer.GetBuffer());
                stream.avail_in = uInt(piece);
            }
            const int error = inflate(&stream, Z_SYNC_FLUSH);
            if (error == Z_STREAM_END) {
                break;
            }
            if (error == Z_BUF_ERROR && stream.avail_in == 0 && m_info.compressedLeft == 0) {
                break; // the data end before the stream does: reported as data left unread
            }
            if (error != Z_OK) {
                throw CZipException(CZipException::ZlibErrorToCause(error), GetArchivePath());
            }
        }
        produced = count - stream.avail_out;
    }
    m_info.crc = std::uint32_t(crc32(m_info.crc, out, uInt(produced)));
    m_entryProduced += produced;
    m_info.uncompressedLeft -= std::min<std::uint64_t>(produced, m_info.uncompressedLeft);
    return produced;
}

int CZipArchive::CloseEntry(const std::string& diskPath, bool afterException)
{
    if (m_entryState != -1) {
        return 0;
    }
    const CZipFileHeader header = *m_centralDir.GetOpenedHeader();
    const bool inflating = header.m_method == 8;
    const auto release = [&]() {
        if (inflating) {
            inflateEnd(&m_info.stream);
        }
        EndEntryState();
    };
    if (afterException) {
        m_centralDir.CloseEntry(true);
        release();
        return 1;
    }
    int result = 1;
    if (m_info.uncompressedLeft > 0) {
        result = -1;
    } else if (m_entryProduced > header.m_uncompressedSize ||
               (!m_ignoreCrc && m_info.crc != header.m_crc32)) {
        m_centralDir.CloseEntry(true);
        release();
        throw CZipException(m_entryProduced > header.m_uncompressedSize
                                ? int(CZipException::badZipFile)
                                : int(CZipException::badCrc),
                            diskPath.empty() ? GetArchivePath() : diskPath);
    }
    release();
    if (result == 1) {
        // Stored bytes the stream did not need sit before the data descriptor.
        if (m_info.compressedLeft > 0) {
            m_storage.GetFile()->Seek(std::int64_t(m_info.compressedLeft),
                                      CZipAbstractFile::current);
        }
        m_centralDir.CloseEntry(false);
    } else {
        m_centralDir.CloseEntry(true);
    }
    if (!diskPath.empty()) {
        const bool timeSet = ZipPlatform::SetFileModTime(diskPath, header.GetModificationTime());
        const bool attributesSet = ZipPlatform::SetFileAttr(diskPath, header.GetSystemAttributes());
        if ((!timeSet || !attributesSet) && result == 1) {
            result = -2;
        }
    }
    return result;
}

// ---- Password ----------------------------------------------------------------------------

bool CZipArchive::SetPassword(const std::string& password)
{
    if (m_entryState != 0) {
        return false;
    }
    m_password.Release();
    for (char c : password) {
        const auto value = static_cast<unsigned char>(c);
        if (value < 1 || value > 127) {
            return false;
        }
    }
    m_password.Assign(password.data(), unsigned(password.size()));
    return true;
}

std::string CZipArchive::GetPassword() const
{
    return std::string(m_password.GetBuffer(), m_password.GetSize());
}

void CZipArchive::SetCallback(CZipActionCallback* callback, int kinds)
{
    for (int bit = 1; bit <= 0x400; bit <<= 1) {
        if (!(kinds & bit)) {
            continue;
        }
        if (callback == nullptr) {
            m_callbacks.erase(bit);
        } else {
            m_callbacks[bit] = callback;
        }
    }
}

CZipActionCallback* CZipArchive::GetCallback(int kind) const
{
    const auto found = m_callbacks.find(kind);
    if (found == m_callbacks.end()) {
        return nullptr;
    }
    found->second->m_kind = kind;
    return found->second;
}
