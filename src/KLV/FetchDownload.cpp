// Web addresses as sources: the response of URL_GET or URL_POST is saved into a working file
// that the kind's reader then reads.

#include "KLV/Base64.h"
#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "KLV/WinHttpClient.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kJsonHeaders =
    "Content-Type: application/json\r\ncache-control: no-cache\r\nConnection: keep-alive";
constexpr std::size_t kMaxHeaderCharacters = 2599;

// The address without "user:password@", for traces and messages.
std::string WithoutCredentials(const std::string& url)
{
    const std::size_t scheme = url.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t at = url.find('@', start);
    const std::size_t slash = url.find('/', start);
    if (at == std::string::npos || (slash != std::string::npos && at > slash))
        return url;
    return url.substr(0, start) + url.substr(at + 1);
}

// The start of an answer's body, for the trace of a refused request.
std::string BodyStart(const WinHttpClient& client)
{
    return client.m_strResponseContent.substr(0, 200);
}

} // namespace

int CFetch::GetRequireValidSsl() const
{
    // Certificates are verified unless the definition opts out explicitly.
    const std::string& value = GetSetting("REQUIRE_VALID_SSL");
    return value.empty() || !(value[0] == 'N' || value[0] == 'n' || value[0] == '0') ? 1 : 0;
}

int CFetch::DownloadSource()
{
    const std::string url = m_strFile;
    const std::string target = GetDownloadFileName();
    std::error_code error;
    std::filesystem::create_directories(trv::GetPathFolder(target), error);

    std::string headers;
    std::string requestUrl = url;
    WinHttpClient client(url, 0);
    client.m_bRequireValidSsl = static_cast<std::uint8_t>(GetRequireValidSsl());
    if (m_nDownload == FetchDownload::Get) {
        const auto user = m_mapFormat.find("AUTH_USER");
        const auto password = m_mapFormat.find("AUTH_PASS");
        if (user == m_mapFormat.end())
            TRV_TRACE(2, "CFetch::ReadFileName", "No Auth User");
        if (password == m_mapFormat.end())
            TRV_TRACE(2, "CFetch::ReadFileName", "No Auth Pass");
        headers = kJsonHeaders;
        if (user != m_mapFormat.end() && password != m_mapFormat.end())
            headers +=
                "\r\nAuthorization: Basic " + Base64Encode(user->second + ":" + password->second);
    } else {
        const std::string& authUrl = GetSetting("POST_AUTH_URL");
        const auto user = m_mapFormat.find("AUTH_USER");
        const auto password = m_mapFormat.find("AUTH_PASS");
        const char* missing = authUrl.empty()                 ? "Error Auth URL"
                              : user == m_mapFormat.end()     ? "Error Auth User"
                              : password == m_mapFormat.end() ? "Error Auth Pass"
                                                              : nullptr;
        if (missing) {
            TRV_TRACE(1, "CFetch::ReadFileName", "%s", missing);
            m_strLastError = missing;
            return 0;
        }
        std::string userText = user->second;
        std::string token;
        if (!ObtenerTokenDobleAutenticacion(authUrl, userText, password->second, token)) {
            TRV_TRACE(1, "CFetch::ReadFileName", "Error Token POST:(%s)",
                      WithoutCredentials(authUrl).c_str());
            m_strLastError = "Error Token POST";
            return 0;
        }
        // The filter goes into the address percent-encoded, so that no value can change it.
        if (!m_strWhere.empty()) {
            std::string where = m_strWhere;
            UrlEncode(where);
            requestUrl += "?" + where;
        }
        client.m_strUrl = requestUrl;
        headers = "Accept: application/vnd.uexpress-api.v1+json\r\nAccept-Encoding: gzip, "
                  "deflate\r\nConnection: keep-alive\r\nContent-Length: 0\r\nContent-Type: "
                  "application/json\r\ncache-control: no-cache\r\nAuthorization: Bearer " +
                  token;
    }
    if (headers.size() > kMaxHeaderCharacters)
        headers.resize(kMaxHeaderCharacters);
    client.SetAdditionalRequestHeaders(headers);

    const char* method = m_nDownload == FetchDownload::Get ? "GET" : "POST";
    std::string errorText;
    bool received = client.SendHttpRequest(errorText, method, 0);
    if (received && client.m_nStatusCode >= 400) {
        // An error page is no source: it is not saved in place of the records.
        received = false;
        errorText = trv::FormatC("HTTP %ld: %s", client.m_nStatusCode, BodyStart(client).c_str());
    }
    if (received && !client.SaveResponseToFile(target)) {
        received = false;
        errorText = "Error_Abrir_Archivo " + target;
    }
    if (!received) {
        m_strLastError = errorText;
        const std::string shown = WithoutCredentials(requestUrl);
        trv::GetUserPrompt().ShowMessage("Error_Abrir_Archivo", m_strLastError + "\n" + shown,
                                         trv::MessageKind::Error);
        TRV_TRACE(1, "CFetch::ReadFileName", "Error_Abrir_Archivo %s", shown.c_str());
        TRV_TRACE(1, "CFetch::ReadFileName", "Error: %s", errorText.c_str());
        return 0;
    }
    m_strFile = target;
    return 1;
}
