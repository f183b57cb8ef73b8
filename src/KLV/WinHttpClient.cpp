#include "KLV/WinHttpClient.h"

#include "KLV/Trace.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <curl/curl.h>
#include <regex>

namespace {

constexpr std::uint32_t kErrorEmptyAddress = 3;
constexpr std::uint32_t kErrorBadMethod = 87;
constexpr long kConnectTimeoutMilliseconds = 5000;
constexpr long kMaximumRedirects = 10;
constexpr std::size_t kTracedBodyCharacters = 200;

struct CurlUrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

struct CurlListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// What one exchange received: the headers of the final answer and its body.
struct Exchange
{
    std::string headers;
    std::string body;
    WinHttpClient::ProgressFunction progress = nullptr;
    CURL* handle = nullptr;
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    std::string_view line(data, size * count);
    // A new status line starts a new answer (after a redirect or an interim 100): only the
    // final answer's headers are kept.
    if (line.starts_with("HTTP/"))
        exchange->headers.clear();
    exchange->headers.append(line);
    return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    exchange->body.append(data, size * count);
    if (exchange->progress) {
        curl_off_t length = -1;
        curl_easy_getinfo(exchange->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0)
            exchange->progress(static_cast<double>(exchange->body.size()) * 100.0 /
                               static_cast<double>(length));
    }
    return size * count;
}

// The address as it may appear in the trace: no user, password, query or fragment, which may
// carry credentials or tokens.
std::string TraceableUrl(const std::string& url)
{
    CurlUrl handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return "(unparsable address)";
    for (CURLUPart part : {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_QUERY, CURLUPART_FRAGMENT,
                           CURLUPART_OPTIONS})
        curl_url_set(handle.get(), part, nullptr, 0);
    char* text = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
        return "(unparsable address)";
    std::string result(text);
    curl_free(text);
    return result;
}

// The request header lines to send. The body's length and the accepted encodings are libcurl's
// to state: a stale Content-Length would cut or stall the body, and an Accept-Encoding we did
// not ask libcurl to decode would leave compressed bytes in the response.
CurlList BuildHeaderList(const std::string& headers, const std::string& cookies)
{
    curl_slist* list = nullptr;
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = headers.size();
        const std::string line(trv::Trim(std::string_view(headers).substr(start, end - start)));
        start = end + 1;
        if (line.empty())
            continue;
        const std::string name = line.substr(0, line.find(':'));
        if (trv::EqualsNoCase(trv::Trim(name), "Content-Length") ||
            trv::EqualsNoCase(trv::Trim(name), "Accept-Encoding"))
            continue;
        list = curl_slist_append(list, line.c_str());
    }
    if (!cookies.empty())
        list = curl_slist_append(list, ("Cookie: " + cookies).c_str());
    // No "Expect: 100-continue" round trip before a body.
    list = curl_slist_append(list, "Expect:");
    return CurlList(list);
}

// The header pattern syntax in ECMAScript terms.
std::string TranslatePattern(const std::string& pattern)
{
    std::string result;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '{') {
            result += '(';
        } else if (c == '}') {
            result += ')';
        } else if (c == '\\' && i + 1 < pattern.size()) {
            const char next = pattern[++i];
            if (next == 'b')
                result += "[ \\t]";
            else if (next == 'n')
                result += "(?:\\r\\n|\\r|\\n)";
            else
                (result += '\\') += next;
        } else {
            result += c;
        }
    }
    return result;
}

std::string FirstGroup(const std::string& pattern, const std::string& text)
{
    std::vector<std::string> groups;
    if (!MatchAllGroups(pattern, text, groups))
        return {};
    return groups.front();
}

} // namespace

WinHttpClient::WinHttpClient(const std::string& url, int) : m_strUrl(url) {}

WinHttpClient::~WinHttpClient()
{
    if (m_hInternet)
        curl_easy_cleanup(static_cast<CURL*>(m_hInternet));
}

bool WinHttpClient::SetAdditionalRequestHeaders(const std::string& headers)
{
    if (&headers != &m_strRequestHeaders)
        m_strRequestHeaders = headers;
    return true;
}

bool WinHttpClient::Fail(std::string& errorText, std::uint32_t code, const std::string& text)
{
    m_dwLastError = code;
    errorText = text;
    return false;
}

bool WinHttpClient::SendHttpRequest(std::string& errorText, const std::string& method, int)
{
    if (m_strUrl.empty())
        return Fail(errorText, kErrorEmptyAddress, "The address is empty.");
    const std::string verb = trv::ToUpper(method);
    if (verb != "GET" && verb != "POST")
        return Fail(errorText, kErrorBadMethod, "Unsupported method " + method + ".");

    if (!m_hInternet) {
        static const CURLcode globalInit = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (globalInit != CURLE_OK || !(m_hInternet = curl_easy_init()))
            return Fail(errorText, CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT));
    }
    CURL* handle = static_cast<CURL*>(m_hInternet);
    // Options start afresh for each request; the connection cache stays.
    curl_easy_reset(handle);

    CurlUrl address(curl_url());
    if (CURLUcode code = curl_url_set(address.get(), CURLUPART_URL, m_strUrl.c_str(), 0);
        code != CURLUE_OK) {
        TRV_TRACE(1, "WinHttpClient::SendHttpRequest", "%s: %s", TraceableUrl(m_strUrl).c_str(),
                  curl_url_strerror(code));
        return Fail(errorText, code, curl_url_strerror(code));
    }
    char* host = nullptr;
    if (curl_url_get(address.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        m_strHost = host;
        curl_free(host);
    }

    const bool withBody = !m_pRequestData.empty();
    Exchange exchange;
    exchange.handle = handle;
    exchange.progress = withBody ? nullptr : m_pfnProgress;
    char curlError[CURL_ERROR_SIZE] = "";
    CurlList headers = BuildHeaderList(m_strRequestHeaders, m_strRequestCookies);

    curl_easy_setopt(handle, CURLOPT_CURLU, address.get());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaximumRedirects);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, m_strUserAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMilliseconds);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &exchange);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    if (!m_bRequireValidSsl) {
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!m_strCaFile.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, m_strCaFile.c_str());
        curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    }
    // Direct unless a proxy is named: the environment's proxy variables are not followed.
    curl_easy_setopt(handle, CURLOPT_PROXY, m_strProxy.substr(0, 259).c_str());
    if (!m_strProxy.empty() && !m_strProxyUser.empty()) {
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, m_strProxyUser.c_str());
        if (!m_strProxyPassword.empty())
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, m_strProxyPassword.c_str());
    }
    if (verb == "POST") {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, m_pRequestData.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(m_pRequestData.size()));
    } else if (withBody) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, m_pRequestData.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(m_pRequestData.size()));
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, "GET");
    } else {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode result = curl_easy_perform(handle);
    curl_easy_setopt(handle, CURLOPT_CURLU, nullptr);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, nullptr);
    if (result != CURLE_OK) {
        const std::string text = curlError[0] ? curlError : curl_easy_strerror(result);
        m_nStatusCode = 0;
        TRV_TRACE(1, "WinHttpClient::SendHttpRequest", "%s %s: %s", verb.c_str(),
                  TraceableUrl(m_strUrl).c_str(), text.c_str());
        return Fail(errorText, result, text);
    }
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &m_nStatusCode);

    if (withBody) {
        m_strResponseHeaders = "S_OK";
    } else {
        m_strResponseHeaders = std::move(exchange.headers);
        ReadResponseHeaders();
        m_pResponseBytes = std::move(exchange.body);
        if (m_pfnProgress)
            m_pfnProgress(m_nContentLength ? static_cast<double>(m_pResponseBytes.size()) * 100.0 /
                                                 m_nContentLength
                                           : 100.0);
        DecodeResponseContent();
    }

    // A refused post is a failure: the caller must not take the document as delivered.
    if (verb == "POST" && m_nStatusCode >= 400) {
        const std::string& body = withBody ? exchange.body : m_pResponseBytes;
        const std::string start = trv::Left(trv::DecodeFileText(body), kTracedBodyCharacters);
        TRV_TRACE(1, "WinHttpClient::SendHttpRequest", "POST %s: HTTP %ld %s",
                  TraceableUrl(m_strUrl).c_str(), m_nStatusCode, start.c_str());
        return Fail(errorText, static_cast<std::uint32_t>(m_nStatusCode),
                    "HTTP " + std::to_string(m_nStatusCode) + " " + start);
    }
    return true;
}

void WinHttpClient::ReadResponseHeaders()
{
    if (!m_bForceCharset) {
        if (std::string charset = FirstGroup("charset={[A-Za-z0-9\\-_]+}", m_strResponseHeaders);
            !charset.empty())
            m_strResponseCharset = charset;
    }
    if (std::string length = FirstGroup("Content-Length: {[0-9]+}", m_strResponseHeaders);
        !length.empty())
        m_nContentLength = static_cast<int>(std::strtol(length.c_str(), nullptr, 10));
    if (std::string location = FirstGroup("Location: {[0-9]+}", m_strResponseHeaders);
        !location.empty())
        m_strLocation = location;

    std::vector<std::string> cookies;
    if (!MatchAllGroups("Set-Cookie:\\b*{.+?}\\n", m_strResponseHeaders, cookies))
        return;
    std::string joined;
    for (const std::string& cookie : cookies) {
        if (!joined.empty())
            joined += "; ";
        joined += cookie;
    }
    joined = std::string(trv::Trim(joined));
    if (!joined.ends_with(';'))
        joined += ';';
    m_strResponseCookies = joined;
}

void WinHttpClient::DecodeResponseContent()
{
    const std::string_view bytes(m_pResponseBytes.data(),
                                 std::min(m_pResponseBytes.size(), m_pResponseBytes.find('\0')));
    const bool declaredUtf8 = m_strResponseCharset.size() >= 5 &&
                              trv::EqualsNoCase(m_strResponseCharset.substr(0, 5), "utf-8");
    if (m_strResponseCharset.empty())
        m_strResponseContent = trv::DecodeFileText(bytes);
    else if (declaredUtf8 && trv::IsValidUtf8(bytes))
        m_strResponseContent = std::string(bytes);
    else
        m_strResponseContent = trv::Cp1252ToUtf8(bytes);
}

bool WinHttpClient::SaveResponseToFile(const std::string& path) const
{
    if (m_pResponseBytes.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(m_pResponseBytes.data(), 1, m_pResponseBytes.size(), file) ==
                         m_pResponseBytes.size();
    return std::fclose(file) == 0 && written;
}

bool MatchAllGroups(const std::string& pattern, const std::string& text,
                    std::vector<std::string>& results)
{
    results.clear();
    if (pattern.empty() || text.empty())
        return false;
    std::regex expression;
    try {
        expression =
            std::regex(TranslatePattern(pattern), std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error&) {
        return false;
    }
    for (auto match = std::sregex_iterator(text.begin(), text.end(), expression);
         match != std::sregex_iterator(); ++match) {
        if (match->size() < 2)
            continue;
        std::string group = (*match)[1].str();
        const bool seen = std::any_of(results.begin(), results.end(), [&](const std::string& s) {
            return trv::EqualsNoCase(s, group);
        });
        if (!seen)
            results.push_back(std::move(group));
    }
    return !results.empty();
}
