// The keys that do something of their own: a range with a fallback, several fields at once, a
// hook into the protection, a message box. Each rule's words stand beside its code.
#include "config/settings_rules.h"
#include "config/settings_values.h"
#include "platform/platform.h"

namespace velqa3 {

namespace {

// The message as the plug-in has always shown it, misspelt section name included.
constexpr const char* kTrainOsrText = "[TRAIN]OSR は [MEITETTSU]OSRに記述してください";

using Context = SettingsContext;
using Row = SettingsKeyRow;

std::uint16_t LowPort(std::int32_t value, const Context& t) {
    const std::uint16_t port = Low16(value);
    if (port != value) Note(t, kAdjusted, "only the low 16 bits of %d count: %u", value, port);
    return port;
}

void ApplySnowBrake(const Row&, const char* v, const Context& t) {
    const std::int32_t kpa = ReadWhole(v, t);
    t.settings.snowBrake = kpa < 0 || kpa > 999 ? 0 : kpa;
    if (t.settings.snowBrake != kpa) Note(t, kAdjusted, "%d is outside 0..999; 0 is stored", kpa);
    Note(t, kStored, "%d kPa", t.settings.snowBrake);
}

void ApplyEmgBrake(const Row&, const char* v, const Context& t) {
    const std::int32_t value = ReadWhole(v, t);
    const std::int8_t mode = Low8Signed(value);
    if (mode != value) Note(t, kAdjusted, "only the low 8 bits of %d count: %d", value, mode);
    t.settings.emgBrake = mode < 0 || mode > 3 || mode == 2 ? 1 : mode;
    if (t.settings.emgBrake != mode) Note(t, kAdjusted, "%d is not 0, 1 or 3; 1 is stored", mode);
    Note(t, kStored, "%d", t.settings.emgBrake);
}

// The overspeed relay belongs to [MEITETSU]; an old file still gets its value, with a hint.
void ApplyTrainOsr(const Row&, const char* v, const Context& t) {
    if (t.diagnostics != nullptr)
        NoteSetting(t.diagnostics, SettingsFinding::Message,
                    "OSR belongs in [MEITETSU]; the value is applied, but the plug-in "
                    "shows a message box asking to move it every time it loads");
    else
        platform::ShowMessage(kTrainOsrText, kReadCaption);
    t.settings.osrMode = ZeroOrOne(ReadWhole(v, t), t);
    Note(t, kStored, "%d", t.settings.osrMode);
}

void ApplyMaxSpeed(const Row&, const char* v, const Context& t) {
    const std::int32_t kmh = ReadWhole(v, t);
    if (kmh < 10) Note(t, kAdjusted, "%d is below 10; 10 is handed on", kmh);
    Note(t, kStored, "%d km/h, handed to the pattern protection", kmh < 10 ? 10 : kmh);
    if (t.hooks.maxSpeed != nullptr) t.hooks.maxSpeed(t.hooks.context, kmh < 10 ? 10 : kmh);
}

// Without a key of its own the driver never inserts one, so the protection starts at once.
void ApplyMasterKey(const Row&, const char* v, const Context& t) {
    const std::int32_t type = ReadWhole(v, t);
    Settings& s = t.settings;
    if (type == 1 || type == 2) {
        s.masterKeyFlags = type == 1 ? 0x90 : 0xD0;
        s.masterKeyPosition = 0;
        Note(t, kStored, "key type %d: the driver inserts the key", type);
        return;
    }
    s.masterKeyFlags = 0x41;
    s.masterKeyPosition = 2;
    if (type != 0) Note(t, kAdjusted, "%d is not 1 or 2; the train has no key", type);
    Note(t, kStored, "no key: the protection starts at once");
    if (t.hooks.masterKeyStartup != nullptr) t.hooks.masterKeyStartup(t.hooks.context, s);
}

void ApplyOneman(const Row&, const char* v, const Context& t) {
    const bool set = ReadWhole(v, t) != 0;
    if (set) t.settings.oneManDoors = 0x84;
    if (!set && t.settings.oneManDoors != 0)
        Note(t, kUnchanged, "0 cannot clear what an earlier line set");
    Note(t, kStored, "%s", t.settings.oneManDoors != 0 ? "fitted" : "not fitted");
}

// One voltage for the whole regeneration-loss curve; [JRC313] can still set each point.
void ApplyExtraEgbEnd(const Row&, const char* v, const Context& t) {
    const std::int32_t volts = NotBelowZero(ReadWhole(v, t), t);
    t.settings.egbStart = volts;
    t.settings.abStart = volts;
    t.settings.egbEnd = volts;
    Note(t, kStored, "%d V into EGBStart, ABStart and EGBEnd of [JRC313]", volts);
}

void ApplyKiroku(const Row&, const char* v, const Context& t) {
    const std::int32_t mode = NotBelowZero(ReadWhole(v, t), t);
    t.settings.kiroku = static_cast<std::uint8_t>(mode & 3);
    if (t.settings.kiroku != mode)
        Note(t, kAdjusted, "only the two low bits of %d count: %d", mode, t.settings.kiroku);
    Note(t, kStored, "%d", t.settings.kiroku);
}

void ApplyPowerDownMode(const Row&, const char* v, const Context& t) {
    const std::int32_t mode = ReadWhole(v, t);
    if (mode == 1) t.settings.powerDownMode1 = 1;
    if (mode == 2) t.settings.powerDownMode2 = 1;
    if (mode != 1 && mode != 2 && mode != 0)
        Note(t, kUnchanged, "%d is not 1 or 2; the line changes nothing", mode);
    Note(t, kStored, "mode 1 %s, mode 2 %s", t.settings.powerDownMode1 ? "on" : "off",
         t.settings.powerDownMode2 ? "on" : "off");
}

void ApplyBrakeDownMode(const Row&, const char* v, const Context& t) {
    const std::int32_t mode = ReadWhole(v, t);
    if (mode == 1) t.settings.brakeDownMode = 1;
    if (mode != 1 && mode != 0) Note(t, kUnchanged, "%d is not 1; the line changes nothing", mode);
    Note(t, kStored, "%s", t.settings.brakeDownMode ? "on" : "off");
}

void ApplyTascUse(const Row&, const char* v, const Context& t) {
    const std::int32_t use = ReadWhole(v, t);
    const std::uint8_t on = use == 1 ? 1 : 0;
    if (use != 0 && use != 1) Note(t, kAdjusted, "%d is not 1; TASC is not fitted", use);
    t.settings.tascInstalled = on;
    t.settings.tascSwitchedOn = on;
    Note(t, kStored, "%s", on ? "fitted and switched on" : "not fitted");
}

// Written in km/h/s as drivers think of it, kept in m/s^2; nonsense falls back to 2.7 km/h/s.
// An author reads the file's unit, so that unit leads wherever the value is shown.
void ApplyAccelaration(const Row&, const char* v, const Context& t) {
    const float kmhs = ReadReal(v, t);
    const float deceleration = kmhs / 3.6f;
    t.settings.tascDeceleration =
        deceleration < 0.0f || deceleration > 10.0f ? 0.75f : deceleration;
    if (t.settings.tascDeceleration != deceleration)
        Note(t, kAdjusted, "%g km/h/s is outside 0..36; 2.7 km/h/s is used", kmhs);
    Note(t, kStored, "%g km/h/s (%.3g m/s^2)", t.settings.tascDeceleration * 3.6f,
         t.settings.tascDeceleration);
}

// C's remainder keeps the sign of the value: 250 gives 50, -7 stays -7.
void ApplyTascNotch(const Row&, const char* v, const Context& t) {
    const std::int32_t notch = ReadWhole(v, t);
    t.settings.tascNotch = notch % 100;
    if (t.settings.tascNotch != notch)
        Note(t, kAdjusted, "%d is taken modulo 100: %d", notch, t.settings.tascNotch);
    Note(t, kStored, "%d", t.settings.tascNotch);
}

void ApplyTascMode(const Row&, const char* v, const Context& t) {
    const std::int32_t mode = ReadWhole(v, t);
    if (mode >= 1 && mode <= 3) t.settings.tascMode |= static_cast<std::uint8_t>(mode);
    if (mode < 0 || mode > 3)
        Note(t, kUnchanged, "%d is not 1, 2 or 3; the line changes nothing", mode);
    Note(t, kStored, "mode bits %d", t.settings.tascMode);
}

void ApplyPlatformDoor(const Row&, const char* v, const Context& t) {
    const std::int32_t doors = ReadWhole(v, t);
    if (doors != 1 && doors != 2) {
        if (doors != 0) Note(t, kUnchanged, "%d is not 1 or 2; the line changes nothing", doors);
        Note(t, kStored, "%s", t.settings.platformDoorsFitted ? "fitted" : "not fitted");
        return;
    }
    t.settings.platformDoorsFitted = 1;
    t.settings.platformDoorsLinked = 1;
    t.settings.platformDoorLampVariant = doors == 2 ? 1 : 0;
    Note(t, kStored, "fitted and linked, lamp variant %d", t.settings.platformDoorLampVariant);
}

void ApplyPdClose(const Row&, const char* v, const Context& t) {
    const float ms = ReadReal(v, t);
    const std::int32_t whole = TruncateToInt(ms);
    if (static_cast<float>(whole) != ms) Note(t, kAdjusted, "%g is truncated to %d", ms, whole);
    t.settings.pdClose = NotBelowZero(whole, t);
    Note(t, kStored, "%d ms", t.settings.pdClose);
}

void ApplyMeitetsuOsr(const Row&, const char* v, const Context& t) {
    const std::int32_t mode = ReadWhole(v, t);
    t.settings.osrMode = mode < 0 || mode > 2 ? 1 : static_cast<std::uint8_t>(mode);
    if (t.settings.osrMode != mode) Note(t, kAdjusted, "%d is not 0, 1 or 2; 1 is stored", mode);
    Note(t, kStored, "%d", t.settings.osrMode);
}

void ApplyPbEnd(const Row&, const char* v, const Context& t) {
    const float kmh = ReadReal(v, t);
    t.settings.pbEnd = kmh <= 0.0f ? 0.1f : kmh;
    if (kmh <= 0.0f) Note(t, kAdjusted, "%g is not above 0; 0.1 is stored", kmh);
    Note(t, kStored, "%g km/h", t.settings.pbEnd);
}

void ApplyTPriorityStart(const Row&, const char* v, const Context& t) {
    t.settings.tPriorityStart = ReadReal(v, t);
    t.settings.tPriorityModel = 1;
    Note(t, kStored, "%g km/h (the simpler T-priority model)", t.settings.tPriorityStart);
}

void ApplyTPriorityB(const Row& row, const char* v, const Context& t) {
    float& field = row.reading.field.Real(t.settings);
    field = AtLeastTen(ReadReal(v, t), t);
    Note(t, kStored, "%g kPa for brake notch %d", field, row.reading.field.index + 2);
}

void ApplyDc25Mode(const Row&, const char* v, const Context& t) {
    const std::int32_t mode = ReadWhole(v, t);
    if (mode != 0) t.settings.dc25Configured = 1;
    if (mode == 1 || mode == 2) t.settings.dc25Mode = static_cast<std::uint8_t>(mode);
    if (mode != 0 && mode != 1 && mode != 2)
        Note(t, kUnchanged, "%d is not 1 or 2; DC25 is switched on, but its number stays %d", mode,
             t.settings.dc25Mode);
    Note(t, kStored, "%s, number %d", t.settings.dc25Configured ? "on" : "off",
         t.settings.dc25Mode);
}

void ApplyPort(const Row&, const char* v, const Context& t) {
    const std::uint16_t port = LowPort(ReadWhole(v, t), t);
    if (port < 49152) Note(t, kAdjusted, "%u is below 49152; 49200 is used", port);
    t.settings.port = port < 49152 ? 49200 : port;
    Note(t, kStored, "%u", t.settings.port);
}

// The ports of the dynamic range only; the stop sender never shares the status sender's port
// as it stands when its own line is read. Stepping past 65535 would wrap to port 0, which
// names no destination, so the step goes down there.
void ApplyCastPort(const Row&, const char* v, const Context& t) {
    const std::uint16_t statusPort = t.settings.port;
    std::uint16_t port = LowPort(ReadWhole(v, t), t);
    if (port < 49152) {
        Note(t, kAdjusted, "%u is below 49152; 49201 is used", port);
        port = 49201;
    }
    if (port == statusPort) {
        port = port == 65535 ? 65534 : static_cast<std::uint16_t>(port + 1);
        Note(t, kAdjusted, "the status sender has port %u already; %u is used", statusPort, port);
    }
    t.settings.castPort = port;
    Note(t, kStored, "%u", t.settings.castPort);
}

} // namespace

// Each rule: its code, what a second line for its key does, the type it reads and what it does
// to the values it does not keep, in the words of the guide.
constexpr SettingsRule kSnowBrakeRule = {
    ApplySnowBrake,
    kLater,
    kInt,
    {"0..999; below 0 or above 999 gives 0", "0..999。0 未満と 999 を超える値は 0"},
};
constexpr SettingsRule kEmgBrakeRule = {
    ApplyEmgBrake,
    kLater,
    {"int8", "8ビット整数 (符号付き)"},
    {"the low 8 bits as a signed number; anything but 0, 1 or 3 gives 1",
     "下位 8 ビットを符号付きで読む。0, 1, 3 以外は 1"},
};
constexpr SettingsRule kTrainOsrRule = {
    ApplyTrainOsr,
    kLater,
    kFlagWords,
    {"non-zero gives 1; shows a message box every time",
     "0 以外は 1。読み込むたびにメッセージボックスが出る"},
};
constexpr SettingsRule kMaxSpeedRule = {
    ApplyMaxSpeed,
    kLater,
    kInt,
    kAtLeastTen,
};
constexpr SettingsRule kMasterKeyRule = {
    ApplyMasterKey,
    kLater,
    kInt,
    {"1 or 2: a key of that type; any other value: no key",
     "1 か 2: その種類のキー。それ以外の値: キーなし"},
};
constexpr SettingsRule kOnemanRule = {
    ApplyOneman,
    kSets,
    {"bits", "ビット"},
    kSetsOnly,
};
constexpr SettingsRule kExtraEgbEndRule = {
    ApplyExtraEgbEnd,
    kLater,
    kInt,
    kBelowZero,
};
constexpr SettingsRule kKirokuRule = {
    ApplyKiroku,
    kLater,
    {"2-bit", "2ビット"},
    {"below 0 gives 0; then only the two low bits count (4 gives 0, 5 gives 1)",
     "0 未満は 0。そのあと下位 2 ビットだけが効く (4 は 0、5 は 1)"},
};
constexpr SettingsRule kPowerDownModeRule = {
    ApplyPowerDownMode,
    kSets,
    {"two flags", "フラグ2つ"},
    {"1 sets mode 1, 2 sets mode 2, other values change nothing",
     "1 でモード 1、2 でモード 2 がオン。ほかの値では何も変わらない"},
};
constexpr SettingsRule kBrakeDownModeRule = {
    ApplyBrakeDownMode,
    kSets,
    kFlagWords,
    {"1 sets it, other values change nothing", "1 でオン。ほかの値では何も変わらない"},
};
constexpr SettingsRule kTascUseRule = {
    ApplyTascUse,
    kLater,
    kBits,
    {"1 fits TASC and switches it on; any other value clears both",
     "1 で TASC を装備してスイッチを入れる。ほかの値では両方とも切れる"},
};
constexpr SettingsRule kAccelarationRule = {
    ApplyAccelaration,
    kLater,
    {"float, km/h/s (divided by 3.6 and kept in m/s^2)",
     "実数, km/h/s (3.6 で割って m/s^2 で保持)"},
    {"below 0 or above 36 km/h/s gives 2.7 km/h/s (0.75 m/s^2)",
     "0 未満か 36 km/h/s を超える値は 2.7 km/h/s (0.75 m/s^2)"},
};
constexpr SettingsRule kTascNotchRule = {
    ApplyTascNotch,
    kLater,
    kInt,
    {"the remainder of division by 100, with the sign of the value",
     "100 で割った余り (値の符号のまま)"},
};
constexpr SettingsRule kTascModeRule = {
    ApplyTascMode,
    kSets,
    kBits,
    {"only 1, 2 or 3 count, OR-ed into the mode bits (never cleared)",
     "1, 2, 3 だけが効き、モードビットに OR で足される (消えることはない)"},
};
constexpr SettingsRule kPlatformDoorRule = {
    ApplyPlatformDoor,
    kLater,
    {"flags", "フラグ"},
    {"1: fitted and linked; 2: the same with the other lamp; other values change nothing",
     "1: 装備して連動。2: 同じく、ただしもう一方の表示灯。ほかの値では何も変わらない"},
};
constexpr SettingsRule kPdCloseRule = {
    ApplyPdClose,
    kLater,
    {"int, ms (read as a float)", "整数, ms (実数として読む)"},
    {"truncated toward zero; below 0 gives 0", "0 方向へ切り捨て。0 未満は 0"},
};
constexpr SettingsRule kMeitetsuOsrRule = {
    ApplyMeitetsuOsr,
    kLater,
    kInt,
    {"below 0 or above 2 gives 1", "0 未満と 2 を超える値は 1"},
};
constexpr SettingsRule kPbEndRule = {
    ApplyPbEnd,
    kLater,
    kFloat,
    {"0 or below gives 0.1", "0 以下は 0.1"},
};
constexpr SettingsRule kTPriorityStartRule = {
    ApplyTPriorityStart,
    kLater,
    kFloat,
    {"any; the line also selects the simpler T-priority model",
     "制限なし。この行があると簡易な T 車優先モデルになる"},
};
constexpr SettingsRule kTPriorityBRule = {
    ApplyTPriorityB,
    kLater,
    kFloat,
    kAtLeastTen,
};
constexpr SettingsRule kDc25ModeRule = {
    ApplyDc25Mode,
    kSets,
    {"flag + uint8", "フラグ + 8ビット整数"},
    {"any non-zero value switches it on (never off); 1 or 2 is kept",
     "0 以外の値でオン (オフには戻らない)。1 か 2 ならその番号を保持"},
};
constexpr SettingsRule kPortRule = {
    ApplyPort,
    kLater,
    kUint16,
    {"the low 16 bits; below 49152 gives 49200", "下位 16 ビット。49152 未満は 49200"},
};
constexpr SettingsRule kCastPortRule = {
    ApplyCastPort,
    kLater,
    kUint16,
    {"the low 16 bits; below 49152 gives 49201; the status port as it stands gives the next",
     "下位 16 ビット。49152 未満は 49201。その時点の状態データのポートと同じなら次の番号"},
};

// A [JRC313] section alone, even an empty one, selects this train's T-priority model.
void EnterJrc313(const Context& t) {
    t.settings.tPriorityModel = 2;
    Note(t, kStored, "the header alone selects this train's T-priority model");
}

} // namespace velqa3
