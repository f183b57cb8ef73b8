// Display texts, values for sorting, parsing of edited texts and the computed kinds.

#include "KLV/Geodesy.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "params/VariablesKeys.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

constexpr const char* kListJoin = " - ";
constexpr const char* kExpressionJoin = " + ";
constexpr const char* kWeekPrefix = "#WEEK#";
constexpr const char* kDayOfWeekPrefix = "#DAYOFWEEK#";
// Letters of the week days, Sunday first, after a blank for "no day".
constexpr const char* kDayLetters = " DLMXJVS";
// Days an added span of minutes may reach before the date is out of range.
constexpr double kMaximumSpanDays = 3615897.0;
constexpr int kMinutesPerDay = 1440;

template <class Items, class Format> std::string JoinItems(const Items& items, Format format)
{
    std::string text;
    for (const auto& item : items) {
        std::string piece;
        if (!format(item, piece))
            continue;
        text += piece;
        text += kListJoin;
    }
    if (!text.empty())
        text.erase(text.size() - 3);
    return text;
}

bool IsZeroDate(const trv::OleDate& date)
{
    return date == trv::OleDate();
}

// Cuts the text at each separator into pieces.
CSmartStringArray SplitPieces(std::string text, const char* separator)
{
    CSmartStringArray pieces;
    while (!text.empty())
        pieces.Add(ExtractToken(text, separator));
    return pieces;
}

// The text after a leading prefix, or all of it.
std::string AfterPrefix(const std::string& text, const std::string& prefix)
{
    if (text.compare(0, prefix.size(), prefix) == 0)
        return text.substr(prefix.size());
    return text;
}

} // namespace

std::string CVariablesKeys::FormatValue(int index, const TEntityRef& entity, int& numeric) const
{
    numeric = 0;
    const TVarKeyStruct* variable = GetVariable(index);
    if (!variable)
        return {};
    const TVarKeyStruct& v = *variable;
    switch (v.kind) {
    case VAR_FLOAT_SUM:
        numeric = 1;
        return m_numberFormat1.FormatWithLeadingZero(SumFloatExpression(v, entity));
    case VAR_FLOAT_SUM_ALT_FORMAT:
        numeric = 1;
        return m_numberFormat2.FormatWithLeadingZero(SumFloatExpression(v, entity));
    case VAR_DATE_EXPRESSION: {
        const trv::OleDate date = EvaluateDateExpression(v.name, entity);
        return IsZeroDate(date) ? std::string() : date.Format(m_strDateFormat);
    }
    case VAR_WEEK_NUMBER:
        return trv::FormatC("%2d", GetWeekNumber(v, entity));
    case VAR_DAY_OF_WEEK: {
        const int day = GetDayOfWeek(v, entity);
        const int position = day < 0 ? 0 : std::min(day, 7);
        return std::string(1, kDayLetters[position]);
    }
    default:
        break;
    }
    const void* storage = v.member ? v.member->Locate(entity) : nullptr;
    if (!storage)
        return {};
    const auto asInt = [storage] { return *static_cast<const int32_t*>(storage); };
    switch (v.kind) {
    case VAR_BOOL:
        return Translate(asInt() != 0 ? "Yes" : "No");
    case VAR_INT:
        numeric = 1;
        return trv::FormatC("%d", asInt());
    case VAR_FLOAT:
        numeric = 1;
        return m_numberFormat1.FormatWithLeadingZero(*static_cast<const float*>(storage));
    case VAR_DOUBLE:
        numeric = 1;
        return m_numberFormat1.FormatWithLeadingZero(*static_cast<const double*>(storage));
    case VAR_STRING:
        return *static_cast<const std::string*>(storage);
    case VAR_DATE: {
        const auto& date = *static_cast<const trv::OleDate*>(storage);
        return IsZeroDate(date) ? std::string() : date.Format(m_strDateFormat);
    }
    case VAR_DURATION:
    case VAR_INT_AS_MINUTES:
        numeric = 1;
        return MinutesToTimeText(asInt(), m_strMinutesFormat);
    case VAR_TIMETABLE:
    case VAR_TIMEWINDOW:
        if (v.itemNames.GetSize() != 2)
            return {};
        return v.member->WindowsText(storage, m_strMinutesFormat, kListJoin);
    case VAR_REQUIREMENTS: {
        const CVariableDefinitionList* list = GetDefinitionList(v.kind);
        if (!list)
            return {};
        return list->GetValueText(*static_cast<const TRequirementValues*>(storage),
                                  list->FindByName(v.captionKey));
    }
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
    case VAR_ORDER_LINE_INFO: {
        const CVariableDefinitionList* list = GetDefinitionList(v.kind);
        const auto& texts = *static_cast<const CSmartStringArray*>(storage);
        const int definition = list ? list->FindByName(v.captionKey) : -1;
        return definition >= 0 && definition < texts.GetSize() ? texts[definition] : std::string();
    }
    case VAR_ENUM: {
        const int position = asInt() - v.minimum;
        return position >= 0 && position < v.itemNames.GetSize() ? v.itemNames[position]
                                                                 : std::string();
    }
    case VAR_DOUBLE_NO_COORDINATE: {
        numeric = 1;
        const double value = *static_cast<const double*>(storage);
        return value == kNoCoordinate ? std::string()
                                      : m_numberFormat1.FormatWithLeadingZero(value);
    }
    case VAR_FLOAT_ALT_FORMAT:
        numeric = 1;
        return m_numberFormat2.FormatWithLeadingZero(*static_cast<const float*>(storage));
    case VAR_TIME_OF_DAY:
        numeric = 1;
        return FormatTimeOfDay(asInt(), m_strTimeOfDayFormat);
    case VAR_FLOAT_LIST:
        return JoinItems(*static_cast<const CSmartFloatArray*>(storage),
                         [this](float value, std::string& piece) {
                             piece = m_numberFormat1.FormatWithLeadingZero(value);
                             return true;
                         });
    case VAR_STRING_LIST:
        return JoinItems(*static_cast<const CSmartStringArray*>(storage),
                         [](const std::string& value, std::string& piece) {
                             piece = value;
                             return true;
                         });
    case VAR_WORD_LIST:
        return JoinItems(*static_cast<const CSmartWordArray*>(storage),
                         [this](unsigned short value, std::string& piece) {
                             if (value == 0)
                                 return false;
                             piece = m_numberFormat1.FormatWithLeadingZero(value);
                             return true;
                         });
    case VAR_COORDINATES: {
        const auto& block = *static_cast<const TGeoCoordinate*>(storage);
        if (block.longitude == kNoCoordinate || block.latitude == kNoCoordinate)
            return {};
        std::string text;
        FormatCoordinateText(block, text, kListJoin);
        return text;
    }
    default:
        return {};
    }
}

TVariableValue CVariablesKeys::GetValueVariant(int index, const TEntityRef& entity) const
{
    const TVarKeyStruct* variable = GetVariable(index);
    if (!variable)
        return {};
    const TVarKeyStruct& v = *variable;
    switch (v.kind) {
    case VAR_FLOAT_SUM:
    case VAR_FLOAT_SUM_ALT_FORMAT:
        return SumFloatExpression(v, entity);
    case VAR_DATE_EXPRESSION:
        return EvaluateDateExpression(v.name, entity).GetValue();
    case VAR_WEEK_NUMBER:
        return int32_t{GetWeekNumber(v, entity)};
    case VAR_DAY_OF_WEEK:
        return int32_t{GetDayOfWeek(v, entity)};
    default:
        break;
    }
    const void* storage = v.member ? v.member->Locate(entity) : nullptr;
    if (!storage)
        return {};
    switch (v.kind) {
    case VAR_BOOL:
    case VAR_INT:
    case VAR_DURATION:
    case VAR_INT_AS_MINUTES:
    case VAR_ENUM:
    case VAR_TIME_OF_DAY:
        return *static_cast<const int32_t*>(storage);
    case VAR_FLOAT:
    case VAR_FLOAT_ALT_FORMAT:
        return *static_cast<const float*>(storage);
    case VAR_STRING:
        return *static_cast<const std::string*>(storage);
    case VAR_DOUBLE:
    case VAR_DOUBLE_NO_COORDINATE:
        return *static_cast<const double*>(storage);
    case VAR_DATE:
        return static_cast<const trv::OleDate*>(storage)->GetValue();
    case VAR_TIMETABLE:
    case VAR_TIMEWINDOW: {
        const int count = v.member->GetWindowCount(storage);
        if (v.itemNames.GetSize() != 2 || count == 0)
            return {};
        int32_t start = 0;
        int32_t end = 0;
        int32_t unused = 0;
        v.member->GetWindow(storage, 0, start, unused);
        v.member->GetWindow(storage, count - 1, unused, end);
        // As a double: an unset start times 1440 does not fit 32 bits.
        return static_cast<double>(start) * kMinutesPerDay + end;
    }
    case VAR_REQUIREMENTS: {
        const CVariableDefinitionList* list = GetDefinitionList(v.kind);
        if (!list)
            return {};
        return int32_t{list->GetIntegerValue(*static_cast<const TRequirementValues*>(storage),
                                             list->FindByName(v.captionKey))};
    }
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
    case VAR_ORDER_LINE_INFO: {
        int numeric = 0;
        return FormatValue(index, entity, numeric);
    }
    default:
        return {};
    }
}

void CVariablesKeys::ConvertValueText(int index, float& number, std::string& text,
                                      int kindOverride) const
{
    const TVarKeyStruct* variable = GetVariable(index);
    if (!variable)
        return;
    const int kind =
        (kindOverride != 0 && variable->kind == VAR_INT) ? kindOverride : variable->kind;
    const bool parse = !text.empty();
    std::string scratch = text;
    switch (kind) {
    case VAR_INT:
    case VAR_FLOAT:
    case VAR_DOUBLE:
        if (parse)
            number = static_cast<float>(m_numberFormat1.ParseValue(scratch));
        else
            text = m_numberFormat1.FormatWithLeadingZero(number);
        break;
    case VAR_FLOAT_ALT_FORMAT:
        if (parse)
            number = static_cast<float>(m_numberFormat2.ParseValue(scratch));
        else
            text = m_numberFormat2.FormatWithLeadingZero(number);
        break;
    case VAR_DURATION:
    case VAR_INT_AS_MINUTES:
        if (parse) {
            number = static_cast<float>(TimeTextToMinutes(text));
        } else {
            const bool fits = number >= static_cast<float>(std::numeric_limits<int32_t>::min()) &&
                              number < static_cast<float>(std::numeric_limits<int32_t>::max());
            text =
                MinutesToTimeText(fits ? static_cast<int>(number) : kUnsetTime, m_strMinutesFormat);
        }
        break;
    case VAR_TIME_OF_DAY:
        if (parse)
            number = static_cast<float>(TimeTextToMinutes(text));
        else
            text = FormatTimeOfDay(static_cast<int>(number), m_strTimeOfDayFormat);
        break;
    default:
        text.clear();
        break;
    }
}

void CVariablesKeys::ParseValueText(int index, std::string& text, const TEntityRef& entity) const
{
    const TVarKeyStruct* variable = GetVariable(index);
    if (!variable)
        return;
    const TVarKeyStruct& v = *variable;
    void* storage = v.member ? v.member->Locate(entity) : nullptr;
    if (!storage)
        return;
    auto& asInt = *static_cast<int32_t*>(storage);
    switch (v.kind) {
    case VAR_BOOL:
        asInt = text == Translate("Yes") ? 1 : 0;
        break;
    case VAR_INT:
        asInt = ClampToBounds(std::atoi(text.c_str()), v.minimum, v.maximum);
        break;
    case VAR_FLOAT: {
        std::string scratch = text;
        *static_cast<float*>(storage) = static_cast<float>(m_numberFormat1.ParseValue(scratch));
        break;
    }
    case VAR_STRING:
        if (v.maximum > 0)
            text = trv::Left(text, static_cast<std::size_t>(v.maximum));
        *static_cast<std::string*>(storage) = text;
        break;
    case VAR_DOUBLE:
        *static_cast<double*>(storage) = trv::ParseDouble(text);
        break;
    case VAR_DATE: {
        auto& date = *static_cast<trv::OleDate*>(storage);
        if (text.empty()) {
            date = trv::OleDate();
            break;
        }
        const trv::OleDate parsed = trv::OleDate::ParseDayFirst(text);
        date = parsed.IsValid() ? trv::OleDate(parsed.GetYear(), parsed.GetMonth(), parsed.GetDay())
                                : parsed;
        break;
    }
    case VAR_DURATION:
    case VAR_INT_AS_MINUTES:
        asInt = ClampToBounds(TimeTextToMinutes(text), v.minimum, v.maximum);
        break;
    case VAR_TIMEWINDOW: {
        if (v.itemNames.GetSize() != 2)
            break;
        if (text.empty()) {
            v.member->ResetWindows(storage);
            break;
        }
        std::string rest = text;
        const std::string first = ExtractToken(rest, kListJoin);
        int start = ClampToBounds(TimeTextToMinutes(first), v.minimum, v.maximum);
        int end = ClampToBounds(TimeTextToMinutes(rest), v.minimum, v.secondMaximum);
        if (v.minimum != -1 && v.secondMaximum != -1) {
            if (start == v.minimum && end == v.minimum)
                end = v.secondMaximum;
            else if (start > end) {
                start = v.minimum;
                end = v.secondMaximum;
            }
        }
        v.member->AddWindow(storage, start, end);
        break;
    }
    case VAR_ENUM: {
        const int position = v.itemNames.FindFrom(0, text);
        if (position >= 0)
            asInt = v.minimum + position;
        break;
    }
    case VAR_DOUBLE_NO_COORDINATE:
        *static_cast<double*>(storage) = text.empty() ? kNoCoordinate : trv::ParseDouble(text);
        break;
    case VAR_FLOAT_ALT_FORMAT: {
        std::string scratch = text;
        *static_cast<float*>(storage) = static_cast<float>(m_numberFormat2.ParseValue(scratch));
        break;
    }
    case VAR_FLOAT_LIST: {
        auto& values = *static_cast<CSmartFloatArray*>(storage);
        values.SetSize(0);
        for (std::string& piece : SplitPieces(text, kListJoin))
            values.Add(static_cast<float>(m_numberFormat1.ParseValue(piece)));
        break;
    }
    case VAR_STRING_LIST: {
        auto& values = *static_cast<CSmartStringArray*>(storage);
        values.SetSize(0);
        values.Append(SplitPieces(text, kListJoin));
        break;
    }
    case VAR_WORD_LIST: {
        auto& values = *static_cast<CSmartWordArray*>(storage);
        values.SetSize(0);
        for (std::string& piece : SplitPieces(text, kListJoin))
            values.Add(
                static_cast<unsigned short>(static_cast<int>(m_numberFormat1.ParseValue(piece))));
        break;
    }
    case VAR_COORDINATES: {
        TGeoCoordinate block;
        block.form = 1;
        if (!text.empty())
            ParseCoordinateText(block, text, kListJoin);
        block.kind = 2; // not looked up in the locations table yet
        *static_cast<TGeoCoordinate*>(storage) = block;
        break;
    }
    default:
        break;
    }
}

trv::OleDate CVariablesKeys::EvaluateDateExpression(const std::string& expression,
                                                    const TEntityRef& entity) const
{
    trv::OleDate result;
    bool matched = false;
    std::string rest = expression;
    while (!rest.empty()) {
        const std::string term = ExtractToken(rest, kExpressionJoin);
        if (!matched && !m_strReferenceToken.empty() && term == m_strReferenceToken &&
            GetSize() > 0) {
            result = m_referenceDate;
            matched = true;
            continue;
        }
        const TVarKeyStruct* variable = FindByKeyName(term);
        if (!variable || !variable->member)
            continue;
        void* storage = variable->member->Locate(entity);
        if (!storage)
            continue;
        const std::type_info& type = variable->member->StorageType();
        if (!matched) {
            if (type != typeid(trv::OleDate))
                continue;
            result = *static_cast<const trv::OleDate*>(storage);
            matched = true;
            continue;
        }
        if (type != typeid(int32_t))
            continue;
        const int minutes = *static_cast<const int32_t*>(storage);
        const double days = minutes / static_cast<double>(kMinutesPerDay);
        if (days > kMaximumSpanDays || days < -kMaximumSpanDays)
            return trv::OleDate::Invalid();
        result = result + days;
    }
    return result;
}

int CVariablesKeys::GetWeekNumber(const TVarKeyStruct& variable, const TEntityRef& entity) const
{
    const trv::OleDate date =
        EvaluateDateExpression(AfterPrefix(variable.name, kWeekPrefix), entity);
    const int year = date.GetYear();
    const int firstDayOfWeek = trv::OleDate(year, 1, 1).GetDayOfWeek();
    const int dayOfYear = date.IsValid() ? date.GetDayOfYear() : -1;
    return (firstDayOfWeek - 3 + dayOfYear) / 7 + 1;
}

int CVariablesKeys::GetDayOfWeek(const TVarKeyStruct& variable, const TEntityRef& entity) const
{
    return EvaluateDateExpression(AfterPrefix(variable.name, kDayOfWeekPrefix), entity)
        .GetDayOfWeek();
}

float CVariablesKeys::SumFloatExpression(const TVarKeyStruct& variable,
                                         const TEntityRef& entity) const
{
    float sum = 0.0f;
    std::string rest = variable.name;
    while (!rest.empty()) {
        const TVarKeyStruct* term = FindByKeyName(ExtractToken(rest, kExpressionJoin));
        if (!term || !term->member || term->member->StorageType() != typeid(float))
            continue;
        if (const void* storage = term->member->Locate(entity))
            sum += *static_cast<const float*>(storage);
    }
    return sum;
}
