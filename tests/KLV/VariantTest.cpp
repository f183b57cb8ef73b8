#include "KLV/Variant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using trv::Variant;

TEST(VariantTest, SortKeysAndComparisons)
{
    const std::int64_t twoTo32 = std::int64_t{1} << 32;
    struct KeyCase
    {
        Variant value;
        const char* key;
        const char* why;
    };
    const KeyCase keys[] = {
        {Variant::FromSigned(trv::VT_I2, -42), "-000000042", "negative I2"},
        {Variant(true), "-000000001", "true is -1"},
        {Variant(false), "0000000000", "false is 0"},
        {Variant(42), "0000000042", "I4"},
        {Variant::FromSigned(trv::VT_I2, 70000), "0000004464", "I2 holds 16 bits"},
        {Variant::FromSigned(trv::VT_I8, twoTo32 + 5), "4294967301", "I8 keeps all 64 bits"},
        {Variant::FromSigned(trv::VT_INT, -7), "-000000007", "INT"},
        {Variant::FromReal(trv::VT_R8, 3.14159), "00003.1416", "R8"},
        {Variant::FromReal(trv::VT_R4, -1.5), "-0001.5000", "R4"},
        {Variant(trv::OleDate(2024, 3, 5, 14, 30)), "2024-03-05", "date without its time"},
        {Variant("Zoë"), "Zoë", "text as it is"},
        {Variant::FromSigned(trv::VT_I1, 'A'), "A", "I1 is its character"},
        {Variant::FromUnsigned(trv::VT_UI1, 255), "0000000255", "UI1"},
        {Variant::FromUnsigned(trv::VT_UI4, 4000000000u), "4000000000", "UI4 unsigned"},
        {Variant(), "", "empty"},
        {Variant::Null(), "", "NULL"},
        {Variant::OfType(trv::VT_CY), "", "type without key"},
    };
    for (const KeyCase& test : keys)
        EXPECT_EQ(VariantToSortString(test.value), test.key) << test.why;

    struct CompareCase
    {
        Variant a;
        Variant b;
        int expected;
        const char* why;
    };
    const CompareCase comparisons[] = {
        {Variant(), Variant(), 0, "two empty values"},
        {Variant(), Variant(-5), -1, "empty sorts first"},
        {Variant("a"), Variant(), 1, "anything after empty"},
        {Variant::Null(), Variant::Null(), 0, "NULL has no rule"},
        {Variant::OfType(trv::VT_CY), Variant(3), 0, "CY has no rule"},
        {Variant(-42), Variant(-7), -1, "numeric order where keys fail"},
        {Variant(7), Variant(7), 0, "equal"},
        {Variant::FromSigned(trv::VT_I8, twoTo32), Variant::FromSigned(trv::VT_I8, 0), 1,
         "I8 compares all 64 bits"},
        {Variant(true), Variant(false), -1, "true is -1"},
        {Variant::FromUnsigned(trv::VT_UI1, 200), Variant::FromSigned(trv::VT_I1, -1), 1,
         "unsigned against signed"},
        {Variant::FromUnsigned(trv::VT_UI8, ~std::uint64_t{0}), Variant(1), 1,
         "largest unsigned 64-bit"},
        {Variant::FromReal(trv::VT_R4, 1.5), Variant(1.50000001), 0, "R4 rule: as floats"},
        {Variant(1.5), Variant(1.50000001), -1, "R8 rule: as doubles"},
        {Variant(trv::OleDate(2024, 1, 2)), Variant(trv::OleDate(2024, 1, 1, 23, 0)), 1,
         "dates by value"},
        {Variant("abc"), Variant("abd"), -1, "texts by bytes"},
        {Variant("B"), Variant("a"), -1, "case-sensitive"},
        {Variant("é"), Variant("z"), 1, "unsigned bytes"},
        {Variant(5), Variant("12"), -1, "first one's rule: integer"},
        {Variant("5"), Variant(12), 1, "first one's rule: text"},
    };
    for (const CompareCase& test : comparisons) {
        EXPECT_EQ(CompareVariants(test.a, test.b), test.expected) << test.why;
        // Values of different types are compared by the other one's rule when reversed.
        if (test.a.GetType() == test.b.GetType()) {
            EXPECT_EQ(CompareVariants(test.b, test.a), -test.expected) << test.why << " (reversed)";
        }
    }
}

TEST(VariantTest, FromDatabaseValues)
{
    struct Case
    {
        trv::FieldValue value;
        trv::VarType type;
        const char* key;
    };
    const Case cases[] = {
        {std::monostate{}, trv::VT_EMPTY, ""},
        {trv::DbNull{}, trv::VT_NULL, ""},
        {true, trv::VT_BOOL, "-000000001"},
        {std::int64_t{-3}, trv::VT_I4, "-000000003"},
        {std::int64_t{1} << 40, trv::VT_I8, "1099511627776"},
        {2.5, trv::VT_R8, "00002.5000"},
        {std::string("x"), trv::VT_BSTR, "x"},
        {trv::OleDate(2023, 12, 31), trv::VT_DATE, "2023-12-31"},
        {trv::OleDate::Null(), trv::VT_NULL, ""},
    };
    for (const Case& test : cases) {
        const Variant value = trv::VariantFromFieldValue(test.value);
        EXPECT_EQ(value.GetType(), test.type) << test.key;
        EXPECT_EQ(VariantToSortString(value), test.key);
    }
}

} // namespace
