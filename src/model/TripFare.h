#pragma once

#include "params/VariableAccess.h"

#include <cstdint>

class CCustomer;
class COrder;
struct TLocationData;

// What the fare of a trip reads of the current trip beside the load state's own kilometres,
// trip count, unloads and fare counters. The decoding fills it as it places orders.
struct TTripFareInputs
{
    const TLocationData* loadingLocation = nullptr; // where the trip loads; null: none
    float deliveredQuantity = 0;                    // delivered on the trip
    float collectedQuantity = 0;                    // collected on the trip
    const COrder* lastOrder = nullptr;              // the last order added to the trip
    int32_t currentNode = -1;                       // node of the last served customer
    const CCustomer* lastCustomer = nullptr;        // the last served customer
    const COrder* lastDeliveryOrder = nullptr;      // the last added order of type 0 or 4
    float radialKm = 0;     // the largest distance from the loading point to a customer
    float orderKmPrice = 0; // the largest "ORDER_FARE_KM_COST" of the trip's orders, 0: none
    float additionalKm = 0; // added by the additional-kilometre rules of the trip's orders
    // The record trip rules read their variables in; unset: the load state itself.
    TEntityRef totalsEntity;
};
