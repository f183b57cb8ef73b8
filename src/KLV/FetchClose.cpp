// Closing a definition: the JSON document of a JSON target written (and posted to its web
// service), the text target completed under its final name, files joined, the notification
// address called, and the definition reset so that the object can be initialised again.

#include "KLV/Base64.h"
#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "KLV/WinHttpClient.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <json/json.h>
#include <sstream>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxHeaderCharacters = 2599;

bool MovesProcessedFileAtClose(int kind)
{
    return kind == FETCH_KIND_ASCII || kind == FETCH_KIND_XML || kind == FETCH_KIND_JSON ||
           kind == FETCH_KIND_INI;
}

// Writes the text to a temporary file beside the path and renames it onto the path, so that
// the old file stays whole when anything fails. Empty on success, else the reason.
std::string ReplaceFileContents(const std::string& path, const std::string& text)
{
    const std::string temporary = path + "." + std::to_string(::getpid()) + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return std::strerror(errno);
    const bool written =
        std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        ::unlink(temporary.c_str());
        return std::strerror(written ? errno : writeError);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temporary.c_str());
        return reason;
    }
    return {};
}

// Copies the source onto the target through a temporary file beside the target.
std::string CopyOnto(const std::string& source, const std::string& target)
{
    const std::string temporary = target + "." + std::to_string(::getpid()) + ".tmp";
    if (CopyFileContents(source, temporary) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temporary.c_str());
        return reason.empty() ? std::string("copy failed") : reason;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temporary.c_str());
        return reason;
    }
    return {};
}

} // namespace

// ---- Close -------------------------------------------------------------------------------

int CFetch::Close()
{
    // POST sentence, workbook target, connections (FetchDatabase.cpp).
    bool completed = CloseDatabaseSource();
    if (m_nKind == FETCH_KIND_JSON && m_jsonDocument && m_jsonDocument->size() > 0)
        completed = WriteJsonDocument() && completed;
    m_jsonDocument.reset();

    if (IsTextTargetKind(m_nKind) || m_pOutputFile) {
        completed = CommitOutputTarget() && completed;
        // TMP_FILENAME: the target was written under that name and now takes its own, unless
        // the export failed (the old target then stays as it was).
        if (!m_strTmpFileName.empty() && m_nMode == FETCH_MODE_WRITE && completed) {
            const std::string reason = CopyOnto(m_strTmpFileName, m_strFile);
            if (reason.empty()) {
                std::remove(m_strTmpFileName.c_str());
            } else {
                completed = false;
                m_strLastError = CannotWriteText(m_strFile, reason);
                TRV_TRACE(1, "CFetch::Close", "%s", m_strLastError.c_str());
                trv::GetUserPrompt().ShowMessage("FileCannotWrite", m_strLastError,
                                                 trv::MessageKind::Error);
            }
        }
        m_strTmpFileName.clear();
    }
    // A FOLDER moves each of its files as soon as it has read it; a file source of any other
    // kind moves at Close (a FOLDER closed half-read keeps the file it was reading).
    if (m_nMode != FETCH_MODE_CONSULT && MovesProcessedFileAtClose(m_nKind))
        MoveProcessedFile();

    if (!m_strPostConcatFiles.empty()) {
        ConcatFiles(m_strPostConcatFiles);
        m_strPostConcatFiles.clear();
    }
    if (!m_strPostCommand.empty()) {
        RunPostCommand(m_strPostCommand);
        m_strPostCommand.clear();
    }

    ResetDefinition();
    if (m_nMode == FETCH_MODE_CONSULT)
        return completed ? 1 : 0;
    for (auto& child : m_arrChildren)
        completed = child->Close() && completed;
    ClearRecord();
    m_arrChildren.clear();
    m_bWriteIfParsed = 0;
    m_strParsedWriteIf.clear();
    m_writeIfFilter = CFetchFilter();
    m_nRecord = 0;
    return completed ? 1 : 0;
}

void CFetch::ResetDefinition()
{
    m_arrWriteIfConditions.SetSize(0);
    m_arrWriteIfConnectors.SetSize(0);
    m_mapFormat.clear();
    m_mapFields.clear();
    m_bFieldsClassified = 0;
    m_mapMaxChars.clear();
    m_mapConstants.clear();
    m_mapChildIndex.clear();
    m_bMaxCharsLoaded = 0;
}

// ---- The JSON document -------------------------------------------------------------------

bool CFetch::WriteJsonDocument()
{
    const std::string urlPost = GetSetting("URL_POST");
    const std::string& jsonType = GetSetting("JSONTYPE");
    Json::Value document;
    if (jsonType == "ARRAY") {
        document = *m_jsonDocument;
    } else {
        // Without JSONMAINTITLE the JSONTYPE text names the member.
        const std::string& title = GetSetting("JSONMAINTITLE");
        document = Json::Value(Json::objectValue);
        document[title.empty() ? jsonType : title] = *m_jsonDocument;
    }

    // The document reaches its file first, so that a failed post never loses it. A target
    // known only by its web address keeps its file in the working folder.
    const bool addressOnly = GetSetting("FILENAME").empty() && !urlPost.empty();
    const std::string path = addressOnly ? GetDownloadFileName() : m_strOutputPath;
    bool completed = true;
    if (!path.empty()) {
        std::ostringstream text;
        Json::StyledStreamWriter("\t").write(text, document);
        const std::string reason = ReplaceFileContents(path, text.str());
        if (!reason.empty()) {
            completed = false;
            m_strLastError = CannotWriteText(path, reason);
            TRV_TRACE(1, "CFetch::Close", "%s: %s", m_strName.c_str(), m_strLastError.c_str());
        }
    }
    if (urlPost.empty())
        return completed;
    const std::string body = Json::StyledWriter().write(document);
    return SendFileWebServices(urlPost, body.data(), static_cast<int>(body.size())) && completed;
}

// ---- Files joined at Close ---------------------------------------------------------------

void CFetch::ConcatFiles(const std::string& list)
{
    if (list.find(',') == std::string::npos)
        return;
    std::string rest = list;
    const std::string target = ExtractTokenAtChar(',', rest);
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string source = rest.substr(0, comma);
        const int result = AppendFileToFile(source, target);
        if (result != 0)
            TRV_TRACE(1, "CFetch::ConcatFiles", "Cannot append %s to %s (%d)", source.c_str(),
                      target.c_str(), result);
        if (comma == std::string::npos)
            break;
        rest.erase(0, comma + 1);
    }
}

// ---- Notification address ----------------------------------------------------------------

void CFetch::RunPostCommand(const std::string& command)
{
    std::string text = command;
    if (text.find('[') != std::string::npos) {
        if (m_bufVariables.GetSize() > 0)
            ProcessVariablesSection(m_bufVariables, 0);
        for (std::size_t open = text.find('['); open != std::string::npos;
             open = text.find('[', open)) {
            const std::size_t close = text.find(']', open);
            if (close == std::string::npos)
                break;
            const std::string name = text.substr(open + 1, close - open - 1);
            // A field that was not set puts nothing in the address; values are percent-encoded
            // so that none can change it.
            const std::string* value = FindSetValue(name);
            std::string encoded = value ? *value : std::string();
            UrlEncode(encoded);
            text.replace(open, close - open + 1, encoded);
            open += encoded.size();
        }
    }
    if (text.find("http") == std::string::npos)
        return;
    WinHttpClient client(text, 0);
    client.m_bRequireValidSsl = static_cast<std::uint8_t>(GetRequireValidSsl());
    std::string error;
    if (!client.SendHttpRequest(error, "GET", 0))
        TRV_TRACE(2, "CFetch::RunPostCommand", "%s: %s", m_strName.c_str(), error.c_str());
}

// ---- Posting to a web service ------------------------------------------------------------

bool CFetch::SendFileWebServices(const std::string& url, const char* body, int length)
{
    const auto user = m_mapFormat.find("AUTH_USER");
    if (user == m_mapFormat.end()) {
        TRV_TRACE(1, "CFetch::SendFileWebServices", "Error Auth User");
        return false;
    }
    const auto password = m_mapFormat.find("AUTH_PASS");
    if (password == m_mapFormat.end()) {
        TRV_TRACE(1, "CFetch::SendFileWebServices", "Error Auth Pass");
        return false;
    }
    std::string headers;
    const std::string& authUrl = GetSetting("POST_AUTH_URL");
    if (!authUrl.empty()) {
        std::string userText = user->second;
        std::string token;
        if (!ObtenerTokenDobleAutenticacion(authUrl, userText, password->second, token))
            TRV_TRACE(1, "CFetch::SendFileWebServices", "Error Token POST:(%s)", authUrl.c_str());
        headers = "Accept: application/vnd.uexpress-api.v1+json\r\nAccept-Encoding: gzip, "
                  "deflate\r\nConnection: keep-alive\r\nContent-Length: 0\r\nContent-Type: "
                  "application/json\r\ncache-control: no-cache\r\nAuthorization: Bearer " +
                  token;
    } else {
        headers = "Content-Length:" + std::to_string(length) +
                  "\r\nContent-Type: application/json\r\nAccept-Encoding: gzip, deflate, "
                  "br\r\ncache-control: no-cache\r\nAuthorization: Basic " +
                  Base64Encode(user->second + ":" + password->second);
    }
    if (headers.size() > kMaxHeaderCharacters)
        headers.resize(kMaxHeaderCharacters);

    WinHttpClient client(url, 0);
    client.m_bRequireValidSsl = static_cast<std::uint8_t>(GetRequireValidSsl());
    client.m_pRequestData.assign(body, static_cast<std::size_t>(std::max(length, 0)));
    client.SetAdditionalRequestHeaders(headers);
    std::string error;
    if (client.SendHttpRequest(error, "POST", 0))
        return true;
    // The client's text carries the status and the start of the answer, never the headers.
    m_strLastError = error;
    TRV_TRACE(1, "CFetch::SendFileWebServices", "Error Token POST:(%s)", error.c_str());
    return false;
}

bool CFetch::ObtenerTokenDobleAutenticacion(const std::string& authUrl, std::string& user,
                                            const std::string& password, std::string& token)
{
    token.clear();
    user = Base64Encode(user + ":" + password);
    WinHttpClient client(authUrl, 0);
    client.m_bRequireValidSsl = static_cast<std::uint8_t>(GetRequireValidSsl());
    client.SetAdditionalRequestHeaders(
        "Content-Type: application/json\r\ncache-control: no-cache\r\nAuthorization: Basic " +
        user);
    std::string error;
    if (!client.SendHttpRequest(error, "POST", 0))
        return false;
    if (client.m_nStatusCode >= 400) {
        TRV_TRACE(1, "CFetch::ObtenerTokenDobleAutenticacion", "HTTP %ld: %.200s",
                  client.m_nStatusCode, client.m_strResponseContent.c_str());
        return false;
    }
    // The token is the answer's "access_token" member.
    Json::Value answer;
    Json::CharReaderBuilder builder;
    std::string parseError;
    std::istringstream stream(client.m_strResponseContent);
    if (!Json::parseFromStream(builder, stream, &answer, &parseError) || !answer.isObject() ||
        !answer["access_token"].isString()) {
        TRV_TRACE(1, "CFetch::ObtenerTokenDobleAutenticacion", "No access_token in the answer (%s)",
                  parseError.c_str());
        return false;
    }
    token = answer["access_token"].asString();
    return true;
}
