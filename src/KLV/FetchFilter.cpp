#include "KLV/FetchFilter.h"

#include "KLV/DelimitedLine.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsQuote(char character)
{
    return character == '"' || character == '\'';
}

bool IsBlank(char character)
{
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

// The closing quote of the literal opened at `open`, a doubled quote inside it skipped; npos
// when the literal is never closed (the quote is then an ordinary character).
std::size_t ClosingQuote(std::string_view text, std::size_t open)
{
    const char quote = text[open];
    for (std::size_t index = open + 1; index < text.size(); ++index) {
        if (text[index] != quote)
            continue;
        if (index + 1 < text.size() && text[index + 1] == quote) {
            ++index;
            continue;
        }
        return index;
    }
    return npos;
}

// The first occurrence of the token at or after `from` outside quoted literals.
std::size_t FindOutsideQuotes(std::string_view text, std::string_view token, std::size_t from = 0)
{
    std::size_t position = from;
    while (position < text.size()) {
        if (IsQuote(text[position])) {
            const std::size_t close = ClosingQuote(text, position);
            if (close != npos) {
                position = close + 1;
                continue;
            }
        }
        if (text.compare(position, token.size(), token) == 0)
            return position;
        ++position;
    }
    return npos;
}

int CountOutsideQuotes(std::string_view text, std::string_view token)
{
    int count = 0;
    for (std::size_t position = FindOutsideQuotes(text, token); position != npos;
         position = FindOutsideQuotes(text, token, position + token.size()))
        ++count;
    return count;
}

// The word at the start of the text, followed by a blank or the end.
bool StartsWithWord(std::string_view text, std::string_view word)
{
    return text.starts_with(word) && (text.size() == word.size() || IsBlank(text[word.size()]));
}

// The word at the end of the text, preceded by a blank or the start.
bool EndsWithWord(std::string_view text, std::string_view word)
{
    return text.ends_with(word) &&
           (text.size() == word.size() || IsBlank(text[text.size() - word.size() - 1]));
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsAsciiDigit);
}

// A number: an optional "-", digits and at most one decimal mark ("." or the definition's
// decimal separator), at least one digit. Read in the C locale.
bool ParseNumber(std::string_view text, std::string_view decimalSeparator, double& value)
{
    const char otherMark = decimalSeparator.size() == 1 ? decimalSeparator[0] : '.';
    std::array<char, 64> buffer{};
    if (text.empty() || text.size() > buffer.size())
        return false;
    bool mark = false;
    bool digit = false;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char character = text[index];
        if (IsAsciiDigit(character)) {
            digit = true;
            buffer[index] = character;
        } else if ((character == '.' || character == otherMark) && !mark) {
            mark = true;
            buffer[index] = '.';
        } else if (character == '-' && index == 0) {
            buffer[index] = character;
        } else {
            return false;
        }
    }
    if (!digit)
        return false;
    const char* end = buffer.data() + text.size();
    return std::from_chars(buffer.data(), end, value).ptr == end;
}

// "YYYY-MM-DD", the form dates are written into conditions.
bool ParseIsoDate(std::string_view text, int& year, int& month, int& day)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    if (!AllDigits(text.substr(0, 4)) || !AllDigits(text.substr(5, 2)) ||
        !AllDigits(text.substr(8, 2)))
        return false;
    year = trv::ParseInt(text.substr(0, 4));
    month = trv::ParseInt(text.substr(5, 2));
    day = trv::ParseInt(text.substr(8, 2));
    return true;
}

// Day, month and year under the runs of D, M and Y of the date format, text and format aligned
// on their right ends; two-digit years are 20xx.
bool ParseByDateFormat(std::string_view text, std::string_view format, int& year, int& month,
                       int& day)
{
    const std::ptrdiff_t offset =
        static_cast<std::ptrdiff_t>(text.size()) - static_cast<std::ptrdiff_t>(format.size());
    year = month = day = 0;
    int yearDigits = 0;
    bool any = false;
    for (std::size_t index = 0; index < format.size(); ++index) {
        int* part = format[index] == 'D'   ? &day
                    : format[index] == 'M' ? &month
                    : format[index] == 'Y' ? &year
                                           : nullptr;
        const std::ptrdiff_t position = static_cast<std::ptrdiff_t>(index) + offset;
        if (part == nullptr || position < 0)
            continue;
        const char character = text[static_cast<std::size_t>(position)];
        if (!IsAsciiDigit(character))
            return false;
        *part = *part * 10 + (character - '0');
        yearDigits += part == &year;
        any = true;
    }
    if (yearDigits <= 2)
        year += 2000;
    return any;
}

// The serial of a date text (its time, after a blank, ignored); 0 when it is no valid date.
double DateSerial(std::string_view text, std::string_view dateFormat)
{
    text = text.substr(0, text.find(' '));
    const std::size_t formatBlank = dateFormat.rfind(' ');
    if (formatBlank != npos)
        dateFormat = dateFormat.substr(0, formatBlank);
    int year = 0;
    int month = 0;
    int day = 0;
    if (ParseIsoDate(text, year, month, day) ||
        (!dateFormat.empty() && ParseByDateFormat(text, dateFormat, year, month, day))) {
        const trv::OleDate date(year, month, day);
        if (date.IsValid())
            return date.GetValue();
    }
    const trv::OleDate date = trv::OleDate::ParseDayFirst(text);
    return date.IsValid() ? date.GetValue() : 0.0;
}

template <typename Value> int ThreeWay(const Value& left, const Value& right)
{
    return left < right ? -1 : (right < left ? 1 : 0);
}

} // namespace

// ---- Parsing ----------------------------------------------------------------------------

bool CFetchFilter::Fail(std::string message)
{
    m_error = std::move(message);
    m_groups.clear();
    m_comparisons.clear();
    m_writeIfOutcomes.clear();
    return false;
}

bool CFetchFilter::Parse(std::string_view condition, const CFetchFilterSettings& settings,
                         FetchFilterUse use)
{
    m_settings = settings;
    m_use = use;
    m_groups.clear();
    m_comparisons.clear();
    m_writeIfOutcomes.clear();
    m_error.clear();

    const std::string_view text = trv::Trim(condition);
    const int opening = CountOutsideQuotes(text, "(");
    const int closing = CountOutsideQuotes(text, ")");
    if (opening != closing)
        return Fail(
            trv::FormatC("unbalanced parentheses: %d \"(\" and %d \")\"", opening, closing));

    // Between groups stands bare text: a connector after the previous group, comparisons of
    // their own, a connector before the next group.
    Connector pending = Connector::None;
    std::size_t position = 0;
    while (true) {
        const std::size_t open = FindOutsideQuotes(text, "(", position);
        std::string_view bare = trv::Trim(text.substr(position, open - position));
        if (FindOutsideQuotes(bare, ")") != npos)
            return Fail("\")\" without \"(\"");
        if (!bare.empty()) {
            if (StartsWithWord(bare, "AND") || StartsWithWord(bare, "OR")) {
                if (m_groups.empty())
                    return Fail(trv::FormatC("no condition before %.*s",
                                             static_cast<int>(bare.size()), bare.data()));
                pending = bare[0] == 'A' ? Connector::And : Connector::Or;
                bare = trv::TrimLeft(bare.substr(pending == Connector::And ? 3 : 2));
            }
            Connector trailing = Connector::None;
            if (open != npos && (EndsWithWord(bare, "AND") || EndsWithWord(bare, "OR"))) {
                trailing = bare.ends_with("AND") ? Connector::And : Connector::Or;
                bare = trv::TrimRight(
                    bare.substr(0, bare.size() - (trailing == Connector::And ? 3 : 2)));
            }
            if (!bare.empty()) {
                if (!ParseGroup(bare, pending))
                    return false;
                pending = Connector::None;
            }
            if (trailing != Connector::None) {
                if (pending != Connector::None)
                    return Fail("two connectors in a row");
                pending = trailing;
            }
        }
        if (open == npos)
            break;
        const std::size_t close = FindOutsideQuotes(text, ")", open + 1);
        const std::string_view inside = text.substr(open + 1, close - open - 1);
        if (FindOutsideQuotes(inside, "(") != npos)
            return Fail("parentheses inside parentheses");
        if (!ParseGroup(trv::Trim(inside), pending))
            return false;
        pending = Connector::None;
        position = close + 1;
    }
    if (pending != Connector::None)
        return Fail("no condition after the last AND or OR");
    m_writeIfOutcomes.assign(m_comparisons.size(), -1);
    return true;
}

bool CFetchFilter::ParseGroup(std::string_view text, Connector connector)
{
    if (text.empty())
        return Fail("empty parentheses");
    if (!m_groups.empty() && connector == Connector::None)
        return Fail("AND or OR missing before " + std::string(text));
    if (StartsWithWord(text, "AND") || StartsWithWord(text, "OR") || EndsWithWord(text, "AND") ||
        EndsWithWord(text, "OR"))
        return Fail("AND or OR without a comparison in " + std::string(text));

    Group group{connector, m_comparisons.size(), 0};
    Connector before = Connector::None;
    std::string_view rest = text;
    while (true) {
        const std::size_t andPosition = FindOutsideQuotes(rest, " AND ");
        const std::size_t orPosition = FindOutsideQuotes(rest, " OR ");
        const std::size_t cut = std::min(andPosition, orPosition);
        if (!ParseComparison(trv::Trim(rest.substr(0, cut)), before))
            return false;
        if (cut == npos)
            break;
        before = cut == andPosition ? Connector::And : Connector::Or;
        rest = rest.substr(cut + (before == Connector::And ? 5 : 4));
    }
    group.count = m_comparisons.size() - group.first;
    m_groups.push_back(group);
    return true;
}

bool CFetchFilter::ParseComparison(std::string_view text, Connector connector)
{
    struct OperatorText
    {
        std::string_view text;
        Operator op;
    };
    static constexpr OperatorText kOperators[] = {
        {"=", Operator::Equal},          {"<>", Operator::NotEqual},
        {"<=", Operator::LessOrEqual},   {">=", Operator::GreaterOrEqual},
        {"<", Operator::Less},           {">", Operator::Greater},
        {" LIKE ", Operator::Like},      {" NOT_LIKE ", Operator::NotLike},
        {"START_BY", Operator::StartBy},
    };
    const std::size_t operatorCount = m_use == FetchFilterUse::WriteIf ? 6 : std::size(kOperators);

    if (text.empty())
        return Fail("a comparison is missing");
    const OperatorText* found = nullptr;
    std::size_t foundPosition = npos;
    for (std::size_t index = 0; index < operatorCount; ++index) {
        const OperatorText& candidate = kOperators[index];
        const std::size_t position = FindOutsideQuotes(text, candidate.text);
        if (position == npos)
            continue;
        if (position < foundPosition ||
            (position == foundPosition && candidate.text.size() > found->text.size())) {
            found = &candidate;
            foundPosition = position;
        }
    }
    if (found == nullptr)
        return Fail("no comparison operator in " + std::string(text));

    // A second operator means a connector the language does not know ("A=1 and B=2").
    const std::string_view right = trv::Trim(text.substr(foundPosition + found->text.size()));
    for (std::size_t index = 0; index < operatorCount; ++index)
        if (FindOutsideQuotes(right, kOperators[index].text) != npos)
            return Fail("more than one comparison operator in " + std::string(text));

    Comparison comparison;
    comparison.connector = connector;
    comparison.op = found->op;
    const std::string_view left = trv::Trim(text.substr(0, foundPosition));
    if (left.empty())
        return Fail("no field before the operator in " + std::string(text));
    if (!ParseLeftOperand(left, comparison))
        return false;
    ParseRightOperand(right, comparison);
    m_comparisons.push_back(std::move(comparison));
    return true;
}

bool CFetchFilter::ParseLeftOperand(std::string_view text, Comparison& comparison)
{
    std::string withoutCommas(text);
    std::erase(withoutCommas, ',');
    const bool position =
        m_use == FetchFilterUse::Where && m_settings.linePositions && IsNumeric(withoutCommas) != 0;
    if (!position) {
        comparison.leftKind = LeftKind::Field;
        comparison.leftName = std::string(text);
        if (text.size() > 2 && text.front() == '[' && text.back() == ']')
            comparison.leftBareName = std::string(text.substr(1, text.size() - 2));
        return true;
    }
    if (!m_settings.separator.empty()) {
        if (!AllDigits(text) || trv::ParseInt(text) < 1)
            return Fail("column " + std::string(text) + " is not a column number from 1 on");
        comparison.leftKind = LeftKind::Column;
        comparison.column = trv::ParseInt(text);
        return true;
    }
    const std::size_t comma = text.find(',');
    const std::string_view start = text.substr(0, comma);
    const std::string_view length = comma == npos ? std::string_view() : text.substr(comma + 1);
    if (!AllDigits(start) || !AllDigits(length) || trv::ParseInt(start) < 1)
        return Fail("position " + std::string(text) + " is not start,length (from 1 on)");
    // The end of the slice must stay a valid character count.
    const long long startValue = trv::ParseInt64(start);
    const long long lengthValue = trv::ParseInt64(length);
    if (start.size() > 10 || length.size() > 10 || startValue - 1 + lengthValue > INT_MAX)
        return Fail("position " + std::string(text) + " lies beyond any line");
    comparison.leftKind = LeftKind::Position;
    comparison.column = static_cast<int>(startValue);
    comparison.length = static_cast<int>(lengthValue);
    return true;
}

void CFetchFilter::ParseRightOperand(std::string_view text, Comparison& comparison) const
{
    bool literal = m_use == FetchFilterUse::WriteIf || text.empty() || IsQuote(text.front()) ||
                   IsQuote(text.back());
    if (!literal) {
        std::string bare(text);
        std::erase_if(bare, [](char character) {
            return character == ',' || character == '.' || character == '/';
        });
        literal = IsNumeric(bare) != 0 || IsDateLikeText(text) || IsTimeLikeText(text);
    }
    comparison.rightIsField = !literal;
    if (!literal) {
        comparison.right = std::string(text);
        return;
    }
    comparison.right = std::string(trv::Trim(UnquoteFilterValue(text)));
    const Operand operand = Classify(comparison.right);
    comparison.rightKind = operand.kind;
    comparison.rightNumber = operand.number;
}

// ---- Testing ----------------------------------------------------------------------------

CFetchFilter::Operand CFetchFilter::Classify(std::string_view text) const
{
    Operand operand;
    operand.text = trv::Trim(text);
    if (operand.text.empty())
        return operand;
    if (ParseNumber(operand.text, m_settings.decimalSeparator, operand.number)) {
        operand.kind = ValueKind::Number;
        return operand;
    }
    if (IsTimeLikeText(operand.text)) {
        const trv::OleDate time = trv::OleDate::ParseTime(operand.text);
        if (time.IsValid()) {
            operand.kind = ValueKind::Time;
            operand.number = time.GetHour() * 60 + time.GetMinute();
        }
        return operand;
    }
    if (IsDateLikeText(operand.text)) {
        operand.number = DateSerial(operand.text, m_settings.dateFormat);
        if (operand.number != 0)
            operand.kind = ValueKind::Date;
    }
    return operand;
}

bool CFetchFilter::Holds(Operator op, const Operand& left, const Operand& right)
{
    switch (op) {
    case Operator::Like:
        return left.text.find(right.text) != npos;
    case Operator::NotLike:
        return left.text.find(right.text) == npos;
    case Operator::StartBy:
        return left.text.starts_with(right.text);
    default:
        break;
    }
    int order = 0;
    const bool numbers = left.kind == ValueKind::Number && right.kind == ValueKind::Number;
    const double leftNumber = numbers || left.kind != ValueKind::Number ? left.number : 0;
    const double rightNumber = numbers || right.kind != ValueKind::Number ? right.number : 0;
    if (numbers || leftNumber != 0 || rightNumber != 0)
        order = ThreeWay(leftNumber, rightNumber);
    else
        order = ThreeWay(left.text.compare(right.text), 0);
    switch (op) {
    case Operator::Equal:
        return order == 0;
    case Operator::NotEqual:
        return order != 0;
    case Operator::LessOrEqual:
        return order <= 0;
    case Operator::GreaterOrEqual:
        return order >= 0;
    case Operator::Less:
        return order < 0;
    case Operator::Greater:
        return order > 0;
    default:
        return false;
    }
}

bool CFetchFilter::ReadColumn(std::string_view line, int column, std::string& value) const
{
    // Collects the wanted column's pieces and counts the others.
    struct ColumnSink
    {
        int wanted;
        std::string& value;
        int index = 1;
        void Append(std::string_view piece)
        {
            if (index == wanted)
                value.append(piece);
        }
        void CloseItem() { ++index; }
    };
    value.clear();
    ColumnSink sink{column, value};
    const bool emptyLast =
        SplitDelimitedLine(line, m_settings.separator, m_settings.qualifier, sink);
    const int columns = sink.index - 1 + (emptyLast ? 1 : 0);
    return column <= columns;
}

int CFetchFilter::TestComparison(const Comparison& comparison, CFetchFilterRecord& record)
{
    std::string_view leftText;
    switch (comparison.leftKind) {
    case LeftKind::Column:
        if (!ReadColumn(record.GetCurrentLine(), comparison.column, m_leftValue))
            return -1;
        leftText = m_leftValue;
        break;
    case LeftKind::Position: {
        const std::string_view line = record.GetCurrentLine();
        const std::size_t start =
            trv::ByteOffset(line, static_cast<std::size_t>(comparison.column - 1));
        const std::size_t end = trv::ByteOffset(
            line, static_cast<std::size_t>(comparison.column - 1 + comparison.length));
        leftText = line.substr(start, end - start);
        break;
    }
    case LeftKind::Field:
        record.GetFieldValue(comparison.leftName, m_leftValue);
        if (m_leftValue.empty() && !comparison.leftBareName.empty())
            record.GetFieldValue(comparison.leftBareName, m_leftValue);
        leftText = m_leftValue;
        break;
    }
    // LIKE, NOT_LIKE and START_BY look at texts only.
    const bool textOnly = comparison.op == Operator::Like || comparison.op == Operator::NotLike ||
                          comparison.op == Operator::StartBy;
    Operand right{comparison.right, comparison.rightKind, comparison.rightNumber};
    if (comparison.rightIsField) {
        record.GetFieldValue(comparison.right, m_rightValue);
        right = textOnly ? Operand{trv::Trim(m_rightValue)} : Classify(m_rightValue);
    }
    const Operand left = textOnly ? Operand{trv::Trim(leftText)} : Classify(leftText);
    return Holds(comparison.op, left, right) ? 0 : 1;
}

template <typename ComparisonResult> int CFetchFilter::Combine(ComparisonResult&& result) const
{
    int total = 0;
    for (const Group& group : m_groups) {
        int groupResult = 0;
        for (std::size_t index = group.first; index < group.first + group.count; ++index) {
            const Comparison& comparison = m_comparisons[index];
            // Left to right: an AND after a failure and an OR after a pass change nothing.
            if ((comparison.connector == Connector::And && groupResult == 1) ||
                (comparison.connector == Connector::Or && groupResult == 0))
                continue;
            const int outcome = result(comparison);
            if (outcome < 0)
                return 1;
            if (comparison.connector == Connector::None)
                groupResult = outcome;
            else if (comparison.connector == Connector::Or)
                groupResult = groupResult & outcome;
            else
                groupResult = groupResult | outcome;
        }
        if (group.connector == Connector::None) {
            total = groupResult;
        } else if (group.connector == Connector::Or) {
            total = total & groupResult;
        } else {
            total = total | groupResult;
            if (total == 1)
                return 1;
        }
    }
    return total;
}

int CFetchFilter::Test(CFetchFilterRecord& record)
{
    if (m_groups.empty())
        return 0;
    return Combine(
        [&](const Comparison& comparison) { return TestComparison(comparison, record); });
}

// ---- WRITE_IF ---------------------------------------------------------------------------

void CFetchFilter::ClearWriteIf()
{
    std::fill(m_writeIfOutcomes.begin(), m_writeIfOutcomes.end(), std::int8_t{-1});
}

void CFetchFilter::ResolveWriteIf(std::string_view field, std::string_view value)
{
    if (m_use != FetchFilterUse::WriteIf)
        return;
    const Operand operand = Classify(value);
    for (std::size_t index = 0; index < m_comparisons.size(); ++index) {
        const Comparison& comparison = m_comparisons[index];
        if (comparison.leftName != field)
            continue;
        const Operand literal{comparison.right, comparison.rightKind, comparison.rightNumber};
        m_writeIfOutcomes[index] = Holds(comparison.op, operand, literal) ? 0 : 1;
    }
}

int CFetchFilter::TestWriteIf() const
{
    if (m_use != FetchFilterUse::WriteIf || m_groups.empty())
        return 0;
    return Combine([&](const Comparison& comparison) {
        return m_writeIfOutcomes[static_cast<std::size_t>(&comparison - m_comparisons.data())] == 0
                   ? 0
                   : 1;
    });
}

// ---- Messages and condition texts -------------------------------------------------------

std::string ReportInvalidFilter(std::string_view definition, std::string_view setting,
                                std::string_view condition, std::string_view error)
{
    const std::string text = Translate("FilterNotValid") + ": " + std::string(definition) + " " +
                             std::string(setting) + "=" + std::string(condition) + " (" +
                             std::string(error) + ")";
    TRV_TRACE(1, "CFetch::Init", "%s", text.c_str());
    trv::GetUserPrompt().ShowMessage("FilterNotValid", text, trv::MessageKind::Error);
    return text;
}

std::string QuoteFilterValue(std::string_view value)
{
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    for (const char character : value) {
        quoted += character;
        if (character == '"')
            quoted += '"';
    }
    quoted += '"';
    return quoted;
}

std::string QuoteFilterValue(const trv::OleDate& date)
{
    return QuoteFilterValue(date.Format("%Y-%m-%d"));
}

std::string UnquoteFilterValue(std::string_view text)
{
    if (text.size() < 2 || !IsQuote(text.front()) || text.back() != text.front())
        return std::string(text);
    const char quote = text.front();
    std::string value;
    value.reserve(text.size() - 2);
    const std::string_view inside = text.substr(1, text.size() - 2);
    for (std::size_t index = 0; index < inside.size(); ++index) {
        value += inside[index];
        if (inside[index] == quote && index + 1 < inside.size() && inside[index + 1] == quote)
            ++index;
    }
    return value;
}

std::string SplitAtFirstOf(std::span<const std::string_view> tokens, std::string& text,
                           std::string& found)
{
    std::ptrdiff_t best = static_cast<std::ptrdiff_t>(text.size()) - 1;
    std::string_view bestToken;
    for (const std::string_view token : tokens) {
        const std::size_t position = text.find(token);
        if (position == npos || token.empty())
            continue;
        const auto signedPosition = static_cast<std::ptrdiff_t>(position);
        if (signedPosition < best || (signedPosition == best && token.size() > bestToken.size())) {
            best = signedPosition;
            bestToken = token;
        }
    }
    if (best + 1 == static_cast<std::ptrdiff_t>(text.size())) {
        std::string whole(trv::Trim(text));
        text.clear();
        found.clear();
        return whole;
    }
    const auto cut = static_cast<std::size_t>(best);
    std::string before(trv::Trim(std::string_view(text).substr(0, cut)));
    found = std::string(bestToken);
    text.erase(0, cut + bestToken.size());
    return before;
}

bool RewriteFilter(std::string& condition, bool databaseSource,
                   const std::function<bool(std::string& piece)>& convertPiece)
{
    const int groups = CountOutsideQuotes(condition, "(");
    if (groups != CountOutsideQuotes(condition, ")"))
        return false;
    std::string_view rest = condition;
    std::string rebuilt;
    for (int group = 0; group < groups && !rest.empty(); ++group) {
        const std::size_t open = FindOutsideQuotes(rest, "(");
        std::string before(rest.substr(0, open));
        rest = open == npos ? std::string_view() : rest.substr(open + 1);
        const std::size_t close = FindOutsideQuotes(rest, ")");
        std::string inside(rest.substr(0, close));
        rest = close == npos ? std::string_view() : rest.substr(close + 1);
        if (!convertPiece(before) || !convertPiece(inside))
            return false;
        rebuilt +=
            before + (databaseSource ? " ( " : " (") + inside + (databaseSource ? " ) " : ") ");
    }
    std::string last(rest);
    if (!convertPiece(last))
        return false;
    condition = rebuilt + last;
    return true;
}
