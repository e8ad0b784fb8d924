#include "sim/beacon_names.h"

#include <cstdio>

namespace velqa3::sim {

namespace {

struct Meaning {
    std::int32_t from, to;
    const char* words;
};

// The beacon types the plug-in acts on; the optional value is added where it reads plainly.
constexpr Meaning kMeanings[] = {
    {0, 0, "ST alarm (stop aspect)"},
    {1, 1, "ST immediate stop (stop aspect)"},
    {3, 3, "PT stop signal"},
    {4, 4, "PT signal"},
    {8, 8, "stop station"},
    {9, 9, "station id"},
    {10, 10, "ST speed check"},
    {11, 11, "ST pair end"},
    {12, 12, "ST aspect check"},
    {13, 13, "ST pair end"},
    {15, 15, "cab signal start"},
    {22, 22, "PT aspect target"},
    {50, 50, "line code"},
    {55, 55, "line voltage"},
    {56, 56, "voltage spread"},
    {57, 57, "voltage wander"},
    {60, 60, "PT signal"},
    {61, 61, "PT top speed"},
    {62, 62, "PT signal distance"},
    {64, 64, "PT stop pattern"},
    {68, 68, "PT hold"},
    {69, 69, "PT hold end"},
    {70, 70, "PT speed limit"},
    {71, 71, "station approach"},
    {75, 75, "PT gradient"},
    {80, 80, "panel location"},
    {90, 90, "end of PT"},
    {51, 89, "PT beacon"},
    {101, 119, "PT variant beacon"},
    {120, 121, "TASC stop distance"},
    {122, 122, "platform doors"},
    {130, 149, "PT variant beacon"},
    {200, 200, "PT top speed"},
    {205, 207, "PT speed limit"},
    {245, 249, "display channel"},
    {250, 255, "display value"},
};

} // namespace

std::string BeaconLabel(std::int32_t type, std::int32_t optional) {
    const char* words = nullptr;
    for (const Meaning& m : kMeanings)
        if (type >= m.from && type <= m.to) {
            words = m.words;
            break;
        }
    char text[96];
    if (words == nullptr) {
        std::snprintf(text, sizeof text, "%d (no effect)", static_cast<int>(type));
        return text;
    }
    switch (type) {
    case 10:
        if (optional != 0 && optional != 10000) {
            std::snprintf(text, sizeof text, "10 %s %d km/h", words, optional / 10);
            return text;
        }
        break;
    case 50:
        std::snprintf(text, sizeof text, "50 %s 0x%02X", words,
                      static_cast<unsigned>(optional) & 0xFFu);
        return text;
    case 55:
        std::snprintf(text, sizeof text, "55 %s %d V", words, static_cast<int>(optional));
        return text;
    case 61:
        std::snprintf(text, sizeof text, "61 %s %d km/h", words, static_cast<int>(optional));
        return text;
    case 75:
        std::snprintf(text, sizeof text, "75 %s %d permil", words, static_cast<int>(optional));
        return text;
    case 120:
        std::snprintf(text, sizeof text, "120 %s %d m", words, static_cast<int>(optional));
        return text;
    default:
        break;
    }
    std::snprintf(text, sizeof text, "%d %s", static_cast<int>(type), words);
    return text;
}

} // namespace velqa3::sim
