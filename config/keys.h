// Keyboard keys bound to cab functions.
#pragma once

#include <cstdint>

namespace velqa3 {

inline constexpr int kKeySlots = 60;

// Slots whose start-up codes no Windows key produces, so the switch is unbound until the
// settings name a key.
inline constexpr int kSlotAtsNFB = 52;
inline constexpr int kSlotEBNFB = 57;

// Filled once at attach. The key bytes the poll compares with change every frame and live with
// the cab (vehicle/cab_keys.h).
struct KeyTables {
    std::int32_t assign[kKeySlots] = {}; // virtual-key code per function slot
};

// State before the settings are read: everything unbound, the ATS switches on dead codes.
inline void ResetKeyTables(KeyTables& keys) {
    keys = KeyTables{};
    keys.assign[kSlotAtsNFB] = 0x88;
    keys.assign[53] = 0x89;
    keys.assign[54] = 0x8A;
    keys.assign[55] = 0x8B;
    keys.assign[kSlotEBNFB] = 0x8C;
}

// One line of the [KEY] section: "Name=code" binds the code to the name's slot as written;
// the check below decides later whether the code can stay. Returns the slot, or -1 when the
// line names no function.
int ReadKeyLine(const char* line, KeyTables& keys);

// The [KEY] names, for the settings checker.
struct KeyNameInfo {
    const char* name;
    int slot;
    const char* function;   // what the key does, or null for a slot no function reads
    const char* functionJa; // the same in Japanese, for the guide
};
int KeyNameCount();
const KeyNameInfo& KeyNameAt(int index);
// The name of a slot, or null for a slot without one.
const char* KeyNameOfSlot(int slot);

// After the whole file: codes outside 0..255 unbind their slot, and F1..F12 are refused for
// the functions of slots 0..49.
void CheckKeyTable(KeyTables& keys);

} // namespace velqa3
