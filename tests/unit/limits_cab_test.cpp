// Each aid acts only past the limit its driver is told of, seen from the cab of a plug-in that
// read its own settings file: the host's frames, events and beacons in, the brake output and
// the panel and sound arrays out.
#include "plugin/plugin.h"
#include "tests/support/vehicle_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

namespace velqa3 {
namespace {

namespace fs = std::filesystem;

class SettingsCab : public testing::Test {
  protected:
    fs::path folder;
    std::unique_ptr<Plugin> plugin = std::make_unique<Plugin>();
    std::int32_t panel[kPanelSize] = {};
    std::int32_t sound[kSoundSize] = {};

    void SetUp() override {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 ("velqa3-limits-" + std::to_string(getpid()) + "-" + test->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Service notches 8 (emergency 9), handles released, reverser forward.
    void Start(const char* settings, std::int32_t reverser = 1) {
        std::ofstream(folder / "velqa3.dat") << settings;
        plugin->Attach((folder / "velqa3.dll").string().c_str());
        plugin->SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
        plugin->Initialize(0);
        plugin->SetBrake(0);
        plugin->SetReverser(reverser);
    }

    HandleOutput Frame(std::int32_t timeMs, float speed = 0.0f, double location = 0.0) {
        return plugin->Elapse(test::StateAt(timeMs, speed, location), panel, sound);
    }
};

TEST_F(SettingsCab, PlatformDoorsCloseOnlyOnceTheDelayHasPassed) {
    Start("[TASC]\nPlatformDoor=1\nPDClose=2500\n");
    Frame(1000);
    plugin->DoorsOpened(true);
    Frame(1020);
    plugin->DoorsClosed(true);
    Frame(3520);
    EXPECT_EQ(panel[130], 1) << "2500 ms after the train's doors closed, exactly";
    Frame(3537);
    EXPECT_EQ(panel[130], 0);
}

TEST_F(SettingsCab, PlatformDoorsWithoutDelayWaitForTimeToPass) {
    Start("[TASC]\nPlatformDoor=1\nPDClose=0\n");
    Frame(1000);
    plugin->DoorsOpened(true);
    Frame(1020);
    plugin->DoorsClosed(true);
    Frame(1020);
    EXPECT_EQ(panel[130], 1) << "a frame of no length";
    Frame(1053);
    EXPECT_EQ(panel[130], 0);
}

TEST_F(SettingsCab, VigilanceWarnsAndBrakesOnlyPastItsLimits) {
    Start("[TRAIN]\nEmgBrake=3\n");
    Frame(10'000, 40.0f);
    plugin->HornBlow(0);
    Frame(40'000, 40.0f);
    EXPECT_EQ(panel[10], 0) << "30 000 ms without an action";
    EXPECT_EQ(sound[3], kSoundStop);
    Frame(40'017, 40.0f);
    EXPECT_EQ(panel[10], 1);
    EXPECT_EQ(sound[3], kSoundLoop);
    EXPECT_EQ(Frame(45'000, 40.0f).Brake, 0) << "35 000 ms exactly";
    EXPECT_EQ(Frame(45'033, 40.0f).Brake, 9);
}

TEST_F(SettingsCab, SignalSpeedCheckHoldsFullServiceForTheWholeFirstSecond) {
    Start("[TRAIN]\nDefault=12\n");
    plugin->SetBeaconData(BeaconData{69, 0, 0.0f, 0});
    Frame(10'000, 70.0f);
    plugin->SetBeaconData(BeaconData{15, 6, 0.0f, 0}); // 75 km/h
    Frame(10'020, 70.0f);
    EXPECT_EQ(Frame(11'020, 80.0f).Brake, 8) << "one frame of 1000 ms over the limit";
    EXPECT_EQ(Frame(11'040, 80.0f).Brake, 4);

    Frame(11'060, 70.0f);
    for (int i = 1; i <= 51; ++i) {
        const std::int32_t brake = Frame(11'060 + 20 * i, 80.0f).Brake;
        ASSERT_EQ(brake, i <= 50 ? 8 : 4) << "frame " << i << " of 20 ms over the limit";
    }
}

TEST_F(SettingsCab, StationApproachLampLightsInside500Metres) {
    Start("");
    Frame(10'000, 40.0f, 1000.0);
    plugin->SetBeaconData(BeaconData{71, 0, 0.0f, 12'126'050}); // lamp at 504 m
    Frame(10'020, 40.0f, 1004.0);
    EXPECT_EQ(panel[27], 0) << "500 m left";
    EXPECT_EQ(panel[28], 0);
    Frame(10'040, 40.0f, 1004.25);
    EXPECT_EQ(panel[27], 1);
    EXPECT_EQ(panel[28], 12);
}

TEST_F(SettingsCab, ARestartKeepsTheTrainHeldUntilTheDriverResetsIt) {
    Start("[TRAIN]\nDefault=4\n", 0);
    EXPECT_EQ(Frame(10'000, 8.0f).Brake, 9) << "rolling in neutral";
    plugin->Initialize(0);
    EXPECT_EQ(Frame(10'020, 0.0f).Brake, 9);
    plugin->SetBrake(9);
    plugin->KeyDown(3);
    plugin->SetBrake(0);
    EXPECT_EQ(Frame(10'040, 0.0f).Brake, 0)
        << "reset at a stand, in neutral, with the emergency brake";
}

} // namespace
} // namespace velqa3
