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

void TrimInPlace(std::string& text)
{
    const std::string_view trimmed = trv::Trim(text);
    if (trimmed.size() == text.size())
        return;
    const std::size_t start = static_cast<std::size_t>(trimmed.data() - text.data());
    text.erase(start + trimmed.size());
    text.erase(0, start);
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
    m_arrFieldLines.reserve(m_mapFields.size());
    m_mapFieldLineIndex.reserve(m_mapFields.size());
    const FetchPlaceRules rules{m_nKind, !m_strSeparator.empty()};
    CFetchFilterSettings conditionSettings;
    conditionSettings.separator = m_strSeparator;
    conditionSettings.qualifier = m_strStringDelimiter;
    conditionSettings.decimalSeparator = m_strDecimalSeparator;
    conditionSettings.dateFormat = m_strDateFormat;
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
            line.placeOk = ParseFieldSource(line.rest, line.position, line.length, line.listWidth,
                                            line.column);
            line.pad = m_chPad;
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

void CFetch::ClearFieldCache()
{
    EnsureFieldsClassified();
    ++m_nFieldCacheStamp;
    m_mapFieldCache.clear();
    m_mapFieldCache.emplace(kCacheMarker, std::string());
}

// ---- Evaluation --------------------------------------------------------------------------

std::string CFetch::GetField(const std::string& name, int& linked, int list, int direct,
                             const FetchTextMap* variables)
{
    m_strLinkedBoolTrue.clear();
    m_strLinkedBoolFalse.clear();
    m_strLinkedTimeFormat.clear();
    m_strLinkedDateFormat.clear();
    m_nLinkedDecimals = 0;

    // Someone emptied the cache (a new record, Init): the compiled lines' values go with it.
    if (m_mapFieldCache.empty())
        ClearFieldCache();

    const auto index = m_mapFieldLineIndex.find(name);
    FetchFieldLine* line =
        index == m_mapFieldLineIndex.end() ? nullptr : &m_arrFieldLines[index->second];
    if (!m_bNoFieldCache) {
        if (line) {
            if (line->cacheStamp == m_nFieldCacheStamp) {
                ++m_nCacheHits;
                return line->cachedValue;
            }
        } else {
            const auto cached = m_mapFieldCache.find(name);
            if (cached != m_mapFieldCache.end()) {
                ++m_nCacheHits;
                return cached->second;
            }
        }
        ++m_nCacheMisses;
    }

    if (m_bFieldDepthExceeded)
        return {};
    if (m_nFieldDepth >= kMaxFieldDepth || (line && line->evaluating)) {
        m_bFieldDepthExceeded = 1;
        TRV_TRACE(1, "CFetch::GetField",
                  "Field: %s refers to itself through other fields; read as empty", name.c_str());
        return {};
    }

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
        std::string result;
        const auto entry = variables ? variables->find(name) : FetchTextMap::const_iterator();
        const bool computed = variables && entry != variables->end() && !entry->second.empty();
        if (!computed) {
            result = GetOutputValue(name);
        } else {
            int needs = 0;
            int isComputed = 0;
            result = EvaluateLine(name, argument, needs, isComputed, 0, variables);
        }
        TrimInPlace(result);
        if (m_bFieldDepthExceeded)
            result.clear();
        WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetField", 3, true,
                   "Field: %s=    era !bDirecto y !pVariables, INILine=%s", name.c_str(),
                   argument.c_str());
        return result;
    }

    int needs = 1;
    int computed = 0;
    std::string result;
    // SAMEFIELDNAME: a database field without a line is the column of its own name.
    const bool ownColumn = m_bSameFieldName && m_nKind == FETCH_KIND_DATABASE &&
                           (!line || line->kind == LINE_UNDEFINED);
    if (ownColumn) {
        argument = name;
    } else {
        if (line)
            WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetLineFormat", 3, true, "%s=%s",
                       name.c_str(), line->expression.c_str());
        result = EvaluateCompiledLine(line, name, needs, computed, nullptr);
    }
    if (!needs) {
        linked = 0;
    } else {
        std::string linking;
        std::string linkedFields;
        int placeOk = 0;
        if (line && line->placeParsed) {
            // The place was parsed when the line was classified.
            m_nPosition = line->position;
            m_nLength = line->length;
            m_nListWidth = line->listWidth;
            m_chPad = line->pad;
            m_strColumn = line->column;
            argument = line->rest;
            placeOk = line->placeOk;
        } else {
            if (line && !ownColumn)
                argument = line->argument;
            placeOk = ProcessINILine(argument, linking, linkedFields);
        }
        if (!placeOk) {
            WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetField", 3, true,
                       "Field: %s=    ProcessINILine ha devuelto FALSE, INILine=%s", name.c_str(),
                       argument.c_str());
            return {};
        }
        if (argument.empty()) {
            result = ReadRawValue();
            linked = 0;
        } else if (argument.starts_with("DEFAULT=")) {
            // A place with a default: the place's value, else the default's.
            result = ReadRawValue();
            linked = 0;
            if (result.empty()) {
                const std::string fallback = argument.substr(8);
                if (fallback.starts_with("VALUE="))
                    result = fallback.substr(6);
                else
                    result = GetField(fallback, linked);
            }
        } else {
            // A link to another definition (FetchLinks.cpp).
            linked = 1;
            result = ReadLinkedField(argument, linking, linkedFields, linked, list, nullptr);
        }
    }

    std::replace(result.begin(), result.end(), '\n', ' ');
    TrimInPlace(result);
    // A value that depends on a field referring to itself is empty, and is not kept: read
    // again, it stops (and is traced) again.
    if (m_bFieldDepthExceeded)
        return {};
    WriteTrace(__FILE_NAME__, __LINE__, "CFetch::GetField", 3, true, "Field: %s=%s", name.c_str(),
               result.c_str());
    if (!m_bNoFieldCache) {
        if (line) {
            line->cachedValue = result;
            line->cacheStamp = m_nFieldCacheStamp;
        } else {
            m_mapFieldCache[name] = result;
        }
    }
    return result;
}

std::string CFetch::EvaluateLine(const std::string& name, std::string& argument, int& needsSource,
                                 int& computed, int isExpression, const FetchTextMap* variables)
{
    FetchFieldLine* line = nullptr;
    FetchFieldLine adHoc;
    if (isExpression) {
        adHoc.expression = name;
        adHoc.kind = GetLineFormat(name, adHoc.argument, adHoc.ok, 1);
        CFetchFilterSettings settings;
        settings.separator = m_strSeparator;
        settings.qualifier = m_strStringDelimiter;
        settings.decimalSeparator = m_strDecimalSeparator;
        settings.dateFormat = m_strDateFormat;
        CompileFieldLine(adHoc, settings);
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
    if (IsTextSourceKind(m_nKind)) {
        if (m_strSeparator.empty()) {
            if (m_nPosition < 1 || m_nLength < 0)
                return {};
            const std::string slice =
                trv::Mid(m_strCurrentLine, static_cast<std::size_t>(m_nPosition - 1),
                         static_cast<std::size_t>(m_nLength));
            return std::string(trv::Trim(slice));
        }
        // A line not yet split (the WHERE tests it before it is accepted) is split here, so
        // the filter and the reader see the same fields.
        if (m_arrLineFields.IsEmpty())
            SplitCurrentLine();
        if (m_nPosition < 1 || m_nPosition > m_arrLineFields.GetSize())
            return {};
        return std::string(m_arrLineFields[m_nPosition - 1]);
    }
    if (m_nKind == FETCH_KIND_INI) {
        const std::size_t equals = m_strCurrentIniEntry.find('=');
        if (m_nPosition == 0)
            return m_strCurrentIniEntry.substr(0, equals);
        if (m_nPosition < 0 || equals == std::string::npos)
            return {};
        std::string value = m_strCurrentIniEntry.substr(equals + 1);
        for (int skip = 1; skip < m_nPosition; ++skip) {
            const std::size_t next =
                m_strSeparator.empty() ? std::string::npos : value.find(m_strSeparator);
            if (next == std::string::npos)
                return {};
            value.erase(0, next + m_strSeparator.size());
        }
        if (!m_strSeparator.empty())
            value = value.substr(0, value.find(m_strSeparator));
        return value;
    }
    if (m_nKind == FETCH_KIND_DATABASE)
        return ReadDatabaseValue(); // FetchDatabase.cpp
    // FIXED, LIST and FETCH_CALCULATED definitions have no raw values (an SQL-family
    // definition is a database one once opened).
    return {};
}

std::string CFetch::GetOutputValue(const std::string& name)
{
    const std::string* value = FindSetValue(name);
    return value ? *value : std::string();
}
