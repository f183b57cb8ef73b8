// Zip archives: opened, listed, every entry read through ("tested") and extracted into a fresh
// folder. Nothing may be written anywhere else.

#include "FuzzSupport.h"
#include "zip/ZipArchive.h"
#include "zip/ZipException.h"

#include <set>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kMaxEntries = 64;
constexpr std::size_t kMaxEntryBytes = 8 << 20;

// Every path under the folder but those inside `skipped`.
std::set<std::string> Listing(const fs::path& folder, const fs::path& skipped)
{
    std::set<std::string> paths;
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(folder, error);
         entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (error)
            break;
        if (entry->path() == skipped) {
            entry.disable_recursion_pending();
            continue;
        }
        paths.insert(entry->path().string());
    }
    return paths;
}

void ReadThrough(CZipArchive& archive, int index, std::vector<char>& buffer)
{
    if (!archive.OpenEntry(index))
        return;
    std::size_t total = 0;
    std::size_t read = 0;
    while (total < kMaxEntryBytes && (read = archive.ReadEntry(buffer.data(), buffer.size())) > 0)
        total += read;
    archive.CloseEntry({}, total >= kMaxEntryBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = trv::fuzz::WriteFile("fuzz.zip", trv::fuzz::AsText(data, size));
    // Two levels down, so a name that climbs out lands where the listing sees it.
    const fs::path target = trv::fuzz::Folder() / "deep" / "down" / "extracted";
    std::error_code ignored;
    fs::remove_all(trv::fuzz::Folder() / "deep", ignored);
    fs::create_directories(target);
    const std::set<std::string> before = Listing(trv::fuzz::Folder(), target);

    std::vector<char> buffer(65536);
    CZipArchive archive;
    try {
        archive.OpenArchive(path, CZipArchive::zipOpenReadOnly);
        const int count = std::min(archive.GetCount(), kMaxEntries);
        trv::fuzz::Outcome("opened, " + std::to_string(archive.GetCount()) + " entries");
        CZipFileHeader header;
        for (int index = 0; index < count; ++index)
            archive.GetEntryInfo(header, index);
        for (int index = 0; index < count; ++index) {
            try {
                ReadThrough(archive, index, buffer);
            } catch (const CZipException&) {
            }
        }
        for (int index = 0; index < count; ++index) {
            try {
                archive.ExtractFileToDisk(index, target.string());
            } catch (const CZipException&) {
            }
        }
        archive.CloseArchive();
    } catch (const CZipException& exception) {
        trv::fuzz::Outcome(std::string("refused: ") + exception.what());
        archive.CloseArchive(1);
    }

    // Only the fresh folder changed.
    TRV_FUZZ_CHECK(Listing(trv::fuzz::Folder(), target) == before);
    for (const auto& entry : fs::recursive_directory_iterator(target, ignored))
        TRV_FUZZ_CHECK(!entry.is_symlink());
    return 0;
}
