// Attach, the vehicle's dimensions and initialisation, on fresh plug-in instances.
#include "plugin/plugin.h"
#include "tests/support/vehicle_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include <unistd.h>

namespace velqa3 {
namespace {

namespace fs = std::filesystem;

// A module folder with an optional settings file; attaches a fresh instance from there.
class Attached : public testing::Test {
  protected:
    fs::path folder = fs::temp_directory_path() / ("velqa3-lifecycle-" + std::to_string(getpid()));
    std::unique_ptr<Plugin> plugin = std::make_unique<Plugin>();
    std::string messages;

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    void Attach(const char* settings = nullptr) {
        if (settings != nullptr) std::ofstream(folder / "velqa3.dat") << settings;
        testing::internal::CaptureStderr();
        plugin->Attach((folder / "velqa3.dll").string().c_str());
        messages = testing::internal::GetCapturedStderr();
    }
};

TEST_F(Attached, AttachFindsItsFilesAndStartsTheProtectionWithoutAMasterKey) {
    Attach("");
    EXPECT_EQ(messages, "");
    EXPECT_EQ(fs::path(plugin->settingsPath), folder / "velqa3.dat");
    EXPECT_EQ(fs::path(plugin->recordPath), folder / "velqa3.csv");
    EXPECT_EQ(plugin->protection.mode.atsMode, 2);
    EXPECT_EQ(plugin->protection.mode.atsModePanel, 2);
    EXPECT_EQ(plugin->protection.mode.atsStarted, 1);
}

TEST_F(Attached, TheFirstFrameDoesNotClickTheKeyWhereItStarts) {
    Attach(""); // no master-controller key: it stands in position 2 from the start
    plugin->SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
    plugin->Initialize(0);
    std::int32_t panel[kPanelSize] = {}, sound[kSoundSize] = {};
    plugin->Elapse(test::StateAt(36'000'000), panel, sound);
    EXPECT_NE(sound[252], kSoundPlayOnce);
}

TEST_F(Attached, AttachHandsTheSettingsSeedsOverAndChecksTheKeys) {
    Attach("[TRAIN]\nDefault=0x14\n\n[KEY]\nKlaxon1=300\nLeftDoor=0x70\nRightDoor=0x70\n");
    EXPECT_EQ(plugin->protection.mode.lineCode, 20);
    EXPECT_EQ(plugin->protection.mode.atsMode, 16);
    EXPECT_EQ(plugin->keys.assign[49], 0) << "checked as the key table's test has it";
    EXPECT_EQ(plugin->keys.assign[50], 0x70);
}

TEST_F(Attached, SettingsActOnTheProtectionsAtTheirOwnLine) {
    // MKey 0 starts the protection with the Default read so far; the later Default is too late.
    Attach("[TRAIN]\nMKey=0\nDefault=0x14\nMaxSpeed=5\nOSR=1\n\n"
           "[EXTRA]\nOneman=1\n\n[TASC]\nUse=1\nMode=3\nPlatformDoor=2\n");
    EXPECT_EQ(plugin->protection.mode.lineCode, 0x14);
    EXPECT_EQ(plugin->protection.mode.atsMode, AtsModeBits::Spot);
    EXPECT_EQ(plugin->protection.mode.atsStarted, 1);
    EXPECT_FLOAT_EQ(plugin->protection.ptc.limDoMax, 10.0f) << "MaxSpeed below 10 counts as 10";
    EXPECT_EQ(plugin->protection.stc.osrMode, 1);
    EXPECT_EQ(plugin->cab.keys.oneManDoors, OneManBits::Fitted | OneManBits::Closed);
    EXPECT_TRUE(plugin->aids.tasc.installed && plugin->aids.tasc.switchedOn);
    EXPECT_EQ(plugin->aids.tasc.mode, 3);
    EXPECT_EQ(plugin->aids.platformDoors.flags,
              PlatformDoorBits::DoorsFitted | PlatformDoorBits::DoorsLinked);
    EXPECT_EQ(plugin->aids.platformDoors.lampVariant, 1);
}

TEST_F(Attached, AConfiguredMasterKeyLeavesTheProtectionOff) {
    Attach("[TRAIN]\nMKey=2\n");
    EXPECT_EQ(plugin->cab.inputs.masterKeyFlags, 0xD0);
    EXPECT_EQ(plugin->cab.inputs.masterKeyPosition, 0);
    EXPECT_EQ(plugin->protection.mode.atsMode, 0);
    EXPECT_EQ(plugin->protection.mode.atsStarted, 0);
}

TEST_F(Attached, SecondAttachDoesNothing) {
    Attach(nullptr);
    EXPECT_NE(messages, "");
    std::ofstream(folder / "velqa3.dat") << "[TASC]\nNotch=12\n";
    testing::internal::CaptureStderr();
    plugin->Attach((folder / "velqa3.dll").string().c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(plugin->settings.tascNotch, 2);
}

TEST_F(Attached, VehicleSpecSetsDimensionsTrainLengthAndSpeedCheckTable) {
    Attach("");
    plugin->aids.supervision.brakeDemand = 0xFF;
    plugin->SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
    EXPECT_EQ(plugin->dims.emergencyNotch, 9);
    EXPECT_FLOAT_EQ(plugin->dims.trainLength, 200.0f);
    EXPECT_EQ(plugin->aids.supervision.brakeDemand, 0);
    EXPECT_EQ(plugin->aids.supervision.speedCheck.limit[0], -5);
    EXPECT_EQ(plugin->aids.supervision.speedCheck.limit[19], 135);
}

TEST(VehicleSpec, TascStepsAreAtLeastTheServiceNotches) {
    const auto steps = [](std::int32_t notch, std::uint8_t hold, std::int32_t serviceNotches) {
        auto plugin = std::make_unique<Plugin>();
        plugin->settings.tascNotch = notch;
        plugin->settings.holdBrake = hold;
        plugin->SetVehicleSpec(VehicleSpec{serviceNotches, 5, 2, 6, 10});
        return plugin->aids.tasc.notchSteps;
    };
    EXPECT_EQ(steps(2, 0, 8), 8);
    EXPECT_EQ(steps(2, 1, 8), 7);
    EXPECT_EQ(steps(12, 1, 8), 12);
    EXPECT_EQ(steps(2, 1, INT32_MAX), INT32_MAX - 1);
}

TEST(VehicleSpec, ConfiguredLengthWinsOverCarsAndNotchesNeverWrap) {
    auto plugin = std::make_unique<Plugin>();
    plugin->settings.length = 134.5f;
    plugin->SetVehicleSpec(VehicleSpec{INT32_MAX, 0, 0, 0, INT32_MIN});
    EXPECT_FLOAT_EQ(plugin->dims.trainLength, 134.5f);
    EXPECT_EQ(plugin->dims.emergencyNotch, INT32_MAX);
}

} // namespace
} // namespace velqa3
