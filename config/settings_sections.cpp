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
     {"int",
      "4",
      "any",
      "line equipment at start (the initial line code; bit 4: pattern protection)",
      kLater,
      {"整数", "4", "制限なし",
       "起動時の線区設備 (線区コードの初期値。0x04 のビット: パターン式ATSのある線区)"}}},
    {"PlusBrake",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.plusBrakeConfigured, 1, Int(v, t) != 0, t);
     },
     {"bit",
      "off",
      "non-zero sets it, zero leaves it",
      "the train has the pressure-increase brake",
      kSets,
      {"ビット", "オフ", "0 以外でオン、0 では変わらない", "増圧ブレーキを装備する"}}},
    {"PlusEB",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.plusBrakeEmergencyBoost, 1, Int(v, t) != 0, t);
     },
     {"bit",
      "off",
      "non-zero sets it, zero leaves it",
      "pressure increase also on the emergency brake",
      kSets,
      {"ビット", "オフ", "0 以外でオン、0 では変わらない", "非常ブレーキでも増圧する"}}},
    {"HoldBrake",
     [](const char* v, const Context& t) {
         t.settings.holdBrake = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.holdBrake);
     },
     {"flag",
      "0",
      "non-zero gives 1",
      "brake handle notch 1 is a holding-brake notch",
      kLater,
      {"フラグ", "0", "0 以外は 1",
       "ブレーキハンドルの 1 ノッチを抑速 (保持) ブレーキのノッチにする"}}},
    {"SnowBrake",
     [](const char* v, const Context& t) {
         const std::int32_t kpa = Int(v, t);
         t.settings.snowBrake = kpa < 0 || kpa > 999 ? 0 : kpa;
         if (t.settings.snowBrake != kpa) Adjusted(t, "%d is outside 0..999; 0 is stored", kpa);
         Stored(t, "%d kPa", t.settings.snowBrake);
     },
     {"int, kPa",
      "0",
      "0..999; below 0 or above 999 gives 0",
      "snow-brake pressure",
      kLater,
      {"整数, kPa", "0", "0..999。0 未満と 999 を超える値は 0", "耐雪ブレーキの圧力"}}},
    {"Length",
     [](const char* v, const Context& t) {
         t.settings.length = Real(v, t);
         Stored(t, "%g m", t.settings.length);
     },
     {"float, m",
      "0",
      "any",
      "train length; 0 means the number of cars times 20 m",
      kLater,
      {"実数, m", "0", "制限なし", "編成長。0 のときは両数 × 20 m"}}},
    {"EmgBrake",
     [](const char* v, const Context& t) {
         const std::int32_t value = Int(v, t);
         const std::int8_t mode = Low8Signed(value);
         if (mode != value) Adjusted(t, "only the low 8 bits of %d count: %d", value, mode);
         t.settings.emgBrake = mode < 0 || mode > 3 || mode == 2 ? 1 : mode;
         if (t.settings.emgBrake != mode) Adjusted(t, "%d is not 0, 1 or 3; 1 is stored", mode);
         Stored(t, "%d", t.settings.emgBrake);
     },
     {"int8",
      "0",
      "the low 8 bits as a signed number; anything but 0, 1 or 3 gives 1",
      "vigilance (EB device) mode",
      kLater,
      {"8ビット整数 (符号付き)", "0", "下位 8 ビットを符号付きで読む。0, 1, 3 以外は 1",
       "EB 装置 (運転士異常時列車停止装置) のモード"}}},
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
     {"flag",
      "0",
      "non-zero gives 1; shows a message box every time",
      "overspeed relay mode of the spot protection (write it as OSR in [MEITETSU])",
      kLater,
      {"フラグ", "0", "0 以外は 1。読み込むたびにメッセージボックスが出る",
       "ATS-ST の過速度リレーのモード ([MEITETSU] の OSR に書くこと)"}}},
    {"Horn",
     [](const char* v, const Context& t) {
         t.settings.horn = Int(v, t);
         Stored(t, "%d kPa", t.settings.horn);
     },
     {"int, kPa",
      "0",
      "any",
      "main-reservoir pressure a horn blow draws",
      kLater,
      {"整数, kPa", "0", "制限なし", "警笛 1 回で元空気溜めから減る圧力"}}},
    {"Offset",
     [](const char* v, const Context& t) {
         t.settings.offset = Real(v, t);
         Stored(t, "%g m", t.settings.offset);
     },
     {"float, m",
      "0",
      "any",
      "added to the distance of the beacons that carry one",
      kLater,
      {"実数, m", "0", "制限なし", "距離を持つ地上子の距離に足す値"}}},
    {"MaxSpeed",
     [](const char* v, const Context& t) {
         const std::int32_t kmh = Int(v, t);
         if (kmh < 10) Adjusted(t, "%d is below 10; 10 is handed on", kmh);
         Stored(t, "%d km/h, handed to the pattern protection", kmh < 10 ? 10 : kmh);
         if (t.hooks.maxSpeed != nullptr) t.hooks.maxSpeed(t.hooks.context, kmh < 10 ? 10 : kmh);
     },
     {"int, km/h",
      "none",
      "below 10 gives 10",
      "the train's maximum speed, handed to the pattern protection when the line is read",
      kLater,
      {"整数, km/h", "なし", "10 未満は 10",
       "列車の最高速度。この行を読んだときにパターン式ATSへ渡す"}}},
    {"MKey",
     [](const char* v, const Context& t) { MasterKey(Int(v, t), t); },
     {"int",
      "no key",
      "1 or 2: a key of that type; any other value: no key",
      "master-controller key: whether the driver must insert one before the protection starts",
      kLater,
      {"整数", "キーなし", "1 か 2: その種類のキー。それ以外の値: キーなし",
       "マスコンキー: ATS が起動する前に運転士がキーを入れる必要があるか"}}},
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
     {"bits",
      "off",
      "non-zero sets it, zero leaves it",
      "one-man door buttons fitted",
      kSets,
      {"ビット", "オフ", "0 以外でオン、0 では変わらない", "ワンマン用のドアボタンを装備する"}}},
    // One voltage for the whole regeneration-loss curve; [JRC313] can still set each point.
    {"EGBEnd",
     [](const char* v, const Context& t) {
         const std::int32_t volts = NotBelowZero(Int(v, t), t);
         t.settings.egbStart = volts;
         t.settings.abStart = volts;
         t.settings.egbEnd = volts;
         Stored(t, "%d V into EGBStart, ABStart and EGBEnd of [JRC313]", volts);
     },
     {"int, V",
      "1730 / 1800 / 1900",
      "below 0 gives 0",
      "one voltage stored into all three of EGBStart, ABStart and EGBEnd of [JRC313]",
      kLater,
      {"整数, V", "1730 / 1800 / 1900", "0 未満は 0",
       "[JRC313] の EGBStart, ABStart, EGBEnd の 3 つに同じ電圧を入れる"}}},
    {"CurrentK",
     [](const char* v, const Context& t) {
         t.settings.currentK = NotBelowZero(Real(v, t), t);
         Stored(t, "%g", t.settings.currentK);
     },
     {"float",
      "1.0",
      "below 0 gives 0",
      "traction current coefficient",
      kLater,
      {"実数", "1.0", "0 未満は 0", "主電動機電流の係数"}}},
    {"Kiroku",
     [](const char* v, const Context& t) {
         const std::int32_t mode = NotBelowZero(Int(v, t), t);
         t.settings.kiroku = static_cast<std::uint8_t>(mode & 3);
         if (t.settings.kiroku != mode)
             Adjusted(t, "only the two low bits of %d count: %d", mode, t.settings.kiroku);
         Stored(t, "%d", t.settings.kiroku);
     },
     {"2-bit",
      "0",
      "below 0 gives 0; then only the two low bits count (4 gives 0, 5 gives 1)",
      "run record mode 0..3 (velqa3.csv)",
      kLater,
      {"2ビット", "0", "0 未満は 0。そのあと下位 2 ビットだけが効く (4 は 0、5 は 1)",
       "運転記録のモード 0..3 (velqa3.csv)"}}},
    {"Tameo",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.companions, 0x02, Real(v, t) != 0.0f, t);
     },
     {"bit (read as a float)",
      "off",
      "non-zero sets it, zero leaves it",
      "load the time-signal companion Tameo.dll from the plug-in's folder",
      kSets,
      {"ビット (実数として読む)", "オフ", "0 以外でオン、0 では変わらない",
       "時報の連携プラグイン Tameo.dll を本体と同じフォルダから読み込む"}}},
    {"Hybrid",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.companions, 0x01, Real(v, t) != 0.0f, t);
     },
     {"bit (read as a float)",
      "off",
      "non-zero sets it, zero leaves it",
      "load the hybrid companion Norvelid.dll from the plug-in's folder",
      kSets,
      {"ビット (実数として読む)", "オフ", "0 以外でオン、0 では変わらない",
       "ハイブリッドの連携プラグイン Norvelid.dll を本体と同じフォルダから読み込む"}}},
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
     {"two flags",
      "both off",
      "1 sets mode 1, 2 sets mode 2, other values change nothing",
      "low-voltage power reduction (two lines can switch on both modes)",
      kSets,
      {"フラグ2つ", "両方オフ", "1 でモード 1、2 でモード 2 がオン。ほかの値では何も変わらない",
       "架線電圧低下時の出力低減 (2 行書けば両方のモードがオンになる)"}}},
    {"PowerDownV",
     [](const char* v, const Context& t) {
         t.settings.powerDownV = Int(v, t);
         Stored(t, "%d V", t.settings.powerDownV);
     },
     {"int, V",
      "2000",
      "any",
      "line voltage below which power is reduced",
      kLater,
      {"整数, V", "2000", "制限なし", "この架線電圧を下回ると出力を下げる"}}},
    {"BrakeDownMode",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         if (mode == 1) t.settings.brakeDownMode = 1;
         if (mode != 1 && mode != 0) Unchanged(t, "%d is not 1; the line changes nothing", mode);
         Stored(t, "%s", t.settings.brakeDownMode ? "on" : "off");
     },
     {"flag",
      "0",
      "1 sets it, other values change nothing",
      "high-voltage brake reduction",
      kSets,
      {"フラグ", "0", "1 でオン。ほかの値では何も変わらない", "架線電圧上昇時のブレーキ低減"}}},
    {"BrakeDownV",
     [](const char* v, const Context& t) {
         t.settings.brakeDownV = Int(v, t);
         Stored(t, "%d V", t.settings.brakeDownV);
     },
     {"int, V",
      "0",
      "any",
      "line voltage above which the brake is reduced",
      kLater,
      {"整数, V", "0", "制限なし", "この架線電圧を上回るとブレーキを弱める"}}},
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
     {"2 bits",
      "off",
      "1 fits TASC and switches it on; any other value clears both",
      "TASC automatic stopping",
      kLater,
      {"2ビット", "オフ", "1 で TASC を装備してスイッチを入れる。ほかの値では両方とも切れる",
       "TASC (定位置停止装置)"}}},
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
     {"float, km/h/s (divided by 3.6 and kept in m/s^2)",
      "2.8 km/h/s (0.78 m/s^2)",
      "below 0 or above 36 km/h/s gives 2.7 km/h/s (0.75 m/s^2)",
      "TASC deceleration",
      kLater,
      {"実数, km/h/s (3.6 で割って m/s^2 で保持)", "2.8 km/h/s (0.78 m/s^2)",
       "0 未満か 36 km/h/s を超える値は 2.7 km/h/s (0.75 m/s^2)", "TASC の減速度"}}},
    // C's remainder keeps the sign of the value: 250 gives 50, -7 stays -7.
    {"Notch",
     [](const char* v, const Context& t) {
         const std::int32_t notch = Int(v, t);
         t.settings.tascNotch = notch % 100;
         if (t.settings.tascNotch != notch)
             Adjusted(t, "%d is taken modulo 100: %d", notch, t.settings.tascNotch);
         Stored(t, "%d", t.settings.tascNotch);
     },
     {"int",
      "2",
      "the remainder of division by 100, with the sign of the value",
      "TASC brake notch scale",
      kLater,
      {"整数", "2", "100 で割った余り (値の符号のまま)", "TASC のブレーキノッチの目盛り"}}},
    {"Mode",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         if (mode >= 1 && mode <= 3) t.settings.tascMode |= static_cast<std::uint8_t>(mode);
         if (mode < 0 || mode > 3)
             Unchanged(t, "%d is not 1, 2 or 3; the line changes nothing", mode);
         Stored(t, "mode bits %d", t.settings.tascMode);
     },
     {"2 bits",
      "0",
      "only 1, 2 or 3 count, OR-ed into the mode bits (never cleared)",
      "TASC mode bits",
      kSets,
      {"2ビット", "0", "1, 2, 3 だけが効き、モードビットに OR で足される (消えることはない)",
       "TASC のモードビット"}}},
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
     {"flags",
      "off",
      "1: fitted and linked; 2: the same with the other lamp; other values change nothing",
      "platform doors interlocked with TASC",
      kLater,
      {"フラグ", "オフ",
       "1: 装備して連動。2: 同じく、ただしもう一方の表示灯。ほかの値では何も変わらない",
       "TASC と連動するホームドア"}}},
    {"PDClose",
     [](const char* v, const Context& t) {
         const float ms = Real(v, t);
         const std::int32_t whole = TruncateToInt(ms);
         if (static_cast<float>(whole) != ms) Adjusted(t, "%g is truncated to %d", ms, whole);
         t.settings.pdClose = NotBelowZero(whole, t);
         Stored(t, "%d ms", t.settings.pdClose);
     },
     {"int, ms (read as a float)",
      "0",
      "truncated toward zero; below 0 gives 0",
      "delay from the train doors closing to the platform doors closing",
      kLater,
      {"整数, ms (実数として読む)", "0", "0 方向へ切り捨て。0 未満は 0",
       "車両のドアが閉まってからホームドアが閉まるまでの時間"}}},
};

constexpr KeyRule kMeitetsuKeys[] = {
    {"OSR",
     [](const char* v, const Context& t) {
         const std::int32_t mode = Int(v, t);
         t.settings.osrMode = mode < 0 || mode > 2 ? 1 : static_cast<std::uint8_t>(mode);
         if (t.settings.osrMode != mode) Adjusted(t, "%d is not 0, 1 or 2; 1 is stored", mode);
         Stored(t, "%d", t.settings.osrMode);
     },
     {"int",
      "0",
      "below 0 or above 2 gives 1",
      "overspeed relay mode of the spot protection (0, 1 or 2)",
      kLater,
      {"整数", "0", "0 未満と 2 を超える値は 1", "ATS-ST の過速度リレーのモード (0, 1, 2)"}}},
    {"PRR",
     [](const char* v, const Context& t) {
         t.settings.prr = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.prr);
     },
     {"flag",
      "0",
      "non-zero gives 1",
      "repeat the call sound",
      kLater,
      {"フラグ", "0", "0 以外は 1", "呼び出し音を繰り返す"}}},
};

// Each target pressure of the T-priority table, brake notches 2..8.
template <int N> void TPriorityB(const char* v, const Context& t) {
    t.settings.tPriorityB[N - 1] = AtLeastTen(Real(v, t), t);
    Stored(t, "%g kPa for brake notch %d", t.settings.tPriorityB[N - 1], N + 1);
}

constexpr SettingsKeyDoc kTPriorityBDoc = {
    "float, kPa",
    "0 (unset)",
    "below 10 gives 10",
    "target pressure of one brake notch: B1 for notch 2 ... B7 for notch 8",
    kLater,
    {"実数, kPa", "0 (未設定)", "10 未満は 10",
     "ブレーキノッチ 1 つぶんの目標圧力: B1 がノッチ 2 … B7 がノッチ 8"}};

void ReadVolts(const char* v, const Context& t, std::int32_t& field) {
    field = NotBelowZero(Int(v, t), t);
    Stored(t, "%d V", field);
}

constexpr KeyRule kJrc313Keys[] = {
    {"PTMode",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.leverBits, 0x01, Real(v, t) != 0.0f, t);
     },
     {"bit (read as a float)",
      "off",
      "non-zero sets it, zero leaves it",
      "PT mode lever bit",
      kSets,
      {"ビット (実数として読む)", "オフ", "0 以外でオン、0 では変わらない",
       "PT モードのレバーのビット"}}},
    {"EGBStart",
     [](const char* v, const Context& t) { ReadVolts(v, t, t.settings.egbStart); },
     {"int, V",
      "1730",
      "below 0 gives 0",
      "regeneration loss: first voltage",
      kLater,
      {"整数, V", "1730", "0 未満は 0", "回生失効: 1 つ目の電圧"}}},
    {"ABStart",
     [](const char* v, const Context& t) { ReadVolts(v, t, t.settings.abStart); },
     {"int, V",
      "1800",
      "below 0 gives 0",
      "regeneration loss: second voltage",
      kLater,
      {"整数, V", "1800", "0 未満は 0", "回生失効: 2 つ目の電圧"}}},
    {"EGBEnd",
     [](const char* v, const Context& t) { ReadVolts(v, t, t.settings.egbEnd); },
     {"int, V",
      "1900",
      "below 0 gives 0",
      "regeneration loss: last voltage",
      kLater,
      {"整数, V", "1900", "0 未満は 0", "回生失効: 最後の電圧"}}},
    {"Constant",
     [](const char* v, const Context& t) {
         const std::int32_t type = Int(v, t);
         t.settings.constant = Low8(type);
         if (t.settings.constant != type)
             Adjusted(t, "only the low 8 bits of %d count: %d", type, t.settings.constant);
         Stored(t, "%d", t.settings.constant);
     },
     {"uint8",
      "0",
      "the low 8 bits",
      "constant-speed type: 1 = 45 km/h, 2 = 60 km/h",
      kLater,
      {"8ビット整数 (符号なし)", "0", "下位 8 ビット", "定速の種類: 1 = 45 km/h、2 = 60 km/h"}}},
    {"PBStart",
     [](const char* v, const Context& t) {
         t.settings.pbStart = AtLeastTen(Real(v, t), t);
         Stored(t, "%g km/h", t.settings.pbStart);
     },
     {"float, km/h",
      "100",
      "below 10 gives 10",
      "pressure-increase brake from this speed",
      kLater,
      {"実数, km/h", "100", "10 未満は 10", "この速度から増圧ブレーキを掛ける"}}},
    {"PBEnd",
     [](const char* v, const Context& t) {
         const float kmh = Real(v, t);
         t.settings.pbEnd = kmh <= 0.0f ? 0.1f : kmh;
         if (kmh <= 0.0f) Adjusted(t, "%g is not above 0; 0.1 is stored", kmh);
         Stored(t, "%g km/h", t.settings.pbEnd);
     },
     {"float, km/h",
      "40",
      "0 or below gives 0.1",
      "pressure-increase brake down to this speed",
      kLater,
      {"実数, km/h", "40", "0 以下は 0.1", "この速度まで増圧ブレーキを掛ける"}}},
    {"T-PriorityStart",
     [](const char* v, const Context& t) {
         t.settings.tPriorityStart = Real(v, t);
         t.settings.tPriorityModel = 1;
         Stored(t, "%g km/h (the simpler T-priority model)", t.settings.tPriorityStart);
     },
     {"float, km/h",
      "0",
      "any; the line also selects the simpler T-priority model",
      "speed of the T-priority control",
      kLater,
      {"実数, km/h", "0", "制限なし。この行があると簡易な T 車優先モデルになる",
       "T 車優先制御の速度"}}},
    {"T-PriorityCur",
     [](const char* v, const Context& t) {
         t.settings.tPriorityCur = Int(v, t);
         Stored(t, "%d", t.settings.tPriorityCur);
     },
     {"int",
      "1000",
      "any",
      "T-priority current",
      kLater,
      {"整数", "1000", "制限なし", "T 車優先の電流"}}},
    {"T-PriorityMid",
     [](const char* v, const Context& t) {
         t.settings.tPriorityMid = Real(v, t);
         Stored(t, "%g", t.settings.tPriorityMid);
     },
     {"float",
      "5.0",
      "any",
      "T-priority middle value",
      kLater,
      {"実数", "5.0", "制限なし", "T 車優先の中間値"}}},
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
     {"int",
      "200",
      "any",
      "brake-cylinder apply speed",
      kLater,
      {"整数", "200", "制限なし", "ブレーキシリンダ圧の込め速度"}}},
    {"ReleaseSpeed",
     [](const char* v, const Context& t) {
         t.settings.releaseSpeed = Int(v, t);
         Stored(t, "%d", t.settings.releaseSpeed);
     },
     {"int",
      "200",
      "any",
      "brake-cylinder release speed",
      kLater,
      {"整数", "200", "制限なし", "ブレーキシリンダ圧の緩め速度"}}},
    {"EBDown",
     [](const char* v, const Context& t) {
         t.settings.ebDown = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.ebDown);
     },
     {"flag",
      "0",
      "non-zero gives 1",
      "step down to notch 2 after an emergency brake",
      kLater,
      {"フラグ", "0", "0 以外は 1", "非常ブレーキのあと 2 ノッチまで緩める"}}},
    {"OneLever",
     [](const char* v, const Context& t) {
         SetOnly(t.settings.leverBits, 0x02, Int(v, t) != 0, t);
     },
     {"bit",
      "off",
      "non-zero sets it, zero leaves it",
      "one-lever master controller",
      kSets,
      {"ビット", "オフ", "0 以外でオン、0 では変わらない", "ワンハンドルマスコン"}}},
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
     {"flag + uint8",
      "0, 0",
      "any non-zero value switches it on (never off); 1 or 2 is kept",
      "DC25 panel mode",
      kSets,
      {"フラグ + 8ビット整数", "0, 0",
       "0 以外の値でオン (オフには戻らない)。1 か 2 ならその番号を保持", "DC25 のパネルモード"}}},
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
     {"uint8",
      "0",
      "the low 8 bits",
      "station display mode 0..3",
      kLater,
      {"8ビット整数 (符号なし)", "0", "下位 8 ビット", "駅名表示のモード 0..3"}}},
    {"CarNumber",
     [](const char* v, const Context& t) {
         t.settings.carNumber = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.carNumber);
     },
     {"flag",
      "0",
      "non-zero gives 1",
      "car-number display",
      kLater,
      {"フラグ", "0", "0 以外は 1", "車番表示"}}},
    {"Unit2-EGBEnd",
     [](const char* v, const Context& t) {
         t.settings.unit2EgbEnd = NotBelowZero(Real(v, t), t);
         Stored(t, "%g V", t.settings.unit2EgbEnd);
     },
     {"float, V",
      "0",
      "below 0 gives 0",
      "second unit: regeneration-loss end voltage",
      kLater,
      {"実数, V", "0", "0 未満は 0", "2 ユニット目: 回生失効の終わりの電圧"}}},
    {"Unit2-KasenV",
     [](const char* v, const Context& t) {
         t.settings.unit2KasenV = NotBelowZero(Int(v, t), t);
         Stored(t, "%d V", t.settings.unit2KasenV);
     },
     {"int, V",
      "0",
      "below 0 gives 0",
      "second unit: line voltage",
      kLater,
      {"整数, V", "0", "0 未満は 0", "2 ユニット目: 架線電圧"}}},
    {"Unit3-EGBEnd",
     [](const char* v, const Context& t) {
         t.settings.unit3EgbEnd = NotBelowZero(Real(v, t), t);
         Stored(t, "%g V", t.settings.unit3EgbEnd);
     },
     {"float, V",
      "0",
      "below 0 gives 0",
      "third unit: regeneration-loss end voltage",
      kLater,
      {"実数, V", "0", "0 未満は 0", "3 ユニット目: 回生失効の終わりの電圧"}}},
    {"Unit3-KasenV",
     [](const char* v, const Context& t) {
         t.settings.unit3KasenV = NotBelowZero(Int(v, t), t);
         Stored(t, "%d V", t.settings.unit3KasenV);
     },
     {"int, V",
      "0",
      "below 0 gives 0",
      "third unit: line voltage",
      kLater,
      {"整数, V", "0", "0 未満は 0", "3 ユニット目: 架線電圧"}}},
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
     {"flag",
      "0",
      "non-zero gives 1",
      "status datagrams over UDP on",
      kLater,
      {"フラグ", "0", "0 以外は 1", "状態データを UDP で送る"}}},
    {"Port",
     [](const char* v, const Context& t) {
         const std::int32_t value = Int(v, t);
         const std::uint16_t port = Low16(value);
         if (port != value) Adjusted(t, "only the low 16 bits of %d count: %u", value, port);
         if (port < 49152) Adjusted(t, "%u is below 49152; 49200 is used", port);
         t.settings.port = port < 49152 ? 49200 : port;
         Stored(t, "%u", t.settings.port);
     },
     {"uint16",
      "49200",
      "the low 16 bits; below 49152 gives 49200",
      "status sender's UDP port",
      kLater,
      {"16ビット整数 (符号なし)", "49200", "下位 16 ビット。49152 未満は 49200",
       "状態データの送信先 UDP ポート"}}},
    {"Host",
     [](const char* v, const Context& t) { CopyHostText(v, t.settings.host, t); },
     {"text, up to 51 characters",
      "127.0.0.1",
      "the rest of the line; longer text is cut",
      "status sender's destination, a numeric IPv4 address",
      kLater,
      {"文字列 (51文字まで)", "127.0.0.1", "行の残り全部。長い文字列は切り詰め",
       "状態データの送信先 (数字で書いた IPv4 アドレス)"}}},
    {"CastMode",
     [](const char* v, const Context& t) {
         t.settings.castMode = Flag(Int(v, t), t);
         Stored(t, "%d", t.settings.castMode);
     },
     {"flag",
      "0",
      "non-zero gives 1",
      "stop datagrams over UDP on",
      kLater,
      {"フラグ", "0", "0 以外は 1", "停車データを UDP で送る"}}},
    {"CastPort",
     [](const char* v, const Context& t) {
         t.settings.castPort = CastPort(Int(v, t), t.settings.port, t);
         Stored(t, "%u", t.settings.castPort);
     },
     {"uint16",
      "49200",
      "the low 16 bits; below 49152 gives 49201; the status port as it stands gives the next",
      "stop sender's UDP port",
      kLater,
      {"16ビット整数 (符号なし)", "49200",
       "下位 16 ビット。49152 未満は 49201。その時点の状態データのポートと同じなら次の番号",
       "停車データの送信先 UDP ポート"}}},
    {"CastHost",
     [](const char* v, const Context& t) { CopyHostText(v, t.settings.castHost, t); },
     {"text, up to 51 characters",
      "127.0.0.1",
      "the rest of the line; longer text is cut",
      "stop sender's destination, a numeric IPv4 address",
      kLater,
      {"文字列 (51文字まで)", "127.0.0.1", "行の残り全部。長い文字列は切り詰め",
       "停車データの送信先 (数字で書いた IPv4 アドレス)"}}},
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
    "lines kkk=index",
    "every slot at its own index",
    "kkk: exactly three decimal digits 000..255; index: 0..254, not 199; slot 199 stays",
    "moves the plug-in's panel slot kkk to another index of the host's panel array",
    kLater,
    {"「kkk=番号」の行", "どのスロットも同じ番号のまま",
     "kkk: ちょうど 3 桁の 10 進数 000..255。番号: 0..254 (199 以外)。スロット 199 は動かせない",
     "プラグインのパネルスロット kkk をシミュレーターのパネル配列の別の番号へ移す"}};
constexpr SettingsKeyDoc kSoundOutputDoc = {
    "lines kkk=index",
    "every slot at its own index",
    "kkk: exactly three decimal digits 000..255; index: 0..254",
    "moves the plug-in's sound slot kkk to another index of the host's sound array",
    kLater,
    {"「kkk=番号」の行", "どのスロットも同じ番号のまま",
     "kkk: ちょうど 3 桁の 10 進数 000..255。番号: 0..254",
     "プラグインのサウンドスロット kkk をシミュレーターのサウンド配列の別の番号へ移す"}};
constexpr SettingsKeyDoc kKeyDoc = {
    "lines Name=code",
    "see the names",
    "code: a Windows virtual-key code 0..255; F1..F12 only for LeftDoor and the names after it",
    "binds a keyboard key to a cab function (--explain NAME for each name)",
    kLater,
    {"「名前=コード」の行", "名前の表を参照",
     "コード: Windows の仮想キーコード 0..255。F1..F12 は LeftDoor とそれ以降の名前にだけ使える",
     "キーボードのキーを運転台の機能に割り当てる (名前ごとの説明は --explain 名前)"}};

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
