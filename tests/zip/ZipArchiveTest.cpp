#include "zip/ZipArchive.h"

#include "ZipTestSupport.h"
#include "zip/ZipException.h"
#include "zip/ZipMemFile.h"

#include <filesystem>
#include <map>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

class ZipArchiveTest : public ZipTestFolder
{
  protected:
    // Writes the files under `folder` and archives them with every default, as the plan's save
    // does.
    void CreateArchive(const std::string& archivePath,
                       const std::map<std::string, std::string>& files, const std::string& folder)
    {
        CZipArchive archive;
        archive.OpenArchive(archivePath, CZipArchive::zipCreate);
        for (const auto& [name, content] : files) {
            WriteFile(folder + "/" + name, content);
            CZipAddFileInfo info(folder + "/" + name);
            EXPECT_TRUE(archive.AddFileFromDisk(info)) << name;
        }
        archive.CloseArchive();
    }

    // Extracts every entry as the plan's load does and returns file name -> content.
    std::map<std::string, std::string> ExtractAll(const std::string& archivePath,
                                                  const std::string& folder,
                                                  const std::string& password = {})
    {
        CZipArchive archive;
        archive.OpenArchive(archivePath, CZipArchive::zipOpen);
        if (!password.empty()) {
            archive.SetPassword(password);
        }
        for (int i = 0; i < archive.GetCount(); ++i) {
            EXPECT_TRUE(archive.ExtractFileToDisk(i, folder)) << i;
        }
        archive.CloseArchive();
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
            }
        }
        return files;
    }

    static int CauseOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const CZipException& error) {
            return error.GetCause();
        }
        return 0;
    }

    static bool PassesExternalChecks(const std::string& archivePath)
    {
        return Run("unzip -t -qq '" + archivePath + "'") == 0 &&
               Run("/usr/bin/python3 -m zipfile -t '" + archivePath + "'") == 0;
    }
};

TEST_F(ZipArchiveTest, FolderRoundTripPassesOtherReaders)
{
    const std::map<std::string, std::string> files = {
        {"plan.ord", Text(300000)}, {"matrix.dst", RandomBytes(150000, 1)},
        {"tiny.txt", "abc"},        {"empty.dat", ""},
        {"ñ.txt", "code page 850"}, {"four.bin", std::string("\0\1\2\3", 4)},
    };
    const std::string archivePath = Path("plan.opt");
    CreateArchive(archivePath, files, Path("temp"));
    EXPECT_TRUE(PassesExternalChecks(archivePath));
    EXPECT_EQ(ExtractAll(archivePath, Path("loaded")), files);

    CZipArchive archive;
    archive.OpenArchive(archivePath, CZipArchive::zipOpenReadOnly);
    ASSERT_EQ(archive.GetCount(), 6);
    for (int i = 0; i < archive.GetCount(); ++i) {
        CZipFileHeader header;
        ASSERT_TRUE(archive.GetEntryInfo(header, i));
        // fullPath keeps the folders but not the leading separator.
        EXPECT_EQ(header.GetFileName().rfind(Path("temp").substr(1) + "/", 0), 0u);
        const bool small = header.m_uncompressedSize < 5;
        EXPECT_EQ(header.m_method, small ? 0 : 8) << header.GetFileName();
        EXPECT_EQ(header.m_versionMadeBy, 20);
        const std::string stored(header.m_storedName.GetBuffer(), header.m_storedName.GetSize());
        if (header.GetFileName().ends_with("ñ.txt")) {
            // Code page 850 holds "ñ" as 0xA4, so no UTF-8 flag.
            EXPECT_TRUE(stored.ends_with("\xA4.txt"));
            EXPECT_EQ(header.m_flags & CZipFileHeader::kFlagUtf8, 0);
        }
    }
    EXPECT_GE(archive.FindEntry(Path("temp").substr(1) + "/PLAN.ORD"), 0);
    archive.CloseArchive();
}

TEST_F(ZipArchiveTest, NameOutsideCodePage850IsWrittenAsUtf8)
{
    WriteFile(Path("src/Ω.txt"), "omega");
    CZipArchive archive;
    archive.OpenArchive(Path("a.zip"), CZipArchive::zipCreate);
    CZipAddFileInfo info(Path("src/Ω.txt"));
    info.fullPath = false;
    ASSERT_TRUE(archive.AddFileFromDisk(info));
    archive.CloseArchive();
    archive.OpenArchive(Path("a.zip"), CZipArchive::zipOpen);
    CZipFileHeader header;
    ASSERT_TRUE(archive.GetEntryInfo(header, 0));
    EXPECT_EQ(header.GetFileName(), "Ω.txt");
    EXPECT_NE(header.m_flags & CZipFileHeader::kFlagUtf8, 0);
    archive.CloseArchive();
    EXPECT_TRUE(PassesExternalChecks(Path("a.zip")));
}

TEST_F(ZipArchiveTest, ExtractsArchivesOfTheZipToolAndWithAStub)
{
    WriteFile(Path("src/top.txt"), Text(5000));
    WriteFile(Path("src/sub/deeper/data.bin"), RandomBytes(70000, 2));
    WriteFile(Path("src/sub/note.txt"), "note");
    ASSERT_EQ(Run("cd '" + Path("src") + "' && zip -q -r '" + Path("tool.zip") + "' ."), 0);
    // A self-extractor-style stub in front: every offset is off by its length.
    WriteFile(Path("stub.bin"), RandomBytes(1234, 3));
    WriteFile(Path("sfx.zip"), ReadFile(Path("stub.bin")) + ReadFile(Path("tool.zip")));
    const std::map<std::string, std::string> expected = {
        {"top.txt", ReadFile(Path("src/top.txt"))},
        {"data.bin", ReadFile(Path("src/sub/deeper/data.bin"))},
        {"note.txt", "note"}};
    for (const char* name : {"tool.zip", "sfx.zip"}) {
        const std::string target = Path(std::string("out-") + name);
        const auto extracted = ExtractAll(Path(name), target);
        EXPECT_EQ(extracted, expected) << name;
        // Folder entries become folders; files land flat under their file names.
        EXPECT_TRUE(fs::is_directory(target + "/sub")) << name;
    }
}

TEST_F(ZipArchiveTest, EmptyArchiveAndLongestComment)
{
    {
        CZipArchive archive;
        archive.OpenArchive(Path("empty.zip"), CZipArchive::zipCreate);
        archive.CloseArchive();
    }
    EXPECT_EQ(fs::file_size(Path("empty.zip")), 22u);
    CZipArchive archive;
    archive.OpenArchive(Path("empty.zip"), CZipArchive::zipOpen);
    EXPECT_EQ(archive.GetCount(), 0);
    archive.CloseArchive();

    ASSERT_EQ(Run("/usr/bin/python3 -c \"import zipfile; z = zipfile.ZipFile('" + Path("c.zip") +
                  "', 'w'); z.writestr('a.txt', 'hello'); z.comment = b'c' * 65535; z.close()\""),
              0);
    EXPECT_EQ(ExtractAll(Path("c.zip"), Path("out")).at("a.txt"), "hello");
    // One byte more after the record puts it beyond the search.
    WriteFile(Path("c.zip"), ReadFile(Path("c.zip")) + "x");
    EXPECT_EQ(CauseOf([&] { archive.OpenArchive(Path("c.zip"), CZipArchive::zipOpen); }),
              CZipException::centralDirNotFound);
    EXPECT_TRUE(archive.IsClosed());
}

TEST_F(ZipArchiveTest, FailuresGiveTheirCauses)
{
    WriteFile(Path("not.zip"), RandomBytes(5000, 4));
    CZipArchive archive;
    EXPECT_EQ(CauseOf([&] { archive.OpenArchive(Path("not.zip"), CZipArchive::zipOpen); }),
              CZipException::centralDirNotFound);
    EXPECT_EQ(CauseOf([&] { archive.OpenArchive(Path("missing.zip"), CZipArchive::zipOpen); }),
              ENOENT);
    EXPECT_TRUE(archive.IsClosed());

    // A stored entry with one data byte changed: the CRC no longer matches.
    WriteFile(Path("src/a.txt"), "hello world, hello world");
    {
        CZipArchive writer;
        writer.OpenArchive(Path("crc.zip"), CZipArchive::zipCreate);
        CZipAddFileInfo info(Path("src/a.txt"));
        info.level = 0;
        ASSERT_TRUE(writer.AddFileFromDisk(info));
        CZipFileHeader header;
        writer.GetEntryInfo(header, 0);
        writer.CloseArchive();
        std::string bytes = ReadFile(Path("crc.zip"));
        bytes[header.m_offset + header.GetSize(true) + 2] ^= 0x55;
        WriteFile(Path("crc.zip"), bytes);
    }
    archive.OpenArchive(Path("crc.zip"), CZipArchive::zipOpen);
    try {
        archive.ExtractFileToDisk(0, Path("out"));
        ADD_FAILURE() << "no exception";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::badCrc);
        char message[64];
        ASSERT_TRUE(error.GetErrorMessage(message, sizeof(message)));
        EXPECT_STREQ(message, "Crc mismatched");
    }
    // The damaged file is not left behind.
    EXPECT_FALSE(fs::exists(Path("out/a.txt")));
    archive.m_ignoreCrc = true;
    EXPECT_TRUE(archive.ExtractFileToDisk(0, Path("out")));
    EXPECT_TRUE(fs::exists(Path("out/a.txt")));
    EXPECT_FALSE(archive.ExtractFileToDisk(5, Path("out")));
    archive.CloseArchive();

    // Adding what does not exist changes nothing.
    const auto before = ReadFile(Path("crc.zip"));
    archive.OpenArchive(Path("crc.zip"), CZipArchive::zipOpen);
    EXPECT_FALSE(archive.AddFileFromDisk(Path("src/nothing.here")));
    archive.CloseArchive();
    EXPECT_EQ(ReadFile(Path("crc.zip")), before);
}

TEST_F(ZipArchiveTest, CompressionLevelsSetOptionBits)
{
    const struct
    {
        int level;
        int bits;
    } cases[] = {{1, 6}, {2, 4}, {8, 2}, {9, 2}, {6, 0}, {-1, 0}, {10, 0}, {-2, 0}};
    WriteFile(Path("src/data.txt"), Text(20000));
    CZipArchive archive;
    archive.OpenArchive(Path("levels.zip"), CZipArchive::zipCreate);
    for (const auto& item : cases) {
        CZipAddFileInfo info(Path("src/data.txt"));
        info.nameInArchive = "level" + std::to_string(item.level);
        info.level = item.level;
        ASSERT_TRUE(archive.AddFileFromDisk(info));
    }
    archive.CloseArchive();
    EXPECT_TRUE(PassesExternalChecks(Path("levels.zip")));
    archive.OpenArchive(Path("levels.zip"), CZipArchive::zipOpen);
    for (int i = 0; i < archive.GetCount(); ++i) {
        CZipFileHeader header;
        archive.GetEntryInfo(header, i);
        EXPECT_EQ(header.m_flags & 6, cases[i].bits) << "level " << cases[i].level;
        EXPECT_EQ(header.m_method, 8);
    }
    archive.CloseArchive();
}

TEST_F(ZipArchiveTest, NamesThatLeaveTheFolderAreRefused)
{
    ASSERT_EQ(Run("/usr/bin/python3 -c \"import zipfile; z = zipfile.ZipFile('" + Path("evil.zip") +
                  "', 'w'); z.writestr(zipfile.ZipInfo('../x'), 'up'); "
                  "z.writestr(zipfile.ZipInfo('/etc/x'), 'abs'); "
                  "z.writestr(zipfile.ZipInfo('a/../../x'), 'mid'); "
                  "z.writestr(zipfile.ZipInfo('fine.txt'), 'ok'); z.close()\""),
              0);
    fs::create_directories(Path("target"));
    CZipArchive archive;
    archive.OpenArchive(Path("evil.zip"), CZipArchive::zipOpen);
    ASSERT_EQ(archive.GetCount(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(CauseOf([&] { archive.ExtractFileToDisk(i, Path("target")); }),
                  CZipException::badZipFile)
            << i;
    }
    EXPECT_TRUE(archive.ExtractFileToDisk(3, Path("target")));
    archive.CloseArchive();
    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
        written.push_back(fs::relative(entry.path(), m_root).string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"evil.zip", "target", "target/fine.txt"}));
}

TEST_F(ZipArchiveTest, ReplacingAMiddleEntryKeepsTheOthers)
{
    std::map<std::string, std::string> files = {
        {"a.txt", Text(40000)}, {"b.txt", Text(30000)}, {"c.bin", RandomBytes(50000, 5)}};
    CreateArchive(Path("r.zip"), files, Path("src"));
    struct Step
    {
        std::string content;
        int level;
    };
    for (const Step& step :
         {Step{RandomBytes(90000, 6), -1}, Step{"short", 0}, Step{Text(120000), 9}}) {
        WriteFile(Path("new/b.txt"), step.content);
        const auto sizeBefore = fs::file_size(Path("r.zip"));
        CZipArchive archive;
        archive.OpenArchive(Path("r.zip"), CZipArchive::zipOpen);
        CZipAddFileInfo info(Path("new/b.txt"));
        info.nameInArchive = Path("src/b.txt").substr(1);
        info.replaceIndex = -2;
        info.level = step.level;
        ASSERT_TRUE(archive.AddFileFromDisk(info));
        EXPECT_EQ(archive.GetCount(), 3);
        archive.CloseArchive();
        files["b.txt"] = step.content;
        EXPECT_TRUE(PassesExternalChecks(Path("r.zip")));
        fs::remove_all(Path("out"));
        EXPECT_EQ(ExtractAll(Path("r.zip"), Path("out")), files);
        if (step.content.size() < 10) {
            EXPECT_LT(fs::file_size(Path("r.zip")), sizeBefore);
        }
    }
}

TEST_F(ZipArchiveTest, TraditionalEncryptionRoundTrip)
{
    const std::string content = Text(50000);
    WriteFile(Path("src/secret.txt"), content);
    WriteFile(Path("src/nothing.txt"), "");
    {
        CZipArchive archive;
        archive.OpenArchive(Path("e.zip"), CZipArchive::zipCreate);
        EXPECT_FALSE(archive.SetPassword("caf\xC3\xA9"));
        EXPECT_EQ(archive.GetPassword(), "");
        ASSERT_TRUE(archive.SetPassword("s3cret"));
        ASSERT_TRUE(archive.AddFileFromDisk(Path("src/secret.txt")));
        ASSERT_TRUE(archive.AddFileFromDisk(Path("src/nothing.txt")));
        archive.CloseArchive();
    }
    EXPECT_EQ(Run("unzip -t -qq -P s3cret '" + Path("e.zip") + "'"), 0);
    CZipArchive archive;
    archive.OpenArchive(Path("e.zip"), CZipArchive::zipOpen);
    CZipFileHeader header;
    archive.GetEntryInfo(header, 0);
    EXPECT_TRUE(header.IsEncrypted());
    archive.GetEntryInfo(header, 1);
    EXPECT_FALSE(header.IsEncrypted()) << "an empty file is written without encryption";
    EXPECT_EQ(CauseOf([&] { archive.ExtractFileToDisk(0, Path("out")); }),
              CZipException::badPassword);
    archive.SetPassword("wrong");
    EXPECT_EQ(CauseOf([&] { archive.ExtractFileToDisk(0, Path("out")); }),
              CZipException::badPassword);
    EXPECT_FALSE(fs::exists(Path("out/secret.txt")));
    archive.SetPassword("s3cret");
    EXPECT_TRUE(archive.ExtractFileToDisk(0, Path("out")));
    EXPECT_EQ(ReadFile(Path("out/secret.txt")), content);
    archive.CloseArchive();
}

TEST_F(ZipArchiveTest, EfficiencyCheckStoresIncompressibleData)
{
    const std::string noise = RandomBytes(40000, 7);
    WriteFile(Path("src/noise.bin"), noise);
    for (int smartFlags : {0x0F, 0x1F}) {
        CZipArchive archive;
        archive.OpenArchive(Path("eff.zip"), CZipArchive::zipCreate);
        CZipAddFileInfo info(Path("src/noise.bin"));
        info.smartFlags = smartFlags;
        ASSERT_TRUE(archive.AddFileFromDisk(info));
        CZipFileHeader header;
        archive.GetEntryInfo(header, 0);
        EXPECT_EQ(header.m_method, 0);
        EXPECT_EQ(header.m_compressedSize, header.m_uncompressedSize);
        archive.CloseArchive();
        EXPECT_TRUE(PassesExternalChecks(Path("eff.zip")));
    }
}

TEST_F(ZipArchiveTest, NumberedSplitVolumes)
{
    const std::map<std::string, std::string> files = {
        {"big.bin", RandomBytes(250000, 8)}, {"small.txt", Text(3000)}, {"x.txt", "x"}};
    {
        CZipArchive archive;
        archive.OpenArchive(Path("s.zip"), CZipArchive::zipCreateSpan, 100000);
        for (const auto& [name, content] : files) {
            WriteFile(Path("src/" + name), content);
            ASSERT_TRUE(archive.AddFileFromDisk(Path("src/" + name)));
        }
        archive.CloseArchive();
    }
    EXPECT_TRUE(fs::exists(Path("s.000")));
    EXPECT_TRUE(fs::exists(Path("s.001")));
    EXPECT_LE(fs::file_size(Path("s.000")), 100000u);
    EXPECT_EQ(ExtractAll(Path("s.zip"), Path("out")), files);

    CZipArchive removable;
    EXPECT_EQ(CauseOf([&] { removable.OpenArchive(Path("r.zip"), CZipArchive::zipCreateSpan); }),
              CZipException::noDiskSpanningCallback);
}

// Archives other programs wrote, or damaged ones (tests/data/fuzz/zip).
std::string FuzzFixture(const std::string& name)
{
    return TRV_TEST_DATA_DIR "/fuzz/zip/" + name;
}

long PeakResidentKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(ZipArchiveTest, DamagedOrUnsupportedArchivesFailBeforeAllocatingTheirClaims)
{
    struct Case
    {
        const char* file;
        int cause;
        const char* message;
    };
    const Case cases[] = {
        // 22 bytes whose end record, on disk 1, claims a directory of 4 GiB.
        {"split-end-record.zip", CZipException::badZipFile, "Damaged or not a zip file"},
        {"zip64.zip", CZipException::zip64NotSupported, "ZIP64 archives are not supported"},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.file);
        const long peakBefore = PeakResidentKb();
        CZipArchive archive;
        try {
            archive.OpenArchive(FuzzFixture(item.file), CZipArchive::zipOpenReadOnly);
            ADD_FAILURE() << "opened";
        } catch (const CZipException& error) {
            EXPECT_EQ(error.GetCause(), item.cause);
            EXPECT_NE(std::string(error.what()).find(item.message), std::string::npos)
                << error.what();
        }
        EXPECT_TRUE(archive.IsClosed());
        EXPECT_LT(PeakResidentKb() - peakBefore, 256 * 1024) << "KB more at the peak";
    }
}

TEST_F(ZipArchiveTest, NamesEndingInABackslashAreFolders)
{
    // "d\e\" stored with the attributes of a plain file, then "d/f.txt".
    EXPECT_EQ(ExtractAll(FuzzFixture("backslash-folder.zip"), Path("out")),
              (std::map<std::string, std::string>{{"f.txt", "kept"}}));
    EXPECT_TRUE(fs::is_directory(Path("out/e")));
}

TEST_F(ZipArchiveTest, EntriesMeetingInOneFileAreRefusedNamingBoth)
{
    // "a/x.txt" and "b/x.txt" both extract to x.txt.
    CZipArchive archive;
    archive.OpenArchive(FuzzFixture("same-bare-name.zip"), CZipArchive::zipOpenReadOnly);
    ASSERT_EQ(archive.GetCount(), 2);
    EXPECT_TRUE(archive.ExtractFileToDisk(0, Path("out")));
    EXPECT_TRUE(archive.ExtractFileToDisk(0, Path("out"))) << "the same entry again";
    try {
        archive.ExtractFileToDisk(1, Path("out"));
        ADD_FAILURE() << "the second entry overwrote the first";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::sameExtractTarget);
        EXPECT_EQ(error.GetFileName(), "a/x.txt and b/x.txt");
    }
    EXPECT_EQ(ReadFile(Path("out/x.txt")), "first");
    // Another folder is another file; a new opening starts afresh.
    EXPECT_TRUE(archive.ExtractFileToDisk(1, Path("other")));
    archive.CloseArchive();
    archive.OpenArchive(FuzzFixture("same-bare-name.zip"), CZipArchive::zipOpenReadOnly);
    EXPECT_TRUE(archive.ExtractFileToDisk(1, Path("out")));
    EXPECT_EQ(ReadFile(Path("out/x.txt")), "second");
}

TEST(ZipMemFileTest, GrowsAndRefusesWithoutStep)
{
    CZipMemFile file(16);
    file.Write("abcdef", 6);
    file.SetLength(100);
    EXPECT_EQ(file.GetPosition(), 6u);
    file.SetLength(3);
    EXPECT_EQ(file.GetPosition(), 3u);
    EXPECT_EQ(file.GetLength(), 3u);
    file.SeekToBegin();
    char read[8] = {};
    EXPECT_EQ(file.Read(read, 8), 3u);
    EXPECT_STREQ(read, "abc");

    CZipMemFile fixed(0);
    try {
        fixed.Write("a", 1);
        ADD_FAILURE() << "no exception";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::notEnoughMemory);
    }
}

} // namespace
