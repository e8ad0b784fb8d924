#include "sim/slot_names.h"

#include "host/slots.h"

namespace velqa3::sim {

namespace {

using Row = const SlotRow* (*)(int);

void Name(std::array<std::string, 256>& names, const char* kind, Row row,
          const std::uint8_t* moves) {
    std::array<bool, 256> named{};
    for (int index = 0; index < 256; ++index)
        names[static_cast<std::size_t>(index)] = kind + std::to_string(index);
    for (int slot = 0; slot < 256; ++slot) {
        const SlotRow* found = row(slot);
        if (found == nullptr) continue;
        const auto index = static_cast<std::size_t>(moves != nullptr ? moves[slot] : slot);
        std::string& name = names[index];
        // Two slots moved onto one index both show there.
        name += named[index] ? " / " : " ";
        named[index] = true;
        name += found->name.en;
        if (index != static_cast<std::size_t>(slot)) name += " (slot " + std::to_string(slot) + ")";
    }
}

std::string_view Named(const std::array<std::string, 256>& names, std::string_view outside,
                       int index) {
    if (index < 0 || index > 255) return outside;
    return names[static_cast<std::size_t>(index)];
}

} // namespace

SlotNames::SlotNames() {
    Name(panel_, "panel ", PanelSlotRow, nullptr);
    Name(sound_, "sound ", SoundSlotRow, nullptr);
}

void SlotNames::Remap(const std::uint8_t (&panel)[256], const std::uint8_t (&sound)[256]) {
    Name(panel_, "panel ", PanelSlotRow, panel);
    Name(sound_, "sound ", SoundSlotRow, sound);
}

std::string_view SlotNames::Panel(int index) const {
    return Named(panel_, "panel ?", index);
}

std::string_view SlotNames::Sound(int index) const {
    return Named(sound_, "sound ?", index);
}

} // namespace velqa3::sim
