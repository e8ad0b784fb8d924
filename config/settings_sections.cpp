#include "config/settings_sections.h"

#include "host/chars.h"

#include "config/settings_rules.h"

#include <cstring>
#include <iterator>

namespace velqa3 {

namespace {

using Context = SettingsContext;
using S = Settings;
using enum SectionId;

constexpr SettingsText kUnset = {"0 (unset)", "0 (未設定)"};
constexpr SettingsText kNotchPressure = {
    "target pressure of one brake notch: B1 for notch 2 ... B7 for notch 8",
    "ブレーキノッチ 1 つぶんの目標圧力: B1 がノッチ 2 … B7 がノッチ 8"};

// Every key of every section, in the order the guide lists them. A key's rule gives its type
// and what it does to values it does not keep; the unit follows the type.
// clang-format off
constexpr SettingsKeyRow kRows[] = {
    // key             section   how it is read and stored                   unit    default
    //     what it does, in English and in Japanese
    {"Default",        Train,    Whole(&S::defaultLineCode),                 nullptr, {"4"},
        {"line equipment at start (the initial line code; bit 4: pattern protection)",
         "起動時の線区設備 (線区コードの初期値。0x04 のビット: パターン式ATSのある線区)"}},
    {"PlusBrake",      Train,    SetBit(&S::plusBrakeConfigured, 1),         nullptr, {"off", "オフ"},
        {"the train has the pressure-increase brake", "増圧ブレーキを装備する"}},
    {"PlusEB",         Train,    SetBit(&S::plusBrakeEmergencyBoost, 1),     nullptr, {"off", "オフ"},
        {"pressure increase also on the emergency brake", "非常ブレーキでも増圧する"}},
    {"HoldBrake",      Train,    Flag(&S::holdBrake),                        nullptr, {"0"},
        {"brake handle notch 1 is a holding-brake notch",
         "ブレーキハンドルの 1 ノッチを抑速 (保持) ブレーキのノッチにする"}},
    {"SnowBrake",      Train,    Own(kSnowBrakeRule),                        "kPa",   {"0"},
        {"snow-brake pressure", "耐雪ブレーキの圧力"}},
    {"Length",         Train,    Real(&S::length),                           "m",     {"0"},
        {"train length; 0 means the number of cars times 20 m", "編成長。0 のときは両数 × 20 m"}},
    {"EmgBrake",       Train,    Own(kEmgBrakeRule),                         nullptr, {"0"},
        {"vigilance (EB device) mode", "EB 装置 (運転士異常時列車停止装置) のモード"}},
    {"OSR",            Train,    Own(kTrainOsrRule),                         nullptr, {"0"},
        {"overspeed relay mode of the spot protection (write it as OSR in [MEITETSU])",
         "ATS-ST の過速度リレーのモード ([MEITETSU] の OSR に書くこと)"}},
    {"Horn",           Train,    Whole(&S::horn),                            "kPa",   {"0"},
        {"main-reservoir pressure a horn blow draws", "警笛 1 回で元空気溜めから減る圧力"}},
    {"Offset",         Train,    Real(&S::offset),                           "m",     {"0"},
        {"added to the distance of the beacons that carry one", "距離を持つ地上子の距離に足す値"}},
    {"MaxSpeed",       Train,    Own(kMaxSpeedRule),                         "km/h",  {"none", "なし"},
        {"the train's maximum speed, handed to the pattern protection when the line is read",
         "列車の最高速度。この行を読んだときにパターン式ATSへ渡す"}},
    {"MKey",           Train,    Own(kMasterKeyRule),                        nullptr, {"no key", "キーなし"},
        {"master-controller key: whether the driver must insert one before the protection starts",
         "マスコンキー: ATS が起動する前に運転士がキーを入れる必要があるか"}},

    {"Oneman",         Extra,    Own(kOnemanRule),                           nullptr, {"off", "オフ"},
        {"one-man door buttons fitted", "ワンマン用のドアボタンを装備する"}},
    {"EGBEnd",         Extra,    Own(kExtraEgbEndRule),                      "V",     {"1730 / 1800 / 1900"},
        {"one voltage stored into all three of EGBStart, ABStart and EGBEnd of [JRC313]",
         "[JRC313] の EGBStart, ABStart, EGBEnd の 3 つに同じ電圧を入れる"}},
    {"CurrentK",       Extra,    RealNotBelowZero(&S::currentK),             nullptr, {"1.0"},
        {"traction current coefficient", "主電動機電流の係数"}},
    {"Kiroku",         Extra,    Own(kKirokuRule),                           nullptr, {"0"},
        {"run record mode 0..3 (velqa3.csv)", "運転記録のモード 0..3 (velqa3.csv)"}},
    {"Tameo",          Extra,    SetBitOfReal(&S::companions, 0x02),         nullptr, {"off", "オフ"},
        {"load the time-signal companion Tameo.dll from the plug-in's folder",
         "時報の連携プラグイン Tameo.dll を本体と同じフォルダから読み込む"}},
    {"Hybrid",         Extra,    SetBitOfReal(&S::companions, 0x01),         nullptr, {"off", "オフ"},
        {"load the hybrid companion Norvelid.dll from the plug-in's folder",
         "ハイブリッドの連携プラグイン Norvelid.dll を本体と同じフォルダから読み込む"}},
    {"PowerDownMode",  Extra,    Own(kPowerDownModeRule),                    nullptr, {"both off", "両方オフ"},
        {"low-voltage power reduction (two lines can switch on both modes)",
         "架線電圧低下時の出力低減 (2 行書けば両方のモードがオンになる)"}},
    {"PowerDownV",     Extra,    Whole(&S::powerDownV),                      "V",     {"2000"},
        {"line voltage below which power is reduced", "この架線電圧を下回ると出力を下げる"}},
    {"BrakeDownMode",  Extra,    Own(kBrakeDownModeRule),                    nullptr, {"0"},
        {"high-voltage brake reduction", "架線電圧上昇時のブレーキ低減"}},
    {"BrakeDownV",     Extra,    Whole(&S::brakeDownV),                      "V",     {"0"},
        {"line voltage above which the brake is reduced", "この架線電圧を上回るとブレーキを弱める"}},

    {"Use",            Tasc,     Own(kTascUseRule),                          nullptr, {"off", "オフ"},
        {"TASC automatic stopping", "TASC (定位置停止装置)"}},
    {"Accelaration",   Tasc,     Own(kAccelarationRule),                     nullptr, {"2.8 km/h/s (0.78 m/s^2)"},
        {"TASC deceleration", "TASC の減速度"}},
    {"Notch",          Tasc,     Own(kTascNotchRule),                        nullptr, {"2"},
        {"TASC brake notch scale", "TASC のブレーキノッチの目盛り"}},
    {"Mode",           Tasc,     Own(kTascModeRule),                         nullptr, {"0"},
        {"TASC mode bits", "TASC のモードビット"}},
    {"PlatformDoor",   Tasc,     Own(kPlatformDoorRule),                     nullptr, {"off", "オフ"},
        {"platform doors interlocked with TASC", "TASC と連動するホームドア"}},
    {"PDClose",        Tasc,     Own(kPdCloseRule),                          nullptr, {"0"},
        {"delay from the train doors closing to the platform doors closing",
         "車両のドアが閉まってからホームドアが閉まるまでの時間"}},

    {"OSR",            Meitetsu, Own(kMeitetsuOsrRule),                      nullptr, {"0"},
        {"overspeed relay mode of the spot protection (0, 1 or 2)",
         "ATS-ST の過速度リレーのモード (0, 1, 2)"}},
    {"PRR",            Meitetsu, Flag(&S::prr),                              nullptr, {"0"},
        {"repeat the call sound", "呼び出し音を繰り返す"}},

    {"PTMode",         Jrc313,   SetBitOfReal(&S::leverBits, 0x01),          nullptr, {"off", "オフ"},
        {"PT mode lever bit", "PT モードのレバーのビット"}},
    {"EGBStart",       Jrc313,   WholeNotBelowZero(&S::egbStart),            "V",     {"1730"},
        {"regeneration loss: first voltage", "回生失効: 1 つ目の電圧"}},
    {"ABStart",        Jrc313,   WholeNotBelowZero(&S::abStart),             "V",     {"1800"},
        {"regeneration loss: second voltage", "回生失効: 2 つ目の電圧"}},
    {"EGBEnd",         Jrc313,   WholeNotBelowZero(&S::egbEnd),              "V",     {"1900"},
        {"regeneration loss: last voltage", "回生失効: 最後の電圧"}},
    {"Constant",       Jrc313,   LowByte(&S::constant),                      nullptr, {"0"},
        {"constant-speed type: 1 = 45 km/h, 2 = 60 km/h", "定速の種類: 1 = 45 km/h、2 = 60 km/h"}},
    {"PBStart",        Jrc313,   RealAtLeastTen(&S::pbStart),                "km/h",  {"100"},
        {"pressure-increase brake from this speed", "この速度から増圧ブレーキを掛ける"}},
    {"PBEnd",          Jrc313,   Own(kPbEndRule),                            "km/h",  {"40"},
        {"pressure-increase brake down to this speed", "この速度まで増圧ブレーキを掛ける"}},
    {"T-PriorityStart", Jrc313,  Own(kTPriorityStartRule),                   "km/h",  {"0"},
        {"speed of the T-priority control", "T 車優先制御の速度"}},
    {"T-PriorityCur",  Jrc313,   Whole(&S::tPriorityCur),                    nullptr, {"1000"},
        {"T-priority current", "T 車優先の電流"}},
    {"T-PriorityMid",  Jrc313,   Real(&S::tPriorityMid),                     nullptr, {"5.0"},
        {"T-priority middle value", "T 車優先の中間値"}},
    {"T-PriorityB1",   Jrc313,   TPriorityB(0),                              "kPa",   kUnset, kNotchPressure},
    {"T-PriorityB2",   Jrc313,   TPriorityB(1),                              "kPa",   kUnset, kNotchPressure},
    {"T-PriorityB3",   Jrc313,   TPriorityB(2),                              "kPa",   kUnset, kNotchPressure},
    {"T-PriorityB4",   Jrc313,   TPriorityB(3),                              "kPa",   kUnset, kNotchPressure},
    {"T-PriorityB5",   Jrc313,   TPriorityB(4),                              "kPa",   kUnset, kNotchPressure},
    {"T-PriorityB6",   Jrc313,   TPriorityB(5),                              "kPa",   kUnset, kNotchPressure},
    {"T-PriorityB7",   Jrc313,   TPriorityB(6),                              "kPa",   kUnset, kNotchPressure},
    {"ApplySpeed",     Jrc313,   Whole(&S::applySpeed),                      nullptr, {"200"},
        {"brake-cylinder apply speed", "ブレーキシリンダ圧の込め速度"}},
    {"ReleaseSpeed",   Jrc313,   Whole(&S::releaseSpeed),                    nullptr, {"200"},
        {"brake-cylinder release speed", "ブレーキシリンダ圧の緩め速度"}},
    {"EBDown",         Jrc313,   Flag(&S::ebDown),                           nullptr, {"0"},
        {"step down to notch 2 after an emergency brake", "非常ブレーキのあと 2 ノッチまで緩める"}},
    {"OneLever",       Jrc313,   SetBit(&S::leverBits, 0x02),                nullptr, {"off", "オフ"},
        {"one-lever master controller", "ワンハンドルマスコン"}},

    {"Mode",           Dc25,     Own(kDc25ModeRule),                         nullptr, {"0, 0"},
        {"DC25 panel mode", "DC25 のパネルモード"}},

    {"Station",        Panel,    LowByte(&S::station),                       nullptr, {"0"},
        {"station display mode 0..3", "駅名表示のモード 0..3"}},
    {"CarNumber",      Panel,    Flag(&S::carNumber),                        nullptr, {"0"},
        {"car-number display", "車番表示"}},
    {"Unit2-EGBEnd",   Panel,    RealNotBelowZero(&S::unit2EgbEnd),          "V",     {"0"},
        {"second unit: regeneration-loss end voltage", "2 ユニット目: 回生失効の終わりの電圧"}},
    {"Unit2-KasenV",   Panel,    WholeNotBelowZero(&S::unit2KasenV),         "V",     {"0"},
        {"second unit: line voltage", "2 ユニット目: 架線電圧"}},
    {"Unit3-EGBEnd",   Panel,    RealNotBelowZero(&S::unit3EgbEnd),          "V",     {"0"},
        {"third unit: regeneration-loss end voltage", "3 ユニット目: 回生失効の終わりの電圧"}},
    {"Unit3-KasenV",   Panel,    WholeNotBelowZero(&S::unit3KasenV),         "V",     {"0"},
        {"third unit: line voltage", "3 ユニット目: 架線電圧"}},

    {"Mode",           SendData, Flag(&S::sendMode),                         nullptr, {"0"},
        {"status datagrams over UDP on", "状態データを UDP で送る"}},
    {"Port",           SendData, Own(kPortRule),                             nullptr, {"49200"},
        {"status sender's UDP port", "状態データの送信先 UDP ポート"}},
    {"Host",           SendData, Text(&S::host),                             nullptr, {"127.0.0.1"},
        {"status sender's destination, a numeric IPv4 address",
         "状態データの送信先 (数字で書いた IPv4 アドレス)"}},
    {"CastMode",       SendData, Flag(&S::castMode),                         nullptr, {"0"},
        {"stop datagrams over UDP on", "停車データを UDP で送る"}},
    {"CastPort",       SendData, Own(kCastPortRule),                         nullptr, {"49200"},
        {"stop sender's UDP port", "停車データの送信先 UDP ポート"}},
    {"CastHost",       SendData, Text(&S::castHost),                         nullptr, {"127.0.0.1"},
        {"stop sender's destination, a numeric IPv4 address",
         "停車データの送信先 (数字で書いた IPv4 アドレス)"}},
};
// clang-format on

constexpr SettingsKeyDoc kPanelOutputDoc = {
    {"lines kkk=index", "「kkk=番号」の行"},
    nullptr,
    {"every slot at its own index", "どのスロットも同じ番号のまま"},
    {"kkk: exactly three decimal digits 000..255; index: 0..254, not 199; slot 199 stays",
     "kkk: ちょうど 3 桁の 10 進数 000..255。番号: 0..254 (199 以外)。スロット 199 は動かせない"},
    {"moves the plug-in's panel slot kkk to another index of the host's panel array",
     "プラグインのパネルスロット kkk をシミュレーターのパネル配列の別の番号へ移す"},
    SettingsRepeat::LaterWins};
constexpr SettingsKeyDoc kSoundOutputDoc = {
    {"lines kkk=index", "「kkk=番号」の行"},
    nullptr,
    {"every slot at its own index", "どのスロットも同じ番号のまま"},
    {"kkk: exactly three decimal digits 000..255; index: 0..254",
     "kkk: ちょうど 3 桁の 10 進数 000..255。番号: 0..254"},
    {"moves the plug-in's sound slot kkk to another index of the host's sound array",
     "プラグインのサウンドスロット kkk をシミュレーターのサウンド配列の別の番号へ移す"},
    SettingsRepeat::LaterWins};
constexpr SettingsKeyDoc kKeyDoc = {
    {"lines Name=code", "「名前=コード」の行"},
    nullptr,
    {"see the names", "名前の表を参照"},
    {"code: a Windows virtual-key code 0..255; F1..F12 only for LeftDoor and the names after it",
     "コード: Windows の仮想キーコード 0..255。F1..F12 は LeftDoor とそれ以降の名前にだけ使える"},
    {"binds a keyboard key to a cab function (--explain NAME for each name)",
     "キーボードのキーを運転台の機能に割り当てる (名前ごとの説明は --explain 名前)"},
    SettingsRepeat::LaterWins};

} // namespace

struct SettingsSection {
    const char* header;
    SectionId id;
    // Sections whose lines belong to another table take them whole. Told apart by a flag
    // rather than by the function, whose address the sanitizer builds do not take as a
    // constant in the checks below.
    bool wholeLines;
    bool (*readLine)(const char* line, const Context& t);
    const SettingsKeyDoc* lineDoc;
    // What the header line alone does.
    void (*enter)(const Context& t);
};

namespace {

constexpr SettingsSection KeySection(const char* header, SectionId id,
                                     void (*enter)(const Context& t) = nullptr) {
    return {header, id, false, nullptr, nullptr, enter};
}

constexpr SettingsSection LineSection(const char* header, SectionId id,
                                      bool (*readLine)(const char* line, const Context& t),
                                      const SettingsKeyDoc& doc) {
    return {header, id, true, readLine, &doc, nullptr};
}

// In the order the reader tries the headers, which is the order of SectionId.
constexpr SettingsSection kSections[] = {
    KeySection("[TRAIN]", Train),
    KeySection("[EXTRA]", Extra),
    KeySection("[TASC]", Tasc),
    KeySection("[MEITETSU]", Meitetsu),
    KeySection("[JRC313]", Jrc313, EnterJrc313),
    KeySection("[DC25]", Dc25),
    KeySection("[PANEL]", Panel),
    KeySection("[SENDDATA]", SendData),
    LineSection("[PANELOUTPUT]", PanelOutput, ReadPanelTableLine, kPanelOutputDoc),
    LineSection("[SOUNDOUTPUT]", SoundOutput, ReadSoundTableLine, kSoundOutputDoc),
    LineSection("[KEY]", Key, ReadKeyTableLine, kKeyDoc),
};

constexpr std::size_t kRowCount = std::size(kRows);

// The rows stand in the order of their sections, key sections before the sections of whole
// lines, so that the list of keys is the rows followed by those sections.
constexpr bool RowsFollowTheSections() {
    for (std::size_t i = 0; i < std::size(kSections); ++i)
        if (kSections[i].id != static_cast<SectionId>(i)) return false;
    for (std::size_t i = 0; i < kRowCount; ++i) {
        if (kSections[static_cast<std::size_t>(kRows[i].section)].wholeLines) return false;
        if (i > 0 && kRows[i].section < kRows[i - 1].section) return false;
    }
    return true;
}
static_assert(RowsFollowTheSections());

constexpr bool SameText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// A second row for a key would never be reached: the first takes every line.
constexpr bool KeysAreUniqueInTheirSection() {
    for (std::size_t i = 0; i < kRowCount; ++i)
        for (std::size_t j = i + 1; j < kRowCount; ++j)
            if (kRows[i].section == kRows[j].section && SameText(kRows[i].key, kRows[j].key))
                return false;
    return true;
}
static_assert(KeysAreUniqueInTheirSection());

constexpr std::size_t kLineSectionCount = [] {
    std::size_t count = 0;
    for (const SettingsSection& section : kSections)
        count += section.wholeLines ? 1 : 0;
    return count;
}();

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
    if (section.wholeLines) return section.readLine(line, context);
    SettingsDiagnostics* diagnostics = context.diagnostics;
    for (const SettingsKeyRow& row : kRows) {
        if (row.section != section.id) continue;
        const std::size_t keyLength = std::strlen(row.key);
        if (std::strncmp(line, row.key, keyLength) != 0 || line[keyLength] != '=') continue;
        if (diagnostics != nullptr) diagnostics->key = row.key;
        row.reading.rule->apply(row, line + keyLength + 1, context);
        if (diagnostics != nullptr) diagnostics->key = nullptr;
        return true;
    }
    return false;
}

std::size_t SettingsKeyCount() {
    return kRowCount + kLineSectionCount;
}

SettingsKeyInfo SettingsKeyAt(std::size_t index) {
    if (index < kRowCount) {
        const SettingsKeyRow& row = kRows[index];
        const SettingsRule& rule = *row.reading.rule;
        return {kSections[static_cast<std::size_t>(row.section)].header,
                row.key,
                {rule.type, row.unit, row.defaultValue, rule.bounds, row.what, rule.repeat}};
    }
    index -= kRowCount;
    for (const SettingsSection& section : kSections) {
        if (!section.wholeLines) continue;
        if (index == 0) return {section.header, nullptr, *section.lineDoc};
        --index;
    }
    return {nullptr, nullptr, {}};
}

} // namespace velqa3
