#include "containers/SmartArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Objects that record how often each of them was destroyed.
struct Counted
{
    static inline std::map<int, int> destructions;
    int id;
    explicit Counted(int idIn) : id(idIn) {}
    ~Counted() { ++destructions[id]; }
};

int Destructions(int id)
{
    auto found = Counted::destructions.find(id);
    return found == Counted::destructions.end() ? 0 : found->second;
}

class OwningArrayTest : public ::testing::Test
{
  protected:
    void SetUp() override { Counted::destructions.clear(); }

    static void Fill(CSmartPtrArray<Counted>& array, int count)
    {
        for (int id = 0; id < count; ++id)
            array.Add(new Counted(id));
    }
};

TEST(SmartArrayGrowth, FirstBlockHoldsTheRequestOrTheStep)
{
    CSmartIntArray exact;
    exact.SetSize(7);
    EXPECT_EQ(exact.GetCapacity(), 7);

    CSmartIntArray stepped;
    stepped.SetSize(3, 10);
    EXPECT_EQ(stepped.GetCapacity(), 10);
    EXPECT_EQ(stepped.GetSize(), 3);
    EXPECT_EQ(stepped[2], 0);
}

TEST(SmartArrayGrowth, StepIsHalfTheCountAtLeast4AndAtLeastTheGrowBy)
{
    struct Case
    {
        int fullCount;
        int growBy;
        int expectedStep;
    };
    const Case cases[] = {{1, 0, 4},          {9, 0, 4},       {10, 0, 5},       {9000, 0, 4500},
                          {100000, 0, 50000}, {100, 500, 500}, {2000, 500, 1000}};
    for (const Case& c : cases) {
        CSmartIntArray array;
        array.SetSize(c.fullCount);
        array.SetSize(c.fullCount, c.growBy);
        ASSERT_EQ(array.GetCapacity(), c.fullCount);
        array.Add(1);
        EXPECT_EQ(array.GetCapacity(), c.fullCount + c.expectedStep) << "full at " << c.fullCount;
    }
}

TEST(SmartArrayGrowth, AddingOneAtATimeIsAmortised)
{
    CSmartIntArray array;
    std::vector<int> capacities;
    for (int value = 0; value < 200000; ++value) {
        const int before = array.GetCapacity();
        const int countBefore = array.GetSize();
        array.Add(value);
        if (array.GetCapacity() != before) {
            const int expected = before == 0 ? 1 : before + std::max(countBefore / 2, 4);
            ASSERT_EQ(array.GetCapacity(), expected) << "full at " << countBefore;
            capacities.push_back(array.GetCapacity());
        }
    }
    // Geometric growth: a few dozen blocks for 200,000 elements, not hundreds.
    EXPECT_LT(capacities.size(), 40u);
    EXPECT_EQ(std::vector<int>(capacities.begin(), capacities.begin() + 4),
              (std::vector<int>{1, 5, 9, 13}));
    for (int i = 0; i < array.GetSize(); ++i)
        ASSERT_EQ(array[i], i);
}

TEST(SmartArrayGrowth, StringsSurviveGrowthInsertionAndRemoval)
{
    CSmartStringArray array;
    std::vector<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        // Long enough to live on the heap, so a byte-copied string would dangle.
        std::string text = "element number " + std::to_string(i) + " with a long tail";
        array.Add(text);
        expected.push_back(text);
    }
    array.InsertAt(5, "inserted");
    expected.insert(expected.begin() + 5, "inserted");
    array.RemoveAt(10, 3);
    expected.erase(expected.begin() + 10, expected.begin() + 13);
    array.SetSize(1500);
    expected.resize(1500);
    array.FreeExtra();
    EXPECT_EQ(array.GetCapacity(), 1500);
    ASSERT_EQ(array.GetSize(), 1500);
    EXPECT_TRUE(std::equal(array.begin(), array.end(), expected.begin()));
}

TEST(SmartArrayGrowth, ElementPassedFromTheSameArraySurvivesGrowth)
{
    CSmartStringArray array;
    array.Add("first element, long enough to be on the heap");
    for (int round = 0; round < 50; ++round) {
        array.Add(array[0]);
        array.InsertAt(0, array[array.GetSize() - 1]);
        array.SetAtGrow(array.GetSize() + 2, array[1]);
    }
    for (const std::string& text : array) {
        if (!text.empty()) {
            EXPECT_EQ(text, "first element, long enough to be on the heap");
        }
    }
}

TEST_F(OwningArrayTest, DeletesEachObjectExactlyOnce)
{
    {
        CSmartPtrArray<Counted> array;
        Fill(array, 10);

        array.RemoveAt(3); // 3
        EXPECT_EQ(Destructions(3), 1);
        EXPECT_EQ(array.GetSize(), 9);
        EXPECT_EQ(array[3]->id, 4);

        array.SetSize(6); // 7, 8, 9
        for (int id : {7, 8, 9})
            EXPECT_EQ(Destructions(id), 1) << id;

        array.InsertAt(1, new Counted(100));
        array.Add(nullptr);   // a null slot is skipped
        array.RemoveAt(0, 2); // 0 and 100
        EXPECT_EQ(Destructions(0), 1);
        EXPECT_EQ(Destructions(100), 1);

        array.SetSize(0); // 1, 2, 4, 5, 6
        EXPECT_EQ(array.GetCapacity(), 0);
        EXPECT_EQ(array.begin(), nullptr);

        Fill(array, 3); // 0, 1, 2 again
    }
    // Destruction deleted the last three; nothing was deleted twice.
    for (int id = 0; id < 10; ++id)
        EXPECT_EQ(Destructions(id), id <= 2 ? 2 : 1) << id;
    EXPECT_EQ(Destructions(100), 1);
}

TEST_F(OwningArrayTest, MoveAssignmentDeletesTheTargetsObjectsOnly)
{
    CSmartPtrArray<Counted> target;
    target.Add(new Counted(1));
    CSmartPtrArray<Counted> source;
    source.Add(new Counted(2));
    target = std::move(source);
    EXPECT_EQ(Destructions(1), 1);
    EXPECT_EQ(Destructions(2), 0);
    ASSERT_EQ(target.GetSize(), 1);
    EXPECT_EQ(target[0]->id, 2);
    EXPECT_EQ(source.GetSize(), 0);
}

TEST_F(OwningArrayTest, CopyIntoAPlainPointerArrayLeavesOwnershipAlone)
{
    CSmartPtrArray<Counted> owner;
    Fill(owner, 4);
    {
        CSmartArray<Counted*, Counted*, 0, 0> view;
        view.Copy(owner);
        view.Append(owner);
        EXPECT_EQ(view.GetSize(), 8);
        EXPECT_EQ(view[5], owner[1]);
        view.SetSize(1);
    }
    EXPECT_TRUE(Counted::destructions.empty());
}

TEST(SmartArrayAdding, InsertBeyondTheEndValueInitialisesTheGap)
{
    CSmartIntArray array;
    array.Add(9);
    array.InsertAt(array.GetSize() + 3, 7);
    EXPECT_EQ(std::vector<int>(array.begin(), array.end()), (std::vector<int>{9, 0, 0, 0, 7}));

    array.InsertAt(1, 5, 2);
    EXPECT_EQ(std::vector<int>(array.begin(), array.end()),
              (std::vector<int>{9, 5, 5, 0, 0, 0, 7}));
}

struct Keyed
{
    int key;
    std::string text;
    auto operator<=>(const Keyed& other) const { return key <=> other.key; }
    bool operator==(const Keyed& other) const { return key == other.key; }
};

TEST(SmartArrayAdding, AddSortedPutsARepeatBeforeItsEqual)
{
    CSmartSortedWordArray words;
    for (unsigned short value : {5, 1, 3, 9, 3, 7})
        words.AddSorted(value);
    EXPECT_EQ(std::vector<unsigned short>(words.begin(), words.end()),
              (std::vector<unsigned short>{1, 3, 3, 5, 7, 9}));
    // The binary search meets the 3 at index 2 first: the repeat goes there, before it.
    EXPECT_EQ(words.AddSorted(3), 2);
    EXPECT_EQ(words.AddSorted(9), 6); // before the 9 already there
    EXPECT_EQ(words.AddSorted(0), 0);

    // Records ordered by key only show which of two equals comes first.
    CSmartArray<Keyed, const Keyed&, 1, 0> records;
    records.AddSorted({1, "one"});
    records.AddSorted({3, "old"});
    records.AddSorted({5, "five"});
    EXPECT_EQ(records.AddSorted({3, "new"}), 1);
    EXPECT_EQ(records[1].text, "new");
    EXPECT_EQ(records[2].text, "old");

    // Strings are inserted in case-counting order, repeats kept.
    CSmartSortStringArray texts;
    for (const char* text : {"b", "a", "C", "b"})
        texts.AddSorted(text);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.end()),
              (std::vector<std::string>{"C", "a", "b", "b"}));
}

TEST(SmartArrayAdding, NoRepeatStringArrayIgnoresCase)
{
    CSmartSortNoRepeatStringArray array;
    EXPECT_EQ(array.AddUnique("ñandú"), 0);
    EXPECT_EQ(array.AddUnique("Lisboa"), 1);
    EXPECT_EQ(array.AddUnique("ÑANDÚ"), 0);
    EXPECT_EQ(array.AddUnique("LISBOA"), 1);
    EXPECT_EQ(array.AddUnique("nandu"), 2); // other letters, not another case
    EXPECT_EQ(array.GetSize(), 3);
    EXPECT_EQ(array[0], "ñandú");
    EXPECT_EQ(array.Find("ÑandÚ"), 0);
    EXPECT_EQ(array.FindFrom(-1, "LISBOA"), -1); // FindFrom counts case
    EXPECT_EQ(array.FindFrom(1, "Lisboa"), 1);
    EXPECT_EQ(array.FindFrom(2, "Lisboa"), -1);
}

TEST(SmartArrayAdding, PlainArraysFindByEquality)
{
    CSmartIntArray numbers;
    for (int value : {4, 8, 15})
        numbers.Add(value);
    EXPECT_EQ(numbers.Find(15), 2);
    EXPECT_EQ(numbers.Find(16), -1);
    EXPECT_EQ(numbers.AddUnique(8), 1);
    EXPECT_EQ(numbers.AddUnique(16), 3);

    CSmartNoRepeatIntArray unique;
    for (int value : {3, 1, 3, 2, 1})
        unique.AddUnique(value);
    EXPECT_EQ(std::vector<int>(unique.begin(), unique.end()), (std::vector<int>{3, 1, 2}));

    int a = 0, b = 0;
    CSmartArray<int*, int*, 0, 0> pointers;
    pointers.Add(&a);
    EXPECT_EQ(pointers.Find(&b), -1);
    EXPECT_EQ(pointers.Find(&a), 0);
}

// Counts the comparisons the sort makes.
class CountingIntArray : public CSmartArray<int, int, 1, 0>
{
  public:
    int Compare(int a, int b) const override
    {
        ++comparisons;
        return CSmartArray::Compare(a, b);
    }
    mutable int comparisons = 0;
};

TEST(SmartArraySort, BubbleSortStopsAfterAPassWithoutSwaps)
{
    CountingIntArray array;
    for (int value : {1, 2, 3, 4, 5})
        array.Add(value);
    array.Sort();
    EXPECT_EQ(array.comparisons, 4); // one pass

    array.SetSize(0);
    for (int value : {5, 3, 4, 1, 2})
        array.Add(value);
    array.Sort();
    EXPECT_EQ(std::vector<int>(array.begin(), array.end()), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(SmartArraySort, StringArraysSortIgnoringCaseAndStably)
{
    CSmartStringArray array;
    for (const char* text : {"beta", "Álamo", "ALFA", "alfa", "Beta", "álamo"})
        array.Add(text);
    array.Sort();
    EXPECT_EQ(std::vector<std::string>(array.begin(), array.end()),
              (std::vector<std::string>{"ALFA", "alfa", "beta", "Beta", "Álamo", "álamo"}));
}

TEST(SmartArraySort, QuickSortMatchesTheStandardSortAndCopesWithSortedInput)
{
    std::mt19937 random(7);
    CSmartStringArray array;
    std::vector<std::string> expected;
    for (int i = 0; i < 5000; ++i) {
        std::string text = std::to_string(random() % 1000) + (i % 2 ? "a" : "B");
        array.Add(text);
        expected.push_back(text);
    }
    array.QuickSort(0, array.GetSize() - 1);
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(std::equal(array.begin(), array.end(), expected.begin()));

    // Already sorted input, the slow and deep case of a first-element pivot.
    CSmartStringArray sorted;
    for (int i = 0; i < 20000; ++i)
        sorted.Add(std::to_string(1000000 + i));
    sorted.QuickSort(0, sorted.GetSize() - 1);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
}

TEST(SmartArrayCopy, CopyConstructsOrReleasesTheDifference)
{
    CSmartStringArray longer;
    for (const char* text : {"one", "two", "three", "four"})
        longer.Add(text);
    CSmartStringArray target;
    target.SetSize(1, 10); // spare capacity for the copy
    target.Copy(longer);
    EXPECT_EQ(target.GetCapacity(), 10);
    EXPECT_EQ(std::vector<std::string>(target.begin(), target.end()),
              std::vector<std::string>(longer.begin(), longer.end()));

    CSmartStringArray shorter;
    shorter.Add("only");
    target.Copy(shorter);
    ASSERT_EQ(target.GetSize(), 1);
    EXPECT_EQ(target[0], "only");

    EXPECT_EQ(target.Append(longer), 1);
    EXPECT_EQ(target.Append(target), 5);
    EXPECT_EQ(target.GetSize(), 10);
    EXPECT_EQ(target[9], "four");

    CSmartStringArray copied(target);
    EXPECT_EQ(copied.GetSize(), 10);
    EXPECT_EQ(copied[5], "only");
}

} // namespace
