#pragma once

#include "KLV/AdoRecordset.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace trv {

// Type codes of a cell value, numbered as the platform's VARIANT codes the grids were written
// against.
enum VarType : unsigned short
{
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
};

// The value of one cell of a list or grid: a type code and a value of that type. Integers are
// kept cut to their type's width (a VT_I2 of 70000 holds 4464, as the 16-bit slot would); a
// Boolean is -1 (true) or 0; a date is its OLE serial; a text is UTF-8.
class Variant
{
  public:
    Variant() = default; // VT_EMPTY
    Variant(bool value) : m_type(VT_BOOL), m_value(std::int64_t{value ? -1 : 0}) {}
    Variant(int value) : m_type(VT_I4), m_value(std::int64_t{value}) {}
    Variant(std::int64_t value) : m_type(VT_I8), m_value(value) {}
    Variant(double value) : m_type(VT_R8), m_value(value) {}
    Variant(std::string value) : m_type(VT_BSTR), m_value(std::move(value)) {}
    Variant(const char* value) : Variant(std::string(value)) {}
    Variant(const OleDate& date) : m_type(VT_DATE), m_value(date.GetValue()) {}

    static Variant Null() { return OfType(VT_NULL); }
    // A value of a type without a value of its own here (VT_NULL, VT_CY, VT_ERROR ...).
    static Variant OfType(VarType type);
    // VT_I1, VT_I2, VT_I4, VT_I8, VT_INT or VT_BOOL; the value cut to the type's width.
    static Variant FromSigned(VarType type, std::int64_t value);
    // VT_UI1, VT_UI2, VT_UI4, VT_UI8 or VT_UINT; the value cut to the type's width.
    static Variant FromUnsigned(VarType type, std::uint64_t value);
    // VT_R4, VT_R8 or VT_DATE.
    static Variant FromReal(VarType type, double value);

    VarType GetType() const { return m_type; }
    bool IsEmpty() const { return m_type == VT_EMPTY; }

    // The value read as another kind: numbers from texts in the C locale, texts of numbers in
    // the C locale, a date as "YYYY-MM-DD HH:MM:SS"; 0 or "" when there is none.
    std::int64_t ToSigned() const;
    std::uint64_t ToUnsigned() const;
    double ToReal() const;
    std::string ToText() const;

    bool operator==(const Variant&) const = default;

  private:
    VarType m_type = VT_EMPTY;
    std::variant<std::monostate, std::int64_t, std::uint64_t, double, std::string> m_value;
};

// A database value as a cell value: no value VT_EMPTY, NULL VT_NULL, Boolean VT_BOOL, integers
// VT_I4 when they fit 32 bits else VT_I8, numbers VT_R8, texts VT_BSTR, dates VT_DATE (VT_NULL
// when the date is not valid).
Variant VariantFromFieldValue(const FieldValue& value);

} // namespace trv

// The sort key of a cell value: integers "%010d" (negative ones "-000000042"), unsigned ones
// "%010u", reals "%010.4f", dates "%Y-%m-%d", texts themselves, VT_I1 its character; the empty
// text for types without a key (VT_EMPTY, VT_NULL, VT_CY, VT_ERROR, VT_DECIMAL ...).
std::string VariantToSortString(const trv::Variant& value);

// -1, 0 or 1. An empty value sorts before any other, two empty values are equal; otherwise both
// are compared by the rule of the first one's type (integers, reals, texts byte by byte); types
// without a rule compare equal.
int CompareVariants(const trv::Variant& a, const trv::Variant& b);
