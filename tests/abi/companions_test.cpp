// Companion plug-ins beside the library: which of the host's calls reach them, in what order,
// whose panel writes stay, and what a missing or broken companion does.
#include "tests/abi/plugin_fixture.h"
#include "tests/support/read_file.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velqa3::test {
namespace {

constexpr const char* kBoth = "[EXTRA]\nHybrid=1\nTameo=1\n";

std::string CompanionLog(const LoadedPlugin& plugin) {
    return ReadWholeFile(plugin.folder() / "companions.log");
}

TEST(Companions, GetTheirCallsInTheHostsOrderAndNothingElse) {
    LoadedPlugin plugin(
        kBoth, {{"Norvelid.so", VELQA3_COMPANION_FULL}, {"Tameo.so", VELQA3_COMPANION_FULL}});
    EXPECT_EQ(plugin.attachOutput().find("Norvelid"), std::string::npos) << "found, no message";
    plugin.StartRun(VehicleSpec{8, 5, 2, 6, 10});
    plugin.api().KeyDown(2);
    plugin.api().KeyUp(2);
    plugin.api().SetBrake(3);
    plugin.Frame(36'000'000);
    plugin.panel[kSuspendPanelIndex] = 1; // a suspended frame reaches no companion
    plugin.Frame(36'000'016);
    plugin.api().Dispose();
    plugin.api().Dispose(); // twice: the companions are gone already
    EXPECT_EQ(CompanionLog(plugin), "Norvelid Load\n"
                                    "Norvelid SetVehicleSpec 8 5 2 6 10\n"
                                    "Norvelid Initialize 0\n"
                                    "Tameo Elapse 36000000\n"
                                    "Norvelid Elapse 36000000\n"
                                    "Norvelid Dispose\n"
                                    "Tameo Dispose\n");
}

TEST(Companions, NorvelidWritesLastSoItsPanelAndSoundStayAndHandlesAreNeverItsOwn) {
    LoadedPlugin plugin(
        kBoth, {{"Norvelid.so", VELQA3_COMPANION_FULL}, {"Tameo.so", VELQA3_COMPANION_FULL}});
    plugin.StartRun();
    EXPECT_EQ(plugin.Frame(36'000'000), (HandleOutput{0, 0, 0, 0}));
    for (int i = 0; i < kPanelSize; ++i) {
        if (i == kSuspendPanelIndex) continue;
        ASSERT_EQ(plugin.panel[i], 7) << "panel " << i;
    }
    for (int i = 0; i < kSoundSize; ++i)
        ASSERT_EQ(plugin.sound[i], 7) << "sound " << i;
    EXPECT_EQ(plugin.panel[kSuspendPanelIndex], 0);
}

TEST(Companions, MissingOnesAreReportedAndTheRunGoesOn) {
    struct Case {
        const char* what;
        LoadedPlugin::Beside beside;
        bool message;
        const char* log;
    };
    const std::filesystem::path notALibrary =
        std::filesystem::temp_directory_path() / "velqa3-not-a-library.so";
    std::ofstream(notALibrary, std::ios::binary) << "MZ this is text, not a library";
    const Case cases[] = {
        {"none beside", {}, true, ""},
        {"not a library", {{"Norvelid.so", notALibrary}, {"Tameo.so", notALibrary}}, true, ""},
        {"Elapse alone",
         {{"Norvelid.so", VELQA3_COMPANION_PARTIAL}, {"Tameo.so", VELQA3_COMPANION_PARTIAL}},
         false,
         "Tameo Elapse 36000000\nNorvelid Elapse 36000000\n"},
    };
    for (const Case& c : cases) {
        LoadedPlugin plugin(kBoth, c.beside);
        const bool message =
            plugin.attachOutput().find(
                "ATS-PTプラグイン読み込み: Norvelid！プラグインが見つかりませんでした\n") !=
            std::string::npos;
        EXPECT_EQ(message, c.message) << c.what;
        plugin.StartRun();
        plugin.Frame(36'000'000);
        plugin.api().Dispose();
        EXPECT_EQ(CompanionLog(plugin), c.log) << c.what;
    }
    std::filesystem::remove(notALibrary);
}

TEST(Companions, StayUnloadedUnlessTheSettingsAskForThem) {
    LoadedPlugin plugin(std::nullopt, {{"Norvelid.so", VELQA3_COMPANION_FULL},
                                       {"Tameo.so", VELQA3_COMPANION_FULL}});
    plugin.StartRun();
    plugin.Frame(36'000'000);
    plugin.api().Dispose();
    EXPECT_EQ(CompanionLog(plugin), "");
}

} // namespace
} // namespace velqa3::test
