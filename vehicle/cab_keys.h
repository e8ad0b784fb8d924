// The cab functions the plug-in polls from the keyboard itself, once a frame, and the one-man
// doors their buttons work.
#pragma once

#include "config/keys.h"
#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

namespace OneManBits {
inline constexpr std::uint8_t Right = 0x01; // right-side door button lit
inline constexpr std::uint8_t Left = 0x02;
inline constexpr std::uint8_t Closed = 0x04; // one-man doors closed
inline constexpr std::uint8_t AllCars = 0x08;
inline constexpr std::uint8_t Fitted = 0x80;
} // namespace OneManBits

// Function slots of the key table that the poll reads.
namespace KeySlot {
inline constexpr int Klaxon1 = 24;
inline constexpr int Klaxon2 = 25;
inline constexpr int UtenSW = 43;
inline constexpr int KirokuIC = 44;
inline constexpr int TascSW = 45;
inline constexpr int CurtainUp = 46;
inline constexpr int CurtainDown = 47;
inline constexpr int MasterControllerKey = 48;
inline constexpr int RightDoor = 49;
inline constexpr int LeftDoor = 50;
inline constexpr int AllCar = 51;
inline constexpr int AtsNFB = 52;
inline constexpr int AtsKirikaeRendou = 53;
inline constexpr int AtsKirikaeSW = 54;
inline constexpr int PKaihou = 55;
inline constexpr int PBrakeKaihou = 56;
inline constexpr int EBNFB = 57;
} // namespace KeySlot

inline constexpr std::int32_t kCurtainTop = 100;
inline constexpr std::int32_t kOneManCloseMs = 3500;

struct CabKeys {
    std::uint8_t oneManDoors = 0;
    std::uint8_t previousOneManDoors = 0; // as the previous full frame left it
    std::int32_t oneManCloseTimer = 0;    // ms until the one-man doors close, 0 when idle
    bool ebnfbSwitch = true;
    bool recordSwitch = false;
    std::int32_t curtain = 0; // 0 down .. 100 up
    // The main reservoir as the panel shows it: what the host reports, less the air the horns
    // have drawn since they were last silent.
    float hornReservoir = 0.0f; // kPa
    float hornDrawn = 0.0f;     // kPa, never more than the reservoir holds
    // The keyboard as the previous poll read it: a press is a key's byte changing to down.
    // Kept whole rather than per function, so a frame copies 256 bytes instead of looking up
    // every bound key, and a keyboard that has not changed rules out every press at once.
    unsigned char previousKeyboard[256] = {};
};

// What a poll found for the parts of the plug-in beyond the cab, which the frame driver hands
// on in the order of these bits, the order the keys are polled in. Every bit but one is a
// press; the master-controller key is reported while held, as its own flags tell a new turn
// from a key still held.
namespace CabKeyPressBits {
inline constexpr std::uint16_t RainSwitch = 0x0001; // UtenSW: TASC's wet-rail setting
inline constexpr std::uint16_t TascSwitch = 0x0002;
inline constexpr std::uint16_t MasterKeyHeld = 0x0004;
inline constexpr std::uint16_t ProtectionPower = 0x0008; // AtsNFB
inline constexpr std::uint16_t ChangeOverInterlock = 0x0010;
inline constexpr std::uint16_t ChangeOverSwitch = 0x0020;
inline constexpr std::uint16_t PatternCutOut = 0x0040;
inline constexpr std::uint16_t PatternBrakeRelease = 0x0080;
inline constexpr std::uint16_t EbCircuitOn = 0x0100; // the EB breaker switched back on
inline constexpr std::uint16_t OneManDoorsOpened = 0x0200;
} // namespace CabKeyPressBits

struct CabKeyPresses {
    std::uint16_t bits = 0;

    bool Has(std::uint16_t bit) const { return (bits & bit) != 0; }
};

// Whether the byte of a virtual-key state reports the key down.
inline bool KeyDown(unsigned char keyByte) {
    return (keyByte & 0x80) != 0;
}

// Step 3 of a full frame: works the cab's own functions of every bound key that is held or was
// just pressed (horn air, record switch, curtain, one-man door buttons, EB breaker) and reports
// the rest. hornKpa is Horn in [TRAIN].
CabKeyPresses PollCabKeys(CabKeys& cab, const unsigned char (&keyboard)[256], const KeyTables& keys,
                          const FrameValues& frame, std::int32_t hornKpa);

// Run by the supervision each full frame: a door button that goes dark at a stand closes the
// one-man doors 3500 ms later. Returns true in the frame the doors close.
bool RunOneManCloseTimer(CabKeys& cab, std::int32_t interval);

} // namespace velqa3
