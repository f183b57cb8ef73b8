#include "params/FetchFieldRecord.h"

#include "KLV/Fetch.h"
#include "platform/Path.h"

namespace {

// The variable layer writes -1 for a time bound it does not set; the engine's time readers
// and writers take the unset time for that.
int TimeBound(int bound)
{
    return bound == -1 ? kUnsetTime : bound;
}

CSmartFloatArray ToSmart(const CAutoArray<float>& values)
{
    CSmartFloatArray result;
    for (const float value : values)
        result.Add(value);
    return result;
}

CSmartIntArray ToSmart(const CAutoArray<int>& values)
{
    CSmartIntArray result;
    for (const int value : values)
        result.Add(value);
    return result;
}

} // namespace

CFetchFieldRecord::CFetchFieldRecord(CFetch& fetch) : m_fetch(fetch) {}

CFetchFieldRecord::CFetchFieldRecord(std::unique_ptr<CFetch> fetch)
    : m_owned(std::move(fetch)), m_fetch(*m_owned)
{
}

CFetchFieldRecord::~CFetchFieldRecord()
{
    if (m_owned)
        m_owned->Close();
}

int CFetchFieldRecord::GetFieldBool(const std::string& name, int defaultValue,
                                    const TFieldRead& how)
{
    return m_fetch.GetFieldBool(name, defaultValue, how.required, how.direct, how.fields);
}

int CFetchFieldRecord::GetFieldInt(const std::string& name, int defaultValue, int minimum,
                                   int maximum, const TFieldRead& how)
{
    return m_fetch.GetFieldInt(name, defaultValue, how.required, minimum, maximum, how.direct,
                               how.fields);
}

float CFetchFieldRecord::GetFieldFloat(const std::string& name, float defaultValue,
                                       const TFieldRead& how)
{
    return m_fetch.GetFieldFloat(name, how.required, how.direct, how.fields, defaultValue);
}

double CFetchFieldRecord::GetFieldDouble(const std::string& name, double defaultValue,
                                         const TFieldRead& how)
{
    return m_fetch.GetFieldDouble(name, how.required, how.direct, how.fields, defaultValue);
}

std::string CFetchFieldRecord::GetFieldString(const std::string& name,
                                              const std::string& defaultValue, int width,
                                              const TFieldRead& how)
{
    return m_fetch.GetFieldString(name, defaultValue, how.required, width, how.direct, how.fields);
}

int CFetchFieldRecord::GetFieldTime(const std::string& name, int defaultMinutes, int minimumMinutes,
                                    int maximumMinutes, const TFieldRead& how)
{
    return m_fetch.GetFieldTime(name, defaultMinutes, how.required, TimeBound(minimumMinutes),
                                TimeBound(maximumMinutes), how.direct, how.fields);
}

trv::OleDate CFetchFieldRecord::GetFieldDate(const std::string& name,
                                             const trv::OleDate& defaultValue,
                                             const TFieldRead& how)
{
    return m_fetch.GetFieldDate(name, defaultValue, how.required, how.direct, how.fields);
}

CSmartIntArray CFetchFieldRecord::GetFieldListTime(const std::string& name, int minimumMinutes,
                                                   int maximumMinutes, const TFieldRead& how)
{
    return m_fetch.GetFieldListTime(name, minimumMinutes, maximumMinutes, how.required, how.direct,
                                    how.fields);
}

int CFetchFieldRecord::GetFieldList(const std::string& name, CSmartStringArray& items,
                                    const std::string& defaultValue, bool applyWidth, int width,
                                    const TFieldRead& how)
{
    return m_fetch.GetFieldList(name, items, defaultValue, how.required, applyWidth, width,
                                how.direct, how.fields);
}

CSmartFloatArray CFetchFieldRecord::GetFieldListFloat(const std::string& name,
                                                      const TFieldRead& how)
{
    return ToSmart(m_fetch.GetFieldListFloat(name, how.required, how.direct, how.fields));
}

CSmartIntArray CFetchFieldRecord::GetFieldListInt(const std::string& name, const TFieldRead& how)
{
    return ToSmart(m_fetch.GetFieldListInt(name, how.required, how.direct, how.fields));
}

void CFetchFieldRecord::GetFieldListStrings(const std::string& name, CSmartStringArray& items,
                                            const TFieldRead& how)
{
    m_fetch.GetFieldListStrings(name, items, how.required, how.direct, how.fields);
}

void CFetchFieldRecord::GetFieldCoordinates(TGeoCoordinate& coordinates,
                                            const CSmartStringArray& names, double defaultValue,
                                            const TFieldRead& how)
{
    m_fetch.GetFieldCoordinates(coordinates, names, how.required, how.raw, defaultValue);
}

int CFetchFieldRecord::GetRequirements(const std::string& requirementName, TRequirementRead type,
                                       const TFieldRead& how,
                                       std::unique_ptr<CSmartStringArray>& list)
{
    // The engine's requirement types: 0 integer, 1 boolean, 2 list.
    const int engineType = static_cast<int>(type);
    list.reset();
    if (type != TRequirementRead::list)
        return m_fetch.GetRequirements(requirementName, engineType, how.required, how.direct,
                                       how.fields, nullptr);
    auto items = std::make_unique<CSmartStringArray>();
    const int result = m_fetch.GetRequirements(requirementName, engineType, how.required,
                                               how.direct, how.fields, items.get());
    if (result != kAnyRequirementValue)
        list = std::move(items);
    return result;
}

void CFetchFieldRecord::SetFieldBool(const std::string& name, bool value, const TFieldWrite& how)
{
    m_fetch.SetFieldBool(name, value, how.isSet, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldInt(const std::string& name, int value, int minimum, int maximum,
                                    const TFieldWrite& how)
{
    m_fetch.SetFieldInt(name, value, minimum, maximum, how.isSet, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldFloat(const std::string& name, float value, const TFieldWrite& how)
{
    m_fetch.SetFieldFloat(name, how.raw, value, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldString(const std::string& name, const std::string& text,
                                       int maxChars, const TFieldWrite& how)
{
    m_fetch.SetFieldString(name, text, maxChars, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldDouble(const std::string& name, double value,
                                       const TFieldWrite& how)
{
    m_fetch.SetFieldDouble(name, value, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldDate(const std::string& name, const trv::OleDate& date,
                                     const TFieldWrite& how)
{
    m_fetch.SetFieldDate(name, date, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldTime(const std::string& name, int minutes, int minimumMinutes,
                                     int maximumMinutes, const TFieldWrite& how)
{
    m_fetch.SetFieldTime(name, minutes, TimeBound(minimumMinutes), TimeBound(maximumMinutes),
                         how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldListTime(const std::string& name, const CSmartIntArray& minutes,
                                         int minimumMinutes, int maximumMinutes,
                                         const TFieldWrite& how)
{
    m_fetch.SetFieldListTime(name, minimumMinutes, maximumMinutes, how.append, how.isSet,
                             how.storeOnly, minutes.GetSize(), minutes.begin());
}

void CFetchFieldRecord::SetFieldListFloat(const std::string& name, const CSmartFloatArray& values,
                                          const TFieldWrite& how)
{
    CAutoArray<float> block(values.GetSize());
    for (int i = 0; i < values.GetSize(); ++i)
        block[i] = values[i];
    m_fetch.SetFieldListFloat(name, how.raw, block, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldListInt(const std::string& name, const CSmartIntArray& values,
                                        const TFieldWrite& how)
{
    CAutoArray<int> block(values.GetSize());
    for (int i = 0; i < values.GetSize(); ++i)
        block[i] = values[i];
    m_fetch.SetFieldListInt(name, block, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldListString(const std::string& name, const CSmartStringArray& values,
                                           const TFieldWrite& how)
{
    m_fetch.SetFieldListString(name, values, how.isSet, how.append, how.storeOnly);
}

void CFetchFieldRecord::SetFieldCoordinates(const CSmartStringArray& names,
                                            const TGeoCoordinate& coordinates,
                                            const TFieldWrite& how)
{
    m_fetch.SetFieldCoordinates(names, CDoublePoint(coordinates.longitude, coordinates.latitude),
                                how.append, how.storeOnly);
}

const CSmartStringArray& CFetchFieldRecord::GetRequirementFields() const
{
    return m_fetch.m_arrRequirements;
}

void CFetchFieldRecord::SetRequirementName(const std::string& name)
{
    m_fetch.m_strRequirementName = name;
}

bool CFetchFieldRecord::IsDatabaseOutput() const
{
    return m_fetch.m_nKind == FETCH_KIND_DATABASE || m_fetch.m_nKind == FETCH_KIND_SQL;
}

std::string CFetchFieldRecord::GetBoolText(bool value) const
{
    return value ? m_fetch.m_strBoolTrue : m_fetch.m_strBoolFalse;
}

bool CFetchFieldRecord::IsEOF()
{
    return m_fetch.IsEOF() != 0;
}

bool CFetchFieldRecord::MoveNext()
{
    return m_fetch.MoveNext() != 0;
}

void CFetchFieldRecord::ClearRecord()
{
    m_fetch.ClearRecord();
}

bool CFetchFieldRecord::WriteRecord()
{
    return m_fetch.WriteRecord();
}

bool CFetchFieldRecord::Close()
{
    return m_fetch.Close() != 0;
}

long long CFetchFieldRecord::GetRecordCount()
{
    return m_fetch.GetRecordCount();
}

TRecordSourcePosition CFetchFieldRecord::GetSourcePosition()
{
    TRecordSourcePosition position;
    const CFetch& fetch = m_fetch;
    if (fetch.m_nKind == FETCH_KIND_FOLDER) {
        const std::string& file =
            fetch.m_strCurrentFile.empty() ? fetch.m_strFile : fetch.m_strCurrentFile;
        position.name = trv::GetPathFileName(file);
        position.number = fetch.m_nNextFile + 1;
        position.total = fetch.m_arrFiles.GetSize();
        return position;
    }
    // A database's "file" is its connection string, which names nothing worth showing.
    const bool hasFile = fetch.m_nKind != FETCH_KIND_DATABASE && fetch.m_nKind != FETCH_KIND_SQL &&
                         !fetch.m_strFile.empty();
    position.name = hasFile ? trv::GetPathFileName(fetch.m_strFile) : fetch.m_strName;
    if (hasFile)
        position.total = fetch.m_bIsListReader ? fetch.m_arrListChildrenCopy.GetSize() : 1;
    return position;
}

void CFetchFieldRecord::TakeReadMessages(CSmartStringArray& messages)
{
    for (const std::string& message : m_fetch.m_arrRequiredMessages)
        messages.Add(message);
    m_fetch.m_arrRequiredMessages.SetSize(0);
}

std::unique_ptr<CFieldRecord> CFetchFieldRecord::OpenSubTableOutput(const std::string&)
{
    return nullptr;
}

CFieldRecord& CFetchFieldRecord::ResetLines(const std::string& field)
{
    int namesLink = 0;
    m_lineSource = m_fetch.FindLinkedFetchForField(field, &namesLink);
    m_noLines = namesLink != 0 && m_lineSource < 0;
    m_lineRecord.reset();
    if (m_lineSource < 0) {
        m_lineSource = -1;
        return *this;
    }
    m_lineRecord = std::make_unique<CFetchFieldRecord>(
        *m_fetch.m_arrChildren[static_cast<size_t>(m_lineSource)]);
    return *m_lineRecord;
}

bool CFetchFieldRecord::IsLinesEnd()
{
    return m_noLines || m_fetch.IsLinkedEOF(m_lineSource) != 0;
}

bool CFetchFieldRecord::MoveNextLine()
{
    return !m_noLines && m_fetch.MoveNextLinked(m_lineSource) != 0;
}

void CFetchFieldRecord::EvaluateVariables()
{
    const auto evaluate = [](CFetch& fetch) {
        if (fetch.m_bufVariables.GetSize() > 0)
            fetch.ProcessVariablesSection(fetch.m_bufVariables, 0);
    };
    if (m_fetch.m_nKind != FETCH_KIND_LIST) {
        evaluate(m_fetch);
        return;
    }
    for (const std::unique_ptr<CFetch>& member : m_fetch.m_arrChildren)
        evaluate(*member);
}

std::unique_ptr<CFieldRecord> CFetchRecordSource::Open(const std::string& definition,
                                                       const TFieldRecordOpen& how)
{
    auto fetch = std::make_unique<CFetch>();
    const int mode = how.mode == TFieldRecordMode::write ? FETCH_MODE_WRITE : FETCH_MODE_READ;
    const std::string& file = how.file.empty() ? m_file : how.file;
    if (!fetch->Init(definition, how.date, how.period, mode, file, how.filter, "", 1, nullptr, "",
                     m_definitionFile))
        return nullptr;
    return std::make_unique<CFetchFieldRecord>(std::move(fetch));
}
