#pragma once

#include "model/Condicionantes.h"
#include "model/ConditionedIncompatibilities.h"
#include "model/Distances.h"
#include "model/Fares.h"
#include "model/HourSpeeds.h"
#include "model/NoCombinable.h"
#include "model/OrderLine.h"
#include "model/OrderServices.h"
#include "model/StopPoint.h"
#include "model/Orders.h"
#include "model/Rejections.h"
#include "model/WareHouses.h"
#include "model/WareHousesData.h"
#include "platform/OleDate.h"

#include <functional>
#include <random>

// A reading of the local clock.
struct TClockReading
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};
TClockReading ReadLocalClock();

// The program-wide objects of the demand and fleet models, in one place so that a new plan or a
// test can start from a clean state.
struct CModelContext
{
    // The requirement definitions every entity's requirement values have one slot for.
    CListaCondicionantes requirementDefinitions;
    CProducts products;
    CWareHouses wareHouses;
    // The locations table's reader, kept open between lookups.
    CLocations locations;
    CListaAddOrdersLinesInfo orderLineInfoDefinitions;
    // The document's planning date and period.
    trv::OleDate planningDate;
    int32_t planningPeriod = 0;

    // Distinct texts of the orders' derivation. Postcodes and type groups are emptied by each
    // derivation of the order list; the others only grow, so a text keeps its position.
    CDistinctTexts postcodes;
    CDistinctTexts customerCodes;
    CDistinctTexts cities;
    CDistinctTexts typeGroups;
    CDistinctTexts incompatibilityGroups;
    CDistinctTexts lastTripGroups;
    CDistinctTexts lastUnloadGroups;
    CProductLoadGroups loadGroups;
    // Emptied by the order list before each derivation pass.
    CDistinctTexts specialCodes;
    CDistinctTexts tollZones;
    CDistinctTexts groupingIndexes;
    CDistinctTexts indivisibleGroupings;
    CDistinctTexts partitionedCodes;
    CDistinctTexts groupOrders;

    // The document's state the orders' derivation reads and marks.
    trv::OleDate realTimeDate;
    int32_t realTimeMark = 0;
    bool loadingSavedPlan = false;
    bool multiDayPlanning = false;

    // Services of later subsystems, not owned; null until wired, and orders then do without.
    const COrderFleetLookups* fleet = nullptr;
    const COrderRejections* rejections = nullptr;
    const CRunningPlan* runningPlan = nullptr;
    const CLineRouteMeasurement* lineRouteMeasurement = nullptr;
    const CModelDistances* distances = nullptr;
    // The order list's own tables unless a test installs others.
    const CConditionedIncompatibilities* conditionedIncompatibilities = &orders.conditionedTables;
    const CStopRejections* stopRejections = nullptr;

    // The clock that real-time starts read; tests fix it.
    std::function<TClockReading()> clock = ReadLocalClock;
    // The fleet model's random choices draw from here: the same seed makes the same choices.
    std::minstd_rand random{314};
    // The document holds a solution sequence loaded from a plan file.
    bool hasLoadedSequence = false;
    const COrderLineOrdering* lineOrdering = nullptr;

    // The plan's orders; an order's position is its index everywhere.
    COrders orders;

    // The planner's non-combinable rules and their matrices.
    CNoCombinable noCombinable;

    // The fare tables; their registry and table names only grow until the context is reset.
    CListaFares fares;

    // Traffic by hour and the trip incompatibility rules, loaded with the plan.
    CHourSpeeds hourSpeeds;
    CTripsIncompatibilities tripsIncompatibilities;
    // Dock slots and stocks of the best plan.
    CWareHousesData wareHousesData;
    // Which warehouse may load which order: a row per order, a column per warehouse.
    CBoolTable orderWarehouseMatrix;

    // Which pair may serve which order; orders and pairs ask it once its passes ran.
    CRejections rejectionModel;
    // Set by the shell from "/BATCH" or "BatchSimulated": no dialogs, mails instead.
    bool batchMode = false;
    // The document's flag: a mail about orders no pair can serve may go out (once per episode).
    bool errorMailArmed = true;
    // The document's mail of a kind (2: orders no pair can serve); null until installed.
    std::function<void(int kind)> sendMail;
    // The list of orders no pair can serve; null headless, where it is not shown.
    CNonPossibleDialog* nonPossibleDialog = nullptr;
    // Re-derives the order list after relation codes changed; null: each order re-derives.
    std::function<void()> rederiveOrderList;
};

// The one program-wide model context.
CModelContext& ModelContext();
// Replaces it by a newly constructed one (tests start clean).
void ResetModelContext();
