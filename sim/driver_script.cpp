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

std::string DescribeStep(const DriverStep& s) {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (s.reverser) add("reverser " + std::to_string(*s.reverser));
    if (s.power) add("power " + std::to_string(*s.power));
    if (s.brake) add("brake " + std::to_string(*s.brake));
    if (s.keyDown) add("key " + std::to_string(*s.keyDown) + " down");
    if (s.keyUp) add("key " + std::to_string(*s.keyUp) + " up");
    if (s.key)
        add("key " + std::to_string(s.key->key) + " for " + std::to_string(s.key->holdMs) + " ms");
    if (s.keyboard)
        add("keyboard code " + std::to_string(s.keyboard->key) + " for " +
            std::to_string(s.keyboard->holdMs) + " ms");
    if (s.cabKey) {
        const std::string key =
            s.cabKey->function + " (keyboard code " + std::to_string(s.cabKey->code) + ")";
        switch (s.cabKey->action) {
        case CabKeyStep::Action::Press:
            add(key + " for " + std::to_string(s.cabKey->holdMs) + " ms");
            break;
        case CabKeyStep::Action::Down:
            add(key + " held");
            break;
        case CabKeyStep::Action::Up:
            add(key + " let go");
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
