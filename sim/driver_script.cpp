#include "sim/driver_script.h"

#include <cstdio>

namespace velqa3::sim {

bool StepDue(const DriverStep& s, const DriverView& v) {
    if (s.atS && v.elapsedS < *s.atS) return false;
    if (s.atTimeMs && v.clockMs < *s.atTimeMs) return false;
    if (s.atLocation && v.location < *s.atLocation) return false;
    if (s.locationBelow && !(v.location < *s.locationBelow)) return false;
    if (s.speedBelow && !(v.speed < *s.speedBelow)) return false;
    if (s.speedAbove && !(v.speed > *s.speedAbove)) return false;
    if (s.waitS && v.sinceLastS < *s.waitS) return false;
    // "Stopped" means come to a stand: a train still standing where the step before left it
    // has not stopped yet.
    if (s.stopped && (v.speed == 0.0 && v.movedSinceLast) != *s.stopped) return false;
    if (s.pluginBrake && v.pluginBrake != *s.pluginBrake) return false;
    return true;
}

const char* KeyName(int key) {
    switch (key) {
    case 0:
        return "ATS confirm";
    case 1:
        return "chime stop";
    case 2:
        return "vigilance reset";
    case 3:
        return "protection reset";
    case 4:
        return "master-controller key";
    case 7:
        return "mode key 1";
    case 8:
        return "mode key 2";
    case 13:
        return "hold brake";
    case 14:
        return "constant speed";
    default:
        return "";
    }
}

std::string KeyIgnoredBecause(int key, const CabView& cab, const VehicleSpec& spec) {
    char text[200];
    if (key == 0 && cab.brake < spec.AtsNotch) {
        std::snprintf(text, sizeof text,
                      "the plug-in confirms only with the brake at or above the ATS notch %d; "
                      "the driver's brake is at %d",
                      spec.AtsNotch, cab.brake);
        return text;
    }
    if (key != 3) return "";
    const std::int32_t emergency = spec.BrakeNotches + 1;
    std::string unmet;
    auto add = [&](const std::string& part) { unmet += (unmet.empty() ? "" : ", ") + part; };
    if (cab.speed != 0.0) {
        std::snprintf(text, sizeof text, "the train moves at %.2f km/h", cab.speed);
        add(text);
    }
    if (cab.reverser != 0) add("the reverser is at " + std::to_string(cab.reverser));
    if (cab.brake != emergency) add("the brake is at " + std::to_string(cab.brake));
    if (unmet.empty()) return "";
    return "the plug-in resets only at a stand with the reverser at 0 and the brake at emergency "
           "(" +
           std::to_string(emergency) + "); " + unmet;
}

std::string DescribeStep(const DriverStep& s) {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (s.reverser) add("reverser " + std::to_string(*s.reverser));
    if (s.power) add("power " + std::to_string(*s.power));
    if (s.brake) add("brake " + std::to_string(*s.brake));
    const auto key = [](int k) {
        const std::string name = KeyName(k);
        return "key " + std::to_string(k) + (name.empty() ? "" : " (" + name + ")");
    };
    if (s.keyDown) add(key(*s.keyDown) + " down");
    if (s.keyUp) add(key(*s.keyUp) + " up");
    if (s.key) add(key(s.key->key) + " for " + std::to_string(s.key->holdMs) + " ms");
    if (s.keyboard)
        add("keyboard code " + std::to_string(s.keyboard->key) + " for " +
            std::to_string(s.keyboard->holdMs) + " ms");
    if (s.cabKey) {
        const std::string function =
            s.cabKey->function + " (keyboard code " + std::to_string(s.cabKey->code) + ")";
        switch (s.cabKey->action) {
        case CabKeyStep::Action::Press:
            add(function + " for " + std::to_string(s.cabKey->holdMs) + " ms");
            break;
        case CabKeyStep::Action::Down:
            add(function + " held");
            break;
        case CabKeyStep::Action::Up:
            add(function + " let go");
            break;
        }
    }
    if (s.horn) add("horn " + std::to_string(*s.horn));
    if (s.doorsOpen) add(*s.doorsOpen ? "doors open" : "doors close");
    if (s.initialize) {
        char place[96];
        std::snprintf(place, sizeof place, "Initialize(%d) at %.1f m, %.1f km/h",
                      static_cast<int>(s.initialize->brake), s.initialize->location,
                      s.initialize->speed);
        add(place);
    }
    if (s.end) add("end of run");
    if (text.empty()) text = "(no action)";
    if (!s.note.empty()) text += " — " + s.note;
    return "driver: " + text;
}

} // namespace velqa3::sim
