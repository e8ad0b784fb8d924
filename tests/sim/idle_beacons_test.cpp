// When the host says a beacon does nothing: only where the plug-in's own state shows it.
#include "sim/idle_beacons.h"

#include <gtest/gtest.h>

namespace velqa3::sim {
namespace {

Diagnostics State(std::uint8_t atsMode, std::uint32_t flags = 0) {
    Diagnostics d = BlankDiagnostics();
    d.flags = DiagnosticsBits::HasState | flags;
    d.protectionMode = atsMode;
    return d;
}

TEST(IdleBeacons, OnlyBeaconsThatTheirModeOrAidIgnoresAreNamed) {
    struct Case {
        std::int32_t type;
        Diagnostics after;
        double speed;
        const char* reason; // a piece of it; null: the beacon acts
    };
    using namespace DiagnosticsBits;
    const Case cases[] = {
        {205, State(0x44), 60.0, "protection mode 68 (0x44) has no pattern checker"},
        {70, State(0x44), 60.0, "has no pattern checker"},
        {205, State(0x07), 60.0, nullptr},
        {60, State(0x04), 60.0, nullptr},
        {0, State(0x04), 60.0, "the spot protection does not run in protection mode 4"},
        {0, State(0x07), 60.0, nullptr},
        {10, State(0x02, CabSignalMode), 60.0, "the signal speed check runs instead"},
        {12, State(0x02), 60.0, "types 12 and 13 are not taken"},
        {12, State(0x0F), 60.0, nullptr},
        {120, State(0x02), 30.0, "TASC is not fitted or not switched on"},
        {121, State(0x02, TascOn), 0.0, "only from a moving train"},
        {120, State(0x02, TascOn), 30.0, nullptr},
        {50, State(0x00), 30.0, nullptr},
    };
    for (const Case& c : cases) {
        const std::string why = IdleBeaconReason(BeaconData{c.type, 0, 0.0f, 0}, c.after, c.speed);
        if (c.reason == nullptr)
            EXPECT_EQ(why, "") << "type " << c.type;
        else
            EXPECT_NE(why.find(c.reason), std::string::npos) << "type " << c.type << ": " << why;
    }
    // A library that tells no state: nothing is claimed.
    EXPECT_EQ(IdleBeaconReason(BeaconData{205, 0, 0.0f, 0}, BlankDiagnostics(), 60.0), "");
}

} // namespace
} // namespace velqa3::sim
