// Lamps and sounds by name wherever a run shows them, moved slots under the index they went to.
#include "sim/brake_reason_names.h"
#include "sim/slot_names.h"
#include "tests/sim/sim_harness.h"

namespace velqa3::sim::test {
namespace {

TEST(SlotNames, EachIndexCarriesTheNameOfTheSlotsThatLandThere) {
    SlotNames names;
    EXPECT_EQ(names.Panel(5), "panel 5 ATS-PT brake lamp");
    EXPECT_EQ(names.Sound(2), "sound 2 ATS-PT bell");
    EXPECT_EQ(names.Panel(99), "panel 99") << "no slot of the plug-in";
    EXPECT_EQ(names.Panel(256), "panel ?");
    EXPECT_EQ(names.Sound(-1), "sound ?");

    std::uint8_t panel[256], sound[256];
    for (int i = 0; i < 256; ++i)
        panel[i] = sound[i] = static_cast<std::uint8_t>(i);
    panel[5] = 99;
    panel[19] = 99; // two slots onto one index
    sound[2] = 3;
    names.Remap(panel, sound);
    EXPECT_EQ(names.Panel(99), "panel 99 ATS-PT brake lamp (slot 5) / Pilot lamp (doors closed) "
                               "(slot 19)");
    EXPECT_EQ(names.Panel(5), "panel 5") << "the slot went elsewhere";
    EXPECT_EQ(names.Sound(3), "sound 3 ATS-PT bell (slot 2) / Vigilance (EB) buzzer");
}

TEST(BrakeReasonNames, ThePatternServiceBrakeIsAReasonBesideTheOthers) {
    EXPECT_EQ(BrakeReasonNames(kPtServiceReason | 0x10), "PtBrake+PtService");
    EXPECT_EQ(BrakeReasonBit("PtService"), kPtServiceReason);
}

TEST_F(Host, AMovedLampIsLoggedAndReportedByItsNameAndItsNewIndex) {
    std::ofstream(root_ / "moved.dat") << "[PANELOUTPUT]\n002=90\n";
    const SimRun run = Run(R"(name = "moved"
[run]
settings = "moved.dat"
max_s = 2
[trace]
panel = [90]
[[beacon]]
position = 1
type = 50
optional = 4
)",
                           VELQA3_PLUGIN_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    const std::string events = ReadWholeFile(run.folder / "events.log");
    EXPECT_NE(events.find("panel 90 ATS-PT power lamp (slot 2): 0 -> 1"), std::string::npos)
        << events;
    EXPECT_NE(ReadWholeFile(run.folder / "report.html")
                  .find("\"name\":\"panel 90 ATS-PT power lamp (slot 2)\""),
              std::string::npos);
}

// A lamp lit before a range begins is lit in it; a speed is judged where the range says.
TEST_F(Host, RangedExpectationsJudgeWhatHoldsInsideTheRange) {
    const SimRun run = Run(R"(name = "ranges"
[run]
max_s = 30
[[beacon]]
position = 1
type = 50
optional = 4
[[driver]]
reverser = 1
brake = 0
power = 5
[[expect]]
panel = 2
value = 1
between_m = [20, 30]
[[expect]]
speed_below = 1
between_m = [20, 30]
[[expect]]
speed_below = 300
between_m = [20, 30]
[[expect]]
speed_below = 300
between_m = [90000, 90001]
)",
                           VELQA3_PLUGIN_PATH);
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(run.Printed("ok: panel 2 shows 1 between 20.0 m and 30.0 m: first there at 20."))
        << run.output;
    EXPECT_TRUE(run.Printed("FAILED: the speed stays below 1.0 km/h between 20.0 m and 30.0 m: "
                            "highest "))
        << run.output;
    EXPECT_TRUE(run.Printed("ok: the speed stays below 300.0 km/h between 20.0 m and 30.0 m"))
        << run.output;
    EXPECT_TRUE(run.Printed("FAILED: the speed stays below 300.0 km/h between 90000.0 m and "
                            "90001.0 m: the train never ran there"))
        << run.output;
}

} // namespace
} // namespace velqa3::sim::test
