// The slot table the guide, velqa3-check and velqa3-sim explain, held against what the plug-in
// really writes: a cab wired from the guide must find every slot where the guide says it is.
#include "host/slots.h"
#include "plugin/plugin.h"
#include "tests/support/vehicle_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <span>
#include <string>

#include <unistd.h>

namespace velqa3 {
namespace {

namespace fs = std::filesystem;

std::set<int> TableSlots(std::span<const SlotRow> rows) {
    std::set<int> slots;
    for (const SlotRow& row : rows)
        slots.insert(row.slot);
    return slots;
}

std::string Listed(const std::set<int>& slots) {
    std::string text;
    for (int slot : slots)
        text += " " + std::to_string(slot);
    return text.empty() ? " none" : text;
}

// Every text a row shows ends up in a cell of a Markdown table and on a terminal.
void ExpectPrintable(const SlotText& text, bool required, int slot) {
    for (const char* t : {text.en, text.ja}) {
        ASSERT_NE(t, nullptr) << "slot " << slot;
        if (required) {
            EXPECT_GT(std::strlen(t), 0u) << "slot " << slot;
        }
        EXPECT_EQ(std::strpbrk(t, "|\n\r\t"), nullptr) << "slot " << slot << ": " << t;
    }
}

void ExpectWellFormed(std::span<const SlotRow> rows, const SlotRow* (*lookup)(int)) {
    int previous = -1;
    for (const SlotRow& row : rows) {
        EXPECT_GT(row.slot, previous) << "rows in ascending order, each slot once";
        EXPECT_LT(row.slot, 256);
        previous = row.slot;
        EXPECT_EQ(lookup(row.slot), &row);
        ExpectPrintable(row.name, true, row.slot);
        ExpectPrintable(row.values, true, row.slot);
        ExpectPrintable(row.settings, false, row.slot);
    }
    const std::set<int> listed = TableSlots(rows);
    for (int slot : {-1, 256, 1 << 30})
        EXPECT_EQ(lookup(slot), nullptr);
    for (int slot = 0; slot < 256; ++slot)
        if (listed.count(slot) == 0) {
            EXPECT_EQ(lookup(slot), nullptr) << slot;
        }
}

TEST(SlotTable, RowsAreUniqueInRangeAndFitATableCell) {
    ExpectWellFormed(PanelSlotRows(), PanelSlotRow);
    ExpectWellFormed(SoundSlotRows(), SoundSlotRow);
    EXPECT_EQ(PanelSlotRow(kSuspendPanelIndex), nullptr) << "the host's pause entry is an input";
}

// A plug-in attached beside a settings file, driven through a run that touches every part of
// the cab. Before each frame the host's arrays are filled with a sentinel; an entry that holds
// something else afterwards was written. The sentinels alternate between the host's
// play-once command, which every sound that keeps its own command turns into 2, and a number no
// stage writes, which a lit lamp cannot hide.
class WrittenSlots : public testing::Test {
  protected:
    static constexpr std::int32_t kSentinels[] = {kSoundPlayOnce, 0x5A5A5A5};

    fs::path folder = fs::temp_directory_path() / ("velqa3-slots-" + std::to_string(getpid()));
    std::set<int> panelWritten;
    std::set<int> soundWritten;

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    void Drive(const std::string& settingsText) {
        std::ofstream(folder / "velqa3.dat") << settingsText;
        auto plugin = std::make_unique<Plugin>();
        testing::internal::CaptureStderr();
        plugin->Attach((folder / "velqa3.dll").string().c_str());
        testing::internal::GetCapturedStderr();
        plugin->SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
        plugin->Initialize(0);

        std::int32_t time = 36'000'000;
        int frame = 0;
        const auto run = [&](int frames, float speed, float current = 0.0f) {
            for (int i = 0; i < frames; ++i, ++frame) {
                const std::int32_t sentinel = kSentinels[frame % 2];
                std::int32_t panel[kPanelSize];
                std::int32_t sound[kSoundSize];
                std::fill(std::begin(panel), std::end(panel), sentinel);
                std::fill(std::begin(sound), std::end(sound), sentinel);
                panel[kSuspendPanelIndex] = 0;
                VehicleState state = test::StateAt(time += 30, speed, speed * frame);
                state.Current = current;
                state.BcPressure = speed == 0.0f ? 400.0f : 0.0f;
                plugin->Elapse(state, panel, sound);
                for (int index = 0; index < kPanelSize; ++index)
                    if (index != kSuspendPanelIndex && panel[index] != sentinel)
                        panelWritten.insert(index);
                for (int index = 0; index < kSoundSize; ++index)
                    if (sound[index] != sentinel) soundWritten.insert(index);
            }
        };

        run(40, 0.0f); // the start-up test, standing
        plugin->SetReverser(1);
        plugin->KeyDown(11);
        plugin->KeyDown(15);
        run(10, 0.0f);
        plugin->KeyUp(11);
        plugin->KeyUp(15);
        plugin->KeyDown(13);
        run(10, 0.0f);
        plugin->KeyUp(13);
        // One-man door buttons, as the keyboard poll would light them.
        plugin->cab.keys.oneManDoors ^= OneManBits::Right | OneManBits::Left | OneManBits::Closed;
        run(5, 0.0f);
        plugin->cab.keys.oneManDoors ^= OneManBits::Right | OneManBits::Left | OneManBits::Closed;
        run(5, 0.0f);
        plugin->SetPower(3);
        run(30, 40.0f, 300.0f);
        plugin->SetPower(0);
        plugin->SetBrake(4);
        run(30, 40.0f, -300.0f);
        // An immediate-stop beacon: the automatic brake and its alarm while moving.
        plugin->SetBeaconData(BeaconData{1, 0, 0.0f, 0});
        run(60, 40.0f, -300.0f);
        plugin->protection.mode.cabSignalMode = 1;
        run(5, 20.0f);
    }
};

TEST_F(WrittenSlots, EverySlotThePlugInWritesHasARowAndEveryRowIsWritten) {
    // Plain, and then with every piece of equipment whose slots are written only when fitted.
    Drive("");
    Drive("[TRAIN]\nEmgBrake=1\nPlusBrake=1\nHoldBrake=1\n\n[EXTRA]\nOneman=1\n\n"
          "[TASC]\nUse=1\nMode=3\nPlatformDoor=2\n\n[MEITETSU]\nOSR=1\n\n"
          "[JRC313]\nT-PriorityStart=30\n\n[DC25]\nMode=2\n\n[PANEL]\nStation=1\nCarNumber=1\n");
    Drive("[MEITETSU]\nPRR=1\n\n[JRC313]\nConstant=1\n");

    const std::set<int> panelRows = TableSlots(PanelSlotRows());
    const std::set<int> soundRows = TableSlots(SoundSlotRows());
    std::set<int> panelWithoutRow, panelNeverWritten, soundWithoutRow, soundNeverWritten;
    for (int slot : panelWritten)
        if (panelRows.count(slot) == 0) panelWithoutRow.insert(slot);
    for (int slot : panelRows)
        if (panelWritten.count(slot) == 0) panelNeverWritten.insert(slot);
    for (int slot : soundWritten)
        if (soundRows.count(slot) == 0) soundWithoutRow.insert(slot);
    for (int slot : soundRows)
        if (soundWritten.count(slot) == 0) soundNeverWritten.insert(slot);
    EXPECT_TRUE(panelWithoutRow.empty())
        << "panel slots written without a row:" << Listed(panelWithoutRow);
    EXPECT_TRUE(panelNeverWritten.empty())
        << "panel rows never written:" << Listed(panelNeverWritten);
    EXPECT_TRUE(soundWithoutRow.empty())
        << "sound slots written without a row:" << Listed(soundWithoutRow);
    EXPECT_TRUE(soundNeverWritten.empty())
        << "sound rows never written:" << Listed(soundNeverWritten);
}

} // namespace
} // namespace velqa3
