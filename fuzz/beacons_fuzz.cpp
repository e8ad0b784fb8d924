// Feeds fresh protection state any sequence of beacons, frames, driver actions and cab switch
// and mode changes, and checks after every step that what the panel, the sound stage and the
// later stages read stays within the values they understand.
#include "fuzz/fuzz_input.h"
#include "plugin/dispatcher.h"
#include "tests/support/beacon_rig.h"
#include "vehicle/brake_reasons.h"
#include "vehicle/panel_channels.h"
#include "vehicle/slip.h"
#include "vehicle/sound.h"
#include "vehicle/speed_check.h"
#include "vehicle/station_approach.h"
#include "vehicle/supervision.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using velqa3::fuzz::Input;

bool IsSound(std::int32_t command) {
    return command == velqa3::kSoundLoop || command == velqa3::kSoundStop;
}

bool IsLamp(std::int32_t lamp) {
    return lamp == 0 || lamp == 1;
}

void CheckState(const velqa3::test::BeaconRig& rig) {
    const velqa3::STC& stc = rig.stc;
    REQUIRE(IsSound(stc.bellSound) && IsSound(stc.chimeSound));
    REQUIRE(IsLamp(stc.alarmLamp) && IsLamp(stc.normalLamp));
    REQUIRE(stc.emergency <= 1 && stc.armed <= 1 && stc.pairArmed <= 1 && stc.overspeed <= 1);
    REQUIRE(stc.pairTimer >= 0 && stc.pairTimer <= 1000);
    REQUIRE(stc.deadline >= 0 && stc.deadline < velqa3::kMsPerDay);
    REQUIRE(stc.testTimer >= -1);

    for (const std::int32_t command : rig.supervision.announcement)
        REQUIRE(command == velqa3::kSoundPlayOnce || IsSound(command));
    for (const std::int32_t period : rig.display.period)
        REQUIRE(period != INT32_MIN);
    for (const std::int32_t frame : rig.display.frame)
        REQUIRE(frame >= -1);
    REQUIRE(rig.supervision.speedCheck.state >= 0 && rig.supervision.speedCheck.state <= 3);
    REQUIRE(rig.stationApproach.endDistance >= 0.0f && IsLamp(rig.stationApproach.lamp));
    REQUIRE(rig.voltage.nominalVoltage >= 1.0f);
    REQUIRE(rig.voltage.voltageSpread >= 0.0f); // a later nominal voltage may be lower
    REQUIRE(rig.voltage.voltageFluctuation >= 0 && rig.voltage.voltageFluctuation <= 9);
    REQUIRE(std::isfinite(rig.tasc.stopDistance));
    REQUIRE(std::isfinite(rig.stationApproach.lampDistance) &&
            std::isfinite(rig.stationApproach.endDistance));
    REQUIRE(!std::isnan(rig.frame.panelLocation));

    const velqa3::PTC& ptc = rig.ptc;
    for (const float value : {ptc.sigDis, ptc.nsdDis, ptc.limDis, ptc.limDoDis, ptc.targetDis,
                              ptc.limSpd, ptc.limDoSpd, ptc.patternSpd})
        REQUIRE(!std::isnan(value));
}

// One frame through the plug-in's own frame driver.
void Frame(velqa3::test::BeaconRig& rig, const velqa3::VehicleState& state) {
    static std::int32_t panel[velqa3::kPanelSize];
    static std::int32_t sound[velqa3::kSoundSize];
    panel[velqa3::kSuspendPanelIndex] = 0;
    rig.plugin.Elapse(state, panel, sound);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto rig = std::make_unique<velqa3::test::BeaconRig>();
    rig->mode.atsMode = 2;
    rig->mode.atsStarted = 1;
    velqa3::VehicleState host{};
    host.Time = 36'000'000;
    Input input(data, size);
    while (!input.empty()) {
        switch (input.Take<std::uint8_t>() % 12) {
        case 0: // any record the host might send
            rig->Send(input.Take<velqa3::BeaconData>());
            break;
        case 1: { // a beacon of a known type, as routes place them
            const std::int32_t type = input.Take<std::uint8_t>();
            const std::int32_t signal = input.Take<std::int8_t>();
            const float distance = input.Take<std::int16_t>();
            rig->Send(type, signal, distance, input.Take<std::int32_t>());
            break;
        }
        case 2: { // a frame of a train driving on
            const std::int32_t step = input.Take<std::uint16_t>() % 2000;
            host.Time =
                static_cast<std::int32_t>((std::int64_t{host.Time} + step) % velqa3::kMsPerDay);
            host.Speed = static_cast<float>(input.Take<std::int16_t>()) / 10.0f;
            host.Location += static_cast<double>(host.Speed) * step / 3600.0;
            Frame(*rig, host);
            break;
        }
        case 3: // any frame the host might send
            Frame(*rig, input.Take<velqa3::VehicleState>());
            break;
        case 4:
            rig->stc.Confirm();
            break;
        case 5:
            rig->stc.StopChime();
            break;
        case 6:
            rig->stc.Restart((input.Take<std::uint8_t>() & 1) != 0);
            break;
        case 7:
            rig->stc.Clear();
            rig->ptc.ReleaseBrake(rig->PtcView());
            break;
        case 8: // cab switches and the master-controller key
            rig->mode.cabSwitches = input.Take<std::uint8_t>();
            rig->inputs.masterKeyPosition =
                static_cast<std::int8_t>(input.Take<std::uint8_t>() % 4);
            rig->mode.atsStarted = input.Take<std::uint8_t>() & 1;
            break;
        case 9: { // settings as the reader leaves them
            const float offset = input.Take<float>();
            rig->settings.offset = std::isfinite(offset) ? offset : 0.0f;
            rig->settings.dc25Mode = input.Take<std::uint8_t>() % 3;
            rig->settings.station = input.Take<std::uint8_t>() % 4;
            rig->settings.carNumber = input.Take<std::uint8_t>() & 1;
            rig->stc.osrMode = input.Take<std::uint8_t>() % 3;
            break;
        }
        case 10: { // the driving aids fitted and switched on
            const auto bits = input.Take<std::uint8_t>();
            rig->tasc.installed = (bits & 1) != 0;
            rig->tasc.switchedOn = (bits & 2) != 0;
            rig->platformDoors.flags = bits & 4 ? velqa3::PlatformDoorBits::DoorsFitted : 0;
            break;
        }
        case 11: // mode changes made by keys
            rig->mode.atsMode = input.Take<std::uint8_t>();
            rig->mode.atsModePanel = rig->mode.atsMode;
            rig->mode.cabSignalMode = input.Take<std::uint8_t>() & 1;
            rig->mode.lineCode = input.Take<std::int32_t>();
            break;
        }
        CheckState(*rig);
    }
    return 0;
}
