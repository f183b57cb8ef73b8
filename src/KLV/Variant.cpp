#include "KLV/Variant.h"

#include "platform/Text.h"

#include <cmath>
#include <limits>

namespace trv {

namespace {

// The signed value as the slot of the type holds it.
std::int64_t CutSigned(VarType type, std::int64_t value)
{
    switch (type) {
    case VT_I1:
        return static_cast<std::int8_t>(value);
    case VT_I2:
    case VT_BOOL:
        return static_cast<std::int16_t>(value);
    case VT_I4:
    case VT_INT:
        return static_cast<std::int32_t>(value);
    default:
        return value;
    }
}

std::uint64_t CutUnsigned(VarType type, std::uint64_t value)
{
    switch (type) {
    case VT_UI1:
        return static_cast<std::uint8_t>(value);
    case VT_UI2:
        return static_cast<std::uint16_t>(value);
    case VT_UI4:
    case VT_UINT:
        return static_cast<std::uint32_t>(value);
    default:
        return value;
    }
}

bool IsSignedType(VarType type)
{
    return type == VT_I1 || type == VT_I2 || type == VT_I4 || type == VT_I8 || type == VT_INT ||
           type == VT_BOOL;
}

bool IsUnsignedType(VarType type)
{
    return type == VT_UI1 || type == VT_UI2 || type == VT_UI4 || type == VT_UI8 || type == VT_UINT;
}

// Every 64-bit value, signed or not, exactly.
__extension__ using WideInteger = __int128;

WideInteger IntegerOf(const Variant& value)
{
    if (IsUnsignedType(value.GetType()))
        return value.ToUnsigned();
    return value.ToSigned();
}

template <typename Value> int ThreeWay(const Value& a, const Value& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

Variant Variant::OfType(VarType type)
{
    Variant value;
    value.m_type = type;
    return value;
}

Variant Variant::FromSigned(VarType type, std::int64_t value)
{
    Variant result;
    result.m_type = type;
    result.m_value = CutSigned(type, value);
    return result;
}

Variant Variant::FromUnsigned(VarType type, std::uint64_t value)
{
    Variant result;
    result.m_type = type;
    result.m_value = CutUnsigned(type, value);
    return result;
}

Variant Variant::FromReal(VarType type, double value)
{
    Variant result;
    result.m_type = type;
    result.m_value = type == VT_R4 ? static_cast<double>(static_cast<float>(value)) : value;
    return result;
}

std::int64_t Variant::ToSigned() const
{
    if (const auto* value = std::get_if<std::int64_t>(&m_value))
        return *value;
    if (const auto* value = std::get_if<std::uint64_t>(&m_value))
        return static_cast<std::int64_t>(*value);
    if (const auto* value = std::get_if<double>(&m_value)) {
        if (std::isnan(*value))
            return 0;
        constexpr double limit = 9.2e18;
        return static_cast<std::int64_t>(std::fmax(-limit, std::fmin(limit, *value)));
    }
    if (const auto* value = std::get_if<std::string>(&m_value))
        return ParseInt64(*value);
    return 0;
}

std::uint64_t Variant::ToUnsigned() const
{
    if (const auto* value = std::get_if<std::uint64_t>(&m_value))
        return *value;
    return static_cast<std::uint64_t>(ToSigned());
}

double Variant::ToReal() const
{
    if (const auto* value = std::get_if<double>(&m_value))
        return *value;
    if (const auto* value = std::get_if<std::int64_t>(&m_value))
        return static_cast<double>(*value);
    if (const auto* value = std::get_if<std::uint64_t>(&m_value))
        return static_cast<double>(*value);
    if (const auto* value = std::get_if<std::string>(&m_value))
        return ParseDouble(*value);
    return 0;
}

std::string Variant::ToText() const
{
    if (const auto* value = std::get_if<std::string>(&m_value))
        return *value;
    if (const auto* value = std::get_if<std::int64_t>(&m_value))
        return FormatInt(*value);
    if (const auto* value = std::get_if<std::uint64_t>(&m_value))
        return FormatC("%llu", static_cast<unsigned long long>(*value));
    if (const auto* value = std::get_if<double>(&m_value)) {
        if (m_type == VT_DATE)
            return OleDate(*value).Format("%Y-%m-%d %H:%M:%S");
        return FormatC("%.15g", *value);
    }
    return {};
}

Variant VariantFromFieldValue(const FieldValue& value)
{
    struct Convert
    {
        Variant operator()(std::monostate) const { return Variant(); }
        Variant operator()(DbNull) const { return Variant::Null(); }
        Variant operator()(bool flag) const { return Variant(flag); }
        Variant operator()(std::int64_t number) const
        {
            const bool fits = number >= std::numeric_limits<std::int32_t>::min() &&
                              number <= std::numeric_limits<std::int32_t>::max();
            return Variant::FromSigned(fits ? VT_I4 : VT_I8, number);
        }
        Variant operator()(double number) const { return Variant(number); }
        Variant operator()(const std::string& text) const { return Variant(text); }
        Variant operator()(const OleDate& date) const
        {
            return date.IsValid() ? Variant(date) : Variant::Null();
        }
    };
    return std::visit(Convert{}, value);
}

} // namespace trv

using trv::Variant;

std::string VariantToSortString(const Variant& value)
{
    switch (value.GetType()) {
    case trv::VT_I2:
    case trv::VT_BOOL:
    case trv::VT_I4:
    case trv::VT_INT:
        return trv::FormatC("%010d", static_cast<int>(value.ToSigned()));
    case trv::VT_I8:
        // All 64 bits: a key of the low half alone would put 2^32 beside 0.
        return trv::FormatC("%010lld", static_cast<long long>(value.ToSigned()));
    case trv::VT_R4:
    case trv::VT_R8:
        return trv::FormatC("%010.4f", value.ToReal());
    case trv::VT_DATE:
        return trv::OleDate(value.ToReal()).Format("%Y-%m-%d");
    case trv::VT_BSTR:
        return value.ToText();
    case trv::VT_I1: {
        const char character = static_cast<char>(value.ToSigned());
        return character == '\0' ? std::string() : std::string(1, character);
    }
    case trv::VT_UI1:
    case trv::VT_UI2:
    case trv::VT_UI4:
    case trv::VT_UINT:
        return trv::FormatC("%010u", static_cast<unsigned>(value.ToUnsigned()));
    case trv::VT_UI8:
        return trv::FormatC("%010llu", static_cast<unsigned long long>(value.ToUnsigned()));
    default:
        return {};
    }
}

int CompareVariants(const Variant& a, const Variant& b)
{
    if (a.IsEmpty() || b.IsEmpty())
        return a.IsEmpty() == b.IsEmpty() ? 0 : (a.IsEmpty() ? -1 : 1);
    const trv::VarType type = a.GetType();
    if (trv::IsSignedType(type) || trv::IsUnsignedType(type))
        return trv::ThreeWay(trv::IntegerOf(a), trv::IntegerOf(b));
    switch (type) {
    case trv::VT_R4:
        return trv::ThreeWay(static_cast<float>(a.ToReal()), static_cast<float>(b.ToReal()));
    case trv::VT_R8:
    case trv::VT_DATE:
        return trv::ThreeWay(a.ToReal(), b.ToReal());
    case trv::VT_BSTR:
        // std::string compares bytes as unsigned characters.
        return trv::ThreeWay(a.ToText().compare(b.ToText()), 0);
    default:
        return 0;
    }
}
