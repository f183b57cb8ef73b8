#include "params/StateColors.h"

#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <string_view>

namespace {

struct ColorEntry
{
    const char* key; // null: no key
    std::uint32_t defaultColor;
};

constexpr ColorEntry kColors[kStateColorCount] = {
    {"Work", 32767},
    {"Drive", 32767},
    {"Late", 255},
    {"Normal", 0},
    {"Deactivated", 11842740},
    {"Assigned", 4953635},
    {"Preferent", 16711808},
    {"NotLocated", 16711935},
    {"Sleeping", 16711680},
    {"WaitingForOpen", 16711680},
    {"Frozen", 12615680},
    {"Clean", 32896},
    {"DrivingRest", 16711680},
    {"Overload", 32896},
    {"Underload", 65510},
    {"Lunching", 16711680},
    {"BadAssigned", 65280},
    {"DayOff", 16746632},
    {"LoadUnload", 32896},
    {"NonWorkingVehicles", 16744703},
    {nullptr, 6553700},
    {nullptr, 65510},
    {nullptr, 38550},
    {"WareHouseRejected", 65280},
    {"WarningDangerousLoad", 6618980},
    {"ClonEscoba", 11842740},
    {"IncompatibilidadImposible", 16777113},
    {nullptr, 9868800},
};

// The order in which Save writes the keys (not the table's order).
constexpr std::string_view kSaveOrder[] = {"Work",
                                           "Drive",
                                           "Late",
                                           "Normal",
                                           "Assigned",
                                           "Deactivated",
                                           "Preferent",
                                           "NotLocated",
                                           "Sleeping",
                                           "WaitingForOpen",
                                           "DrivingRest",
                                           "Frozen",
                                           "Clean",
                                           "Overload",
                                           "Underload",
                                           "Lunching",
                                           "BadAssigned",
                                           "DayOff",
                                           "LoadUnload",
                                           "NonWorkingVehicles",
                                           "WareHouseRejected",
                                           "WarningDangerousLoad",
                                           "ClonEscoba",
                                           "IncompatibilidadImposible"};

int IndexOf(std::string_view key)
{
    for (int i = 0; i < kStateColorCount; ++i)
        if (kColors[i].key && key == kColors[i].key)
            return i;
    return -1;
}

} // namespace

std::uint32_t TStateColors::ByKey(std::string_view key) const
{
    const int index = IndexOf(key);
    return index < 0 ? 0 : colors[static_cast<std::size_t>(index)];
}

const char* TStateColors::KeyOf(int index)
{
    return index >= 0 && index < kStateColorCount ? kColors[index].key : nullptr;
}

void TStateColors::SetDefaults()
{
    for (int i = 0; i < kStateColorCount; ++i)
        colors[static_cast<std::size_t>(i)] = kColors[i].defaultColor;
}

void TStateColors::Load(const std::string& file)
{
    SetDefaults();
    for (int i = 0; i < kStateColorCount; ++i) {
        if (!kColors[i].key)
            continue;
        std::string text = ReadIniString("Colors", kColors[i].key, file, "");
        if (!text.empty())
            colors[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(trv::ParseInt(text));
    }
}

bool TStateColors::Save(const std::string& file) const
{
    bool saved = true;
    for (std::string_view key : kSaveOrder) {
        int index = IndexOf(key);
        int value = static_cast<int>(colors[static_cast<std::size_t>(index)]);
        if (!WriteIniInt(value, "Colors", std::string(key), file)) {
            TRV_TRACE(1, "TStateColors::Save", "No se ha podido escribir el color %s en %s",
                      kColors[index].key, file.c_str());
            saved = false;
        }
    }
    return saved;
}
