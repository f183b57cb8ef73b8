#include "KLV/TomTomWork.h"

#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "KLV/WinHttpClient.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

int bTomTomWorkEnabled = 0;
int bTomTomWorkConnected = 0;
std::string TomTomWorkCaFile;

namespace {

constexpr int kLanguageCountries = 52;
std::array<const char*, kLanguageCountries> languageByCountry{};

constexpr const char* kSendMethod = "CTomTomWork::bSendOrder";
constexpr std::string_view kLineEnd = "\r\n";
// Credentials as the trace log shows them.
constexpr const char* kMasked = "***";

std::string Encoded(std::string text)
{
    UrlEncode(text);
    return text;
}

bool StartsWithCode(std::string_view reply, std::string_view codeAndComma)
{
    return reply.starts_with(codeAndComma);
}

// The account's part of every request, once as sent and once as traced.
class RequestUrl
{
  public:
    RequestUrl(const std::string& host, const std::string& account, const std::string& userName,
               const std::string& password, const std::string& apiKey)
    {
        const std::string front = "https://" + host + "/extern?account=" + Encoded(account) +
                                  "&username=" + Encoded(userName) + "&password=";
        m_sent = front + Encoded(password) + "&apikey=" + apiKey;
        m_traced = front + kMasked + "&apikey=" + kMasked;
    }

    RequestUrl& operator+=(std::string_view part)
    {
        m_sent += part;
        m_traced += part;
        return *this;
    }

    const std::string& Sent() const { return m_sent; }
    const std::string& Traced() const { return m_traced; }

  private:
    std::string m_sent;
    std::string m_traced;
};

RequestUrl AccountUrl(const std::string& host, const std::string& account,
                      const std::string& userName, const std::string& password,
                      const std::string& apiKey, std::string& language)
{
    if (language.empty())
        language = "es";
    RequestUrl url(host, account, userName, password, apiKey);
    url += "&lang=" + language;
    return url;
}

// "&year=yyyy&month=mm&day=dd" of a "yyyy-mm-dd" text; a shorter text leaves parts empty.
std::string DateParts(const std::string& date)
{
    return "&year=" + trv::Mid(date, 0, 4) + "&month=" + trv::Mid(date, 5, 2) +
           "&day=" + trv::Mid(date, 8, 2);
}

// The first row after the line the text begins with, or false when no line break follows.
bool NextRow(std::string_view& text)
{
    const std::size_t lineEnd = text.find(kLineEnd);
    if (lineEnd == std::string_view::npos)
        return false;
    text.remove_prefix(lineEnd + kLineEnd.size());
    return true;
}

// The line the text begins with, without its line break.
std::string_view CurrentLine(std::string_view text)
{
    return text.substr(0, text.find(kLineEnd));
}

// The length of the field the line begins with: up to its first ';' outside double quotes.
std::size_t FieldLength(std::string_view line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ';' && !quoted)
            return i;
    }
    return line.size();
}

std::string_view Unquoted(std::string_view field)
{
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        return field.substr(1, field.size() - 2);
    return field;
}

std::string_view FieldValue(std::string_view row, int column)
{
    const CTomTomWork::FieldSpan span = CTomTomWork::GetFieldSpan(row, column);
    return row.substr(span.start, span.length);
}

// "hh" and "mm" at fixed character positions of a time value; false when the value is too
// short to hold them.
bool MinutesAt(std::string_view value, std::size_t hourAt, std::size_t minuteAt, int& minutes)
{
    if (trv::Length(value) < minuteAt + 2)
        return false;
    minutes = trv::ParseInt(trv::Mid(value, hourAt, 2)) * 60 +
              trv::ParseInt(trv::Mid(value, minuteAt, 2));
    return true;
}

// The "hh:mm" after the first blank of an estimated arrival (from the start when there is no
// blank); false for an empty or too short value.
bool ArrivalMinutes(std::string_view value, int& minutes)
{
    if (value.empty())
        return false;
    const std::size_t blank = value.find(' ');
    if (blank != std::string_view::npos)
        value.remove_prefix(blank + 1);
    return MinutesAt(value, 0, 3, minutes);
}

enum RecordKind
{
    kReleased = 1,
    kStateTime = 2,
    kArrival = 3,
};

struct OrderStateRecord
{
    int kind = kReleased;
    COrderConfirm confirm;
    int runningNumber = 0;

    auto SortKey() const
    {
        return std::tie(kind, confirm.EnRoute, confirm.Minutes, confirm.ObjectNo, confirm.Released,
                        runningNumber);
    }
};

bool IsHeldState(int state)
{
    return state == 202 || state == 204 || state == 401;
}

} // namespace

std::string TomTomLanguageByCountry(int country)
{
    if (country < 0 || country >= kLanguageCountries || !languageByCountry[country])
        return {};
    return languageByCountry[country];
}

void ResetTomTomWork()
{
    bTomTomWorkEnabled = 0;
    bTomTomWorkConnected = 0;
    TomTomWorkCaFile.clear();
    languageByCountry.fill(nullptr);
}

int CTomTomWork::HttpGet(const std::string& url, std::string& reply)
{
    WinHttpClient client(url, 0);
    client.m_strCaFile = TomTomWorkCaFile;
    std::string error;
    if (!client.SendHttpRequest(error, "GET", 0)) {
        reply = error;
        return 1;
    }
    // An error page is no reply of the service: it must not be read as codes or a table.
    if (client.m_nStatusCode >= 400) {
        reply = "HTTP " + std::to_string(client.m_nStatusCode);
        TRV_TRACE(1, "CTomTomWork::HttpGet", "%s from the fleet service", reply.c_str());
        return 1;
    }
    reply = client.m_strResponseContent;
    return 0;
}

int CTomTomWork::bSendOrder(const std::string& host, const std::string& account,
                            const std::string& userName, const std::string& password,
                            const std::string& apiKey, std::string& language,
                            const std::string& objectNo, const std::string& orderId,
                            const std::string& orderType, const std::string& latitude,
                            const std::string& longitude, const std::string& country,
                            const std::string& city, const std::string& street,
                            const std::string& zip, const std::string& orderText,
                            const std::string& orderDate, const std::string& orderTime,
                            const std::string& contact, std::string& reply,
                            const int* useOrderStates, const std::string& currentOrderId)
{
    const RequestUrl common = AccountUrl(host, account, userName, password, apiKey, language);
    const std::string vehicle = Encoded(objectNo);
    const std::string order = Encoded(orderId);
    const std::string text = Encoded(orderText);
    // Zip codes and country codes are free texts ("SW1A 1AA"): a blank or '&' in them would
    // break the request or set another of its values.
    const std::string place = "&latitude=" + latitude + "&longitude=" + longitude +
                              "&country=" + Encoded(country) + "&zip=" + Encoded(zip) +
                              "&city=" + Encoded(city) + "&street=" + Encoded(street) +
                              "&useISO8601=true&orderdate=" + orderDate +
                              "&ordertime=" + orderTime + "&contact=" + Encoded(contact);

    std::string orderStates;
    if (useOrderStates && *useOrderStates != 0) {
        if (orderType == "2")
            orderStates = "224";
        else if (orderType == "3")
            orderStates = "244";
    }

    RequestUrl send = common;
    send += "&action=sendDestinationOrderExtern&objectno=" + vehicle + "&orderid=" + order +
            "&ordertype=" + orderType + "&ordertext=" + text + place +
            "&useorderstates=" + orderStates;
    TRV_TRACE(2, kSendMethod, "Enviando Servicio Webfleet[%s]", send.Traced().c_str());
    const int sendFailed = HttpGet(send.Sent(), reply);

    const auto leave = [&](int result) {
        TRV_TRACE(2, kSendMethod, "Saliendo Envio Servicio[%s]", reply.c_str());
        return result;
    };
    const auto refused = [&] {
        reply = orderId + "\t" + reply;
        return leave(1);
    };

    if (StartsWithCode(reply, "9126,"))
        return refused();
    if (sendFailed || !StartsWithCode(reply, "2515,"))
        return leave(sendFailed);

    // The service holds the order already: change it, then give it to the vehicle again.
    RequestUrl update = common;
    update += "&action=updateDestinationOrderExtern&objectno=" + vehicle +
              "&ordertype=" + orderType + "&orderid=" + order + "&ordertext=" + text + place;
    TRV_TRACE(2, kSendMethod, "Enviando Actualizacion Servicio Webfleet[%s]",
              update.Traced().c_str());
    HttpGet(update.Sent(), reply);

    RequestUrl assign = common;
    assign += "&action=assignOrderExtern&objectno=" + vehicle + "&orderid=" + order;
    if (currentOrderId == orderId)
        assign += "&orderautomations=1,2,3";
    TRV_TRACE(2, kSendMethod, "Enviando Estado Servicio actualizado Webfleet[%s]",
              assign.Traced().c_str());
    if (HttpGet(assign.Sent(), reply))
        return refused();
    return leave(0);
}

int CTomTomWork::ClearOrders(const std::string& host, const std::string& account,
                             const std::string& userName, const std::string& password,
                             const std::string& apiKey, std::string& language,
                             const std::string& date, const std::string& objectNo)
{
    RequestUrl url = AccountUrl(host, account, userName, password, apiKey, language);
    url += "&action=clearOrdersExtern&objectno=" + Encoded(objectNo) +
           "&orderautomations=4&range_pattern=ud" + DateParts(date);
    std::string reply;
    return HttpGet(url.Sent(), reply);
}

int CTomTomWork::GetVehicleReport(const std::string& host, const std::string& account,
                                  const std::string& userName, const std::string& password,
                                  const std::string& apiKey, std::string& language,
                                  std::string& vehicleList, std::string& reply)
{
    RequestUrl url = AccountUrl(host, account, userName, password, apiKey, language);
    url += "&action=showVehicleReportExtern";
    if (HttpGet(url.Sent(), reply))
        return kConnectionFailed;
    return ReadVehicleReport(reply, vehicleList);
}

int CTomTomWork::GetOrderStates(const std::string& host, const std::string& account,
                                const std::string& userName, const std::string& password,
                                const std::string& apiKey, std::string& language,
                                const std::string& date, CSmartPtrArray<COrderConfirm>& states,
                                const std::string& objectNo)
{
    RequestUrl url = AccountUrl(host, account, userName, password, apiKey, language);
    url += "&action=showOrderReportExtern&range_pattern=ud" + DateParts(date);
    if (!objectNo.empty())
        url += "&objectno=" + Encoded(objectNo);
    std::string reply;
    if (HttpGet(url.Sent(), reply))
        return kConnectionFailed;
    return ReadOrderStates(reply, states);
}

int CTomTomWork::TestAccount(const std::string& host, const std::string& account,
                             const std::string& userName, const std::string& password,
                             const std::string& apiKey)
{
    RequestUrl url(host, account, userName, password, apiKey);
    url += "&lang=es&action=showDriverReportExtern&filterstring=001";
    std::string reply;
    if (HttpGet(url.Sent(), reply))
        return kConnectionFailed;
    for (int code : {45, 1101, 1106, 8014})
        if (StartsWithCode(reply, std::to_string(code) + ","))
            return code;
    return 0;
}

void CTomTomWork::CheckEnabled(const std::string& host, const std::string& userName,
                               const std::string& password, const std::string& account,
                               const std::string& apiKey)
{
    languageByCountry[34] = "ES";
    languageByCountry[44] = "UK";
    languageByCountry[49] = "DE";
    languageByCountry[51] = "PT";

    const std::string configuration = trv::GetProgramFolder() + "Config.ini";
    const std::string enabled = trv::Left(
        trv::GetProfileString("TomTom options", "Enabletomtomworks", "YES", configuration), 100);
    bTomTomWorkEnabled = !enabled.empty() && (enabled[0] == 'Y' || enabled[0] == 'y');

    const bool accountGiven = !host.empty() && !userName.empty() && !password.empty() &&
                              !account.empty() && !apiKey.empty();
    bTomTomWorkConnected = bTomTomWorkEnabled && accountGiven &&
                           TestAccount(host, account, userName, password, apiKey) == 0;
}

void CTomTomWork::MapReplyColumns(std::span<const std::string_view> names, std::span<int> positions,
                                  std::string_view& reply)
{
    const std::size_t wanted = std::min(names.size(), positions.size());
    std::fill_n(positions.begin(), wanted, 0);
    std::size_t found = 0;
    // The scan never leaves the header line.
    std::string_view header = CurrentLine(reply);
    for (int column = 1; found < wanted && !header.empty(); ++column) {
        const std::size_t length = FieldLength(header);
        const std::string_view name = Unquoted(header.substr(0, length));
        for (std::size_t i = 0; i < wanted; ++i) {
            if (positions[i] == 0 && names[i] == name) {
                positions[i] = column;
                ++found;
                break;
            }
        }
        const std::size_t consumed = std::min(length + 1, header.size());
        header.remove_prefix(consumed);
        reply.remove_prefix(consumed);
    }
}

CTomTomWork::FieldSpan CTomTomWork::GetFieldSpan(std::string_view text, int column)
{
    if (column < 1)
        return {};
    const std::string_view row = CurrentLine(text);
    std::size_t start = 0;
    for (int skipped = 1; skipped < column; ++skipped) {
        const std::size_t length = FieldLength(row.substr(start));
        if (start + length >= row.size())
            return {};
        start += length + 1;
    }
    const std::string_view field = row.substr(start, FieldLength(row.substr(start)));
    const std::string_view value = Unquoted(field);
    return {start + static_cast<std::size_t>(value.data() - field.data()), value.size()};
}

int CTomTomWork::ReadVehicleReport(std::string_view reply, std::string& vehicleList)
{
    if (StartsWithCode(reply, "63,"))
        return 0;
    if (StartsWithCode(reply, "8014,"))
        return 8014;
    static constexpr std::string_view kNames[] = {"objectno"};
    int vehicleColumn = 0;
    MapReplyColumns(kNames, std::span<int>(&vehicleColumn, 1), reply);
    // A reply ending in a line break gives a last, empty row: every number then stands
    // between two ';'.
    while (NextRow(reply)) {
        vehicleList += ';';
        vehicleList += FieldValue(reply, vehicleColumn);
    }
    return 0;
}

int CTomTomWork::ReadOrderStates(std::string_view reply, CSmartPtrArray<COrderConfirm>& states)
{
    if (StartsWithCode(reply, "63,"))
        return -1;
    if (StartsWithCode(reply, "8014,"))
        return 8014;
    if (StartsWithCode(reply, "2109,"))
        return 0;
    if (StartsWithCode(reply, "8011,"))
        return 8011;

    enum Column
    {
        kOrderId,
        kState,
        kStateTime,
        kArrivalTime,
        kObjectNo,
        kColumns
    };
    static constexpr std::string_view kNames[kColumns] = {
        "orderid", "orderstate", "orderstate_time", "estimated_arrival_time", "objectno"};
    std::array<int, kColumns> columns{};
    MapReplyColumns(kNames, columns, reply);

    std::vector<OrderStateRecord> records;
    int runningNumber = 0;
    const auto add = [&](int kind, std::string_view orderId, int minutes, int enRoute, int released,
                         std::string_view objectNo) {
        records.push_back(
            {kind,
             {std::string(orderId), minutes, enRoute, released, std::string(objectNo)},
             runningNumber++});
    };
    while (NextRow(reply)) {
        const std::string_view orderId = FieldValue(reply, columns[kOrderId]);
        const int state = trv::ParseInt(FieldValue(reply, columns[kState]));
        int arrivalMinutes = 0;
        const bool arrival =
            ArrivalMinutes(FieldValue(reply, columns[kArrivalTime]), arrivalMinutes);
        if (state == 301 || state == 302)
            add(kReleased, orderId, 0, 0, 1, {});
        if (!arrival && !IsHeldState(state))
            continue;
        const int enRoute = IsHeldState(state) ? 0 : 1;
        const std::string_view objectNo = FieldValue(reply, columns[kObjectNo]);
        if (arrival) {
            add(kArrival, orderId, arrivalMinutes, enRoute, 0, objectNo);
            continue;
        }
        int stateMinutes = 0;
        if (MinutesAt(FieldValue(reply, columns[kStateTime]), 12, 15, stateMinutes))
            add(kStateTime, orderId, stateMinutes, enRoute, 0, objectNo);
    }

    std::sort(records.begin(), records.end(),
              [](const OrderStateRecord& a, const OrderStateRecord& b) {
                  return a.SortKey() < b.SortKey();
              });
    for (OrderStateRecord& record : records)
        states.Add(new COrderConfirm(std::move(record.confirm)));
    return 0;
}
