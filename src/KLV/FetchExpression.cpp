#include "KLV/FetchExpression.h"

#include "KLV/Fetch.h"
#include "KLV/Utils.h"
#include "platform/Text.h"

#include <array>

namespace {

constexpr std::size_t npos = std::string::npos;

struct Keyword
{
    const char* text;
    int kind;
    bool parenthesis;
    int commas;
};

// In the order they are tried: the first that matches decides.
constexpr std::array<Keyword, 44> kKeywords = {{
    {"VALUE=", LINE_VALUE, false, 0},
    {"+", LINE_CONCAT, false, 0},
    {"DAY_NUMBER(", LINE_DAY_NUMBER, true, 0},
    {"SUMDAYS(", LINE_SUMDAYS, true, 0},
    {"YEARDIFF(", LINE_YEARDIFF, true, 1},
    {"ISDIFF(", LINE_ISDIFF, true, 2},
    {"MID(", LINE_MID, true, 2},
    {"RIGHT(", LINE_RIGHT, true, 1},
    {"POS(", LINE_POS, true, 1},
    {"SUBST(", LINE_SUBST, true, 3},
    {"SUMFLOAT(", LINE_SUMFLOAT, true, 1},
    {"SUBFLOAT(", LINE_SUBFLOAT, true, 1},
    {"SUMINT(", LINE_SUMINT, true, 1},
    {"SUBINT(", LINE_SUBINT, true, 1},
    {"MULTINT(", LINE_MULTINT, true, 1},
    {"SUMTIME(", LINE_SUMTIME, true, 1},
    {"SUBTIME(", LINE_SUBTIME, true, 1},
    {"SUMWORKINGDAYS(", LINE_SUMWORKINGDAYS, true, 1},
    {"SUBWORKINGDAYS(", LINE_SUBWORKINGDAYS, true, 1},
    {"SUMTIMEMINUTES(", LINE_SUMTIMEMINUTES, true, 1},
    {"SUBTIMEMINUTES(", LINE_SUBTIMEMINUTES, true, 1},
    {"MULTFLOAT(", LINE_MULTFLOAT, true, 1},
    {"DIVFLOAT(", LINE_DIVFLOAT, true, 1},
    {"DIVINT(", LINE_DIVINT, true, 1},
    {"MOD(", LINE_MOD, true, 1},
    {"ENUM(", LINE_ENUM, true, 1},
    {"BINENUM(", LINE_BINENUM, true, 1},
    {"CASE(", LINE_CASE, true, 1},
    {"IF_THEN(", LINE_IF_THEN, true, 2},
    {"NUMLINEA", LINE_NUMLINEA, false, 0},
    {"TIMETOINT(", LINE_TIMETOINT, true, 0},
    {"TODAY(", LINE_TODAY, true, 0},
    {"WEEK_FROM_DATE(", LINE_WEEK_FROM_DATE, true, 0},
    {"GET_YEAR(", LINE_GET_YEAR, true, 0},
    {"GET_MONTH(", LINE_GET_MONTH, true, 0},
    {"GET_DAY(", LINE_GET_DAY, true, 0},
    {"GET_HOUR(", LINE_GET_HOUR, true, 0},
    {"GET_MINUTE(", LINE_GET_MINUTE, true, 0},
    {"GET_CURRENT_DATE(", LINE_GET_CURRENT_DATE, true, 0},
    {"GET_DAY_FROM_ZERO(", LINE_GET_DAY_FROM_ZERO, true, 0},
    {"GLOBAL_ASK(", LINE_GLOBAL_ASK, true, 0},
    {"NUM_TO_TEXT(", LINE_NUM_TO_TEXT, true, 0},
    {"RGB(", LINE_RGB, true, 1},
    {"", LINE_PLAIN, false, 0}, // end marker, never matched
}};

// A number (IsNumeric) whose integer value is at least `minimum`.
bool IsNumberAtLeast(std::string_view text, int minimum)
{
    return IsNumeric(text) != 0 && trv::ParseInt(text) >= minimum;
}

std::string_view BeforeComma(std::string_view text)
{
    return text.substr(0, text.find(','));
}

FetchOperand MakeOperand(std::string text)
{
    FetchOperand operand;
    if (text == "FETCH_DATE")
        operand.special = FetchOperand::FetchDate;
    else if (text == "SCHEDULING_RANGE")
        operand.special = FetchOperand::SchedulingRange;
    operand.isInteger = IsNumeric(text) != 0;
    operand.integer = trv::ParseInt(text);
    operand.real = static_cast<float>(trv::ParseDouble(text));
    operand.minutes = trv::ParseInt(text);
    operand.text = std::move(text);
    return operand;
}

// First argument before the first comma outside quotes, second the rest.
void SplitTwo(FetchFieldLine& line)
{
    std::string rest = line.argument;
    line.operands[0] = MakeOperand(ExtractToken(rest, ",", 0, true));
    line.operands[1] = MakeOperand(std::move(rest));
}

// The same twice; succeeds only when text is left after each cut.
bool SplitThree(FetchFieldLine& line)
{
    std::string rest = line.argument;
    line.operands[0] = MakeOperand(ExtractToken(rest, ",", 0, true));
    const bool firstLeft = !rest.empty();
    line.operands[1] = MakeOperand(ExtractToken(rest, ",", 0, true));
    const bool secondLeft = !rest.empty();
    line.operands[2] = MakeOperand(std::move(rest));
    return firstLeft && secondLeft;
}

FetchChoice MakeChoice(std::string_view text)
{
    if (!text.empty() && text.front() == '=')
        return {true, std::string(text.substr(1))};
    return {false, std::string(text)};
}

// F,(values),(results): exactly three parts cut at ",(", the lists closed by ")" and of the same
// length.
bool SplitCase(FetchFieldLine& line)
{
    const std::string& text = line.argument;
    const std::size_t first = text.find(",(");
    if (first == npos)
        return false;
    const std::size_t second = text.find(",(", first + 2);
    if (second == npos || text.find(",(", second + 2) != npos)
        return false;
    std::string_view values = std::string_view(text).substr(first + 2, second - first - 2);
    std::string_view results = std::string_view(text).substr(second + 2);
    if (!values.ends_with(')') || !results.ends_with(')'))
        return false;
    values.remove_suffix(1);
    results.remove_suffix(1);
    CSmartStringArray valueItems;
    CSmartStringArray resultItems;
    SplitString(values, valueItems, ",", false);
    SplitString(results, resultItems, ",", false);
    if (valueItems.GetSize() != resultItems.GetSize())
        return false;
    line.operands[0] = MakeOperand(text.substr(0, first));
    for (const std::string& value : valueItems)
        line.items.push_back(value);
    for (const std::string& result : resultItems)
        line.choices.push_back(MakeChoice(result));
    return true;
}

void CompileIfThen(FetchFieldLine& line, const CFetchFilterSettings& settings)
{
    line.splitOk = SplitThree(line);
    if (!line.splitOk)
        return;
    line.conditionText = line.operands[0].text;
    line.condition = std::make_unique<CFetchFilter>();
    CFetchFilterSettings conditionSettings = settings;
    // A numeric left operand of an expression's condition is a number, not a column.
    conditionSettings.linePositions = false;
    line.conditionOk = line.condition->Parse(line.conditionText, conditionSettings);
    line.choices.push_back(MakeChoice(line.operands[1].text));
    line.choices.push_back(MakeChoice(line.operands[2].text));
}

} // namespace

bool MatchLineKeyword(std::string& expression, std::string_view keyword, int& ok, bool parenthesis,
                      int commas)
{
    ok = 1;
    if (!expression.starts_with(keyword))
        return false;
    expression.erase(0, keyword.size());
    if (parenthesis) {
        if (expression.empty() || expression.back() != ')') {
            ok = 0;
            return true;
        }
        expression.pop_back();
    }
    if (commas >= 1) {
        const std::size_t first = expression.find(',');
        if (first == npos || first == 0 || first + 1 == expression.size())
            ok = 0;
        else if (commas >= 2 && expression.find(',', first + 1) == npos)
            ok = 0;
    }
    return true;
}

bool IsLinkExpression(std::string_view expression, int& ok)
{
    ok = 1;
    if (!expression.starts_with('('))
        return false;
    const std::size_t size = expression.size();
    const std::size_t lists = expression.find("),(");
    bool wellFormed = lists != npos && lists > 0 && lists + 3 != size;
    std::size_t names = npos;
    if (wellFormed) {
        names = expression.find("),", lists + 3);
        wellFormed = names != npos && names + 2 != size;
    }
    if (wellFormed) {
        const std::size_t comma = expression.find(',', names + 2);
        wellFormed = comma != npos && comma + 1 != size;
    }
    if (!wellFormed)
        ok = 0;
    return true;
}

bool IsPositionExpression(std::string_view expression, const FetchPlaceRules& rules)
{
    const int kind = rules.kind;
    const bool textKind = kind == FETCH_KIND_ASCII || kind == FETCH_KIND_FOLDER;
    const bool structured = kind == FETCH_KIND_XML || kind == FETCH_KIND_JSON;
    if ((textKind || structured) && !rules.hasSeparator) {
        const std::size_t first = expression.find(',');
        if (first == npos || first == 0 || first + 1 == expression.size())
            return false;
        const std::string_view start = expression.substr(0, first);
        const std::string_view length = BeforeComma(expression.substr(first + 1));
        return IsNumberAtLeast(start, 1) && IsNumberAtLeast(length, 1);
    }
    const std::string_view head = BeforeComma(expression);
    if (textKind)
        return IsNumberAtLeast(head, 1);
    if (kind == FETCH_KIND_INI)
        return !head.empty() && IsNumberAtLeast(head, 0);
    return !head.empty() && head != "[]";
}

int ClassifyExpression(std::string_view expression, const FetchPlaceRules& rules,
                       std::string& argument, int& ok)
{
    argument.assign(expression);
    ok = 1;
    if (argument.empty())
        return LINE_UNDEFINED;
    for (const Keyword& keyword : kKeywords) {
        if (keyword.text[0] == '\0')
            break;
        if (MatchLineKeyword(argument, keyword.text, ok, keyword.parenthesis, keyword.commas))
            return keyword.kind;
    }
    if (IsLinkExpression(argument, ok))
        return LINE_LINKED;
    ok = 1;
    return IsPositionExpression(argument, rules) ? LINE_POSITION : LINE_PLAIN;
}

bool SplitConcatParts(std::string_view text, std::vector<FetchConcatPart>& parts)
{
    parts.clear();
    std::string rest(text);
    auto addPart = [&parts](std::string part, bool quoted) {
        if (part.empty())
            return;
        parts.push_back({quoted, std::move(part)});
    };
    while (rest.find('+') != npos) {
        const std::size_t plus = rest.find('+');
        const std::size_t quote = rest.find('"');
        if (quote == npos || plus < quote) {
            addPart(ExtractToken(rest, "+"), false);
            continue;
        }
        addPart(ExtractQuotedField(rest, "+", "\""), true);
    }
    if (rest.empty())
        return false;
    // The last part: a literal keeps its quotes until here.
    if (rest.front() == '"') {
        const std::string_view inner = rest.size() >= 2
                                           ? std::string_view(rest).substr(1, rest.size() - 2)
                                           : std::string_view();
        parts.push_back({true, std::string(inner)});
    } else {
        parts.push_back({false, std::move(rest)});
    }
    return true;
}

void CompileFieldLine(FetchFieldLine& line, const CFetchFilterSettings& conditionSettings)
{
    line.splitOk = true;
    line.parts.clear();
    line.items.clear();
    line.choices.clear();
    line.condition.reset();
    switch (line.kind) {
    case LINE_CONCAT:
        line.splitOk = SplitConcatParts(line.argument, line.parts);
        break;
    case LINE_SUMDAYS:
    case LINE_YEARDIFF:
    case LINE_RIGHT:
    case LINE_POS:
    case LINE_SUMINT:
    case LINE_SUBINT:
    case LINE_MULTINT:
    case LINE_DIVINT:
    case LINE_MOD:
    case LINE_SUMFLOAT:
    case LINE_SUBFLOAT:
    case LINE_MULTFLOAT:
    case LINE_DIVFLOAT:
    case LINE_SUMTIME:
    case LINE_SUBTIME:
    case LINE_SUMTIMEMINUTES:
    case LINE_SUBTIMEMINUTES:
    case LINE_SUMWORKINGDAYS:
    case LINE_SUBWORKINGDAYS:
        SplitTwo(line);
        break;
    case LINE_ISDIFF:
    case LINE_MID:
    case LINE_SUBST:
        SplitThree(line); // the split's result is not checked by these
        break;
    case LINE_RGB:
        line.splitOk = SplitThree(line);
        break;
    case LINE_ENUM:
    case LINE_BINENUM: {
        CSmartStringArray items;
        SplitString(line.argument, items, ",", false);
        line.splitOk = items.GetSize() >= 2;
        for (const std::string& item : items)
            line.items.push_back(item);
        break;
    }
    case LINE_CASE:
        line.splitOk = SplitCase(line);
        break;
    case LINE_IF_THEN:
        CompileIfThen(line, conditionSettings);
        break;
    default:
        line.operands[0] = MakeOperand(line.argument);
        break;
    }
}
