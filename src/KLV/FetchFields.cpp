// Field evaluation: the value of one field of the current record, from its compiled line, the
// source record or the output record, cached for the record.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "platform/Text.h"

#include <algorithm>

namespace {

// Lines that refer to each other stop here.
constexpr int kMaxFieldDepth = 32;

// Stands in m_mapFieldCache while compiled lines hold values for the record: whoever empties
// the map (a new record, Init, a linked read) thereby empties the lines' values too.
const std::string kCacheMarker("\x01");

// What a field reads when it has no value.
const std::string kNoValue;

void TrimInPlace(std::string& text)
{
    const std::string_view trimmed = trv::Trim(text);
    if (trimmed.size() == text.size())
        return;
    const std::size_t start = static_cast<std::size_t>(trimmed.data() - text.data());
    text.erase(start + trimmed.size());
    text.erase(0, start);
}

// A value of the record: line ends become blanks, and blanks around it go.
void FinishValue(std::string& value)
{
    std::replace(value.begin(), value.end(), '\n', ' ');
    TrimInPlace(value);
}

} // namespace

// ---- Classification ----------------------------------------------------------------------

int CFetch::MatchLineKeyword(std::string& expression, const std::string& keyword, int& ok,
                             int parenthesis, int commas)
{
    return ::MatchLineKeyword(expression, keyword, ok, parenthesis != 0, commas) ? 1 : 0;
}

int CFetch::IsLinkExpression(const std::string& expression, int& ok)
{
    return ::IsLinkExpression(expression, ok) ? 1 : 0;
}

int CFetch::IsPositionExpression(const std::string& expression) const
{
    return ::IsPositionExpression(expression, {m_nKind, !m_strSeparator.empty()}) ? 1 : 0;
}

void CFetch::ClassifyFields()
{
    m_arrFieldLines.clear();
    m_mapFieldLineIndex.clear();
    m_nLastFieldLine = -1;
    m_arrFieldLines.reserve(m_mapFields.size());
    m_mapFieldLineIndex.reserve(m_mapFields.size());
    const FetchPlaceRules rules{m_nKind, !m_strSeparator.empty()};
    const CFetchFilterSettings conditionSettings = GetFilterSettings(true);
    const bool structuredRead = (m_nKind == FETCH_KIND_XML || m_nKind == FETCH_KIND_JSON) &&
                                !m_strSeparator.empty() && m_nMode != FETCH_MODE_WRITE;
    for (const auto& [name, expression] : m_mapFields) {
        FetchFieldLine line;
        line.name = name;
        line.expression = expression;
        line.kind = ClassifyExpression(expression, rules, line.argument, line.ok);
        CompileFieldLine(line, conditionSettings);
        // Places are parsed once; paths of XML and JSON documents depend on the document read
        // and links may report their errors, so both are parsed when read.
        if (line.kind == LINE_POSITION && !structuredRead && !line.argument.starts_with('(')) {
            line.rest = line.argument;
            line.placeOk = ParseFieldSource(line.rest, line.place.position, line.place.length,
                                            line.place.listWidth, line.place.column);
            line.place.pad = m_chPad;
            line.placeParsed = true;
        }
        m_mapFieldLineIndex.emplace(name, static_cast<int>(m_arrFieldLines.size()));
        m_arrFieldLines.push_back(std::move(line));
    }
    m_strClassifiedName = m_strName;
    m_strClassifiedFile = m_strDefinitionFile;
    m_nClassifiedKind = m_nKind;
    m_nClassifiedMode = m_nMode;
    m_strClassifiedSeparator = m_strSeparator;
    m_nClassifiedLines = m_mapFields.size();
    m_bFieldsClassified = 1;
    ++m_nFieldCacheStamp;
}

int CFetch::GetLineFormat(const std::string& name, std::string& argument, int& ok, int isExpression)
{
    ok = 1;
    if (isExpression) {
        WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetLineFormat", 3, true, "%s=%s", name.c_str(),
                   name.c_str());
        return ClassifyExpression(name, {m_nKind, !m_strSeparator.empty()}, argument, ok);
    }
    EnsureFieldsClassified();
    const auto found = m_mapFieldLineIndex.find(name);
    if (found == m_mapFieldLineIndex.end()) {
        argument.clear();
        return LINE_UNDEFINED;
    }
    const FetchFieldLine& line = m_arrFieldLines[found->second];
    WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetLineFormat", 3, true, "%s=%s", name.c_str(),
               line.expression.c_str());
    argument = line.argument;
    ok = line.ok;
    return line.kind;
}

// ---- Record cache ------------------------------------------------------------------------

void CFetch::EnsureFieldsClassified()
{
    const bool stale =
        !m_bFieldsClassified || m_strClassifiedName != m_strName || m_nClassifiedKind != m_nKind ||
        m_nClassifiedMode != m_nMode || m_nClassifiedLines != m_mapFields.size() ||
        m_strClassifiedSeparator != m_strSeparator || m_strClassifiedFile != m_strDefinitionFile;
    if (stale)
        ClassifyFields();
}

void CFetch::EnsureWriteLinesClassified()
{
    // The texts the lines were classified for change only with Init: they are compared once
    // per output record, the counters on every value.
    if (m_bFieldsClassified && m_nWriteCheckStamp == m_nSetStamp && m_nClassifiedKind == m_nKind &&
        m_nClassifiedMode == m_nMode && m_nClassifiedLines == m_mapFields.size())
        return;
    EnsureFieldsClassified();
    m_nWriteCheckStamp = m_nSetStamp;
}

void CFetch::ClearFieldCache()
{
    EnsureFieldsClassified();
    ++m_nFieldCacheStamp;
    // Most records cache nothing beyond the compiled lines: the marker alone stays.
    if (m_mapFieldCache.size() == 1 && m_mapFieldCache.begin()->first == kCacheMarker)
        return;
    m_mapFieldCache.clear();
    m_mapFieldCache.emplace(kCacheMarker, std::string());
}

// ---- Evaluation --------------------------------------------------------------------------

std::string CFetch::GetField(const std::string& name, int& linked, int list, int direct,
                             const FetchTextMap* variables)
{
    const CFetch* formats = nullptr;
    return ReadField(FindFieldLine(name), name, linked, formats, list, direct, variables);
}

FetchFieldLine* CFetch::FindFieldLine(const std::string& name)
{
    // Someone emptied the cache (a new record, Init): the compiled lines' values go with it.
    if (m_mapFieldCache.empty())
        ClearFieldCache();
    return LookupFieldLine(name);
}

FetchFieldLine* CFetch::LookupFieldLine(const std::string& name)
{
    const int lines = static_cast<int>(m_arrFieldLines.size());
    FetchFieldLine* last = m_nLastFieldLine >= 0 && m_nLastFieldLine < lines
                               ? &m_arrFieldLines[static_cast<std::size_t>(m_nLastFieldLine)]
                               : nullptr;
    if (last && last->foundNext >= 0 && last->foundNext < lines) {
        FetchFieldLine& guess = m_arrFieldLines[static_cast<std::size_t>(last->foundNext)];
        if (guess.name == name) {
            m_nLastFieldLine = last->foundNext;
            return &guess;
        }
    }
    const auto index = m_mapFieldLineIndex.find(name);
    if (index == m_mapFieldLineIndex.end())
        return nullptr;
    if (last)
        last->foundNext = index->second;
    m_nLastFieldLine = index->second;
    return &m_arrFieldLines[static_cast<std::size_t>(index->second)];
}

const std::string& CFetch::ReadField(FetchFieldLine* line, const std::string& name, int& linked,
                                     const CFetch*& formats, int list, int direct,
                                     const FetchTextMap* variables)
{
    formats = this;
    if (!m_bNoFieldCache) {
        if (line) {
            if (line->cacheStamp == m_nFieldCacheStamp) {
                ++m_nCacheHits;
                formats = line->cachedFormats;
                return line->cachedValue;
            }
        } else {
            const auto cached = m_mapLinelessCache.find(name);
            if (cached != m_mapLinelessCache.end() && cached->second.first == m_nFieldCacheStamp) {
                ++m_nCacheHits;
                return cached->second.second;
            }
        }
        ++m_nCacheMisses;
    }

    if (m_bFieldDepthExceeded)
        return kNoValue;
    if (m_nFieldDepth >= kMaxFieldDepth || (line && line->evaluating)) {
        m_bFieldDepthExceeded = 1;
        TRV_TRACE(1, "CFetch::GetField",
                  "Field: %s refers to itself through other fields; read as empty", name.c_str());
        return kNoValue;
    }

    // A field read straight from its place refers to no other field: no depth to guard.
    if (line && line->placeParsed && line->placeOk && line->rest.empty() && line->ok &&
        line->kind == LINE_POSITION && m_nMode != FETCH_MODE_WRITE && !direct && !variables) {
        std::string& result = line->cachedValue;
        if (IsTextSourceKind(m_nKind) && !m_strSeparator.empty()) {
            // The field is finished as it is copied out of the line.
            const std::string_view field = trv::Trim(SeparatedField(line->place));
            result.clear();
            result.append(field);
            if (std::find(field.begin(), field.end(), '\n') != field.end())
                std::replace(result.begin(), result.end(), '\n', ' ');
        } else {
            ReadRawValue(line->place, result);
            FinishValue(result);
        }
        linked = 0;
        return KeepFieldValue(line, name, result);
    }
    return EvaluateField(line, name, linked, formats, list, direct, variables);
}

const std::string& CFetch::EvaluateField(FetchFieldLine* line, const std::string& name, int& linked,
                                         const CFetch*& formats, int list, int direct,
                                         const FetchTextMap* variables)
{
    struct DepthGuard
    {
        CFetch& fetch;
        FetchFieldLine* line;
        DepthGuard(CFetch& owner, FetchFieldLine* current) : fetch(owner), line(current)
        {
            ++fetch.m_nFieldDepth;
            if (line)
                line->evaluating = true;
        }
        ~DepthGuard()
        {
            if (line)
                line->evaluating = false;
            if (--fetch.m_nFieldDepth == 0)
                fetch.m_bFieldDepthExceeded = 0;
        }
    } guard(*this, line);

    std::string argument;
    if (direct || variables) {
        // Computed from the output record: never kept as the record's value.
        std::string& result = m_strDirectValue;
        const auto entry = variables ? variables->find(name) : FetchTextMap::const_iterator();
        const bool computed = variables && entry != variables->end() && !entry->second.empty();
        if (!computed) {
            const std::string* set = FindSetValue(name);
            if (set)
                result = *set;
            else
                result.clear();
        } else {
            int needs = 0;
            int isComputed = 0;
            result = EvaluateLine(name, argument, needs, isComputed, 0, variables);
        }
        TrimInPlace(result);
        if (m_bFieldDepthExceeded)
            result.clear();
        WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetField", 3, true,
                   "Field: %s=    neither direct nor with variables, INILine=%s", name.c_str(),
                   argument.c_str());
        return result;
    }

    // The value is built where it is kept: in the line, or beside the cache for a field
    // without one.
    std::string& result = line ? line->cachedValue : m_strFieldValue;
    result.clear();
    int needs = 1;
    int computed = 0;
    // SAMEFIELDNAME: a database field without a line is the column of its own name.
    const bool ownColumn = m_bSameFieldName && m_nKind == FETCH_KIND_DATABASE &&
                           (!line || line->kind == LINE_UNDEFINED);
    if (ownColumn) {
        argument = name;
    } else {
        if (line && TraceWanted(3))
            WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetLineFormat", 3, true, "%s=%s",
                       name.c_str(), line->expression.c_str());
        result = EvaluateCompiledLine(line, name, needs, computed, nullptr);
    }
    if (!needs) {
        linked = 0;
    } else {
        std::string linking;
        std::string linkedFields;
        if (line && !ownColumn && !line->placeParsed && line->kind == LINE_POSITION &&
            !line->argument.starts_with('(') && IsStructuredRead())
            ResolveDocumentPlace(*line);
        const bool placed = line && !ownColumn && (line->placeParsed || line->pathStamp != 0);
        FetchFieldPlace* place = placed ? &line->place : nullptr;
        int placeOk = 0;
        if (placed) {
            // The place was parsed when the line was classified (or the document was read).
            placeOk = line->placeOk;
        } else {
            if (line && !ownColumn)
                argument = line->argument;
            placeOk = ProcessINILine(argument, linking, linkedFields);
        }
        const std::string& tail = placed ? line->rest : argument;
        if (!placeOk) {
            WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetField", 3, true,
                       "Field: %s=    ProcessINILine failed, INILine=%s", name.c_str(),
                       tail.c_str());
            result.clear();
            return kNoValue;
        }
        if (tail.empty() || tail.starts_with("DEFAULT=")) {
            if (place)
                ReadRawValue(*place, result);
            else
                result = ReadRawValue();
            linked = 0;
            // A place with a default: the place's value, else the default's.
            if (result.empty() && !tail.empty()) {
                const std::string fallback = tail.substr(8);
                if (fallback.starts_with("VALUE="))
                    result = fallback.substr(6);
                else
                    result = GetField(fallback, linked);
            }
        } else {
            // A link to another definition (FetchLinks.cpp).
            linked = 1;
            FetchLinkedValue read =
                ReadLinkedField(argument, linking, linkedFields, linked, list, nullptr);
            result = std::move(read.value);
            formats = read.formats;
        }
    }

    // A value that depends on a field referring to itself is empty, and is not kept: read
    // again, it stops (and is traced) again.
    if (m_bFieldDepthExceeded) {
        result.clear();
        return kNoValue;
    }
    FinishValue(result);
    return KeepFieldValue(line, name, result, formats);
}

const std::string& CFetch::KeepFieldValue(FetchFieldLine* line, const std::string& name,
                                          std::string& result, const CFetch* formats)
{
    if (TraceWanted(3))
        WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetField", 3, true, "Field: %s=%s",
                   name.c_str(), result.c_str());
    if (m_bNoFieldCache)
        return result;
    if (!line) {
        auto& kept = m_mapLinelessCache[name];
        kept.first = m_nFieldCacheStamp;
        kept.second = result;
        return result;
    }
    line->cacheStamp = m_nFieldCacheStamp;
    line->cachedFormats = formats ? formats : this;
    return result;
}

bool CFetch::IsStructuredRead() const
{
    return (m_nKind == FETCH_KIND_XML || m_nKind == FETCH_KIND_JSON) && !m_strSeparator.empty() &&
           m_nMode != FETCH_MODE_WRITE;
}

void CFetch::ResolveDocumentPlace(FetchFieldLine& line)
{
    if (line.pathStamp == m_nSourceStamp)
        return;
    line.rest = line.argument;
    line.place = FetchFieldPlace();
    const char pad = m_chPad;
    line.placeOk = ParseFieldSource(line.rest, line.place.position, line.place.length,
                                    line.place.listWidth, line.place.column);
    line.place.pad = m_chPad;
    m_chPad = pad;
    line.pathStamp = m_nSourceStamp;
}

std::string CFetch::EvaluateLine(const std::string& name, std::string& argument, int& needsSource,
                                 int& computed, int isExpression, const FetchTextMap* variables)
{
    FetchFieldLine* line = nullptr;
    FetchFieldLine adHoc;
    if (isExpression) {
        adHoc.expression = name;
        adHoc.kind = GetLineFormat(name, adHoc.argument, adHoc.ok, 1);
        CompileFieldLine(adHoc, GetFilterSettings(true));
        line = &adHoc;
    } else {
        EnsureFieldsClassified();
        const auto found = m_mapFieldLineIndex.find(name);
        if (found != m_mapFieldLineIndex.end()) {
            line = &m_arrFieldLines[found->second];
            WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetLineFormat", 3, true, "%s=%s",
                       name.c_str(), line->expression.c_str());
        }
    }
    argument = line ? line->argument : std::string();
    if ((!line || line->kind == LINE_UNDEFINED) && m_bSameFieldName &&
        m_nKind == FETCH_KIND_DATABASE) {
        argument = name;
        return name;
    }
    return EvaluateCompiledLine(line, name, needsSource, computed, variables);
}

std::string CFetch::EvaluateCompiledLine(FetchFieldLine* line, const std::string& name,
                                         int& needsSource, int& computed,
                                         const FetchTextMap* variables)
{
    const int kind = line ? line->kind : LINE_UNDEFINED;
    needsSource = 0;
    computed = 1;
    if (line && !line->ok)
        return {};
    switch (kind) {
    case LINE_POSITION:
    case LINE_LINKED:
        computed = 0;
        if (m_nMode == FETCH_MODE_WRITE)
            return GetOutputValue(name);
        needsSource = 1;
        return {};
    case LINE_VALUE:
        return line->argument;
    case LINE_PLAIN:
    case LINE_UNDEFINED:
    case LINE_UNUSED_6:
        computed = 0;
        needsSource = 0;
        return m_nMode == FETCH_MODE_WRITE ? GetOutputValue(name) : std::string();
    default:
        return EvaluateFunction(*line, variables);
    }
}

// ---- Operands ----------------------------------------------------------------------------

int CFetch::GetIntOperand(const std::string& text, const FetchTextMap* variables)
{
    if (IsNumeric(text))
        return trv::ParseInt(text);
    return GetFieldInt(text, 0, 0, -1, -1, 0, variables);
}

float CFetch::GetFloatOperand(const std::string& text, const FetchTextMap* variables)
{
    const float value = static_cast<float>(trv::ParseDouble(text));
    if (value != 0)
        return value;
    return GetFieldFloat(text, 0, 0, variables, 0.0f);
}

int CFetch::GetTimeOperand(const std::string& text, const FetchTextMap* variables)
{
    const int value = trv::ParseInt(text);
    if (value != 0)
        return value;
    return GetFieldTime(text, 0, 0, kUnsetTime, kUnsetTime, 0, variables);
}

// ---- Raw values --------------------------------------------------------------------------

std::string CFetch::ReadRawValue()
{
    FetchFieldPlace place;
    place.position = m_nPosition;
    place.length = m_nLength;
    place.listWidth = m_nListWidth;
    place.pad = m_chPad;
    place.column = m_strColumn;
    std::string value;
    ReadRawValue(place, value);
    return value;
}

void CFetch::ReadRawValue(FetchFieldPlace& place, std::string& value)
{
    value.clear();
    if (IsTextSourceKind(m_nKind)) {
        if (m_strSeparator.empty()) {
            if (place.position < 1 || place.length < 0)
                return;
            const std::string slice =
                trv::Mid(m_strCurrentLine, static_cast<std::size_t>(place.position - 1),
                         static_cast<std::size_t>(place.length));
            value.assign(trv::Trim(slice));
            return;
        }
        value.assign(SeparatedField(place));
        return;
    }
    if (m_nKind == FETCH_KIND_INI) {
        const std::string_view entry = m_strCurrentIniEntry;
        const std::size_t equals = entry.find('=');
        if (place.position == 0) {
            value.assign(entry.substr(0, equals));
            return;
        }
        if (place.position < 0 || equals == std::string_view::npos)
            return;
        std::string_view rest = entry.substr(equals + 1);
        for (int skip = 1; skip < place.position; ++skip) {
            const std::size_t next =
                m_strSeparator.empty() ? std::string_view::npos : rest.find(m_strSeparator);
            if (next == std::string_view::npos)
                return;
            rest.remove_prefix(next + m_strSeparator.size());
        }
        if (!m_strSeparator.empty())
            rest = rest.substr(0, rest.find(m_strSeparator));
        value.assign(rest);
        return;
    }
    if (m_nKind == FETCH_KIND_DATABASE)
        ReadDatabaseValue(place, value); // FetchDatabase.cpp
    // FIXED, LIST and FETCH_CALCULATED definitions have no raw values (an SQL-family
    // definition is a database one once opened).
}

std::string_view CFetch::SeparatedField(const FetchFieldPlace& place)
{
    // A line not yet split (the WHERE tests it before it is accepted) is split here, so the
    // filter and the reader see the same fields.
    if (m_arrLineFields.IsEmpty())
        SplitCurrentLine();
    if (place.position < 1 || place.position > m_arrLineFields.GetSize())
        return {};
    return m_arrLineFields[place.position - 1];
}

std::string CFetch::GetOutputValue(const std::string& name)
{
    const std::string* value = FindSetValue(name);
    return value ? *value : std::string();
}
