// Field sources: the part of a field line that says where its value lives, a place in the
// definition's own record or a link to another definition.

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

int CFetch::ProcessINILine(std::string& source, std::string& linking, std::string& linked)
{
    m_nPosition = -1;
    m_nLength = -1;
    m_nListWidth = -1;
    m_strColumn.clear();
    if (!source.starts_with('('))
        return ParseFieldSource(source, m_nPosition, m_nLength, m_nListWidth, m_strColumn);
    return ProcessLinkingFields(source, linking, linked);
}

int CFetch::ParseFieldSource(std::string& source, int& start, int& length, int& third,
                             std::string& column)
{
    start = -1;
    length = -1;
    third = -1;
    column.clear();
    bool result = true;
    const bool separated = !m_strSeparator.empty();
    if (IsTextSourceKind(m_nKind) && separated) {
        const bool structured = m_nKind == FETCH_KIND_XML || m_nKind == FETCH_KIND_JSON;
        if (structured && m_nMode != FETCH_MODE_WRITE) {
            const std::string& prefix =
                GetSetting(m_nKind == FETCH_KIND_XML ? "PREFIXXML" : "PREFIXJSON");
            // The path ends at the first comma, so that a DEFAULT= after it still applies.
            std::string path = ExtractToken(source, ",");
            if (!prefix.empty()) {
                if (path.starts_with('\\') || path.starts_with('/'))
                    path.erase(0, 1);
                else
                    path = prefix + "." + path;
            }
            const auto found = m_mapColumns.find(path);
            // A path the document does not have reads as no column at all.
            const std::string number =
                found == m_mapColumns.end() ? std::string("0") : trv::FormatInt(found->second + 1);
            source = source.empty() ? number : number + "," + source;
        }
        const std::string token = ExtractToken(source, ",");
        if (token.empty())
            result = false;
        else
            start = trv::ParseInt(token);
    } else if (IsTextSourceKind(m_nKind)) {
        const std::string startToken = ExtractToken(source, ",");
        if (!startToken.empty())
            start = trv::ParseInt(startToken);
        const std::string lengthToken =
            startToken.empty() ? std::string() : ExtractToken(source, ",");
        if (startToken.empty() || lengthToken.empty()) {
            result = false;
        } else {
            if (lengthToken.size() >= 2 && lengthToken[0] == '0')
                m_chPad = '0';
            else if (lengthToken.size() >= 2 && lengthToken[0] == ' ')
                m_chPad = ' ';
            else
                m_chPad = '#';
            length = trv::ParseInt(lengthToken);
            if (!source.empty() && !source.starts_with("DEFAULT="))
                third = trv::ParseInt(ExtractToken(source, ","));
        }
    } else if (m_nKind == FETCH_KIND_INI) {
        const std::string token = ExtractToken(source, ",");
        if (token.empty())
            result = false;
        else
            start = trv::ParseInt(token);
    } else {
        column = ExtractToken(source, ",");
        if (column.empty())
            result = false;
    }
    if (!source.starts_with("DEFAULT="))
        source.clear();
    if (!result)
        return 0;
    if (column.size() >= 2 && column.front() == '[' && column.back() == ']') {
        column = column.substr(1, column.size() - 2);
        if (column.empty())
            return 0;
    }
    return 1;
}

int CFetch::ProcessLinkingFields(std::string& source, std::string& linking, std::string& linked)
{
    std::string rest = source.substr(1);
    std::string offending;
    if (rest.find(')') == std::string::npos) {
        offending = "(" + rest;
    } else {
        linking = ExtractTokenAtChar(')', rest);
        if (!rest.starts_with(",(")) {
            offending = "(" + linking + ")" + rest;
        } else {
            rest.erase(0, 2);
            if (rest.find(')') == std::string::npos) {
                offending = "(" + linking + "),(" + rest;
            } else {
                linked = ExtractToken(rest, "),");
                source = rest;
                return 1;
            }
        }
    }
    source = rest;
    const std::string message =
        TranslateFormat("LinkingFieldsFormatNotCorrect", offending, m_strDefinitionFile);
    trv::GetUserPrompt().ShowMessage("LinkingFieldsFormatNotCorrect", message,
                                     trv::MessageKind::Error);
    TRV_TRACE(2, "CFetch::ProcessLinkingFields", "ProcessLinkingFields, %s", message.c_str());
    return 0;
}
