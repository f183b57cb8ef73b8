// Linked definitions, the writing side: a value set on a linked field goes to the linked
// definition's output record together with the linking values of this record, so that the
// child's record can be found again by them.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <memory>

namespace {

constexpr const char* kRequirementName = "REQUIREMENT_NAME";
constexpr const char* kDefaultTail = "DEFAULT=";
constexpr int kMaxLinkDepth = 16;

int CountLinkFields(const std::string& text)
{
    return text.empty() ? 0 : static_cast<int>(std::count(text.begin(), text.end(), ',')) + 1;
}

} // namespace

int CFetch::CreateWriteChild(const std::string& name, const std::string& file,
                             const std::string& linking, const std::string& linked,
                             const char* method, const char* initFailedFormat)
{
    if (GetLinkDepth() >= kMaxLinkDepth) {
        WriteTrace(__FILE_NAME__, __LINE__, method, 1, false, "%s: links nested too deep",
                   name.c_str());
        return -1;
    }
    // Counted before the child opens its target: a mismatch must not empty an existing file.
    if (CountLinkFields(linking) != CountLinkFields(linked)) {
        ReportLinkMismatch(method == std::string("CFetch::SaveLinkedField")
                               ? "SaveLinkedField, %s"
                               : "SearchLinkingFieldValue, %s",
                           method);
        return -1;
    }
    auto child = std::make_unique<CFetch>(this, m_bDisabled);
    if (!child->Init(name, m_strDateArgument, m_strSchedulingRange, FETCH_MODE_WRITE, file, "", "",
                     1, nullptr, "", "", nullptr, 0, 1)) {
        WriteTrace(__FILE_NAME__, __LINE__, method, 1, false, initFailedFormat, name.c_str());
        return -1;
    }
    child->m_bLinkSearched = 0;
    child->SetLinkLists(linking, linked);
    m_arrChildren.push_back(std::move(child));
    const int index = static_cast<int>(m_arrChildren.size()) - 1;
    m_mapChildIndex[name] = index;
    return index;
}

void CFetch::SaveLinkedField(const std::string& name, const std::string& value, std::string& tail,
                             const std::string& linking, const std::string& linked, int append,
                             const TFetchColumnType* columnType, int& written)
{
    written = 0;
    const bool requirementLink = linking.find(kRequirementName) != std::string::npos;
    if (tail.starts_with(kDefaultTail)) {
        StoreOutputValue(name, value, append, columnType);
        return;
    }
    const std::string definition = ExtractToken(tail, ",");
    const std::string field = ExtractToken(tail, ",");

    int index = -1;
    if (const auto found = m_mapChildIndex.find(definition); found != m_mapChildIndex.end()) {
        index = found->second;
        CFetch& child = *m_arrChildren[static_cast<std::size_t>(index)];
        if (requirementLink || !child.SameLinkFields(linking, linked)) {
            child.m_bLinkSearched = 0;
            if (!child.SetLinkLists(linking, linked)) {
                ReportLinkMismatch("SaveLinkedField, %s", "CFetch::SaveLinkedField");
                return;
            }
        }
    } else if (definition == m_strName) {
        // A self-link writes the field into this record; one naming its own field would
        // never end.
        if (field == name || m_nLinkWriteDepth > 0) {
            TRV_TRACE(1, "CFetch::SaveLinkedField", "SaveLinkedField, %s links to itself",
                      name.c_str());
            return;
        }
        ++m_nLinkWriteDepth;
        SetField(field, value, append, columnType, 0);
        --m_nLinkWriteDepth;
        return;
    } else {
        index = CreateWriteChild(definition, GetLinkFileName(definition), linking, linked,
                                 "CFetch::SaveLinkedField",
                                 "SaveLinkedField, pFetch->Init %s returned FALSE");
        if (index < 0)
            return;
    }

    CFetch& child = *m_arrChildren[static_cast<std::size_t>(index)];
    if (!child.m_bLinkSearched) {
        for (int position = 0; position < child.m_arrLinkingFields.GetSize(); ++position) {
            const std::string& linkingField = child.m_arrLinkingFields[position];
            int found = 1;
            const std::string linkingValue =
                linkingField == kRequirementName
                    ? m_strRequirementName
                    : SearchLinkingFieldValue(linkingField, found, append, columnType);
            if (!found)
                return; // the child's record cannot be told apart: nothing of it is written
            if (child.SetField(child.m_arrLinkedFields[position], linkingValue, append, columnType,
                               0))
                written = 1;
        }
        if (!requirementLink)
            child.m_bLinkSearched = 1;
    }
    child.SetField(field, value, append, columnType, 0);
    written = 1;
    if (requirementLink) {
        // One record per requirement value, written at once; emptied so that the parent's
        // own WriteRecord does not write it a second time.
        child.WriteRecord(0, "");
        child.ClearRecord();
    }
}

std::string CFetch::SearchLinkingFieldValue(const std::string& name, int& found, int append,
                                            const TFetchColumnType* columnType)
{
    std::string line;
    if (const auto own = m_mapFields.find(name); own != m_mapFields.end())
        line = own->second;
    else if (m_bSameFieldName)
        line = name;
    else {
        const std::string message =
            TranslateFormat("FormatNotFound", name, m_strName, m_strDefinitionFile);
        trv::GetUserPrompt().ShowMessage("FormatNotFound", message, trv::MessageKind::Error);
        found = 0;
        TRV_TRACE(1, "CFetch::SearchLinkingFieldValue", "SearchLinkingFieldValue, %s",
                  message.c_str());
        return {};
    }

    std::string sumLine = line;
    if (!SplitSumField(sumLine, name, "", append, columnType)) {
        std::string argument;
        int needsSource = 0;
        int computed = 0;
        EvaluateLine(name, argument, needsSource, computed, 0, nullptr);
        if (computed) {
            found = 0; // a linking field must be a place or a link
            return {};
        }
    }

    std::string source = line;
    std::string linking;
    std::string linked;
    if (!ProcessINILine(source, linking, linked)) {
        found = 0;
        return {};
    }
    if (source.empty() || source.starts_with(kDefaultTail)) {
        found = 1;
        if (IsTextSourceKind(m_nKind)) {
            const int place = m_nPosition - 1;
            return place >= 0 && place < static_cast<int>(m_arrOutValues.size())
                       ? m_arrOutValues[static_cast<std::size_t>(place)]
                       : std::string();
        }
        if (m_nKind == FETCH_KIND_DATABASE) {
            const auto column =
                std::find(m_arrOutColumns.begin(), m_arrOutColumns.end(), m_strColumn);
            const std::size_t place = static_cast<std::size_t>(column - m_arrOutColumns.begin());
            return column != m_arrOutColumns.end() && place < m_arrOutValues.size()
                       ? m_arrOutValues[place]
                       : std::string();
        }
        return {};
    }
    // Links between output records are followed for database targets only.
    if (m_nKind != FETCH_KIND_DATABASE)
        return {};

    const std::string definition = ExtractToken(source, ",");
    const std::string field = ExtractToken(source, ",");
    int index = -1;
    if (const auto child = m_mapChildIndex.find(definition); child != m_mapChildIndex.end()) {
        index = child->second;
        CFetch& existing = *m_arrChildren[static_cast<std::size_t>(index)];
        if (!existing.SameLinkFields(linking, linked)) {
            existing.m_bLinkSearched = 0;
            if (!existing.SetLinkLists(linking, linked)) {
                ReportLinkMismatch("SearchLinkingFieldValue, %s",
                                   "CFetch::SearchLinkingFieldValue");
                found = 0;
                return {};
            }
        }
    } else {
        index = CreateWriteChild(definition, definition == m_strName ? m_strFile : std::string(),
                                 linking, linked, "CFetch::SearchLinkingFieldValue",
                                 "SearchLinkingFieldValue, pFetch->Init %s returned FALSE");
        if (index < 0) {
            found = 0;
            return {};
        }
    }

    CFetch& child = *m_arrChildren[static_cast<std::size_t>(index)];
    if (!child.m_bLinkSearched) {
        for (int position = 0; position < child.m_arrLinkingFields.GetSize(); ++position) {
            const std::string value = SearchLinkingFieldValue(child.m_arrLinkingFields[position],
                                                              found, append, columnType);
            if (!found)
                return {};
            child.SetField(child.m_arrLinkedFields[position], value, append, columnType, 0);
        }
        child.m_bLinkSearched = 1;
    }
    return child.SearchLinkingFieldValue(field, found, append, columnType);
}
