#include "FetchTestProgram.h"
#include "KLV/Base64.h"
#include "TempFolder.h"
#include "platform/UserPrompt.h"

#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <json/json.h>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using trv::test::ReadFileBytes;

// A web service on loopback that answers each path with a fixed status and body and keeps
// every request it received.
class LoopbackService
{
  public:
    struct Request
    {
        std::string method;
        std::string target;
        std::map<std::string, std::string> headers; // names in lower case
        std::string body;
    };

    LoopbackService()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }

    ~LoopbackService()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }

    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    void Answer(const std::string& path, int status, const std::string& body)
    {
        std::lock_guard guard(m_lock);
        m_answers[path] = {status, body};
    }

    std::vector<Request> Requests()
    {
        std::lock_guard guard(m_lock);
        return m_requests;
    }

  private:
    void Serve()
    {
        while (!m_stop) {
            pollfd waiting{m_socket, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0)
                continue;
            const int connection = ::accept(m_socket, nullptr, nullptr);
            if (connection >= 0) {
                Handle(connection);
                ::close(connection);
            }
        }
    }

    static bool ReadMore(int connection, std::string& data)
    {
        pollfd waiting{connection, POLLIN, 0};
        if (::poll(&waiting, 1, 2000) <= 0)
            return false;
        char block[4096];
        const ssize_t read = ::recv(connection, block, sizeof block, 0);
        if (read <= 0)
            return false;
        data.append(block, static_cast<std::size_t>(read));
        return true;
    }

    void Handle(int connection)
    {
        std::string data;
        std::size_t headEnd = std::string::npos;
        while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
            if (!ReadMore(connection, data))
                return;
        Request request;
        std::istringstream head(data.substr(0, headEnd));
        std::string line;
        std::getline(head, line);
        std::istringstream(line) >> request.method >> request.target;
        while (std::getline(head, line)) {
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            std::string name = line.substr(0, colon);
            for (char& character : name)
                character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            if (!value.empty() && value.back() == '\r')
                value.pop_back();
            request.headers[name] = value;
        }
        const std::size_t length = request.headers.count("content-length")
                                       ? std::stoul(request.headers["content-length"])
                                       : 0;
        request.body = data.substr(headEnd + 4);
        while (request.body.size() < length && ReadMore(connection, request.body)) {
        }
        std::pair<int, std::string> answer{404, "{}"};
        {
            std::lock_guard guard(m_lock);
            const std::string path = request.target.substr(0, request.target.find('?'));
            if (m_answers.count(path))
                answer = m_answers[path];
            m_requests.push_back(request);
        }
        const std::string response = "HTTP/1.1 " + std::to_string(answer.first) +
                                     " Answer\r\nContent-Type: application/json; charset=utf-8\r\n"
                                     "Content-Length: " +
                                     std::to_string(answer.second.size()) +
                                     "\r\nConnection: close\r\n\r\n" + answer.second;
        ::send(connection, response.data(), response.size(), MSG_NOSIGNAL);
    }

    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock;
    std::map<std::string, std::pair<int, std::string>> m_answers;
    std::vector<Request> m_requests;
};

constexpr const char* kRecords = R"([{"code":"A1","weight":"10"},{"code":"B2","weight":"20"}])";

} // namespace

class FetchWebTest : public FetchTestProgram
{
  protected:
    // A definitions file whose web addresses point at the loopback service.
    std::string Definitions(const std::string& sections)
    {
        const std::string path = Path("Web.ini");
        // Downloads go to the test's own folder, not the process's temporary one.
        std::string text = sections;
        const std::string type = "TYPE=JSON\n";
        const std::string withFolder = type + "CARPETA_TEMPORAL=" + Path("") + "/\n";
        for (std::size_t at = text.find(type); at != std::string::npos;
             at = text.find(type, at + withFolder.size()))
            text.replace(at, type.size(), withFolder);
        std::ofstream(path) << "[BOOL]\nDEFAULT=1,0\n\n[TIME]\nDEFAULT=hh:mm\n\n[DATE]\n"
                               "DEFAULT=DD/MM/YYYY\n\n[DEFAULT]\nDECIMAL_SEP=.\n\n"
                            << text;
        return path;
    }

    std::vector<std::string> ReadCodes(CFetch& fetch)
    {
        std::vector<std::string> codes;
        while (!fetch.IsEOF())
            if (fetch.MoveNext())
                codes.push_back(fetch.GetFieldString("CODE"));
        return codes;
    }

    bool TraceHolds(const std::string& part) const
    {
        for (const std::string& message : TraceMessages())
            if (message.find(part) != std::string::npos)
                return true;
        return false;
    }

    LoopbackService service;
};

TEST_F(FetchWebTest, GetDownloadsWithBasicAuthorisationAndReadsTheRecords)
{
    service.Answer("/orders", 200, kRecords);
    const std::string file =
        Definitions("[WEB_FORMAT]\nTYPE=JSON\nURL_GET=" + service.Url("/orders") +
                    "\nAUTH_USER=planner\nAUTH_PASS=s3cret\n\n[WEB]\nCODE=code\n");
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("WEB", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    EXPECT_EQ(ReadCodes(fetch), (std::vector<std::string>{"A1", "B2"}));
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].headers.at("authorization"), "Basic " + Base64Encode("planner:s3cret"));
    EXPECT_EQ(requests[0].headers.at("content-type"), "application/json");
    // Credentials never reach the trace.
    EXPECT_FALSE(TraceHolds("s3cret"));
    EXPECT_FALSE(TraceHolds(Base64Encode("planner:s3cret")));
}

TEST_F(FetchWebTest, GetWithoutPasswordGoesWithoutAuthorisationAndAnErrorPageFails)
{
    service.Answer("/orders", 200, kRecords);
    const std::string file = Definitions(
        "[WEB_FORMAT]\nTYPE=JSON\nURL_GET=" + service.Url("/orders") +
        "\nAUTH_USER=planner\n\n[WEB]\nCODE=code\n\n[MISSING_FORMAT]\nTYPE=JSON\nURL_GET=" +
        service.Url("/missing") + "\n\n[MISSING]\nCODE=code\n");
    {
        CFetch fetch;
        ASSERT_TRUE(fetch.Init("WEB", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
        EXPECT_EQ(service.Requests().at(0).headers.count("authorization"), 0u);
        EXPECT_TRUE(Traced("No Auth Pass"));
    }
    trv::RecordingUserPrompt prompt;
    CFetch fetch;
    EXPECT_FALSE(fetch.Init("MISSING", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    EXPECT_NE(fetch.m_strLastError.find("HTTP 404"), std::string::npos) << fetch.m_strLastError;
    ASSERT_FALSE(prompt.calls.empty());
    EXPECT_EQ(prompt.calls[0].key, "Error_Abrir_Archivo");
    EXPECT_TRUE(Traced("Error_Abrir_Archivo " + service.Url("/missing")));
}

TEST_F(FetchWebTest, PostSourceObtainsATokenAndSendsTheFilterEncoded)
{
    service.Answer("/token", 200, R"({"token_type":"bearer","access_token":"T0K\"EN"})");
    service.Answer("/data", 200, kRecords);
    const std::string file = Definitions(
        "[WEB_FORMAT]\nTYPE=JSON\nURL_POST=" + service.Url("/data") +
        "\nPOST_AUTH_URL=" + service.Url("/token") +
        "\nAUTH_USER=planner\nAUTH_PASS=s3cret\nWHERE=CODE=\"B2\"\n\n[WEB]\nCODE=code\n"
        "\n[NOAUTH_FORMAT]\nTYPE=JSON\nURL_POST=" +
        service.Url("/data") + "\nAUTH_USER=planner\nAUTH_PASS=s3cret\n\n[NOAUTH]\nCODE=code\n");
    CFetch fetch;
    ASSERT_TRUE(fetch.Init("WEB", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    EXPECT_EQ(ReadCodes(fetch), (std::vector<std::string>{"B2"}));
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/token");
    EXPECT_EQ(requests[0].headers.at("authorization"), "Basic " + Base64Encode("planner:s3cret"));
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].target, "/data?CODE%3D%22B2%22");
    EXPECT_EQ(requests[1].headers.at("authorization"), "Bearer T0K\"EN");

    CFetch noAuth;
    EXPECT_FALSE(noAuth.Init("NOAUTH", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", file));
    EXPECT_TRUE(Traced("Error Auth URL"));
    EXPECT_EQ(service.Requests().size(), 2u);
}

TEST_F(FetchWebTest, JsonTargetIsWrittenThenPosted)
{
    service.Answer("/token", 200, R"({"access_token":"abc"})");
    service.Answer("/orders", 200, "{}");
    service.Answer("/broken", 500, "database down");
    const std::string target =
        "TYPE=JSON\nSEPARATOR=,\nHEADERSIZE=1\nBUILD_HEADER=code\nJSONTYPE=OBJECT\n"
        "JSONMAINTITLE=Orders\nAUTH_USER=planner\nAUTH_PASS=s3cret\n";
    const std::string file = Definitions(
        "[BASIC_FORMAT]\n" + target + "FILENAME=basic.json\nURL_POST=" + service.Url("/orders") +
        "\n\n[BASIC]\nCODE=1\n\n[TOKEN_FORMAT]\n" + target + "FILENAME=token.json\nURL_POST=" +
        service.Url("/orders") + "\nPOST_AUTH_URL=" + service.Url("/token") +
        "\n\n[TOKEN]\nCODE=1\n\n[BROKEN_FORMAT]\n" + target +
        "FILENAME=broken.json\nURL_POST=" + service.Url("/broken") + "\n\n[BROKEN]\nCODE=1\n");
    const auto post = [&](const std::string& name) {
        CFetch fetch;
        EXPECT_TRUE(fetch.Init(name, "", "", FETCH_MODE_WRITE, "", "", "", 1, nullptr, "", file));
        for (const char* code : {"A1", "B2"}) {
            fetch.SetFieldString("CODE", code);
            EXPECT_TRUE(fetch.WriteRecord());
            fetch.ClearRecord();
        }
        return fetch.Close();
    };

    EXPECT_TRUE(post("BASIC"));
    auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].headers.at("authorization"), "Basic " + Base64Encode("planner:s3cret"));
    EXPECT_EQ(requests[0].headers.at("content-length"), std::to_string(requests[0].body.size()));
    Json::Value posted;
    std::istringstream body(requests[0].body);
    ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), body, &posted, nullptr));
    EXPECT_EQ(posted["Orders"][1]["code"].asString(), "B2");
    EXPECT_NE(ReadFileBytes(Path("basic.json")).find("\"B2\""), std::string::npos);

    EXPECT_TRUE(post("TOKEN"));
    requests = service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].target, "/token");
    EXPECT_EQ(requests[2].headers.at("authorization"), "Bearer abc");

    // A refused post fails the Close and says why; the document stays in its file.
    EXPECT_FALSE(post("BROKEN"));
    EXPECT_NE(ReadFileBytes(Path("broken.json")).find("\"A1\""), std::string::npos);
    EXPECT_TRUE(TraceHolds("500"));
    EXPECT_FALSE(TraceHolds("s3cret"));
}
