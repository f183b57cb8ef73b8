#include "KLV/Trace.h"

#include "KLV/AppGlobals.h"
#include "TempFolder.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each test gets its own program folder, so the "Traces" folder and config.ini are its own.
class TraceTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        trv::ResetTrace();
        trv::ResetAppGlobals();
    }

    void TearDown() override
    {
        trv::ResetTrace();
        trv::ResetAppGlobals();
    }

    void Configure(const std::string& logSection)
    {
        std::ofstream(folder_.Path() / "Config.ini") << "[LOG]\n" << logSection;
    }

    fs::path Traces() const { return folder_.Path() / "Traces"; }

    static std::vector<std::string> Lines(const fs::path& path)
    {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static void Touch(const fs::path& path, const std::string& text)
    {
        std::ofstream(path) << text;
    }

    static std::string Contents(const fs::path& path) { return trv::test::ReadFileBytes(path); }

    trv::test::ProgramFolder folder_{"trv_trace"};
};

TEST_F(TraceTest, WithoutConfigurationNothingIsCreated)
{
    TRV_TRACE(1, "Test::Silent", "error %d", 1);
    EXPECT_FALSE(fs::exists(Traces()));
    EXPECT_EQ(trv::GetTraceLogPath(), "");

    trv::ResetTrace();
    Configure("Level=0\n");
    TRV_TRACE(1, "Test::Silent", "error %d", 1);
    EXPECT_FALSE(fs::exists(Traces()));
}

TEST_F(TraceTest, WritesLinesUpToTheConfiguredLevelInTheLogFormat)
{
    Configure("Level=2\n");
    WriteTrace("/some/folder/Source.cpp", 12, "CClass::Method", 1, false, "uno %d", 1);
    WriteTrace("C:\\src\\Other.cpp", 34, "CClass::Method", 2, false, "dos %s", "b");
    WriteTrace("Source.cpp", 56, "CClass::Method", 3, false, "tres");
    WriteTrace("Source.cpp", 78, "Function", 0, false, "cero");
    WriteTrace("Source.cpp", 90, "Function", -4, false, "negativo");

    const fs::path log = Traces() / "Trace.log";
    EXPECT_EQ(trv::GetTraceLogPath(), log.string());
    const std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 4u);
    const std::regex format(
        R"(\[\d{1,2}/\d{1,2}/\d{4} \d{2}:\d{2}:\d{2}\] (.*?) +[ \d]{4}\.\d{3} Mb )"
        R"((\S+) --> (.*) \[(\S+):\{(\d+)\}\])");
    struct Expected
    {
        const char* word;
        const char* method;
        const char* text;
        const char* file;
        const char* line;
    };
    const Expected expected[] = {
        {"ERROR", "CClass::Method", "uno 1", "Source.cpp", "12"},
        {"INFORMACION", "CClass::Method", "dos b", "Other.cpp", "34"},
        {"NIVEL 0 - NO CONTROLADO", "Function", "cero", "Source.cpp", "78"},
        {"NIVEL -4 - NO CONTROLADO", "Function", "negativo", "Source.cpp", "90"},
    };
    for (std::size_t index = 0; index < lines.size(); ++index) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[index], match, format)) << lines[index];
        EXPECT_EQ(match[1], expected[index].word);
        EXPECT_EQ(match[2], expected[index].method);
        EXPECT_EQ(match[3], expected[index].text);
        EXPECT_EQ(match[4], expected[index].file);
        EXPECT_EQ(match[5], expected[index].line);
    }
    // The level word fills a twelve-character column.
    EXPECT_NE(lines[0].find("] ERROR        "), std::string::npos);
    EXPECT_NE(lines[1].find("] INFORMACION  "), std::string::npos);
}

TEST_F(TraceTest, DetailLevelAndUncontrolledLevels)
{
    Configure("Level=9\n");
    TRV_TRACE(3, "Test::Detail", "detalle");
    TRV_TRACE(7, "Test::Seven", "siete");
    const std::vector<std::string> lines = Lines(Traces() / "Trace.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("] DESAROLLO    "), std::string::npos);
    EXPECT_NE(lines[0].find("[TraceTest.cpp:{"), std::string::npos);
    EXPECT_NE(lines[1].find("] NIVEL 7 - NO CONTROLADO "), std::string::npos);
}

TEST_F(TraceTest, BufferedLinesAreWrittenInOrderAndOnce)
{
    Configure("Level=3\n");
    const fs::path log = Traces() / "Trace.log";
    WriteTrace("a.cpp", 1, "F", 3, true, "buffered %d", 1);
    WriteTrace("a.cpp", 2, "F", 3, true, "buffered %d", 2);
    EXPECT_TRUE(Lines(log).empty());
    WriteTrace("a.cpp", 3, "F", 2, false, "unbuffered");
    std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("buffered 1"), std::string::npos);
    EXPECT_NE(lines[1].find("buffered 2"), std::string::npos);
    EXPECT_NE(lines[2].find("unbuffered"), std::string::npos);

    for (int index = 1; index <= 999; ++index)
        WriteTrace("a.cpp", 4, "F", 3, true, "held %d", index);
    EXPECT_EQ(Lines(log).size(), 3u);
    WriteTrace("a.cpp", 5, "F", 3, true, "held %d", 1000);
    lines = Lines(log);
    ASSERT_EQ(lines.size(), 1003u);
    EXPECT_NE(lines[3].find("held 1 "), std::string::npos);
    EXPECT_NE(lines[1002].find("held 1000 "), std::string::npos);
}

TEST_F(TraceTest, BufferedLinesReachTheFileWhenTheProgramEnds)
{
    Configure("Level=3\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        WriteTrace("a.cpp", 1, "F", 3, true, "pending at exit");
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::vector<std::string> lines = Lines(Traces() / "Trace.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("pending at exit"), std::string::npos);
}

TEST_F(TraceTest, StartRotatesTheNumberedLogs)
{
    Configure("Level=1\n");
    fs::create_directories(Traces());
    Touch(Traces() / "Trace.log", "current");
    for (int number = 1; number <= 9; ++number)
        Touch(Traces() / ("Trace.0" + std::to_string(number) + ".log"), std::to_string(number));
    Touch(Traces() / "Other.03.log", "other");

    InitTrace(false, "");
    EXPECT_EQ(Contents(Traces() / "Trace.01.log"), "current");
    for (int number = 2; number <= 9; ++number)
        EXPECT_EQ(Contents(Traces() / ("Trace.0" + std::to_string(number) + ".log")),
                  std::to_string(number - 1));
    EXPECT_EQ(Contents(Traces() / "Other.04.log"), "other");
    EXPECT_FALSE(fs::exists(Traces() / "Other.03.log"));
    EXPECT_EQ(Contents(Traces() / "Trace.log"), "");

    // A later call does nothing: the set-up happens once.
    Touch(Traces() / "Trace.log", "kept");
    InitTrace(false, "");
    EXPECT_EQ(Contents(Traces() / "Trace.log"), "kept");
}

TEST_F(TraceTest, SecondInstanceKeepsTheRunningOnesLog)
{
    Configure("Level=1\n");
    fs::create_directories(Traces());
    Touch(Traces() / "Trace.log", "first instance\n");
    Touch(Traces() / "Trace.01.log", "older");

    InitTrace(true, "");
    TRV_TRACE(1, "Test::Second", "second instance");
    EXPECT_EQ(Contents(Traces() / "Trace.log"), "first instance\n");
    EXPECT_EQ(Contents(Traces() / "Trace.01.log"), "older");
    const fs::path own = Traces() / ("Trace_" + std::to_string(::getpid()) + ".log");
    EXPECT_EQ(trv::GetTraceLogPath(), own.string());
    EXPECT_EQ(Lines(own).size(), 1u);
}

TEST_F(TraceTest, LogNameFromTheConfiguredSuffix)
{
    trv::SetCompanyAlias("ACME");
    Configure("Level=1\nSufijoFichero=Log_DATE_TIME_PROFILE\n");
    fs::create_directories(Traces());
    Touch(Traces() / "Log_x.01.log", "older");
    InitTrace(false, "");
    const std::string name = fs::path(trv::GetTraceLogPath()).filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(Log_\d{8}_\d{6}_ACME\.log)"))) << name;
    EXPECT_TRUE(fs::exists(Traces() / "Log_x.02.log"));
}

TEST_F(TraceTest, ExplicitLogFileWinsAndAnEmptySuffixWritesNothing)
{
    const fs::path explicitLog = folder_.Path() / "elsewhere.log";
    const fs::path ini = folder_.Path() / "custom.ini";
    std::ofstream(ini) << "[LOG]\nLevel=2\nSufijoFichero=Ignored\nFicheroLog="
                       << explicitLog.string() << "\n";
    InitTrace(false, ini.string());
    TRV_TRACE(2, "Test::Explicit", "here");
    EXPECT_EQ(Lines(explicitLog).size(), 1u);
    EXPECT_FALSE(fs::exists(Traces() / "Ignored.log"));

    trv::ResetTrace();
    Configure("Level=2\nSufijoFichero=\n");
    TRV_TRACE(2, "Test::Empty", "nowhere");
    EXPECT_EQ(trv::GetTraceLogPath(), "");
    EXPECT_TRUE(fs::is_empty(Traces()));
}

TEST_F(TraceTest, LinesFromManyThreadsNeverInterleave)
{
    Configure("Level=3\n");
    constexpr int kThreads = 8;
    constexpr int kLines = 10000;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread] {
            for (int index = 0; index < kLines; ++index)
                WriteTrace("t.cpp", thread, "Test::Thread", 3, index % 3 == 0,
                           "thread %d line %d padding padding padding", thread, index);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    trv::FlushTrace();
    const std::vector<std::string> lines = Lines(Traces() / "Trace.log");
    ASSERT_EQ(lines.size(), std::size_t(kThreads * kLines));
    const std::regex whole(R"(\[.*\] DESAROLLO    .* Mb Test::Thread --> thread (\d) line (\d+) )"
                           R"(padding padding padding \[t\.cpp:\{(\d)\}\])");
    std::vector<int> next(kThreads, 0);
    std::vector<int> count(kThreads, 0);
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
        ASSERT_EQ(match[1], match[3]);
        ++count[std::stoi(match[1])];
    }
    for (int thread = 0; thread < kThreads; ++thread)
        EXPECT_EQ(count[thread], kLines);
}

TEST_F(TraceTest, HeadlessPromptTracesWhatItWouldShow)
{
    Configure("Level=2\n");
    trv::GetUserPrompt().ShowMessage("NoDatsAvaliable", "No data", trv::MessageKind::Warning);
    EXPECT_EQ(
        trv::GetUserPrompt().AskQuestion("QuestionSaveOrder", "Save?", true, trv::PromptAnswer::No),
        trv::PromptAnswer::No);
    const std::vector<std::string> lines = Lines(Traces() / "Trace.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("NoDatsAvaliable: No data"), std::string::npos);
    EXPECT_NE(lines[1].find("QuestionSaveOrder: Save? -> No"), std::string::npos);
}

} // namespace
