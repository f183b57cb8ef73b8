#include "KLV/TomTomWork.h"

#include "KLV/Utils.h"
#include "KLV/WinHttpClient.h"
#include "NetPeers.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <json/json.h>
#include <unistd.h>

namespace {

const auto* const peers = ::testing::AddGlobalTestEnvironment(new NetPeers);

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The HTTPS peer as the fleet service: each test speaks for an account of its own, scripts the
// replies per action and reads back the request targets the peer received.
class TomTomWorkTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetTomTomWork();
        TomTomWorkCaFile = NetPeers::Get("HTTPS_CERT");
        m_account = "acc-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { ResetTomTomWork(); }

    static std::string Host() { return "127.0.0.1:" + NetPeers::Get("HTTPS_PORT"); }

    using Replies = std::vector<std::pair<std::string, Json::Value>>;

    // Replies by action; a list is answered in turn, its last reply repeated. Forgets the
    // requests received so far.
    void Script(const Replies& replies) { ScriptFor(m_account, replies); }
    void ScriptFor(const std::string& account, const Replies& replies)
    {
        Json::Value script;
        script["account"] = account;
        script["replies"] = Json::Value(Json::objectValue);
        for (const auto& [action, reply] : replies)
            script["replies"][action] = reply;
        WinHttpClient client(NetPeers::HttpsUrl("/extern-replies"));
        client.m_strCaFile = NetPeers::Get("HTTPS_CERT");
        client.m_pRequestData = Json::writeString(Json::StreamWriterBuilder(), script);
        std::string error;
        ASSERT_TRUE(client.SendHttpRequest(error, "POST")) << error;
    }

    std::vector<std::string> Requests() const { return RequestsOf(m_account); }
    static std::vector<std::string> RequestsOf(std::string account)
    {
        UrlEncode(account);
        WinHttpClient client(NetPeers::HttpsUrl("/extern-requests?account=" + account));
        client.m_strCaFile = NetPeers::Get("HTTPS_CERT");
        std::string error;
        EXPECT_TRUE(client.SendHttpRequest(error, "GET")) << error;
        Json::Value list;
        std::istringstream text(client.m_strResponseContent);
        std::string parseErrors;
        EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), text, &list, &parseErrors));
        std::vector<std::string> requests;
        for (const Json::Value& request : list)
            requests.push_back(request.asString());
        return requests;
    }

    // Sends one stop of vehicle "V1", order "A7", with the account's standard values.
    int Send(const std::string& orderType, const int* useStates, const std::string& current,
             std::string& reply)
    {
        std::string language = "ES";
        return CTomTomWork::bSendOrder(Host(), m_account, "user", "pw", "key", language, "V1", "A7",
                                       orderType, "40416775", "-3703790", "E", "Madrid",
                                       "Gran Via 1", "SW1A 1AA", "Door 2", "2026-12-11", "08:30",
                                       "Ana", reply, useStates, current);
    }

    // Every report, the account test and the clearing fail as a connection error, and nothing
    // is read.
    void ExpectEveryRequestFails(const std::string& host, const std::string& password = "p",
                                 const std::string& apiKey = "k")
    {
        std::string language;
        std::string list;
        std::string reply;
        CSmartPtrArray<COrderConfirm> states;
        EXPECT_EQ(CTomTomWork::GetVehicleReport(host, m_account, "u", password, apiKey, language,
                                                list, reply),
                  CTomTomWork::kConnectionFailed);
        EXPECT_EQ(CTomTomWork::GetOrderStates(host, m_account, "u", password, apiKey, language,
                                              "2026-12-11", states, "V1"),
                  CTomTomWork::kConnectionFailed);
        EXPECT_EQ(CTomTomWork::TestAccount(host, m_account, "u", password, apiKey),
                  CTomTomWork::kConnectionFailed);
        EXPECT_EQ(CTomTomWork::ClearOrders(host, m_account, "u", password, apiKey, language,
                                           "2026-12-11", "V1"),
                  1);
        EXPECT_EQ(list, "");
        EXPECT_EQ(states.GetSize(), 0);
    }

    std::string m_account;
};

TEST_F(TomTomWorkTest, CredentialsAreEncodedButNotTheApiKeyAndAnEmptyLanguageBecomesEs)
{
    const std::string awkward = "a&b=c?d;e";
    const std::string account = m_account + awkward;
    ScriptFor(account, {});
    std::string language;
    std::string list;
    std::string reply;

    CTomTomWork::GetVehicleReport(Host(), account, "user", "pass" + awkward, "key" + awkward,
                                  language, list, reply);
    EXPECT_EQ(CTomTomWork::TestAccount(Host(), account, "user", "pass", "key"), 0);

    EXPECT_EQ(language, "es");
    const auto requests = RequestsOf(account);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(Contains(requests[0], "account=" + m_account + "a%26b%3Dc%3Fd%3Be&"))
        << requests[0];
    EXPECT_TRUE(Contains(requests[0], "&password=passa%26b%3Dc%3Fd%3Be&apikey=key" + awkward +
                                          "&lang=es&action=showVehicleReportExtern"))
        << requests[0];
    EXPECT_TRUE(requests[1].ends_with("&apikey=key&lang=es&action=showDriverReportExtern"
                                      "&filterstring=001"))
        << requests[1];
}

TEST_F(TomTomWorkTest, CheckEnabledReadsTheSwitchAndTestsOnlyACompleteAccount)
{
    struct Case
    {
        const char* configuration;
        int emptyValue; // which of host, user, password, account and API key is empty; -1 none
        int enabled;
        int connected;
        std::size_t requests;
    };
    const Case cases[] = {
        {"[TomTom options]\nEnabletomtomworks=yes\n", -1, 1, 1, 1},
        {"[TomTom options]\nEnabletomtomworks=NO\n", -1, 0, 0, 0},
        {"[TomTom options]\nEnabletomtomworks=0\n", -1, 0, 0, 0},
        {"[Other]\nx=1\n", -1, 1, 1, 1},
        {"[TomTom options]\nEnabletomtomworks=Y\n", 0, 1, 0, 0},
        {"[TomTom options]\nEnabletomtomworks=Y\n", 1, 1, 0, 0},
        {"[TomTom options]\nEnabletomtomworks=Y\n", 2, 1, 0, 0},
        {"[TomTom options]\nEnabletomtomworks=Y\n", 3, 1, 0, 0},
        {"[TomTom options]\nEnabletomtomworks=Y\n", 4, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.configuration) + std::to_string(c.emptyValue));
        trv::test::ProgramFolder program("trv-tomtom");
        program.Write("Config.ini", c.configuration);
        Script({});
        ScriptFor("", {});
        bTomTomWorkConnected = 1;
        std::string values[] = {Host(), "user", "pw", m_account, "key"};
        if (c.emptyValue >= 0)
            values[c.emptyValue].clear();

        CTomTomWork::CheckEnabled(values[0], values[1], values[2], values[3], values[4]);

        EXPECT_EQ(bTomTomWorkEnabled, c.enabled);
        EXPECT_EQ(bTomTomWorkConnected, c.connected);
        EXPECT_EQ(Requests().size() + RequestsOf("").size(), c.requests);
    }
    EXPECT_EQ(TomTomLanguageByCountry(34), "ES");
    EXPECT_EQ(TomTomLanguageByCountry(44), "UK");
    EXPECT_EQ(TomTomLanguageByCountry(49), "DE");
    EXPECT_EQ(TomTomLanguageByCountry(51), "PT");
    EXPECT_EQ(TomTomLanguageByCountry(33), "");

    // A refusing account leaves the flag clear.
    trv::test::ProgramFolder program("trv-tomtom");
    Script({{"showDriverReportExtern", "1101, bad password"}});
    CTomTomWork::CheckEnabled(Host(), "user", "pw", m_account, "key");
    EXPECT_EQ(bTomTomWorkConnected, 0);
}

TEST_F(TomTomWorkTest, TestAccountAnswersTheServiceCodes)
{
    const std::pair<const char*, int> cases[] = {{"45,", 45},     {"1101,x", 1101},
                                                 {"1106,", 1106}, {"8014,", 8014},
                                                 {"0, fine", 0},  {"\"driverno\"\r\n", 0}};
    for (const auto& [answer, code] : cases) {
        Script({{"showDriverReportExtern", answer}});
        EXPECT_EQ(CTomTomWork::TestAccount(Host(), m_account, "u", "p", "k"), code) << answer;
    }
}

TEST_F(TomTomWorkTest, AKnownOrderIsUpdatedThenAssignedWithAutomationsOnlyForTheCurrentOrder)
{
    for (const char* current : {"A7", "a7", ""}) {
        Script({{"sendDestinationOrderExtern", "2515, order exists"},
                {"updateDestinationOrderExtern", "8014, ignored"},
                {"assignOrderExtern", "0, assigned"}});
        std::string reply;
        const int flag = 0;

        EXPECT_EQ(Send("2", &flag, current, reply), 0) << current;

        EXPECT_EQ(reply, "0, assigned");
        const auto requests = Requests();
        ASSERT_EQ(requests.size(), 3u) << current;
        EXPECT_TRUE(Contains(requests[0], "&action=sendDestinationOrderExtern&objectno=V1"
                                          "&orderid=A7&ordertype=2&ordertext=Door%202"
                                          "&latitude=40416775&longitude=-3703790&country=E"
                                          "&zip=SW1A%201AA&city=Madrid&street=Gran%20Via%201"
                                          "&useISO8601=true&orderdate=2026-12-11"
                                          "&ordertime=08:30&contact=Ana&useorderstates="))
            << requests[0];
        EXPECT_TRUE(Contains(requests[1], "&action=updateDestinationOrderExtern&objectno=V1"
                                          "&ordertype=2&orderid=A7&ordertext=Door%202"))
            << requests[1];
        EXPECT_FALSE(Contains(requests[1], "useorderstates")) << requests[1];
        EXPECT_TRUE(
            requests[2].ends_with(std::string("&action=assignOrderExtern&objectno=V1"
                                              "&orderid=A7") +
                                  (std::string(current) == "A7" ? "&orderautomations=1,2,3" : "")))
            << requests[2];
    }
}

TEST_F(TomTomWorkTest, ARefusedOrderComesBackWithItsId)
{
    Script({{"sendDestinationOrderExtern", "9126, no such vehicle"}});
    std::string reply;

    EXPECT_EQ(Send("3", nullptr, "A7", reply), 1);

    EXPECT_EQ(reply, "A7\t9126, no such vehicle");
    EXPECT_EQ(Requests().size(), 1u);

    Json::Value error;
    error["status"] = 500;
    Script({{"sendDestinationOrderExtern", "2515, order exists"}, {"assignOrderExtern", error}});
    EXPECT_EQ(Send("3", nullptr, "A7", reply), 1);
    EXPECT_EQ(reply, "A7\tHTTP 500");
    EXPECT_EQ(Requests().size(), 3u);
}

TEST_F(TomTomWorkTest, AnErrorPageIsAFailedRequestAndNoTable)
{
    Json::Value error;
    error["status"] = 503;
    Script({{"showVehicleReportExtern", error},
            {"showOrderReportExtern", error},
            {"showDriverReportExtern", error},
            {"clearOrdersExtern", error}});

    ExpectEveryRequestFails(Host());
    EXPECT_EQ(Requests().size(), 4u);
}

TEST_F(TomTomWorkTest, ReportsAndClearingCarryTheDayAndTheVehicle)
{
    Json::Value orderReports(Json::arrayValue);
    orderReports.append("\"orderid\";\"orderstate\";\"orderstate_time\";"
                        "\"estimated_arrival_time\";\"objectno\"\r\n"
                        "\"A7\";\"301\";\"\";\"11.12.2026 09:15\";\"V1\"\r\n");
    orderReports.append("2109, no orders");
    Script({{"showOrderReportExtern", orderReports},
            {"showVehicleReportExtern", "\"objectname\";\"objectno\"\r\n\"Truck\";\"V1\"\r\n"
                                        "\"Van\";\"V2\"\r\n"}});
    std::string language = "DE";
    CSmartPtrArray<COrderConfirm> states;
    std::string list = "x";
    std::string reply;

    EXPECT_EQ(CTomTomWork::GetOrderStates(Host(), m_account, "u", "p", "k", language, "2026-12-11",
                                          states, ""),
              0);
    EXPECT_EQ(CTomTomWork::GetOrderStates(Host(), m_account, "u", "p", "k", language, "2026-12-11",
                                          states, "V 1"),
              0);
    EXPECT_EQ(
        CTomTomWork::GetVehicleReport(Host(), m_account, "u", "p", "k", language, list, reply), 0);
    EXPECT_EQ(
        CTomTomWork::ClearOrders(Host(), m_account, "u", "p", "k", language, "2026-12-11", "V1"),
        0);

    ASSERT_EQ(states.GetSize(), 2);
    EXPECT_EQ(states[0]->Released, 1);
    EXPECT_EQ(states[1]->Minutes, 9 * 60 + 15);
    EXPECT_EQ(list, "x;V1;V2;");
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(requests[0].ends_with("&lang=DE&action=showOrderReportExtern&range_pattern=ud"
                                      "&year=2026&month=12&day=11"))
        << requests[0];
    EXPECT_TRUE(requests[1].ends_with("&day=11&objectno=V%201")) << requests[1];
    EXPECT_TRUE(requests[3].ends_with("&action=clearOrdersExtern&objectno=V1&orderautomations=4"
                                      "&range_pattern=ud&year=2026&month=12&day=11"))
        << requests[3];
}

TEST_F(TomTomWorkTest, WithoutTheServersAuthorityNothingIsSentOrRead)
{
    Script({{"showVehicleReportExtern", "\"objectno\"\r\n\"V1\"\r\n"}});
    TomTomWorkCaFile.clear();

    ExpectEveryRequestFails(Host());
    EXPECT_TRUE(Requests().empty());
}

TEST_F(TomTomWorkTest, WithTheServerDownEveryOperationFailsAndTheTraceHoldsNoSecret)
{
    TraceCapture trace;
    const std::string host = "127.0.0.1:1";
    const std::string password = "pw-s3cret";
    const std::string apiKey = "key-s3cret";

    ExpectEveryRequestFails(host, password, apiKey);
    std::string language;
    std::string reply;
    const int flag = 1;
    EXPECT_EQ(CTomTomWork::bSendOrder(host, m_account, "u", password, apiKey, language, "V1", "A7",
                                      "2", "1", "2", "E", "c", "s", "z", "t", "2026-12-11", "08:00",
                                      "n", reply, &flag, "A7"),
              1);
    EXPECT_FALSE(reply.empty());

    const std::string text = trace.Text();
    EXPECT_FALSE(Contains(text, "s3cret")) << text;
    const auto sent = trace.LinesWith("Enviando Servicio Webfleet[");
    ASSERT_EQ(sent.size(), 1u) << text;
    EXPECT_TRUE(Contains(sent[0], "&password=***&apikey=***&lang=es")) << sent[0];
    EXPECT_EQ(trace.LinesWith("Saliendo Envio Servicio[").size(), 1u) << text;
}

} // namespace
