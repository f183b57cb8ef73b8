// The built-in functions of field lines, evaluated from their compiled form.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "platform/OleDate.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <cstdint>
#include <cstdlib>

namespace {

// What an IF_THEN( condition sees: the fields of the definition, no line.
class ExpressionRecord : public CFetchFilterRecord
{
  public:
    ExpressionRecord(CFetch& fetch, const FetchTextMap* variables)
        : m_fetch(fetch), m_variables(variables)
    {
    }
    std::string_view GetCurrentLine() const override { return {}; }
    void GetFieldValue(std::string_view name, std::string& value) override
    {
        int linked = 0;
        value = m_fetch.GetField(std::string(name), linked, 0, 0, m_variables);
    }

  private:
    CFetch& m_fetch;
    const FetchTextMap* m_variables;
};

std::string IntText(long long value)
{
    // Results are 32-bit as the language defines them; wider intermediate values wrap.
    return trv::FormatInt(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

// Day, month and year of a "DDMMYYYY" text; invalid when it is not a date.
trv::OleDate DateOfText(const std::string& text)
{
    if (text.size() < 8)
        return trv::OleDate::Invalid();
    return trv::OleDate(trv::ParseInt(text.substr(4, 4)), trv::ParseInt(text.substr(2, 2)),
                        trv::ParseInt(text.substr(0, 2)));
}

// Steps day by day, counting Monday to Friday only.
trv::OleDate AddWorkingDays(trv::OleDate date, long long days)
{
    const double step = days >= 0 ? 1.0 : -1.0;
    long long left = std::llabs(days);
    while (left > 0 && date.IsValid()) {
        date = date + step;
        const int weekday = date.GetDayOfWeek(); // 1 Sunday ... 7 Saturday
        if (weekday != 1 && weekday != 7)
            --left;
    }
    return date;
}

// Characters 1-based from `first`, `count` of them, of an eight-digit date with its time.
std::string DatePart(const std::string& date, std::size_t first, std::size_t count)
{
    if (date.size() < first)
        return {};
    return trv::FormatInt(trv::ParseInt(date.substr(first - 1, count)));
}

// An all-zero fraction goes ("12.000" -> "12"); any other stays ("12.05", "12.50").
std::string StripZeroFraction(std::string value)
{
    const std::size_t point = value.find('.');
    if (point == std::string::npos || point + 1 == value.size())
        return value;
    if (value.find_first_not_of('0', point + 1) == std::string::npos)
        value.erase(point);
    return value;
}

} // namespace

std::string CFetch::ReadDateOperand(const FetchOperand& operand, const FetchTextMap* variables)
{
    if (operand.special == FetchOperand::FetchDate)
        return m_strDateArgument;
    return GetDateText(operand.text, "", 0, 0, variables);
}

std::string CFetch::LookSpecialLinesIfThen(const std::string& argument,
                                           const FetchTextMap* variables)
{
    FetchFieldLine line;
    line.kind = LINE_IF_THEN;
    line.argument = argument;
    CompileFieldLine(line, GetFilterSettings(true));
    return EvaluateFunction(line, variables);
}

std::string CFetch::EvaluateFunction(FetchFieldLine& line, const FetchTextMap* variables)
{
    FetchOperand* operands = line.operands;
    auto intOperand = [&](const FetchOperand& operand) -> long long {
        if (operand.special == FetchOperand::SchedulingRange)
            return GetIntOperand(m_strSchedulingRange, variables);
        if (operand.isInteger)
            return operand.integer;
        int linked = 0;
        return trv::ParseInt(GetField(operand.text, linked, 0, 0, variables));
    };
    auto floatOperand = [&](const FetchOperand& operand) -> float {
        return operand.real != 0 ? operand.real
                                 : GetFieldFloat(operand.text, 0, 0, variables, 0.0f);
    };
    auto timeOperand = [&](const FetchOperand& operand) -> long long {
        return operand.minutes != 0
                   ? operand.minutes
                   : GetFieldTime(operand.text, 0, 0, kUnsetTime, kUnsetTime, 0, variables);
    };
    auto timeText = [&](long long minutes) {
        if (minutes < INT32_MIN || minutes > INT32_MAX)
            return std::string();
        return FormatMinutes(static_cast<int>(minutes));
    };
    auto floatText = [&](float value) {
        std::string text = trv::FormatDouble(value, 6);
        const std::size_t point = text.find('.');
        if (point != std::string::npos && m_strDecimalSeparator != ".")
            text.replace(point, 1, m_strDecimalSeparator);
        return text;
    };
    auto choiceText = [&](const FetchChoice& choice) {
        return choice.literal ? choice.text
                              : GetFieldString(choice.text, std::string(), 0, -1, 0, variables);
    };
    auto divideByZero = [&](const char* function) {
        TRV_TRACE(1, "CFetch::EvaluateLine", "%s: division by zero in %s", line.name.c_str(),
                  function);
        return std::string();
    };

    switch (line.kind) {
    case LINE_CONCAT: {
        if (!line.splitOk)
            return {};
        std::string result;
        for (const FetchConcatPart& part : line.parts) {
            if (part.literal) {
                result += part.text;
                continue;
            }
            int linked = 0;
            result += GetField(part.text, linked, 0, 0, variables);
        }
        return result;
    }
    case LINE_DAY_NUMBER: {
        const FetchOperand& operand = operands[0];
        const bool isArgument = operand.special == FetchOperand::FetchDate ||
                                operand.text == ToDateFormat(m_strDateArgument);
        const std::string date =
            isArgument ? m_strDateArgument : GetDateText(operand.text, "", 0, 0, variables);
        if (date.size() < 8)
            return {};
        const int weekday = DateOfText(date).GetDayOfWeek();
        return trv::FormatInt(weekday == 1 ? 6 : weekday - 2);
    }
    case LINE_SUMDAYS: {
        const std::string date = ReadDateOperand(operands[0], variables);
        if (date.size() < 8)
            return {};
        const trv::OleDate day = DateOfText(date) + static_cast<double>(intOperand(operands[1]));
        if (!day.IsValid())
            return {};
        return ToDateFormat(day.Format("%d%m%Y"));
    }
    case LINE_YEARDIFF: {
        const std::string first = ReadDateOperand(operands[0], variables);
        const std::string second = ReadDateOperand(operands[1], variables);
        if (first.empty() || second.empty())
            return "0";
        return trv::FormatInt(DaysBetweenDates(second, first) / 365);
    }
    case LINE_ISDIFF:
        return GetFieldString(operands[0].text, std::string(), 0, -1, 0, variables) ==
                       operands[1].text
                   ? m_strBoolTrue
                   : m_strBoolFalse;
    case LINE_MID: {
        const std::string value =
            GetFieldString(operands[0].text, std::string(), 0, -1, 0, variables);
        const long long length = static_cast<long long>(trv::Length(value));
        const long long start = intOperand(operands[1]);
        long long count = intOperand(operands[2]);
        if (length < start + count - 1)
            count = length + 1 - start;
        const long long first = std::max(start - 1, 0LL);
        if (count <= 0 || first >= length)
            return {};
        return trv::Mid(value, static_cast<std::size_t>(first), static_cast<std::size_t>(count));
    }
    case LINE_RIGHT: {
        const std::string value =
            GetFieldString(operands[0].text, std::string(), 0, -1, 0, variables);
        const long long count =
            std::clamp(intOperand(operands[1]), 0LL, static_cast<long long>(trv::Length(value)));
        return trv::Right(value, static_cast<std::size_t>(count));
    }
    case LINE_POS: {
        const std::string value =
            GetFieldString(operands[0].text, std::string(), 0, -1, 0, variables);
        std::string wanted = GetFieldString(operands[1].text, std::string(), 0, -1, 0, variables);
        if (wanted.empty())
            wanted = operands[1].text;
        const std::size_t at = value.find(wanted);
        if (at == std::string::npos)
            return "0";
        return trv::FormatInt(static_cast<long long>(trv::Length(value.substr(0, at))) + 1);
    }
    case LINE_SUBST: {
        const std::string& from = operands[1].text.empty() ? std::string(",") : operands[1].text;
        const std::string to = operands[2].text.empty() ? std::string(",") : operands[2].text;
        std::string value = GetFieldString(operands[0].text, std::string(), 0, -1, 0, variables);
        const std::string wanted = GetFieldString(from, from, 0, -1, 0, variables);
        if (wanted.empty())
            return value;
        for (std::size_t at = value.find(wanted); at != std::string::npos;
             at = value.find(wanted, at + to.size()))
            value.replace(at, wanted.size(), to);
        return value;
    }
    case LINE_SUMINT:
        return IntText(intOperand(operands[0]) + intOperand(operands[1]));
    case LINE_SUBINT:
        return IntText(intOperand(operands[0]) - intOperand(operands[1]));
    case LINE_MULTINT:
        return IntText(intOperand(operands[0]) * intOperand(operands[1]));
    case LINE_DIVINT:
    case LINE_MOD: {
        const long long dividend = intOperand(operands[0]);
        const long long divisor = intOperand(operands[1]);
        if (divisor == 0)
            return divideByZero(line.kind == LINE_MOD ? "MOD(" : "DIVINT(");
        return IntText(line.kind == LINE_MOD ? dividend % divisor : dividend / divisor);
    }
    case LINE_SUMFLOAT:
        return floatText(floatOperand(operands[0]) + floatOperand(operands[1]));
    case LINE_SUBFLOAT:
        return floatText(floatOperand(operands[0]) - floatOperand(operands[1]));
    case LINE_MULTFLOAT:
        return floatText(floatOperand(operands[0]) * floatOperand(operands[1]));
    case LINE_DIVFLOAT: {
        const float dividend = floatOperand(operands[0]);
        const float divisor = floatOperand(operands[1]);
        return floatText(divisor == 0 ? 0.0f : dividend / divisor);
    }
    case LINE_SUMTIME:
        return timeText(timeOperand(operands[0]) + timeOperand(operands[1]));
    case LINE_SUBTIME:
        return timeText(timeOperand(operands[0]) - timeOperand(operands[1]));
    case LINE_SUMTIMEMINUTES:
        return timeText(timeOperand(operands[0]) + intOperand(operands[1]));
    case LINE_SUBTIMEMINUTES:
        return timeText(timeOperand(operands[0]) - intOperand(operands[1]));
    case LINE_SUMWORKINGDAYS:
    case LINE_SUBWORKINGDAYS: {
        trv::OleDate day;
        if (operands[0].special == FetchOperand::FetchDate)
            day = DateOfText(m_strDateArgument);
        else
            day = GetFieldDate(operands[0].text, trv::OleDate(0.0), 0, 0, variables);
        if (std::abs(day.GetValue()) < 0.000005787037037037037)
            return {};
        const long long days = intOperand(operands[1]);
        day = AddWorkingDays(day, line.kind == LINE_SUMWORKINGDAYS ? days : -days);
        if (!day.IsValid())
            return {};
        return ToDateFormat(
            trv::FormatC("%02d%02d%04d", day.GetDay(), day.GetMonth(), day.GetYear()));
    }
    case LINE_ENUM:
    case LINE_BINENUM: {
        if (!line.splitOk)
            return {};
        const std::string value = GetFieldString(line.items[0], std::string(), 0, -1, 0, nullptr);
        for (std::size_t index = 1; index < line.items.size(); ++index) {
            if (line.items[index] != value)
                continue;
            const long long position = static_cast<long long>(index - 1);
            if (line.kind == LINE_ENUM)
                return trv::FormatInt(position);
            return position < 31 ? trv::FormatInt(1LL << position) : std::string("0");
        }
        return "0";
    }
    case LINE_CASE: {
        if (!line.splitOk)
            return {};
        const std::string value =
            GetFieldString(operands[0].text, std::string(), 0, -1, 0, variables);
        const FetchChoice* fallback = nullptr;
        for (std::size_t index = 0; index < line.items.size(); ++index) {
            if (line.items[index] == "CASE_DEFAULT")
                fallback = &line.choices[index];
            if (line.items[index] == value)
                return choiceText(line.choices[index]);
        }
        return fallback ? choiceText(*fallback) : value;
    }
    case LINE_IF_THEN: {
        if (!line.splitOk || !line.condition)
            return {};
        if (!line.conditionOk) {
            const std::string message = trv::FormatC(
                "Expresión (%s) mal formada en un campo tipo IF_THEN", line.conditionText.c_str());
            // Once per classification: a read loop must not put the same box up per record.
            if (!line.conditionReported)
                trv::GetUserPrompt().ShowMessage("", message, trv::MessageKind::Error);
            line.conditionReported = true;
            TRV_TRACE(1, "CFetch::LookSpecialLinesIfThen", "LookSpecialLinesIf, %s",
                      message.c_str());
            return {};
        }
        ExpressionRecord record(*this, variables);
        const int rejected = line.condition->Test(record);
        return choiceText(line.choices[rejected == 0 ? 0 : 1]);
    }
    case LINE_NUMLINEA:
        return trv::FormatInt(m_nRecord);
    case LINE_TIMETOINT:
        return trv::FormatInt(
            GetFieldTime(line.argument, 0, 0, kUnsetTime, kUnsetTime, 0, variables));
    case LINE_TODAY:
        return ToDateFormat(trv::OleDate::GetCurrentTime().Format("%d%m%Y"));
    case LINE_GET_CURRENT_DATE:
        return ToDateFormat(trv::OleDate::GetCurrentTime().Format("%d%m%Y %H:%M"));
    case LINE_WEEK_FROM_DATE: {
        const std::string date = ReadDateOperand(operands[0], variables);
        if (date.size() < 8)
            return {};
        const trv::OleDate day = DateOfText(date);
        const int firstWeekday =
            trv::OleDate(day.IsValid() ? day.GetYear() : 1900, 1, 1).GetDayOfWeek();
        const int dayOfYear = day.IsValid() ? day.GetDayOfYear() : -1;
        return trv::FormatInt((firstWeekday + dayOfYear - 3) / 7 + 1);
    }
    case LINE_GET_YEAR:
    case LINE_GET_MONTH:
    case LINE_GET_DAY:
    case LINE_GET_HOUR:
    case LINE_GET_MINUTE: {
        const std::string date = ReadDateOperand(operands[0], variables);
        if (date.size() < 8)
            return {};
        switch (line.kind) {
        case LINE_GET_YEAR:
            return DatePart(date, 5, 4);
        case LINE_GET_MONTH:
            return DatePart(date, 3, 2);
        case LINE_GET_DAY:
            return DatePart(date, 1, 2);
        case LINE_GET_HOUR:
            return DatePart(date, 10, 2);
        default:
            return DatePart(date, 13, 2);
        }
    }
    case LINE_GET_DAY_FROM_ZERO: {
        const std::string date = ReadDateOperand(operands[0], variables);
        if (date.size() < 8)
            return {};
        const trv::OleDate day = DateOfText(date);
        return trv::FormatInt(day.IsValid() ? static_cast<long long>(day.GetValue()) : 0);
    }
    case LINE_GLOBAL_ASK:
        if (!m_strAskAnswer.empty() && m_strAskQuestion == line.argument)
            return m_strAskAnswer;
        return {};
    case LINE_NUM_TO_TEXT:
        return StripZeroFraction(GetFieldString(line.argument, std::string(), 0, -1, 0, variables));
    case LINE_RGB: {
        if (!line.splitOk)
            return {};
        const long long red = intOperand(operands[0]) & 255;
        const long long green = intOperand(operands[1]) & 255;
        const long long blue = intOperand(operands[2]) & 255;
        return trv::FormatInt(red + 256 * green + 65536 * blue);
    }
    default:
        return {};
    }
}
