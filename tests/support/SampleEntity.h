#pragma once

// An entity with a field of each kind the parameters layer reads, writes and formats by itself.
// The model's tests derive from it, adding the model's own kinds.

#include "KLV/Geodesy.h"
#include "containers/SmartArray.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <string>

struct TSampleEntity
{
    int32_t flag = 0;
    int32_t count = 0;
    float weight = 0;
    std::string code;
    double distance = 0;
    trv::OleDate day;
    int32_t duration = 0;
    int32_t level = 0;
    float volume = 0;
    int32_t timeOfDay = 0;
    CSmartFloatArray ranges;
    CSmartStringArray tags;
    CSmartWordArray groups;
    TGeoCoordinate point;
};
