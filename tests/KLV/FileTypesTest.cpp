#include "KLV/FileTypes.h"

#include "TempFolder.h"
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Redirects the user's configuration and data folders into a per-test folder.
class FileTypesTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        environment_.Set("XDG_CONFIG_HOME", folder_.File("config"));
        environment_.Set("XDG_DATA_HOME", folder_.File("data"));
        environment_.Set("XDG_DATA_DIRS", folder_.File("system"));
    }

    static bool HasTool(const char* name)
    {
        return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
    }

    trv::test::TempFolder folder_{"trv_filetypes"};
    trv::test::EnvironmentOverride environment_;
};

TEST_F(FileTypesTest, RegistryValuesRoundTrip)
{
    ASSERT_TRUE(WriteRegistryValue("Corvane Labs\\Trevantor", "PathParams", "  /data/Params.ini "));
    ASSERT_TRUE(WriteRegistryInt("Corvane Labs\\Trevantor", "Runs", -3));
    ASSERT_TRUE(WriteRegistryValue("Corvane Labs\\Trevantor", "Number",
                                   std::string("\x2A\0\0\0", 4), false, trv::kRegistryNumber));
    ASSERT_TRUE(WriteRegistryValue("software\\Other", "", "default value", true));

    std::string value;
    ASSERT_TRUE(ReadRegistryValue(trv::RegistryRoot::CurrentUser, "corvane labs\\TREVANTOR",
                                  "pathparams", value));
    EXPECT_EQ(value, "  /data/Params.ini ");
    ASSERT_TRUE(ReadRegistryValue(trv::RegistryRoot::CurrentUser, "Corvane Labs\\Trevantor", "Runs",
                                  value));
    EXPECT_EQ(value, "-3");
    unsigned type = 0;
    ASSERT_TRUE(QueryRegistryValue(trv::RegistryRoot::CurrentUser, "Corvane Labs\\Trevantor",
                                   "Number", type, value));
    EXPECT_EQ(type, trv::kRegistryNumber);
    EXPECT_EQ(value, std::string("\x2A\0\0\0", 4));
    ASSERT_TRUE(ReadRegistryValue(trv::RegistryRoot::CurrentUser, "Other", "", value));
    EXPECT_EQ(value, "default value");

    EXPECT_FALSE(ReadRegistryValue(trv::RegistryRoot::CurrentUser, "Corvane Labs\\Trevantor",
                                   "Missing", value));
    EXPECT_FALSE(ReadRegistryValue(trv::RegistryRoot::LocalMachine, "Corvane Labs\\Trevantor",
                                   "Runs", value));
    EXPECT_TRUE(fs::exists(folder_.Path() / "config" / "Trevantor" / "registry.ini"));
}

TEST_F(FileTypesTest, RegisteredPlanTypeOpensWithThisProgram)
{
    if (!HasTool("xdg-mime") || !HasTool("update-mime-database"))
        GTEST_SKIP() << "xdg-utils and shared-mime-info are needed (tools/install-deps.sh)";
    ASSERT_TRUE(RegisterDocumentFileType("Trevantor.Document", "Trevantor plan", ".opt", "", 0));
    EXPECT_TRUE(
        fs::exists(folder_.Path() / "data" / "applications" / "trevantor-document.desktop"));
    EXPECT_TRUE(
        fs::exists(folder_.Path() / "data" / "mime" / "packages" / "trevantor-document.xml"));

    const std::string executable = trv::GetExecutablePath();
    EXPECT_EQ(GetAssociatedProgram("/plans/Monday.OPT"),
              "\"" + executable + "\" \"/plans/Monday.OPT\"");
    EXPECT_EQ(GetAssociatedProgram("/plans/notes.unknownextension"), "");
}

TEST_F(FileTypesTest, AssociatedCommandTakesTheFileWhereItsPlaceholderIs)
{
    if (!HasTool("xdg-mime") || !HasTool("update-mime-database"))
        GTEST_SKIP() << "xdg-utils and shared-mime-info are needed (tools/install-deps.sh)";
    const fs::path system = folder_.Path() / "system";
    fs::create_directories(system / "mime" / "packages");
    fs::create_directories(system / "applications");
    std::ofstream(system / "mime" / "packages" / "report.xml")
        << "<?xml version=\"1.0\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "<mime-type type=\"application/x-test-report\"><glob pattern=\"*.rpt\"/></mime-type>\n"
           "<mime-type type=\"application/x-test-note\"><glob pattern=\"*.nte\"/></mime-type>\n"
           "</mime-info>\n";
    ASSERT_EQ(std::system(("update-mime-database '" + (system / "mime").string() + "'").c_str()),
              0);
    std::ofstream(system / "applications" / "reader.desktop")
        << "[Desktop Entry]\nType=Application\nName=Reader\n"
           "Exec=\"/opt/reader/bin/reader\" --view \"%f\"\nMimeType=application/x-test-report;\n";
    std::ofstream(system / "applications" / "notes.desktop")
        << "[Desktop Entry]\nType=Application\nName=Notes\n"
           "Exec=/usr/bin/notes\nMimeType=application/x-test-note;\n";
    fs::create_directories(folder_.Path() / "config");
    std::ofstream(folder_.Path() / "config" / "mimeapps.list")
        << "[Default Applications]\napplication/x-test-report=reader.desktop\n"
           "application/x-test-note=notes.desktop\n";

    EXPECT_EQ(GetAssociatedProgram("/x/Report.RPT"),
              "\"/opt/reader/bin/reader\" --view \"/x/Report.RPT\"");
    EXPECT_EQ(GetAssociatedProgram("/x/list.nte"), "/usr/bin/notes \"/x/list.nte\"");
}

} // namespace
