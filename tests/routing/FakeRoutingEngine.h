#pragma once

#include "platform/Dispatcher.h"
#include "routing/RoutingEngine.h"

#include <map>
#include <string>
#include <vector>

// A routing engine whose answers the test scripts: each started route posts, through the
// dispatcher, either the scripted error or the scripted result followed by the listing.
class FakeRoutingEngine : public RoutingEngine
{
  public:
    struct Outcome
    {
        int errorCode = 0; // 0: the route is listed
        std::string errorText;
        double metres = 1000.0;
        double units = 60.0;
    };

    Outcome outcome;
    // The itinerary of every list kind.
    std::map<int, TItinerary> itineraries;
    std::vector<TEngineProfile> profiles;
    std::vector<int> cancelled;
    std::vector<int> released;
    int cancelRoutingCalls = 0;
    bool opened = true;
    // Matrices: how many were started, and the metres of every cell (row by row; empty: 1000 x
    // (r + c) for r != c); units are metres / 10.
    int matrixCalls = 0;
    std::vector<double> matrixMetres;

    void SetEvents(RoutingEngineEvents* events) override { events_ = events; }
    bool Open(const std::string&, std::string& error) override
    {
        error = "no road data";
        return opened;
    }
    bool IsOpen() const override { return opened; }
    bool SetProfile(const TEngineProfile& profile, std::string&) override
    {
        profiles.push_back(profile);
        return true;
    }
    bool CheckPoint(const TRoutingPoint&, int) override { return true; }
    bool CalculateSync(const std::vector<TRoutingPoint>&, double& metres, double& units,
                       std::string&) override
    {
        metres = outcome.metres;
        units = outcome.units;
        return outcome.errorCode == 0;
    }
    int NewRoute() override { return ++lastRoute_; }
    bool SetStations(int, const std::vector<TRoutingPoint>&) override { return true; }
    bool StartRoute(int route) override
    {
        const Outcome scripted = outcome;
        trv::GetDispatcher().Post([this, route, scripted] {
            if (events_ == nullptr)
                return;
            if (scripted.errorCode != 0) {
                events_->OnRouteError(scripted.errorCode, scripted.errorText);
                return;
            }
            events_->OnRouteResult(scripted.metres, scripted.units);
            events_->OnListed(route);
        });
        return true;
    }
    bool ListRoute(int, int kind, TItinerary& rows) override
    {
        const auto found = itineraries.find(kind);
        if (found == itineraries.end())
            return false;
        rows = found->second;
        return true;
    }
    void CancelRoute(int route) override { cancelled.push_back(route); }
    void ReleaseRoute(int route) override { released.push_back(route); }
    void CancelRouting() override { ++cancelRoutingCalls; }
    bool StartMatrix(const std::vector<TRoutingPoint>& origins,
                     const std::vector<TRoutingPoint>& destinations) override
    {
        ++matrixCalls;
        const std::size_t columns = destinations.size();
        std::vector<double> metres = matrixMetres;
        if (metres.empty())
            for (std::size_t r = 0; r < origins.size(); ++r)
                for (std::size_t c = 0; c < columns; ++c)
                    metres.push_back(r == c ? 0.0 : 1000.0 * static_cast<double>(r + c));
        std::vector<double> units;
        for (const double value : metres)
            units.push_back(value < 0 ? -1.0 : value / 10.0);
        trv::GetDispatcher().Post([this, metres, units, columns] {
            if (events_ != nullptr)
                events_->OnMatrixResult(metres, units, static_cast<int>(columns));
        });
        return true;
    }

  private:
    RoutingEngineEvents* events_ = nullptr;
    int lastRoute_ = 0;
};
