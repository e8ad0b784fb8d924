#include "vehicle/cab_keys.h"

#include "platform/platform.h"

#include <cmath>
#include <cstring>

namespace velqa3 {

namespace {

constexpr std::int32_t kCurtainStepMs = 50;

// The byte of the key bound to a slot. A code the table could not hold reads as a key up, so
// no slot can index outside the keyboard table.
unsigned char KeyByte(const unsigned char (&keyboard)[256], const KeyTables& keys, int slot) {
    const std::int32_t code = keys.assign[slot];
    return code >= 0 && code <= 255 ? keyboard[code] : 0;
}

struct Poll {
    const unsigned char (&keyboard)[256];
    const KeyTables& keys;
    const CabKeys& cab;
    bool keyboardChanged; // since the previous poll; most frames nothing has

    bool Held(int slot) const { return KeyDown(KeyByte(keyboard, keys, slot)); }
    // Held now and not held the same way at the previous poll: once per press.
    bool Pressed(int slot) const {
        if (!keyboardChanged) return false;
        const unsigned char byte = KeyByte(keyboard, keys, slot);
        return KeyDown(byte) && byte != KeyByte(cab.previousKeyboard, keys, slot);
    }
};

void Toggle(std::uint8_t& flags, std::uint8_t bit) {
    flags = static_cast<std::uint8_t>(flags ^ bit);
}

void Clear(std::uint8_t& flags, std::uint8_t bit) {
    flags = static_cast<std::uint8_t>(flags & ~bit);
}

// Each frame with a horn held draws more air; the first frame without one shows the reservoir
// as the host reports it again. The display never goes below an empty reservoir, however long
// the horn is held.
void DrawHornAir(CabKeys& cab, const Poll& poll, float mrPressure, std::int32_t hornKpa) {
    bool blowing = false;
    constexpr int kHorns[] = {KeySlot::Klaxon1, KeySlot::Klaxon2};
    for (int slot : kHorns) {
        if (!poll.Held(slot)) continue;
        blowing = true;
        const float draw =
            static_cast<float>(hornKpa) - 10.0f + static_cast<float>(platform::Random() % 20);
        // A horn only ever takes air; a Horn below 10 kPa must not fill the reservoir.
        if (draw > 0.0f) cab.hornDrawn += draw;
    }
    if (!blowing) cab.hornDrawn = 0.0f;
    const float held = std::isfinite(mrPressure) && mrPressure > 0.0f ? mrPressure : 0.0f;
    if (!(cab.hornDrawn <= held)) cab.hornDrawn = held;
    cab.hornReservoir = mrPressure - cab.hornDrawn;
}

// The keys are looked at before the clock: most frames neither is held, and the boundary test
// costs two divisions.
void MoveCurtain(CabKeys& cab, const Poll& poll, const FrameValues& frame) {
    const bool up = poll.Held(KeySlot::CurtainUp) && cab.curtain < kCurtainTop;
    const bool down = poll.Held(KeySlot::CurtainDown) && cab.curtain > 0;
    if (!up && !down) return;
    if (!CrossesBoundary(frame.clock, frame.interval, kCurtainStepMs)) return;
    if (up) ++cab.curtain;
    if (down) --cab.curtain;
}

// A door button lights and opens the doors only at a stand with both buttons dark; pressed
// again at a stand it goes dark, and the close timer takes over.
void PressDoorButton(CabKeys& cab, std::uint8_t button, float speed, std::uint16_t& presses) {
    if (speed != 0.0f) return;
    constexpr std::uint8_t kButtons = OneManBits::Right | OneManBits::Left;
    if ((cab.oneManDoors & kButtons) == 0) {
        cab.oneManDoors |= button;
        presses |= CabKeyPressBits::OneManDoorsOpened;
    } else {
        Clear(cab.oneManDoors, button);
    }
}

void WorkOneManButtons(CabKeys& cab, const Poll& poll, float speed, std::uint16_t& presses) {
    if ((cab.oneManDoors & OneManBits::Fitted) == 0) return;
    if (poll.Pressed(KeySlot::RightDoor)) PressDoorButton(cab, OneManBits::Right, speed, presses);
    if (poll.Pressed(KeySlot::LeftDoor)) PressDoorButton(cab, OneManBits::Left, speed, presses);
    if (poll.Pressed(KeySlot::AllCar)) Toggle(cab.oneManDoors, OneManBits::AllCars);
}

// The EB breaker is the cab's own switch; only switching it back on reaches the protection.
void WorkEbBreaker(CabKeys& cab, const Poll& poll, std::uint16_t& presses) {
    if (!poll.Pressed(KeySlot::EBNFB)) return;
    cab.ebnfbSwitch = !cab.ebnfbSwitch;
    if (cab.ebnfbSwitch) presses |= CabKeyPressBits::EbCircuitOn;
}

} // namespace

CabKeyPresses PollCabKeys(CabKeys& cab, const unsigned char (&keyboard)[256], const KeyTables& keys,
                          const FrameValues& frame, std::int32_t hornKpa) {
    using namespace CabKeyPressBits;
    const bool changed = std::memcmp(keyboard, cab.previousKeyboard, sizeof keyboard) != 0;
    const Poll poll{.keyboard = keyboard, .keys = keys, .cab = cab, .keyboardChanged = changed};
    std::uint16_t presses = 0;
    DrawHornAir(cab, poll, frame.mrPressure, hornKpa);
    if (poll.Pressed(KeySlot::UtenSW)) presses |= RainSwitch;
    if (poll.Pressed(KeySlot::KirokuIC)) cab.recordSwitch = !cab.recordSwitch;
    if (poll.Pressed(KeySlot::TascSW)) presses |= TascSwitch;
    MoveCurtain(cab, poll, frame);
    if (poll.Held(KeySlot::MasterControllerKey)) presses |= MasterKeyHeld;
    WorkOneManButtons(cab, poll, frame.speed, presses);
    if (poll.Pressed(KeySlot::AtsNFB)) presses |= ProtectionPower;
    if (poll.Pressed(KeySlot::AtsKirikaeRendou)) presses |= ChangeOverInterlock;
    if (poll.Pressed(KeySlot::AtsKirikaeSW)) presses |= ChangeOverSwitch;
    if (poll.Pressed(KeySlot::PKaihou)) presses |= PatternCutOut;
    if (poll.Pressed(KeySlot::PBrakeKaihou)) presses |= PatternBrakeRelease;
    WorkEbBreaker(cab, poll, presses);
    if (changed) std::memcpy(cab.previousKeyboard, keyboard, sizeof keyboard);
    return CabKeyPresses{presses};
}

bool RunOneManCloseTimer(CabKeys& cab, std::int32_t interval) {
    if ((cab.oneManDoors & OneManBits::Fitted) == 0) return false;
    constexpr std::uint8_t kButtons = OneManBits::Right | OneManBits::Left;
    // A lit button holds the doors open: lighting one again cancels a close still pending.
    if ((cab.oneManDoors & kButtons) != 0) {
        cab.oneManCloseTimer = 0;
        return false;
    }
    // The button went dark in this frame, which already counts towards the delay.
    if ((cab.oneManDoors & OneManBits::Closed) == 0 && (cab.previousOneManDoors & kButtons) != 0)
        cab.oneManCloseTimer = kOneManCloseMs;
    if (cab.oneManCloseTimer == 0) return false;
    const std::int64_t left = std::int64_t{cab.oneManCloseTimer} - (interval > 0 ? interval : 0);
    if (left > 0) {
        cab.oneManCloseTimer = static_cast<std::int32_t>(left);
        return false;
    }
    cab.oneManCloseTimer = 0;
    return true;
}

} // namespace velqa3
