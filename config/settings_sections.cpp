#include "config/settings_sections.h"

#include "config/numbers.h"
#include "platform/platform.h"

#include <cstdarg>
#include <cstring>

namespace velqa3 {

namespace {

constexpr const char* kTrainOsrText = "[TRAIN]OSR は [MEITETTSU]OSRに記述してください";

using Context = SettingsContext;

// What a checker sees of a rule; without a listener these return at once.
void Stored(const Context& t, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Stored(const Context& t, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    NoteSettingv(t.diagnostics, SettingsFinding::Setting, format, arguments);
    va_end(arguments);
}
void Adjusted(const Context& t, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Adjusted(const Context& t, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    NoteSettingv(t.diagnostics, SettingsFinding::Adjusted, format, arguments);
    va_end(arguments);
}
void Unchanged(const Context& t, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Unchanged(const Context& t, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    NoteSettingv(t.diagnostics, SettingsFinding::Unchanged, format, arguments);
    va_end(arguments);
}

int TextLength(const char* text) {
    int length = 0;
    while (text[length] != '\0' && text[length] != '\n')
        ++length;
    return length;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A value the conversion could not take whole: nothing numeric, a number too large, or text
// glued to the number ("1.5" where an integer belongs, "12abc"). Text after a blank is taken
// for a remark and passes.
void CheckNumber(const char* v, const NumberScan& scan, std::int32_t value, const Context& t) {
    if (t.diagnostics == nullptr) return;
    if (!scan.number) {
        NoteSettingf(t.diagnostics, SettingsFinding::NotANumber,
                     TextLength(v) == 0 ? "no value after '='; it reads as 0"
                                        : "'%.*s' is not a number; it reads as 0",
                     TextLength(v), v);
        return;
    }
    if (scan.replaced)
        NoteSettingf(t.diagnostics, SettingsFinding::Adjusted,
                     "'%.*s' is beyond the 32-bit range; it reads as %d", TextLength(v), v, value);
    const char* rest = scan.end;
    if (*rest != '\0' && *rest != '\n' && !IsBlank(*rest))
        NoteSettingf(t.diagnostics, SettingsFinding::NotANumber,
                     "'%.*s' after the number is ignored", TextLength(rest), rest);
}

std::int32_t Int(const char* v, const Context& t) {
    NumberScan scan;
    const std::int32_t value = ParseLong(v, scan);
    CheckNumber(v, scan, value, t);
    return value;
}

float Real(const char* v, const Context& t) {
    NumberScan scan;
    const float value = ParseFloat(v, scan);
    if (t.diagnostics != nullptr && scan.number && scan.replaced) {
        Adjusted(t, "'%.*s' is no finite number; it reads as 0", TextLength(v), v);
        scan.replaced = false;
    }
    CheckNumber(v, scan, 0, t);
    return value;
}

// Narrowings of a parsed 32-bit value to the width a key stores, through its unsigned form so
// that every build cuts the same bits.
std::uint8_t Low8(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}
std::int8_t Low8Signed(std::int32_t value) {
    const int bits = Low8(value);
    return static_cast<std::int8_t>(bits >= 128 ? bits - 256 : bits);
}
std::uint16_t Low16(std::int32_t value) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}
std::uint8_t Flag(std::int32_t value, const Context& t) {
    if (value != 0 && value != 1) Adjusted(t, "%d is not 0 or 1; it counts as 1", value);
    return value != 0 ? 1 : 0;
}
std::int32_t NotBelowZero(std::int32_t value, const Context& t) {
    if (value < 0) Adjusted(t, "%d is below 0; 0 is stored", value);
    return value < 0 ? 0 : value;
}
float NotBelowZero(float value, const Context& t) {
    if (value < 0.0f) Adjusted(t, "%g is below 0; 0 is stored", value);
    return value < 0.0f ? 0.0f : value;
}
float AtLeastTen(float value, const Context& t) {
    if (value < 10.0f) Adjusted(t, "%g is below 10; 10 is stored", value);
    return value < 10.0f ? 10.0f : value;
}

// A key that only ever sets its bit: a zero after an earlier non-zero line cannot clear it.
void SetOnly(std::uint8_t& bits, std::uint8_t bit, bool set, const Context& t) {
    if (set) bits |= bit;
    if (!set && (bits & bit) != 0) Unchanged(t, "0 cannot clear what an earlier line set");
    Stored(t, "%s", (bits & bit) != 0 ? "on" : "off");
}

// A float truncated toward zero; beyond the int32 range it saturates, as the integer keys do.
std::int32_t TruncateToInt(float value) {
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Host texts: the rest of the line without its line break. A longer text than the field keeps
// its first 51 characters, so a mistyped line can never run past the field.
void CopyHostText(const char* value, char (&field)[kHostTextSize], const Context& t) {
    std::size_t length = 0;
    while (length < kHostTextSize - 1 && value[length] != '\0' && value[length] != '\n')
        ++length;
    std::memset(field, 0, sizeof field);
    std::memcpy(field, value, length);
    if (t.diagnostics == nullptr) return;
    if (value[length] != '\0' && value[length] != '\n')
        NoteSettingf(t.diagnostics, SettingsFinding::TextCut,
                     "the text is longer than %d characters; only '%s' is kept", kHostTextSize - 1,
                     field);
    if (length > 0 && IsBlank(field[length - 1]))
        Adjusted(t, "the blanks at the end are part of the address");
    Stored(t, "'%s'", field);
}

// Without a key of its own the driver never inserts one, so the protection starts at once.
void MasterKey(std::int32_t type, const Context& t) {
    Settings& s = t.settings;
    if (type == 1 || type == 2) {
        s.masterKeyFlags = type == 1 ? 0x90 : 0xD0;
        s.masterKeyPosition = 0;
        Stored(t, "key type %d: the driver inserts the key", type);
        return;
    }
    s.masterKeyFlags = 0x41;
    s.masterKeyPosition = 2;
    if (type != 0) Adjusted(t, "%d is not 1 or 2; the train has no key", type);
    Stored(t, "no key: the protection starts at once");
    if (t.hooks.masterKeyStartup != nullptr) t.hooks.masterKeyStartup(t.hooks.context, s);
}

using Apply = void (*)(const char* value, const Context& t);

struct KeyRule {
    const char* key;
    Apply apply;
    SettingsKeyDoc doc;
};

constexpr SettingsRepeat kLater = SettingsRepeat::LaterWins;
constexpr SettingsRepeat kSets = SettingsRepeat::OnlySets;

constexpr KeyRule kTrainKeys[] = {
    {"Default",
     [](const char* v, const Context& t) {
         t.settings.defaultLineCode = Int(v, t);
         Stored(t, "%d", t.settings.defaultLineCode);
     },
     {"int", "4", "any",
      "line equipment at start (the initial line code; bit 4: pattern protection)", kLater}},
    {"PlusBrake",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.plusBrakeConfigured, 1, Int(v, t) != 0, t);
     },
     {"bit", "off", "non-zero sets it, zero leaves it", "the train has the pressure-increase brake",
      kSets}},
    {"PlusEB",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.plusBrakeEmergencyBoost, 1, Int(v, t) != 0, t);
     },
     {"bit", "off", "non-zero sets it, zero leaves it",
      "pressure increase also on the emergency brake", kSets}},
    {"HoldBrake",
     [](const char* v, const Context& t) {
         t.settings.holdBrake = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.holdBrake);
     },
     {"flag", "0", "non-zero gives 1", "brake handle notch 1 is a holding-brake notch", kLater}},
    {"SnowBrake",
     [](const char* v, const Context& t) {
         const std::int32_t kpa = Int(v, t);
         t.settings.snowBrake = kpa < 0 || kpa > 999 ? 0 : kpa;
         if (t.settings.snowBrake != kpa) Adjusted(t, "%d is outside 0..999; 0 is stored", kpa);
         Stored(t, "%d kPa", t.settings.snowBrake);
     },
     {"int, kPa", "0", "0..999; below 0 or above 999 gives 0", "snow-brake pressure", kLater}},
    {"Length",
     [](const char* v, const Context& t) {
         t.settings.length = Real(v, t);
         Stored(t, "%g m", t.settings.length);
     },
     {"float, m", "0", "any", "train length; 0 means the number of cars times 20 m", kLater}},
    {"EmgBrake",
     [](const char* v, const Context& t) {
         const std::int32_t value = Int(v, t);
         const std::int8_t mode = Low8Signed(value);
         if (mode != value) Adjusted(t, "only the low 8 bits of %d count: %d", value, mode);
         t.settings.emgBrake = mode < 0 || mode > 3 || mode == 2 ? 1 : mode;
         if (t.settings.emgBrake != mode) Adjusted(t, "%d is not 0, 1 or 3; 1 is stored", mode);
         Stored(t, "%d", t.settings.emgBrake);
     },
     {"int8", "0", "the low 8 bits as a signed number; anything but 0, 1 or 3 gives 1",
      "vigilance (EB device) mode", kLater}},
    // The overspeed relay belongs to [MEITETSU]; an old file still gets its value, with a hint.
    {"OSR",
     [](const char* v, const Context& t) {
         if (t.diagnostics != nullptr)
             NoteSetting(t.diagnostics, SettingsFinding::Message,
                         "OSR belongs in [MEITETSU]; the value is applied, but the plug-in "
                         "shows a message box asking to move it every time it loads");
         else
             platform::ShowMessage(kTrainOsrText, kReadCaption);
         t.settings.osrMode = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.osrMode);
     },
     {"flag", "0", "non-zero gives 1; shows a message box every time",
      "overspeed relay mode of the spot protection (write it as OSR in [MEITETSU])", kLater}},
    {"Horn",
     [](const char* v, const Context& t) {
         t.settings.horn = Int(v, t);
         Stored(t, "%d kPa", t.settings.horn);
     },
     {"int, kPa", "0", "any", "main-reservoir pressure a horn blow draws", kLater}},
    {"Offset",
     [](const char* v, const Context& t) {
         t.settings.offset = Real(v, t);
         Stored(t, "%g m", t.settings.offset);
     },
     {"float, m", "0", "any", "added to the distance of the beacons that carry one", kLater}},
    {"MaxSpeed",
     [](const char* v, const Context& t) {
         const std::int32_t kmh = Int(v, t);
         if (kmh < 10) Adjusted(t, "%d is below 10; 10 is handed on", kmh);
         Stored(t, "%d km/h, handed to the pattern protection", kmh < 10 ? 10 : kmh);
         if (t.hooks.maxSpeed != nullptr) t.hooks.maxSpeed(t.hooks.context, kmh < 10 ? 10 : kmh);
     },
     {"int, km/h", "none", "below 10 gives 10",
      "the train's maximum speed, handed to the pattern protection when the line is read", kLater}},
    {"MKey",
     [](const char* v, const Context& t) { MasterKey(Int(v, t), t); },
     {"int", "no key", "1 or 2: a key of that type; any other value: no key",
      "master-controller key: whether the driver must insert one before the protection starts",
      kLater}},
};

constexpr KeyRule kExtraKeys[] = {
    {"Oneman",
     [](const char* v, const Context& t) {
         const bool set = Int(v, t) != 0;
         if (set) t.settings.oneManDoors = 0x84;
         if (!set && t.settings.oneManDoors != 0)
             Unchanged(t, "0 cannot clear what an earlier line set");
         Stored(t, "%s", t.settings.oneManDoors != 0 ? "fitted" : "not fitted");
     },
     {"bits", "off", "non-zero sets it, zero leaves it", "one-man door buttons fitted", kSets}},
    // One voltage for the whole regeneration-loss curve; [JRC313] can still set each point.
    {"EGBEnd",
     [](const char* v, const Context& t) {
         const std::int32_t volts = NotBelowZero(Int(v, t), t);
         t.settings.egbStart = volts;
         t.settings.abStart = volts;
         t.settings.egbEnd = volts;
         Stored(t, "%d V into EGBStart, ABStart and EGBEnd of [JRC313]", volts);
     },
     {"int, V", "1730 / 1800 / 1900", "below 0 gives 0",
      "one voltage stored into all three of EGBStart, ABStart and EGBEnd of [JRC313]", kLater}},
    {"CurrentK",
     [](const char* v, const Context& t) {
         t.settings.currentK = NotBelowZero(Real(v, t), t);
         Stored(t, "%g", t.settings.currentK);
     },
     {"float", "1.0", "below 0 gives 0", "traction current coefficient", kLater}},
    {"Kiroku",
     [](const char* v, const Context& t) {
         const std::int32_t mode = NotBelowZero(Int(v, t), t);
         t.settings.kiroku = static_cast<std::uint8_t>(mode & 3);
         if (t.settings.kiroku != mode)
             Adjusted(t, "only the two low bits of %d count: %d", mode, t.settings.kiroku);
         Stored(t, "%d", t.settings.kiroku);
     },
     {"2-bit", "0", "below 0 gives 0; then only the two low bits count (4 gives 0, 5 gives 1)",
      "run record mode 0..3 (velqa3.csv)", kLater}},
    {"Tameo",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.companions, 0x02, Real(v, t) != 0.0f, t);
     },
     {"bit (read as a float)", "off", "non-zero sets it, zero leaves it",
      "load the time-signal companion Tameo.dll from the plug-in's folder", kSets}},
    {"Hybrid",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.companions, 0x01, Real(v, t) != 0.0f, t);
     },
     {"bit (read as a float)", "off", "non-zero sets it, zero leaves it",
      "load the hybrid companion Norvelid.dll from the plug-in's folder", kSets}},
    {"PowerDownMode",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         if (mode == 1) t.settings.powerDownMode1 = 1;
         if (mode == 2) t.settings.powerDownMode2 = 1;
         if (mode != 1 && mode != 2 && mode != 0)
             Unchanged(t, "%d is not 1 or 2; the line changes nothing", mode);
         Stored(t, "mode 1 %s, mode 2 %s", t.settings.powerDownMode1 ? "on" : "off",
                t.settings.powerDownMode2 ? "on" : "off");
     },
     {"two flags", "both off", "1 sets mode 1, 2 sets mode 2, other values change nothing",
      "low-voltage power reduction (two lines can switch on both modes)", kSets}},
    {"PowerDownV",
     [](const char* v, const Context& t) {
         t.settings.powerDownV = Int(v, t);
         Stored(t, "%d V", t.settings.powerDownV);
     },
     {"int, V", "2000", "any", "line voltage below which power is reduced", kLater}},
    {"BrakeDownMode",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         if (mode == 1) t.settings.brakeDownMode = 1;
         if (mode != 1 && mode != 0) Unchanged(t, "%d is not 1; the line changes nothing", mode);
         Stored(t, "%s", t.settings.brakeDownMode ? "on" : "off");
     },
     {"flag", "0", "1 sets it, other values change nothing", "high-voltage brake reduction",
      kSets}},
    {"BrakeDownV",
     [](const char* v, const Context& t) {
         t.settings.brakeDownV = Int(v, t);
         Stored(t, "%d V", t.settings.brakeDownV);
     },
     {"int, V", "0", "any", "line voltage above which the brake is reduced", kLater}},
};

constexpr KeyRule kTascKeys[] = {
    {"Use",
     [](const char* v, const Context& t) {
         const std::int32_t use = Int(v, t);
         const std::uint8_t on = use == 1 ? 1 : 0;
         if (use != 0 && use != 1) Adjusted(t, "%d is not 1; TASC is not fitted", use);
         t.settings.tascInstalled = on;
         t.settings.tascSwitchedOn = on;
         Stored(t, "%s", on ? "fitted and switched on" : "not fitted");
     },
     {"2 bits", "off", "1 fits TASC and switches it on; any other value clears both",
      "TASC automatic stopping", kLater}},
    // Written in km/h/s as drivers think of it, kept in m/s^2; nonsense falls back to 2.7 km/h/s.
    // An author reads the file's unit, so that unit leads wherever the value is shown.
    {"Accelaration",
     [](const char* v, const Context& t) {
         const float kmhs = Real(v, t);
         const float deceleration = kmhs / 3.6f;
         t.settings.tascDeceleration =
             deceleration < 0.0f || deceleration > 10.0f ? 0.75f : deceleration;
         if (t.settings.tascDeceleration != deceleration)
             Adjusted(t, "%g km/h/s is outside 0..36; 2.7 km/h/s is used", kmhs);
         Stored(t, "%g km/h/s (%.3g m/s^2)", t.settings.tascDeceleration * 3.6f,
                t.settings.tascDeceleration);
     },
     {"float, km/h/s (divided by 3.6 and kept in m/s^2)", "2.8 km/h/s (0.78 m/s^2)",
      "below 0 or above 36 km/h/s gives 2.7 km/h/s (0.75 m/s^2)", "TASC deceleration", kLater}},
    // C's remainder keeps the sign of the value: 250 gives 50, -7 stays -7.
    {"Notch",
     [](const char* v, const Context& t) {
         const std::int32_t notch = Int(v, t);
         t.settings.tascNotch = notch % 100;
         if (t.settings.tascNotch != notch)
             Adjusted(t, "%d is taken modulo 100: %d", notch, t.settings.tascNotch);
         Stored(t, "%d", t.settings.tascNotch);
     },
     {"int", "2", "the remainder of division by 100, with the sign of the value",
      "TASC brake notch scale", kLater}},
    {"Mode",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         if (mode >= 1 && mode <= 3) t.settings.tascMode |= static_cast<std::uint8_t>(mode);
         if (mode < 0 || mode > 3)
             Unchanged(t, "%d is not 1, 2 or 3; the line changes nothing", mode);
         Stored(t, "mode bits %d", t.settings.tascMode);
     },
     {"2 bits", "0", "only 1, 2 or 3 count, OR-ed into the mode bits (never cleared)",
      "TASC mode bits", kSets}},
    {"PlatformDoor",
     [](const char* v, const Context& t) {
         const std::int32_t doors = Int(v, t);
         if (doors != 1 && doors != 2) {
             if (doors != 0) Unchanged(t, "%d is not 1 or 2; the line changes nothing", doors);
             Stored(t, "%s", t.settings.platformDoorsFitted ? "fitted" : "not fitted");
             return;
         }
         t.settings.platformDoorsFitted = 1;
         t.settings.platformDoorsLinked = 1;
         t.settings.platformDoorLampVariant = doors == 2 ? 1 : 0;
         Stored(t, "fitted and linked, lamp variant %d", t.settings.platformDoorLampVariant);
     },
     {"flags", "off",
      "1: fitted and linked; 2: the same with the other lamp; other values change nothing",
      "platform doors interlocked with TASC", kLater}},
    {"PDClose",
     [](const char* v, const Context& t) {
         const float ms = Real(v, t);
         const std::int32_t whole = TruncateToInt(ms);
         if (static_cast<float>(whole) != ms) Adjusted(t, "%g is truncated to %d", ms, whole);
         t.settings.pdClose = NotBelowZero(whole, t);
         Stored(t, "%d ms", t.settings.pdClose);
     },
     {"int, ms (read as a float)", "0", "truncated toward zero; below 0 gives 0",
      "delay from the train doors closing to the platform doors closing", kLater}},
};

constexpr KeyRule kMeitetsuKeys[] = {
    {"OSR",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         t.settings.osrMode = mode < 0 || mode > 2 ? 1 : static_cast<std::uint8_t>(mode);
         if (t.settings.osrMode != mode) Adjusted(t, "%d is not 0, 1 or 2; 1 is stored", mode);
         Stored(t, "%d", t.settings.osrMode);
     },
     {"int", "0", "below 0 or above 2 gives 1",
      "overspeed relay mode of the spot protection (0, 1 or 2)", kLater}},
    {"PRR",
     [](const char* v, const Context& t) {
         t.settings.prr = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.prr);
     },
     {"flag", "0", "non-zero gives 1", "repeat the call sound", kLater}},
};

// Each target pressure of the T-priority table, brake notches 2..8.
template <int N> void TPriorityB(const char* v, const Context& t) {
    t.settings.tPriorityB[N - 1] = AtLeastTen(Real(v, t), t);
    Stored(t, "%g kPa for brake notch %d", t.settings.tPriorityB[N - 1], N + 1);
}

constexpr SettingsKeyDoc kTPriorityBDoc = {
    "float, kPa", "0 (unset)", "below 10 gives 10",
    "target pressure of one brake notch: B1 for notch 2 ... B7 for notch 8", kLater};

void ReadVolts(const char* v, const Context& t, std::int32_t& field) {
    field = NotBelowZero(Int(v, t), t);
    Stored(t, "%d V", field);
}

constexpr KeyRule kJrc313Keys[] = {
    {"PTMode",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.leverBits, 0x01, Real(v, t) != 0.0f, t);
     },
     {"bit (read as a float)", "off", "non-zero sets it, zero leaves it", "PT mode lever bit",
      kSets}},
    {"EGBStart",
     [](const char* v, const Context& t) { ReadVolts(v, t, t.settings.egbStart); },
     {"int, V", "1730", "below 0 gives 0", "regeneration loss: first voltage", kLater}},
    {"ABStart",
     [](const char* v, const Context& t) { ReadVolts(v, t, t.settings.abStart); },
     {"int, V", "1800", "below 0 gives 0", "regeneration loss: second voltage", kLater}},
    {"EGBEnd",
     [](const char* v, const Context& t) { ReadVolts(v, t, t.settings.egbEnd); },
     {"int, V", "1900", "below 0 gives 0", "regeneration loss: last voltage", kLater}},
    {"Constant",
     [](const char* v, const Context& t) {
         const std::int32_t type = Int(v, t);
         t.settings.constant = Low8(type);
         if (t.settings.constant != type)
             Adjusted(t, "only the low 8 bits of %d count: %d", type, t.settings.constant);
         Stored(t, "%d", t.settings.constant);
     },
     {"uint8", "0", "the low 8 bits", "constant-speed type: 1 = 45 km/h, 2 = 60 km/h", kLater}},
    {"PBStart",
     [](const char* v, const Context& t) {
         t.settings.pbStart = AtLeastTen(Real(v, t), t);
         Stored(t, "%g km/h", t.settings.pbStart);
     },
     {"float, km/h", "100", "below 10 gives 10", "pressure-increase brake from this speed",
      kLater}},
    {"PBEnd",
     [](const char* v, const Context& t) {
         const float kmh = Real(v, t);
         t.settings.pbEnd = kmh <= 0.0f ? 0.1f : kmh;
         if (kmh <= 0.0f) Adjusted(t, "%g is not above 0; 0.1 is stored", kmh);
         Stored(t, "%g km/h", t.settings.pbEnd);
     },
     {"float, km/h", "40", "0 or below gives 0.1", "pressure-increase brake down to this speed",
      kLater}},
    {"T-PriorityStart",
     [](const char* v, const Context& t) {
         t.settings.tPriorityStart = Real(v, t);
         t.settings.tPriorityModel = 1;
         Stored(t, "%g km/h (the simpler T-priority model)", t.settings.tPriorityStart);
     },
     {"float, km/h", "0", "any; the line also selects the simpler T-priority model",
      "speed of the T-priority control", kLater}},
    {"T-PriorityCur",
     [](const char* v, const Context& t) {
         t.settings.tPriorityCur = Int(v, t);
         Stored(t, "%d", t.settings.tPriorityCur);
     },
     {"int", "1000", "any", "T-priority current", kLater}},
    {"T-PriorityMid",
     [](const char* v, const Context& t) {
         t.settings.tPriorityMid = Real(v, t);
         Stored(t, "%g", t.settings.tPriorityMid);
     },
     {"float", "5.0", "any", "T-priority middle value", kLater}},
    {"T-PriorityB1", TPriorityB<1>, kTPriorityBDoc},
    {"T-PriorityB2", TPriorityB<2>, kTPriorityBDoc},
    {"T-PriorityB3", TPriorityB<3>, kTPriorityBDoc},
    {"T-PriorityB4", TPriorityB<4>, kTPriorityBDoc},
    {"T-PriorityB5", TPriorityB<5>, kTPriorityBDoc},
    {"T-PriorityB6", TPriorityB<6>, kTPriorityBDoc},
    {"T-PriorityB7", TPriorityB<7>, kTPriorityBDoc},
    {"ApplySpeed",
     [](const char* v, const Context& t) {
         t.settings.applySpeed = Int(v, t);
         Stored(t, "%d", t.settings.applySpeed);
     },
     {"int", "200", "any", "brake-cylinder apply speed", kLater}},
    {"ReleaseSpeed",
     [](const char* v, const Context& t) {
         t.settings.releaseSpeed = Int(v, t);
         Stored(t, "%d", t.settings.releaseSpeed);
     },
     {"int", "200", "any", "brake-cylinder release speed", kLater}},
    {"EBDown",
     [](const char* v, const Context& t) {
         t.settings.ebDown = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.ebDown);
     },
     {"flag", "0", "non-zero gives 1", "step down to notch 2 after an emergency brake", kLater}},
    {"OneLever",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.leverBits, 0x02, Int(v, t) != 0, t);
     },
     {"bit", "off", "non-zero sets it, zero leaves it", "one-lever master controller", kSets}},
};

constexpr KeyRule kDc25Keys[] = {
    {"Mode",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         if (mode != 0) t.settings.dc25Configured = 1;
         if (mode == 1 || mode == 2) t.settings.dc25Mode = static_cast<std::uint8_t>(mode);
         if (mode != 0 && mode != 1 && mode != 2)
             Unchanged(t, "%d is not 1 or 2; DC25 is switched on, but its number stays %d", mode,
                       t.settings.dc25Mode);
         Stored(t, "%s, number %d", t.settings.dc25Configured ? "on" : "off", t.settings.dc25Mode);
     },
     {"flag + uint8", "0, 0", "any non-zero value switches it on (never off); 1 or 2 is kept",
      "DC25 panel mode", kSets}},
};

constexpr KeyRule kPanelKeys[] = {
    {"Station",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         t.settings.station = Low8(mode);
         if (t.settings.station != mode)
             Adjusted(t, "only the low 8 bits of %d count: %d", mode, t.settings.station);
         Stored(t, "%d", t.settings.station);
     },
     {"uint8", "0", "the low 8 bits", "station display mode 0..3", kLater}},
    {"CarNumber",
     [](const char* v, const Context& t) {
         t.settings.carNumber = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.carNumber);
     },
     {"flag", "0", "non-zero gives 1", "car-number display", kLater}},
    {"Unit2-EGBEnd",
     [](const char* v, const Context& t) {
         t.settings.unit2EgbEnd = NotBelowZero(Real(v, t), t);
         Stored(t, "%g V", t.settings.unit2EgbEnd);
     },
     {"float, V", "0", "below 0 gives 0", "second unit: regeneration-loss end voltage", kLater}},
    {"Unit2-KasenV",
     [](const char* v, const Context& t) {
         t.settings.unit2KasenV = NotBelowZero(Int(v, t), t);
         Stored(t, "%d V", t.settings.unit2KasenV);
     },
     {"int, V", "0", "below 0 gives 0", "second unit: line voltage", kLater}},
    {"Unit3-EGBEnd",
     [](const char* v, const Context& t) {
         t.settings.unit3EgbEnd = NotBelowZero(Real(v, t), t);
         Stored(t, "%g V", t.settings.unit3EgbEnd);
     },
     {"float, V", "0", "below 0 gives 0", "third unit: regeneration-loss end voltage", kLater}},
    {"Unit3-KasenV",
     [](const char* v, const Context& t) {
         t.settings.unit3KasenV = NotBelowZero(Int(v, t), t);
         Stored(t, "%d V", t.settings.unit3KasenV);
     },
     {"int, V", "0", "below 0 gives 0", "third unit: line voltage", kLater}},
};

// The ports of the dynamic range only; the stop sender never shares the status sender's port
// as it stands when its own line is read. Stepping past 65535 would wrap to port 0, which
// names no destination, so the step goes down there.
std::uint16_t CastPort(std::int32_t value, std::uint16_t statusPort, const Context& t) {
    std::uint16_t port = Low16(value);
    if (port != value) Adjusted(t, "only the low 16 bits of %d count: %u", value, port);
    if (port < 49152) {
        Adjusted(t, "%u is below 49152; 49201 is used", port);
        port = 49201;
    }
    if (port == statusPort) {
        port = port == 65535 ? 65534 : static_cast<std::uint16_t>(port + 1);
        Adjusted(t, "the status sender has port %u already; %u is used", statusPort, port);
    }
    return port;
}

constexpr KeyRule kSendDataKeys[] = {
    {"Mode",
     [](const char* v, const Context& t) {
         t.settings.sendMode = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.sendMode);
     },
     {"flag", "0", "non-zero gives 1", "status datagrams over UDP on", kLater}},
    {"Port",
     [](const char* v, const Context& t) {
         const std::int32_t value = Int(v, t);
         const std::uint16_t port = Low16(value);
         if (port != value) Adjusted(t, "only the low 16 bits of %d count: %u", value, port);
         if (port < 49152) Adjusted(t, "%u is below 49152; 49200 is used", port);
         t.settings.port = port < 49152 ? 49200 : port;
         Stored(t, "%u", t.settings.port);
     },
     {"uint16", "49200", "the low 16 bits; below 49152 gives 49200", "status sender's UDP port",
      kLater}},
    {"Host",
     [](const char* v, const Context& t) { CopyHostText(v, t.settings.host, t); },
     {"text, up to 51 characters", "127.0.0.1", "the rest of the line; longer text is cut",
      "status sender's destination, a numeric IPv4 address", kLater}},
    {"CastMode",
     [](const char* v, const Context& t) {
         t.settings.castMode = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.castMode);
     },
     {"flag", "0", "non-zero gives 1", "stop datagrams over UDP on", kLater}},
    {"CastPort",
     [](const char* v, const Context& t) {
         t.settings.castPort = CastPort(Int(v, t), t.settings.port, t);
         Stored(t, "%u", t.settings.castPort);
     },
     {"uint16", "49200",
      "the low 16 bits; below 49152 gives 49201; the status port as it stands gives the next",
      "stop sender's UDP port", kLater}},
    {"CastHost",
     [](const char* v, const Context& t) { CopyHostText(v, t.settings.castHost, t); },
     {"text, up to 51 characters", "127.0.0.1", "the rest of the line; longer text is cut",
      "stop sender's destination, a numeric IPv4 address", kLater}},
};

bool ReadKeyTableLine(const char* line, const Context& t) {
    const int slot = ReadKeyLine(line, t.keys);
    if (slot < 0 || t.diagnostics == nullptr) return slot >= 0;
    t.diagnostics->key = KeyNameOfSlot(slot);
    const char* value = std::strchr(line, '=') + 1;
    Int(value, t);
    const std::int32_t code = t.keys.assign[slot];
    if (code == 0)
        Stored(t, "0 (unbound), slot %d", slot);
    else
        Stored(t, "0x%X (%d), slot %d", static_cast<unsigned>(code), code, slot);
    t.diagnostics->key = nullptr;
    return true;
}

void NoteRemap(RemapResult result, const char* line, const char* table, int slot,
               const Context& t) {
    const int target = ParseLong(line + 4);
    switch (result) {
    case RemapResult::Moved:
        Stored(t, "%s slot %d written to index %d", table, slot, target);
        break;
    case RemapResult::SlotRefused:
        Unchanged(t, "panel slot %d is the plug-in's input and cannot be moved", slot);
        break;
    case RemapResult::TargetRefused:
        Unchanged(t, "index %d is refused (0..254%s); %s slot %d stays where it was", target,
                  table[0] == 'p' ? ", not 199" : "", table, slot);
        break;
    case RemapResult::NoSlot:
        break;
    }
}

// The slot text of a remap line ("121"), kept for the listener while the line is reported.
struct RemapKey {
    char text[4] = {};
    int slot = 0; // decimal, whatever base the target is written in
    explicit RemapKey(const char* line) {
        for (int i = 0; i < 3 && line[i] != '\0'; ++i) {
            text[i] = line[i];
            slot = slot * 10 + (line[i] - '0');
        }
    }
};

bool ReadPanelTableLine(const char* line, const Context& t) {
    const RemapResult result = ReadPanelRemapLine(line, t.remap);
    if (t.diagnostics == nullptr || result == RemapResult::NoSlot)
        return result != RemapResult::NoSlot;
    const RemapKey key(line);
    t.diagnostics->key = key.text;
    Int(line + 4, t);
    NoteRemap(result, line, "panel", key.slot, t);
    t.diagnostics->key = nullptr;
    return true;
}

bool ReadSoundTableLine(const char* line, const Context& t) {
    const RemapResult result = ReadSoundRemapLine(line, t.remap);
    if (t.diagnostics == nullptr || result == RemapResult::NoSlot)
        return result != RemapResult::NoSlot;
    const RemapKey key(line);
    t.diagnostics->key = key.text;
    Int(line + 4, t);
    NoteRemap(result, line, "sound", key.slot, t);
    t.diagnostics->key = nullptr;
    return true;
}

constexpr SettingsKeyDoc kPanelOutputDoc = {
    "lines kkk=index", "every slot at its own index",
    "kkk: exactly three decimal digits 000..255; index: 0..254, not 199; slot 199 stays",
    "moves the plug-in's panel slot kkk to another index of the host's panel array", kLater};
constexpr SettingsKeyDoc kSoundOutputDoc = {
    "lines kkk=index", "every slot at its own index",
    "kkk: exactly three decimal digits 000..255; index: 0..254",
    "moves the plug-in's sound slot kkk to another index of the host's sound array", kLater};
constexpr SettingsKeyDoc kKeyDoc = {
    "lines Name=code", "see the names",
    "code: a Windows virtual-key code 0..255; F1..F12 only for LeftDoor and the names after it",
    "binds a keyboard key to a cab function (--explain NAME for each name)", kLater};

} // namespace

struct SettingsSection {
    const char* header;
    const KeyRule* rules;
    std::size_t ruleCount;
    // Sections whose lines belong to another table take them whole.
    bool (*readLine)(const char* line, const Context& t);
    const SettingsKeyDoc* lineDoc;
    // What the header line alone does.
    void (*enter)(const Context& t);
};

namespace {

template <std::size_t N>
constexpr SettingsSection KeySection(const char* header, const KeyRule (&rules)[N],
                                     void (*enter)(const Context& t) = nullptr) {
    return {header, rules, N, nullptr, nullptr, enter};
}

constexpr SettingsSection LineSection(const char* header,
                                      bool (*readLine)(const char* line, const Context& t),
                                      const SettingsKeyDoc& doc) {
    return {header, nullptr, 0, readLine, &doc, nullptr};
}

constexpr SettingsSection kSections[] = {
    KeySection("[TRAIN]", kTrainKeys),
    KeySection("[EXTRA]", kExtraKeys),
    KeySection("[TASC]", kTascKeys),
    KeySection("[MEITETSU]", kMeitetsuKeys),
    // A [JRC313] section alone, even an empty one, selects this train's T-priority model.
    KeySection("[JRC313]", kJrc313Keys,
               [](const Context& t) {
                   t.settings.tPriorityModel = 2;
                   Stored(t, "the header alone selects this train's T-priority model");
               }),
    KeySection("[DC25]", kDc25Keys),
    KeySection("[PANEL]", kPanelKeys),
    KeySection("[SENDDATA]", kSendDataKeys),
    LineSection("[PANELOUTPUT]", ReadPanelTableLine, kPanelOutputDoc),
    LineSection("[SOUNDOUTPUT]", ReadSoundTableLine, kSoundOutputDoc),
    LineSection("[KEY]", ReadKeyTableLine, kKeyDoc),
};

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

} // namespace

const SettingsSection* FindSettingsSection(const char* line) {
    for (const SettingsSection& section : kSections)
        if (StartsWith(line, section.header)) return &section;
    return nullptr;
}

const char* SettingsSectionHeader(const SettingsSection& section) {
    return section.header;
}

void EnterSettingsSection(const SettingsSection& section, const SettingsContext& context) {
    if (section.enter != nullptr) section.enter(context);
}

bool ApplySettingsLine(const SettingsSection& section, const char* line,
                       const SettingsContext& context) {
    SettingsDiagnostics* diagnostics = context.diagnostics;
    if (section.readLine != nullptr) return section.readLine(line, context);
    for (std::size_t i = 0; i < section.ruleCount; ++i) {
        const KeyRule& rule = section.rules[i];
        const std::size_t keyLength = std::strlen(rule.key);
        if (std::strncmp(line, rule.key, keyLength) == 0 && line[keyLength] == '=') {
            if (diagnostics != nullptr) diagnostics->key = rule.key;
            rule.apply(line + keyLength + 1, context);
            if (diagnostics != nullptr) diagnostics->key = nullptr;
            return true;
        }
    }
    return false;
}

namespace {

constexpr std::size_t CountKeys() {
    std::size_t count = 0;
    for (const SettingsSection& section : kSections)
        count += section.readLine != nullptr ? 1 : section.ruleCount;
    return count;
}

} // namespace

std::size_t SettingsKeyCount() {
    return CountKeys();
}

SettingsKeyInfo SettingsKeyAt(std::size_t index) {
    for (const SettingsSection& section : kSections) {
        if (section.readLine != nullptr) {
            if (index == 0) return {section.header, nullptr, section.lineDoc};
            --index;
            continue;
        }
        if (index < section.ruleCount)
            return {section.header, section.rules[index].key, &section.rules[index].doc};
        index -= section.ruleCount;
    }
    return {nullptr, nullptr, nullptr};
}

} // namespace velqa3
