#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The program's HTTP client: one object per request target, over libcurl. Users write the
// request members directly, then call SendHttpRequest. It is synchronous: the caller's thread
// waits for the whole exchange. Texts are UTF-8; the raw body is kept beside its decoded text.
class WinHttpClient
{
  public:
    using ProgressFunction = void (*)(double percent);

    // The int is not used (callers pass 0).
    explicit WinHttpClient(const std::string& url, int unused = 0);
    ~WinHttpClient();
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;

    bool SetAdditionalRequestHeaders(const std::string& headers);

    // One GET or POST (method compared without case). A request with a body answers only
    // whether it was accepted: its response members keep the previous answer and the headers
    // become "S_OK". A request without a body reads the whole answer. Transport failures and a
    // 4xx/5xx answer to a POST return false with the reason in errorText; a GET's status is in
    // m_nStatusCode for the caller to judge. The int is not used (callers pass 0).
    bool SendHttpRequest(std::string& errorText, const std::string& method = "GET", int unused = 0);

    // Writes the raw response bytes; false when none are held or the file cannot be written.
    bool SaveResponseToFile(const std::string& path) const;

    // The libcurl easy handle, created by the first request and kept until destruction.
    void* m_hInternet = nullptr;
    // Certificates of HTTPS servers are verified unless a definition sets this to 0.
    std::uint8_t m_bRequireValidSsl = 1;
    // A file of certificate authorities trusted instead of the system's; empty: the system's.
    std::string m_strCaFile;
    std::string m_strUrl;
    std::string m_strHost;
    // Raw headers of the last answer read (lines ending in CR LF); "S_OK" after a posted body.
    std::string m_strResponseHeaders;
    std::string m_strResponseContent;
    std::string m_strResponseCharset;
    // The raw body of the last answer read; its size is the byte count.
    std::string m_pResponseBytes;
    ProgressFunction m_pfnProgress = nullptr;
    int m_nContentLength = 0;
    // HTTP status of the last exchange, 0 when none was received.
    long m_nStatusCode = 0;
    std::string m_strResponseCookies;
    std::string m_strRequestCookies;
    // The body to send; empty means no body.
    std::string m_pRequestData;
    // Additional request headers, lines separated by CR LF. The length of the body is always
    // computed from the body, and compressed answers are decoded, so Content-Length and
    // Accept-Encoding lines given here are not sent.
    std::string m_strRequestHeaders;
    std::string m_strProxy;
    std::string m_strProxyUser;
    std::string m_strProxyPassword;
    // 3 for an empty address, 87 for an unsupported method, the libcurl code of a transport
    // failure, the HTTP status of a refused POST.
    std::uint32_t m_dwLastError = 0;
    std::string m_strUserAgent = "WinHttpClient";
    // Nonzero: m_strResponseCharset stays as the user set it.
    std::uint8_t m_bForceCharset = 0;
    // A numeric Location header of the last answer.
    std::string m_strLocation;

  private:
    bool Fail(std::string& errorText, std::uint32_t code, const std::string& text);
    void ReadResponseHeaders();
    void DecodeResponseContent();
};

// The header matcher: braces enclose the group, "\b" is a blank or tab, "\n" a line end (CR,
// LF or CR LF), "+?" a lazy repeat; matching ignores case. Each match's first group is
// appended to results unless an equal text (ignoring case) is already there. True when
// results is not empty.
bool MatchAllGroups(const std::string& pattern, const std::string& text,
                    std::vector<std::string>& results);
