// The panel's display channels: numbered frames that beacons and keys set cycling.
#pragma once

#include "config/settings.h"
#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kDisplayChannels = 5;
inline constexpr int kStationChannel = 3;
inline constexpr int kCarNumberChannel = 4;
inline constexpr std::int32_t kDisplayChannelStep = 500; // ms between frames of a channel

struct DisplayChannels {
    std::int32_t period[kDisplayChannels] = {};                  // 0 = channel off
    std::int32_t frame[kDisplayChannels] = {-1, -1, -1, -1, -1}; // -1 = blank
    std::int32_t carNumberTimer = 0;                             // ms the car number stays shown
};

// Once a frame: every 500 ms each running channel shows its next frame (the station channel
// follows the station display mode of [PANEL]); the car number goes out when its time is up,
// in the frame that uses the last of it.
void RunDisplayChannels(DisplayChannels& display, const FrameValues& frame,
                        const Settings& settings);

// Values that beacons of types 250 to 255 hand to the panel as they are.
inline constexpr int kBeaconValues = 6;
inline constexpr std::int32_t kFirstBeaconValueType = 250;

struct BeaconValues {
    std::int32_t value[kBeaconValues] = {}; // of types 250..255
};

} // namespace velqa3
