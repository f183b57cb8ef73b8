// Output values: what the typed writers hand to SetField becomes the current output record:
// kept under the field name (for computed lines and the write condition), computed by the
// field's line, and stored at the field's place for WriteRecord.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "platform/Text.h"

#include <algorithm>

namespace {

// Lines whose value is the value set: places, links and lines that name no function.
bool KeepsSetValue(int kind)
{
    return kind == LINE_POSITION || kind == LINE_LINKED || kind == LINE_PLAIN ||
           kind == LINE_UNDEFINED || kind == LINE_UNUSED_6;
}

constexpr std::string_view kListStart = "LIST(";
constexpr std::string_view kSameLineMarker = "#LIST#";

} // namespace

// ---- The set values ----------------------------------------------------------------------

int CFetch::SetSlot(const std::string& name, FetchFieldLine* line)
{
    std::pair<int, unsigned>* entry = line ? line->setEntry : nullptr;
    if (!entry) {
        // Entries are never erased: the line may keep the address of its own.
        entry = &m_mapSetIndex.try_emplace(name, 0, 0u).first->second;
        if (line)
            line->setEntry = entry;
    }
    if (entry->second == m_nSetStamp)
        return entry->first;
    const int slot = static_cast<int>(m_arrSetNames.size());
    // Records set their fields in the same order: the name is usually in its slot already.
    if (!m_arrSetNames.ReuseNext(name))
        m_arrSetNames.push_back(name);
    m_arrSetValues.emplace_back();
    *entry = {slot, m_nSetStamp};
    return slot;
}

const std::string* CFetch::FindSetValue(const std::string& name) const
{
    const auto entry = m_mapSetIndex.find(name);
    if (entry == m_mapSetIndex.end() || entry->second.second != m_nSetStamp)
        return nullptr;
    return &m_arrSetValues[static_cast<std::size_t>(entry->second.first)];
}

void CFetch::EnsureWriteIfParsed()
{
    if (m_bWriteIfParsed && m_strParsedWriteIf == m_strWriteIf)
        return;
    m_bWriteIfParsed = 1;
    m_strParsedWriteIf = m_strWriteIf;
    if (!m_writeIfFilter.Parse(m_strWriteIf, GetFilterSettings(false), FetchFilterUse::WriteIf))
        m_strLastError =
            ReportInvalidFilter(m_strName, "WRITE_IF", m_strWriteIf, m_writeIfFilter.GetError());
}

void CFetch::ResolveWriteIf(const std::string& name, const std::string& value)
{
    EnsureWriteIfParsed();
    if (!m_writeIfFilter.IsEmpty())
        m_writeIfFilter.ResolveWriteIf(name, value);
}

// ---- SetField ----------------------------------------------------------------------------

int CFetch::SetField(const std::string& name, const std::string& value, int append,
                     const TFetchColumnType* columnType, int storeOnly)
{
    FetchFieldLine* line = nullptr;
    if (m_nKind != FETCH_KIND_LIST && !storeOnly) {
        EnsureWriteLinesClassified();
        line = LookupFieldLine(name);
    }
    return SetFieldOnLine(line, name, value, append, columnType, storeOnly);
}

int CFetch::SetFieldOnLine(FetchFieldLine* line, const std::string& name, const std::string& value,
                           int append, const TFetchColumnType* columnType, int storeOnly)
{
    if (m_nKind == FETCH_KIND_LIST) {
        int any = 0;
        for (auto& child : m_arrChildren)
            any |= child->SetField(name, value, append, columnType, storeOnly) ? 1 : 0;
        return any;
    }
    // The caller's text may live in the slots this call grows: then it is copied first.
    std::string computedText;
    const std::string* current = &value;
    if (m_arrSetValues.Holds(value) || m_arrOutValues.Holds(value) || m_arrSetNames.Holds(value) ||
        m_arrOutColumns.Holds(value)) {
        computedText = value;
        current = &computedText;
    }
    const int slot = SetSlot(name, line);
    m_arrSetValues[static_cast<std::size_t>(slot)] = *current;
    if (storeOnly)
        return 1;
    const std::string& text = *current;
    if (line && StorePlainTextValue(*line, name, text, append, columnType))
        return 0;

    if (!line && !m_bSameFieldName) {
        // Not written anywhere, but the write condition may test it.
        ResolveWriteIf(name, text);
        return 0;
    }
    if (line && line->expression.starts_with('+')) {
        std::string sumLine = line->expression;
        if (SplitSumField(sumLine, name, text, append, columnType))
            return 1;
    }

    const int kind = line ? line->kind : LINE_UNDEFINED;
    if (line && (!KeepsSetValue(kind) || !line->ok)) {
        // A function reads the values set so far, not those cached before they were set.
        ClearFieldCache();
        std::string argument;
        int needsSource = 0;
        int computed = 0;
        computedText = EvaluateLine(name, argument, needsSource, computed, 0, nullptr);
        current = &computedText;
        m_arrSetValues[static_cast<std::size_t>(slot)] = *current;
    }
    // Text values of a text target with a qualifier are qualified when the line is written.
    const bool isText = IsTextTargetKind(m_nKind) && !m_strStringDelimiter.empty() && columnType &&
                        columnType->nKind == FETCH_VALUE_TEXT;
    if (line && !KeepsSetValue(kind) && kind != LINE_VALUE)
        return 0; // a computed value has no place: it stays under its name

    std::string ownSource;
    std::string linking;
    std::string linked;
    const std::string* source = &ownSource;
    if (line && line->placeParsed) {
        if (!line->placeOk)
            return 0;
        m_nPosition = line->place.position;
        m_nLength = line->place.length;
        m_nListWidth = line->place.listWidth;
        m_chPad = line->place.pad;
        m_strColumn = line->place.column;
        source = &line->rest;
    } else {
        // SAMEFIELDNAME: a field without a line is the column of its own name.
        ownSource = line ? line->expression : name;
        if (!ProcessINILine(ownSource, linking, linked))
            return 0;
    }
    if (!source->empty() && !source->starts_with("DEFAULT=")) {
        // Values of linked definitions are stored by the linked definitions themselves
        // (FetchLinksWrite.cpp), which consume the tail.
        std::string tail = *source;
        int written = 0;
        SaveLinkedField(name, *current, tail, linking, linked, append, columnType, written);
        return written;
    }
    const std::size_t columnsBefore = m_arrSetTypes.size();
    StoreOutputValue(name, *current, append, columnType, isText);
    return m_arrSetTypes.size() > columnsBefore ? 1 : 0;
}

void CFetch::StoreOutputValue(const std::string& name, const std::string& text, int append,
                              const TFetchColumnType* columnType, bool isText)
{
    std::string listValue;
    const bool sameLineList = text.starts_with(kListStart) && m_arrListsInSameLine.Find(name) >= 0;
    if (sameLineList) {
        // A list written on one line: its items side by side, between markers.
        std::string& value = listValue;
        value = text.substr(5, text.size() > 5 ? text.size() - 6 : 0);
        if (m_nListWidth > 0 && !value.empty()) {
            CSmartStringArray items;
            SplitString(value, items, m_strListSeparator, false);
            value.clear();
            for (const std::string& item : items)
                value += trv::PadLeft(item, static_cast<std::size_t>(m_nListWidth));
        }
        value.insert(0, kSameLineMarker);
        value.append(kSameLineMarker);
    }
    const std::string& value = sameLineList ? listValue : text;
    ResolveWriteIf(name, value);

    int place = -1;
    if (m_nKind == FETCH_KIND_DATABASE) {
        if (m_strColumn.starts_with("VALUE="))
            return;
        const auto column = std::find(m_arrOutColumns.begin(), m_arrOutColumns.end(), m_strColumn);
        place = static_cast<int>(column - m_arrOutColumns.begin());
        if (column == m_arrOutColumns.end()) {
            m_arrOutColumns.push_back(m_strColumn);
            m_arrSetTypes.resize(m_arrOutColumns.size());
            if (columnType)
                m_arrSetTypes.back() = *columnType;
        }
    } else if (m_nKind == FETCH_KIND_INI) {
        place = m_nPosition;
    } else {
        place = m_nPosition - 1;
        if (place >= 0) {
            if (m_arrOutColumns.size() <= static_cast<std::size_t>(place))
                m_arrOutColumns.resize(static_cast<std::size_t>(place) + 1);
            if (m_arrOutColumns[static_cast<std::size_t>(place)] != name)
                m_arrOutColumns[static_cast<std::size_t>(place)] = name;
        }
    }
    if (place < 0)
        return;
    StoreLineValue(place, value, append);

    if (!IsTextTargetKind(m_nKind))
        return;
    const std::size_t index = static_cast<std::size_t>(place);
    if (m_arrOutIsText.size() <= index)
        m_arrOutIsText.resize(index + 1, 0);
    m_arrOutIsText[index] = isText ? 1 : 0;
    if (!m_strSeparator.empty())
        return;
    if (m_arrOutWidths.size() <= index) {
        m_arrOutWidths.resize(index + 1, 0);
        m_arrOutPadChars.resize(index + 1, ' ');
    }
    m_arrOutWidths[index] = m_nLength;
    m_arrOutPadChars[index] = m_chPad;
}

bool CFetch::StorePlainTextValue(const FetchFieldLine& line, const std::string& name,
                                 const std::string& text, int append,
                                 const TFetchColumnType* columnType)
{
    // What the full path does for such a line, without its detours: no function, link, sum,
    // default or list.
    if (!IsTextTargetKind(m_nKind) || !line.placeParsed || !line.placeOk || !line.ok ||
        line.kind != LINE_POSITION || !line.rest.empty() || line.expression.starts_with('+') ||
        text.starts_with(kListStart))
        return false;
    const FetchFieldPlace& place = line.place;
    m_nPosition = place.position;
    m_nLength = place.length;
    m_nListWidth = place.listWidth;
    m_chPad = place.pad;
    if (m_strColumn != place.column)
        m_strColumn = place.column;
    ResolveWriteIf(name, text);
    if (m_nPosition < 1)
        return true;
    const std::size_t index = static_cast<std::size_t>(m_nPosition - 1);
    // Places set in order find their names from the record before still in their slots.
    if (m_arrOutColumns.size() != index || !m_arrOutColumns.ReuseNext(name)) {
        if (m_arrOutColumns.size() <= index)
            m_arrOutColumns.resize(index + 1);
        if (m_arrOutColumns[index] != name)
            m_arrOutColumns[index] = name;
    }
    if (append || index >= m_arrOutValues.size())
        StoreLineValue(static_cast<int>(index), text, append);
    else
        m_arrOutValues[index] = text;
    if (m_arrOutIsText.size() <= index)
        m_arrOutIsText.resize(index + 1, 0);
    m_arrOutIsText[index] =
        !m_strStringDelimiter.empty() && columnType && columnType->nKind == FETCH_VALUE_TEXT ? 1
                                                                                             : 0;
    if (!m_strSeparator.empty())
        return true;
    if (m_arrOutWidths.size() <= index) {
        m_arrOutWidths.resize(index + 1, 0);
        m_arrOutPadChars.resize(index + 1, ' ');
    }
    m_arrOutWidths[index] = m_nLength;
    m_arrOutPadChars[index] = m_chPad;
    return true;
}

void CFetch::StoreLineValue(int place, const std::string& text, int append)
{
    const std::size_t index = static_cast<std::size_t>(place);
    if (m_arrOutValues.size() <= index)
        m_arrOutValues.resize(index + 1);
    std::string& target = m_arrOutValues[index];
    if (!append) {
        target = text;
        return;
    }
    // Appended values collect into "LIST(" a separator b ")"; an empty one counts as a blank.
    const std::string item = text.empty() ? std::string(" ") : text;
    if (target.empty()) {
        target = item;
        return;
    }
    if (target.starts_with(kListStart))
        target.pop_back();
    else
        target.insert(0, kListStart);
    target += m_strListSeparator;
    target += item;
    target += ')';
}

// ---- Combined values ---------------------------------------------------------------------

void CFetch::ReadSumFieldSeparator()
{
    m_strSumFieldSeparator = GetSetting("SUMFIELD_SEPARATOR");
}

int CFetch::SplitSumField(std::string& line, const std::string& name, const std::string& value,
                          int append, const TFetchColumnType* columnType)
{
    (void)name;
    if (!line.starts_with('+'))
        return 0;
    ReadSumFieldSeparator();
    line.erase(0, 1);
    const std::string separator = m_strSumFieldSeparator;
    if (separator.empty() || line.find(separator) == std::string::npos ||
        value.find(separator) == std::string::npos)
        return 0;
    const bool isText = IsTextTargetKind(m_nKind) && !m_strStringDelimiter.empty() && columnType &&
                        columnType->nKind == FETCH_VALUE_TEXT;
    std::string rest = value;
    while (!line.empty() && !rest.empty()) {
        std::string field = ExtractToken(line, separator);
        field.erase(
            std::remove_if(field.begin(), field.end(),
                           [](char character) { return character == '+' || character == '"'; }),
            field.end());
        const std::string part = ExtractToken(rest, separator);
        m_arrSetValues[static_cast<std::size_t>(SetSlot(field))] = part;
        const auto own = m_mapFields.find(field);
        std::string source = own == m_mapFields.end() ? std::string() : own->second;
        std::string linking;
        std::string linked;
        if (ProcessINILine(source, linking, linked))
            StoreOutputValue(field, part, append, columnType, isText);
        else
            SetField(field, part, append, columnType, 0);
    }
    return 1;
}

// ---- Writers that build their text here --------------------------------------------------

void CFetch::SetFieldListTime(const std::string& name, int minimum, int maximum, int append,
                              int isSet, int storeOnly, int count, const int* minutes)
{
    if (m_nKind == FETCH_KIND_LIST) {
        for (auto& child : m_arrChildren)
            child->SetFieldListTime(name, minimum, maximum, append, isSet, storeOnly, count,
                                    minutes);
        return;
    }
    std::string text;
    if (isSet) {
        text = kListStart;
        for (int index = 0; index < count; ++index) {
            int value = minutes[index];
            if (minimum != -1 && value < minimum)
                value = minimum;
            if (maximum != -1 && value > maximum)
                value = maximum;
            if (index > 0)
                text += m_strListSeparator;
            text += FormatMinutes(value);
        }
        text += ')';
    }
    const TFetchColumnType type{202, FETCH_VALUE_LIST, static_cast<int>(text.size())};
    SetField(name, text, append, &type, storeOnly);
}

void CFetch::SetFieldDateText(const std::string& name, const std::string& date, int append,
                              int storeOnly)
{
    if (m_nKind == FETCH_KIND_LIST) {
        for (auto& child : m_arrChildren)
            child->SetFieldDateText(name, date, append, storeOnly);
        return;
    }
    static constexpr TFetchColumnType kDateType{7, FETCH_VALUE_DATE, 0};
    SetField(name, ToDateFormat(date), append, &kDateType, storeOnly);
}
