#include "FetchTestProgram.h"
#include "TempFolder.h"
#include "platform/UserPrompt.h"

#include <fstream>
#include <functional>
#include <json/json.h>
#include <sstream>
#include <unistd.h>

namespace {

using trv::test::ReadFileBytes;
using trv::test::WriteFileBytes;

Json::Value ParseJson(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string error;
    std::istringstream stream(text);
    EXPECT_TRUE(Json::parseFromStream(builder, stream, &value, &error)) << error << "\n" << text;
    return value;
}

FetchTextArray Texts(std::initializer_list<const char*> items)
{
    FetchTextArray array;
    for (const char* item : items)
        array.Add(item);
    return array;
}

} // namespace

class FetchWriteTest : public FetchTestProgram
{
  protected:
    void SetUp() override
    {
        FetchTestProgram::SetUp();
        std::filesystem::copy_file(TRV_TEST_DATA_DIR "/fetch/write/Write.ini", Path("Write.ini"),
                                   std::filesystem::copy_options::overwrite_existing);
        // The children of a LIST definition are found through the normal definitions file.
        std::ofstream(Path("Data.ini"), std::ios::app) << "\n" << ReadFileBytes(Path("Write.ini"));
    }

    int Open(CFetch& fetch, const std::string& name, int mode = FETCH_MODE_WRITE,
             const std::string& file = "")
    {
        return fetch.Init(name, "", "", mode, file, "", "", 1, nullptr, "", Path("Write.ini"));
    }

    // Writes one record per entry: field name -> text.
    void WriteRecords(CFetch& fetch,
                      const std::vector<std::vector<std::pair<std::string, std::string>>>& records)
    {
        for (const auto& record : records) {
            for (const auto& [name, value] : record)
                fetch.SetFieldString(name, value);
            EXPECT_TRUE(fetch.WriteRecord());
            fetch.ClearRecord();
        }
    }
};

// ---- Layouts -----------------------------------------------------------------------------

TEST_F(FetchWriteTest, SeparatedAndQualifiedLinesAreValidForTheirSeparator)
{
    struct Case
    {
        const char* definition;
        std::function<void(CFetch&)> set;
        const char* file;
        const char* expected;
    };
    const Case cases[] = {
        {"SEPARATED",
         [](CFetch& fetch) {
             fetch.SetFieldString("A", "a");
             fetch.SetFieldString("B", "");
             fetch.SetFieldString("C", "c");
         },
         "separated.txt", "a;;c\n"},
        // No qualifier set: a value holding the separator is enclosed in double quotes.
        {"SEPARATED",
         [](CFetch& fetch) {
             fetch.SetFieldString("A", "x;y");
             fetch.SetFieldString("B", "say \"hi\"");
             fetch.SetFieldInt("C", 7);
         },
         "separated.txt", "\"x;y\";\"say \"\"hi\"\"\";7\n"},
        // The qualifier wraps text fields, doubles itself inside, and leaves numbers bare.
        {"QUOTED",
         [](CFetch& fetch) {
             fetch.SetFieldString("TEXT", "12\" pipe; steel");
             fetch.SetFieldInt("NUMBER", 7);
             fetch.SetFieldString("LAST", "plain");
         },
         "quoted.txt", "\"12\"\" pipe; steel\";7;\"plain\"\n"},
        // Seconds follow the minutes with the TIME format's separator.
        {"SEPARATED",
         [](CFetch& fetch) {
             fetch.SetFieldDateTime("A", trv::OleDate(2024, 3, 31, 7, 45, 30), 1);
             fetch.SetFieldDateTime("B", trv::OleDate(2024, 3, 31, 7, 45, 30), 0);
             fetch.SetFieldString("C", "c");
         },
         "separated.txt", "31/03/2024 07:45:30;31/03/2024 07:45;c\n"},
        // Line feeds in texts become blanks.
        {"SEPARATED", [](CFetch& fetch) { fetch.SetFieldString("A", "two\nlines"); },
         "separated.txt", "two lines\n"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.expected);
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, test.definition));
        test.set(fetch);
        EXPECT_TRUE(fetch.WriteRecord());
        EXPECT_TRUE(fetch.Close());
        EXPECT_EQ(ReadFileBytes(Path(test.file)), test.expected);
    }
}

TEST_F(FetchWriteTest, EachRecordStartsEmptyWhateverTheRecordBeforeSet)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "SEPARATED"));
    WriteRecords(fetch, {{{"A", "a first value longer than most"}, {"B", "b"}, {"C", "c"}},
                         {{"C", "3"}, {"A", "1"}},
                         {{"B", "only b"}},
                         {{"A", "a"}, {"B", "b"}, {"C", "c"}}});
    // Values taken from the record's own while it grows.
    fetch.SetFieldString("A", "a copied value longer than a short string");
    fetch.SetFieldString("B", *fetch.FindSetValue("A"));
    fetch.SetFieldString("C", *fetch.FindSetValue("B"));
    EXPECT_TRUE(fetch.WriteRecord());
    EXPECT_TRUE(fetch.Close());
    const std::string copied = "a copied value longer than a short string";
    EXPECT_EQ(ReadFileBytes(Path("separated.txt")),
              "a first value longer than most;b;c\n1;;3\n;only b\na;b;c\n" + copied + ";" +
                  copied + ";" + copied + "\n");
}

TEST_F(FetchWriteTest, QuotedValueReadsBackWhole)
{
    {
        CFetch writer;
        ASSERT_TRUE(Open(writer, "QUOTED"));
        WriteRecords(writer, {{{"TEXT", "North; South"}, {"LAST", "end"}},
                              {{"TEXT", "plain"}, {"LAST", "x;y"}}});
        ASSERT_TRUE(writer.Close());
    }
    CFetch reader;
    ASSERT_TRUE(Open(reader, "QUOTED", FETCH_MODE_READ));
    std::vector<std::pair<std::string, std::string>> read;
    while (!reader.IsEOF())
        if (reader.MoveNext())
            read.emplace_back(reader.GetFieldString("TEXT"), reader.GetFieldString("LAST"));
    const std::vector<std::pair<std::string, std::string>> expected = {{"North; South", "end"},
                                                                       {"plain", "x;y"}};
    EXPECT_EQ(read, expected);
}

TEST_F(FetchWriteTest, FixedWidthFieldsArePaddedAndNumbersNeverCut)
{
    {
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, "FIXED"));
        fetch.SetFieldString("A", "AB");
        fetch.SetFieldString("B", "XYZ");
        EXPECT_TRUE(fetch.WriteRecord());
        fetch.ClearRecord();
        // Widths count characters, not bytes.
        fetch.SetFieldString("A", "ÑÜ");
        fetch.SetFieldString("B", "ÀÉÎÕÛÇ");
        EXPECT_TRUE(fetch.WriteRecord());
        ASSERT_TRUE(fetch.Close());
        EXPECT_EQ(ReadFileBytes(Path("fixed.txt")), " AB   XYZ  \n ÑÜ   ÀÉÎÕÛ\n");
    }
    struct Case
    {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"12.75", "000012"}, {"A.B", "000A.B"}, {"1234567", "******"},
        {"-12", "-00012"},   {"", "000000"},
    };
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "ZEROS"));
    std::string expected;
    for (const Case& test : cases) {
        fetch.SetFieldString("N", test.value);
        fetch.SetFieldString("T", "text");
        EXPECT_TRUE(fetch.WriteRecord());
        fetch.ClearRecord();
        expected += std::string(test.expected) + " text\n";
    }
    ASSERT_TRUE(fetch.Close());
    EXPECT_EQ(ReadFileBytes(Path("zeros.txt")), expected);
    EXPECT_TRUE(Traced("ZEROS: field N: 1234567 does not fit in 6 characters"));
}

TEST_F(FetchWriteTest, ListValuesBecomeOneLinePerItemOrAreReportedWhenUnequal)
{
    trv::RecordingUserPrompt prompt;
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "LISTS"));
    fetch.SetFieldListString("FIRST", Texts({"a", "b", "c"}));
    fetch.SetFieldString("PLAIN", "p");
    CAutoArray<int> numbers(3);
    for (int index = 0; index < 3; ++index)
        numbers[index] = index + 1;
    fetch.SetFieldListInt("SECOND", numbers);
    EXPECT_TRUE(fetch.WriteRecord());
    fetch.ClearRecord();

    fetch.SetFieldListString("FIRST", Texts({"a", "b", "c"}));
    fetch.SetFieldListString("SECOND", Texts({"x", "y"}));
    EXPECT_TRUE(fetch.WriteRecord());
    fetch.ClearRecord();
    ASSERT_TRUE(fetch.Close());

    EXPECT_EQ(ReadFileBytes(Path("lists.txt")), "a;p;1\nb;p;2\nc;p;3\n");
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "MultipleLineFieldSizeDoesNotFit");
    EXPECT_NE(prompt.calls[0].text.find("(a,b,c)\n(x,y)"), std::string::npos);
}

TEST_F(FetchWriteTest, AppendedValuesCollectIntoAList)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "SEPARATED"));
    const char* values[] = {"a", "b", "", "c"};
    const char* expected[] = {"a", "LIST(a#,#b)", "LIST(a#,#b#,# )", "LIST(a#,#b#,# #,#c)"};
    for (int index = 0; index < 4; ++index) {
        fetch.SetField("A", values[index], 1);
        ASSERT_EQ(fetch.m_arrOutValues.size(), 1u);
        EXPECT_EQ(fetch.m_arrOutValues[0], expected[index]);
    }
    // Stored only: kept under its name, placed nowhere.
    fetch.SetField("B", "kept", 0, nullptr, 1);
    ASSERT_NE(fetch.FindSetValue("B"), nullptr);
    EXPECT_EQ(*fetch.FindSetValue("B"), "kept");
    EXPECT_EQ(fetch.m_arrOutValues.size(), 1u);
}

TEST_F(FetchWriteTest, SumFieldSplitsACombinedValueOverItsFields)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "SUMS"));
    fetch.SetFieldString("BOTH", "x|y");
    EXPECT_TRUE(fetch.WriteRecord());
    fetch.ClearRecord();
    // Without the separator in the value nothing is split.
    fetch.SetFieldString("BOTH", "x");
    EXPECT_TRUE(fetch.m_arrOutValues.empty());
    ASSERT_TRUE(fetch.Close());
    EXPECT_EQ(ReadFileBytes(Path("sums.txt")), "x;y\n");
}

TEST_F(FetchWriteTest, IniTargetWritesKeyAndValuesEachFollowedByTheSeparator)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "KEYS"));
    WriteRecords(fetch, {{{"KEY", "K1"}, {"X", "x"}, {"Y", "y"}}});
    ASSERT_TRUE(fetch.Close());
    EXPECT_NE(ReadFileBytes(Path("keys.ini")).find("[Keys]\nK1=x,y,\n"), std::string::npos)
        << ReadFileBytes(Path("keys.ini"));
}

TEST_F(FetchWriteTest, JsonTargetsWriteTheirDocumentAtClose)
{
    for (const char* name : {"ORDERS_ARRAY", "ORDERS_OBJECT"}) {
        SCOPED_TRACE(name);
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, name));
        WriteRecords(fetch, {{{"CODE", "A7"}, {"WEIGHT", "12.5"}}, {{"CODE", "B8"}}});
        ASSERT_TRUE(fetch.Close());
        const bool array = std::string(name) == "ORDERS_ARRAY";
        const Json::Value document =
            ParseJson(ReadFileBytes(Path(array ? "array.json" : "object.json")));
        const Json::Value records = array ? document : document["Orders"];
        if (!array) {
            EXPECT_EQ(document.size(), 1u);
        }
        ASSERT_TRUE(records.isArray());
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0]["code"].asString(), "A7");
        EXPECT_EQ(records[0]["weight"].asString(), "12.5");
        EXPECT_EQ(records[1]["code"].asString(), "B8");
    }
}

// ---- The target file ---------------------------------------------------------------------

TEST_F(FetchWriteTest, TargetKeepsItsOldContentUntilCloseAndBlankTargetsAreNotCreated)
{
    {
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, "BLANK"));
        ASSERT_TRUE(fetch.Close());
        EXPECT_FALSE(std::filesystem::exists(Path("blank.txt")));
    }
    for (const char* name : {"BLANK", "SEPARATED"}) {
        SCOPED_TRACE(name);
        const std::string target =
            Path(std::string(name) == "BLANK" ? "blank.txt" : "separated.txt");
        WriteFileBytes(target, "old\n");
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, name));
        WriteRecords(fetch, {{{"A", "new"}}});
        EXPECT_EQ(ReadFileBytes(target), "old\n");
        ASSERT_TRUE(fetch.Close());
        EXPECT_EQ(ReadFileBytes(target), "new\n");
        // Nothing is left beside the target.
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(Path("")))
            files += entry.path().string().starts_with(target) ? 1 : 0;
        EXPECT_EQ(files, 1);
        // A second Close finds nothing left to do.
        EXPECT_TRUE(fetch.Close());
        EXPECT_EQ(ReadFileBytes(target), "new\n");
    }
}

TEST_F(FetchWriteTest, TemporaryFileNameIsCopiedOntoTheTargetAtClose)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "TMP"));
    WriteRecords(fetch, {{{"A", "one"}}, {{"A", "two"}}});
    EXPECT_FALSE(std::filesystem::exists(Path("final.txt")));
    ASSERT_TRUE(fetch.Close());
    EXPECT_EQ(ReadFileBytes(Path("final.txt")), "one\ntwo\n");
    EXPECT_FALSE(std::filesystem::exists(Path("work.tmp")));
}

TEST_F(FetchWriteTest, ConcatenatedFilesAreAppendedInOrder)
{
    WriteFileBytes(Path("t.txt"), "t\n");
    WriteFileBytes(Path("a.txt"), "a\n");
    CFetch fetch;
    // POST_CONCAT_FILES names are used as given: run where they are.
    struct WorkingFolder
    {
        std::filesystem::path previous = std::filesystem::current_path();
        explicit WorkingFolder(const std::string& folder) { std::filesystem::current_path(folder); }
        ~WorkingFolder() { std::filesystem::current_path(previous); }
    } workingFolder(Path(""));
    ASSERT_TRUE(Open(fetch, "CONCAT"));
    WriteRecords(fetch, {{{"A", "b"}}});
    EXPECT_TRUE(fetch.Close());
    EXPECT_EQ(ReadFileBytes(Path("t.txt")), "t\na\nb\n");
}

TEST_F(FetchWriteTest, UnwritableTargetFailsAndSaysSo)
{
    // A folder below a regular file cannot be created, not even by root.
    WriteFileBytes(Path("plain"), "");
    const std::string target = Path("plain/out.txt");
    {
        // Opened at Init.
        trv::RecordingUserPrompt prompt;
        CFetch fetch;
        EXPECT_FALSE(Open(fetch, "UNWRITABLE"));
        ASSERT_FALSE(prompt.calls.empty());
        EXPECT_EQ(prompt.calls[0].key, "FileCannotWrite");
        EXPECT_NE(prompt.calls[0].text.find(target), std::string::npos);
    }
    // Opened by the first record.
    trv::RecordingUserPrompt prompt;
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "UNWRITABLE_BLANK"));
    fetch.SetFieldString("A", "x");
    EXPECT_FALSE(fetch.WriteRecord());
    EXPECT_FALSE(fetch.Close());
    EXPECT_TRUE(Traced("Error_Abrir_Archivo " + target));
    ASSERT_FALSE(prompt.calls.empty());
    EXPECT_EQ(prompt.calls[0].key, "FileCannotWrite");
}

TEST_F(FetchWriteTest, VanishedFolderFailsTheClose)
{
    std::filesystem::create_directories(Path("gone"));
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "BLANK"));
    fetch.m_strOutputPath = Path("gone/blank.txt");
    WriteRecords(fetch, {{{"A", "x"}}});
    std::filesystem::remove_all(Path("gone"));
    EXPECT_FALSE(fetch.Close());
    EXPECT_FALSE(fetch.m_strLastError.empty());
    EXPECT_NE(fetch.m_strLastError.find(Path("gone/blank.txt")), std::string::npos);
}

// ---- Conditions, LIST definitions, calculated fields -------------------------------------

TEST_F(FetchWriteTest, WriteConditionSkipsRecordsSilently)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "CONDITIONAL"));
    WriteRecords(fetch, {{{"A", "1"}, {"KIND", "KEEP"}},
                         {{"A", "2"}, {"KIND", "DROP"}},
                         {{"A", "3"}, {"KIND", "KEEP"}}});
    ASSERT_TRUE(fetch.Close());
    EXPECT_EQ(ReadFileBytes(Path("conditional.txt")), "1\n3\n");
}

TEST_F(FetchWriteTest, ListDefinitionWritesEveryChild)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "BOTH"));
    WriteRecords(fetch, {{{"A", "a1"}, {"B", "b1"}}, {{"A", "a2"}}});
    ASSERT_TRUE(fetch.Close());
    EXPECT_EQ(ReadFileBytes(Path("one.txt")), "a1;b1\na2\n");
    EXPECT_EQ(ReadFileBytes(Path("two.txt")), "a1  \na2  \n");

    // The LIST's write condition is applied by each child to the values it received.
    CFetch conditional;
    ASSERT_TRUE(Open(conditional, "BOTH_IF"));
    WriteRecords(conditional, {{{"A", "a1"}, {"B", "b1"}}, {{"A", "a2"}}});
    ASSERT_TRUE(conditional.Close());
    EXPECT_EQ(ReadFileBytes(Path("one.txt")), "a2\n");
    EXPECT_EQ(ReadFileBytes(Path("two.txt")), "a2  \n");
}

TEST_F(FetchWriteTest, CalculatedFieldsSumTheValuesSet)
{
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "TOTALS", FETCH_MODE_READ));
    FetchTextMap expressions;
    fetch.GetFieldExpressions(expressions);
    ASSERT_EQ(expressions.count("TOTAL"), 1u);
    fetch.SetMode(FETCH_MODE_WRITE);
    fetch.SetFieldFloat("A", 1, 1.5f);
    fetch.SetFieldFloat("B", 1, 2.25f);
    fetch.StripListWrappers();
    fetch.CloseRecordset();
    fetch.EvaluateFields(expressions);
    EXPECT_FLOAT_EQ(fetch.GetFieldFloat("TOTAL"), 3.75f);
    fetch.SetMode(FETCH_MODE_READ);
}
