#include "containers/BoolTable.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bits = std::vector<std::vector<bool>>; // [row][column]

Bits ReadBits(const CBoolTable& table, int columns)
{
    Bits bits(table.GetRows(), std::vector<bool>(columns));
    for (int row = 0; row < table.GetRows(); ++row)
        for (int column = 0; column < columns; ++column)
            bits[row][column] = table.GetBit(column, row) != 0;
    return bits;
}

// A table of the given size with about a third of its bits set, and the same bits as a model.
CBoolTable RandomTable(int columns, int rows, Bits& model, unsigned seed)
{
    std::mt19937 random(seed);
    CBoolTable table;
    table.Create(columns, rows);
    model.assign(rows, std::vector<bool>(columns));
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            if (random() % 3 == 0) {
                table.SetBit(column, row);
                model[row][column] = true;
            }
    return table;
}

class BoolTableFileTest : public ::testing::Test
{
  protected:
    std::string PathOf(const char* name) const { return folder.File(name); }

    static void WriteBytes(const std::string& path, const std::string& bytes)
    {
        trv::test::WriteFileBytes(path, bytes);
    }

    trv::test::TempFolder folder{"trv_booltable"};
};

TEST(BoolTable, EachRowTakesOneWordMoreThanAMultipleOf32Needs)
{
    const int cases[][2] = {{0, 1}, {31, 1}, {32, 2}, {40, 2}, {64, 3}};
    for (const auto& c : cases) {
        CBoolTable table;
        table.Create(c[0], 3);
        EXPECT_EQ(table.GetWordsPerRow(), c[1]) << c[0] << " columns";
    }
}

TEST(BoolTable, SetRangeSetsExactlyTheClampedRange)
{
    struct Case
    {
        int columns, from, to;
        int firstSet, lastSet; // -1, -1: nothing
    };
    const Case cases[] = {
        {40, 5, 3, -1, -1},     {40, -4, 100, 0, 39},  {100, 30, 65, 30, 65}, {100, 31, 32, 31, 32},
        {100, 0, 31, 0, 31},    {100, 32, 63, 32, 63}, {100, 7, 7, 7, 7},     {128, 0, 127, 0, 127},
        {100, 95, 200, 95, 99}, {0, 0, 5, -1, -1},
    };
    for (const Case& c : cases) {
        CBoolTable table;
        table.Create(c.columns, 3);
        table.SetRange(c.from, c.to, 1);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 32 * table.GetWordsPerRow(); ++column) {
                const bool expected = row == 1 && column >= c.firstSet && column <= c.lastSet;
                ASSERT_EQ(table.GetBit(column, row) != 0, expected)
                    << "SetRange(" << c.from << ", " << c.to << ") on " << c.columns
                    << " columns: bit " << column << " of row " << row;
            }
    }
}

TEST(BoolTable, SetAllLeavesThePaddingClear)
{
    CBoolTable table;
    table.Create(40, 2);
    table.SetAll();
    for (int column = 0; column < 64; ++column)
        EXPECT_EQ(table.GetBit(column, 1) != 0, column < 40) << column;
    table.ClearAll();
    EXPECT_EQ(ReadBits(table, 64), Bits(2, std::vector<bool>(64)));
}

TEST(BoolTable, StructuralEditsMoveEveryBit)
{
    Bits model;
    CBoolTable table = RandomTable(45, 7, model, 1);

    table.InsertRow(2);
    model.insert(model.begin() + 2, std::vector<bool>(45));
    table.InsertRow(8); // the end appends
    model.push_back(std::vector<bool>(45));
    table.RemoveRow(0);
    model.erase(model.begin());
    table.RemoveRow(table.GetRows()); // out of range: unchanged

    table.InsertColumn(31);
    for (auto& row : model)
        row.insert(row.begin() + 31, false);
    table.InsertColumn(46);
    for (auto& row : model)
        row.push_back(false);
    table.RemoveColumn(0);
    for (auto& row : model)
        row.erase(row.begin());
    table.RemoveColumn(-1);

    ASSERT_EQ(table.GetColumns(), 46);
    ASSERT_EQ(table.GetRows(), 8);
    EXPECT_EQ(ReadBits(table, 46), model);

    table.Resize(20, 5);
    model.resize(5);
    for (auto& row : model)
        row.resize(20);
    table.Resize(70, 6);
    model.resize(6, std::vector<bool>(70));
    for (auto& row : model)
        row.resize(70);
    EXPECT_EQ(ReadBits(table, 70), model);
    EXPECT_EQ(table.GetBit(69, 5), 0);
}

TEST(BoolTable, ComparisonAndCopy)
{
    CBoolTable empty, otherEmpty;
    EXPECT_FALSE(empty != otherEmpty);

    Bits model;
    CBoolTable table = RandomTable(40, 5, model, 2);
    EXPECT_TRUE(table != empty);

    CBoolTable copy;
    copy = table;
    EXPECT_FALSE(copy != table);
    int clearColumn = 0;
    while (model[4][clearColumn])
        ++clearColumn;
    copy.SetBit(clearColumn, 4);
    EXPECT_TRUE(copy != table);

    // Same words, different sizes: different tables.
    CBoolTable narrow, wide;
    narrow.Create(40, 2);
    wide.Create(50, 2);
    EXPECT_TRUE(narrow != wide);
    wide.Create(40, 3);
    EXPECT_TRUE(narrow != wide);
}

TEST_F(BoolTableFileTest, FortyColumnsSavedAndLoadedKeepEveryBit)
{
    Bits model;
    const CBoolTable table = RandomTable(40, 9, model, 3);
    const std::string path = PathOf("table.bin");
    ASSERT_TRUE(table.Save(path));
    EXPECT_EQ(std::filesystem::file_size(path), 8u + 9 * 2 * 4);

    CBoolTable loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.GetColumns(), 64);
    EXPECT_EQ(loaded.GetRows(), 9);
    for (auto& row : model)
        row.resize(64);
    EXPECT_EQ(ReadBits(loaded, 64), model);

    // A loaded table copies with its own word layout.
    CBoolTable copy(loaded);
    CBoolTable assigned;
    assigned.Create(3, 1);
    assigned = loaded;
    EXPECT_EQ(ReadBits(copy, 64), model);
    EXPECT_EQ(ReadBits(assigned, 64), model);
    EXPECT_FALSE(assigned != loaded);

    // Same size and bits, laid out differently: equal.
    CBoolTable created;
    created.Create(64, 9);
    for (int row = 0; row < 9; ++row)
        for (int column = 0; column < 64; ++column)
            if (model[row][column])
                created.SetBit(column, row);
    EXPECT_FALSE(created != loaded);
}

TEST_F(BoolTableFileTest, TheFileIsLittleEndianWordsAfterTwoCounts)
{
    CBoolTable table;
    table.Create(33, 1);
    table.SetBit(0, 0);
    table.SetBit(32, 0);
    std::ostringstream stream;
    ASSERT_TRUE(table.WriteTo(stream));
    const std::string expected("\x02\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\0\0", 16);
    EXPECT_EQ(stream.str(), expected);

    // Two tables one after the other in one stream.
    table.WriteTo(stream);
    std::istringstream input(stream.str() + stream.str());
    CBoolTable first, second;
    ASSERT_TRUE(first.ReadFrom(input));
    ASSERT_TRUE(second.ReadFrom(input));
    EXPECT_EQ(second.GetBit(32, 0), 1);
}

TEST_F(BoolTableFileTest, ShortOrCorruptFilesAreRefused)
{
    Bits model;
    const CBoolTable table = RandomTable(40, 4, model, 4);
    std::ostringstream stream;
    table.WriteTo(stream);
    const std::string whole = stream.str();

    auto header = [](std::int32_t wordsPerRow, std::int32_t rows) {
        std::string bytes(8, '\0');
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<char>(std::uint32_t(wordsPerRow) >> (8 * i));
            bytes[4 + i] = static_cast<char>(std::uint32_t(rows) >> (8 * i));
        }
        return bytes;
    };
    const std::string cases[] = {
        "",
        whole.substr(0, 6),
        whole.substr(0, whole.size() - 1),
        whole.substr(0, 8),
        header(2, 0x7FFFFFFF) + std::string(64, '\xFF'), // counts far beyond the data
        header(0x7FFFFFFF, 0x7FFFFFFF),
        header(-1, 4),
        header(2, -3),
        header(0, 5),
    };
    int index = 0;
    for (const std::string& bytes : cases) {
        const std::string path = PathOf("bad.bin");
        WriteBytes(path, bytes);
        CBoolTable loaded = table;
        EXPECT_FALSE(loaded.Load(path)) << "case " << index;
        EXPECT_FALSE(loaded != table) << "case " << index << " changed the table";
        ++index;
    }
    CBoolTable missing;
    EXPECT_FALSE(missing.Load(PathOf("missing.bin")));
    EXPECT_FALSE(table.Save(PathOf("no/such/folder/table.bin")));

    // An empty table is a valid file.
    CBoolTable empty, loaded = table;
    ASSERT_TRUE(empty.Save(PathOf("empty.bin")));
    EXPECT_TRUE(loaded.Load(PathOf("empty.bin")));
    EXPECT_EQ(loaded.GetRows(), 0);
}

} // namespace
