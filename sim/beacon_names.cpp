#include "sim/beacon_names.h"

#include "host/beacon_types.h"

#include <cstdio>

namespace velqa3::sim {

std::string BeaconLabel(std::int32_t type, std::int32_t optional) {
    const char* words = nullptr;
    for (const BeaconTypeInfo& row : kBeaconTypes)
        if (type >= row.from && type <= row.to) {
            words = row.label;
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
    case 122: // one type for three places: tell them apart
        std::snprintf(text, sizeof text, "122 %s: %s", words,
                      optional == 2   ? "announced"
                      : optional == 1 ? "arrival"
                                      : "departure");
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
