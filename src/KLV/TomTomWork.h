#pragma once

#include "containers/SmartArray.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// The client of the fleet-telematics service: the plan's stops go to the vehicles' units as
// service orders, and the order states the drivers confirm come back. Every request is one
// HTTPS GET on "/extern" of the service host; the account values are the caller's.

// One order state read back from the service.
struct COrderConfirm
{
    std::string OrderId;
    // Minutes after midnight of the estimated arrival or of the state change; 0 for a released
    // order, -1 while not filled.
    int Minutes = -1;
    // 1 when an arrival is expected and the order is neither refused, cancelled nor deleted.
    int EnRoute = 0;
    // 1 for the record made for an order the driver released (states 301 and 302).
    int Released = 0;
    // The vehicle; empty for a released order.
    std::string ObjectNo;
};

// Program-wide switches, written on the GUI thread: the service is switched on in the
// configuration, and the account answered a test without error.
extern int bTomTomWorkEnabled;
extern int bTomTomWorkConnected;
// The file of certificate authorities the service's certificate is checked against; empty for
// the system's. Verification is never switched off.
extern std::string TomTomWorkCaFile;

// The language sent for a map country: empty until CTomTomWork::CheckEnabled has run, and for
// a country without an entry or outside the table.
std::string TomTomLanguageByCountry(int country);

// Back to the start of the process: both flags 0, the language table and the CA file empty.
void ResetTomTomWork();

class CTomTomWork
{
  public:
    // Result of the operations when the service could not be reached.
    static constexpr int kConnectionFailed = -666;

    // A wanted column's value inside a row: byte offset from the row's start and byte length.
    struct FieldSpan
    {
        std::size_t start = 0;
        std::size_t length = 0;
    };

    // Sends one stop as a service order; an order the service already holds is updated and
    // assigned again. `language` becomes "es" when empty. `useOrderStates` (may be null) asks
    // the driver's unit for order states; `currentOrderId` is the order the vehicle is on.
    // 0 done, 1 failed (the reply then says why, the order id and a TAB in front of the
    // service's refusal).
    static int bSendOrder(const std::string& host, const std::string& account,
                          const std::string& userName, const std::string& password,
                          const std::string& apiKey, std::string& language,
                          const std::string& objectNo, const std::string& orderId,
                          const std::string& orderType, const std::string& latitude,
                          const std::string& longitude, const std::string& country,
                          const std::string& city, const std::string& street,
                          const std::string& zip, const std::string& orderText,
                          const std::string& orderDate, const std::string& orderTime,
                          const std::string& contact, std::string& reply, const int* useOrderStates,
                          const std::string& currentOrderId);

    // Clears a vehicle's orders of the day "yyyy-mm-dd". 0 done, 1 the request failed.
    static int ClearOrders(const std::string& host, const std::string& account,
                           const std::string& userName, const std::string& password,
                           const std::string& apiKey, std::string& language,
                           const std::string& date, const std::string& objectNo);

    // Appends ";" and each vehicle number of the account to `vehicleList`. -666, 0 or 8014.
    static int GetVehicleReport(const std::string& host, const std::string& account,
                                const std::string& userName, const std::string& password,
                                const std::string& apiKey, std::string& language,
                                std::string& vehicleList, std::string& reply);

    // Appends the order states of the day "yyyy-mm-dd" (of one vehicle, or of all with an
    // empty `objectNo`), sorted by kind, en-route flag, minutes, vehicle and reply order.
    // -666, -1, 0, 8011 or 8014.
    static int GetOrderStates(const std::string& host, const std::string& account,
                              const std::string& userName, const std::string& password,
                              const std::string& apiKey, std::string& language,
                              const std::string& date, CSmartPtrArray<COrderConfirm>& states,
                              const std::string& objectNo);

    // 0 when the account is usable; 45, 1101, 1106, 8014 or -666.
    static int TestAccount(const std::string& host, const std::string& account,
                           const std::string& userName, const std::string& password,
                           const std::string& apiKey);

    // Reads the configuration's switch, fills the language table and tests the account when the
    // service is on and every account value is given; sets both program-wide flags.
    static void CheckEnabled(const std::string& host, const std::string& userName,
                             const std::string& password, const std::string& account,
                             const std::string& apiKey);

    // One GET. 0 with the body in `reply`; 1 when the request failed or the server answered
    // with an HTTP error, `reply` then holding the reason.
    static int HttpGet(const std::string& url, std::string& reply);

    // Finds the 1-based column of each wanted name (compared exactly) in the reply's header line
    // and consumes the header fields it read from the front of `reply`. A name the header lacks
    // keeps position 0.
    static void MapReplyColumns(std::span<const std::string_view> names, std::span<int> positions,
                                std::string_view& reply);

    // The value of the 1-based column in the row `text` begins with, without its quotes. Fields
    // end at a ';' outside quotes or at the row's end; column 0 or one beyond the row is empty.
    static FieldSpan GetFieldSpan(std::string_view text, int column);

    // The reply readers of GetVehicleReport and GetOrderStates, for a reply that arrived.
    static int ReadVehicleReport(std::string_view reply, std::string& vehicleList);
    static int ReadOrderStates(std::string_view reply, CSmartPtrArray<COrderConfirm>& states);
};
