#include "config/settings_sections.h"

#include "config/numbers.h"
#include "platform/platform.h"

#include <cstring>

namespace velqa3 {

namespace {

constexpr const char* kTrainOsrText = "[TRAIN]OSR は [MEITETTSU]OSRに記述してください";

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
std::uint8_t Flag(std::int32_t value) {
    return value != 0 ? 1 : 0;
}
std::int32_t NotBelowZero(std::int32_t value) {
    return value < 0 ? 0 : value;
}
float NotBelowZero(float value) {
    return value < 0.0f ? 0.0f : value;
}
float AtLeastTen(float value) {
    return value < 10.0f ? 10.0f : value;
}

// A float truncated toward zero; beyond the int32 range it saturates, as the integer keys do.
std::int32_t TruncateToInt(float value) {
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Host texts: the rest of the line without its line break. A longer text than the field keeps
// its first 51 characters, so a mistyped line can never run past the field.
void CopyHostText(const char* value, char (&field)[kHostTextSize]) {
    std::size_t length = 0;
    while (length < kHostTextSize - 1 && value[length] != '\0' && value[length] != '\n')
        ++length;
    std::memset(field, 0, sizeof field);
    std::memcpy(field, value, length);
}

// Without a key of its own the driver never inserts one, so the protection starts at once.
void MasterKey(std::int32_t type, const SettingsTargets& t) {
    Settings& s = t.settings;
    if (type == 1 || type == 2) {
        s.masterKeyFlags = type == 1 ? 0x90 : 0xD0;
        s.masterKeyPosition = 0;
        return;
    }
    s.masterKeyFlags = 0x41;
    s.masterKeyPosition = 2;
    if (t.hooks.masterKeyStartup != nullptr) t.hooks.masterKeyStartup(t.hooks.context, s);
}

using Apply = void (*)(const char* value, const SettingsTargets& t);

struct KeyRule {
    const char* key;
    Apply apply;
};

constexpr KeyRule kTrainKeys[] = {
    {"Default",
     [](const char* v, const SettingsTargets& t) { t.settings.defaultLineCode = ParseLong(v); }},
    {"PlusBrake",
     [](const char* v, const SettingsTargets& t) {
         if (ParseLong(v) != 0) t.settings.plusBrakeConfigured = 1;
     }},
    {"PlusEB",
     [](const char* v, const SettingsTargets& t) {
         if (ParseLong(v) != 0) t.settings.plusBrakeEmergencyBoost = 1;
     }},
    {"HoldBrake",
     [](const char* v, const SettingsTargets& t) { t.settings.holdBrake = Flag(ParseLong(v)); }},
    {"SnowBrake",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t kpa = ParseLong(v);
         t.settings.snowBrake = kpa < 0 || kpa > 999 ? 0 : kpa;
     }},
    {"Length", [](const char* v, const SettingsTargets& t) { t.settings.length = ParseFloat(v); }},
    {"EmgBrake",
     [](const char* v, const SettingsTargets& t) {
         const std::int8_t mode = Low8Signed(ParseLong(v));
         t.settings.emgBrake = mode < 0 || mode > 3 || mode == 2 ? 1 : mode;
     }},
    // The overspeed relay belongs to [MEITETSU]; an old file still gets its value, with a hint.
    {"OSR",
     [](const char* v, const SettingsTargets& t) {
         platform::ShowMessage(kTrainOsrText, kReadCaption);
         t.settings.osrMode = Flag(ParseLong(v));
     }},
    {"Horn", [](const char* v, const SettingsTargets& t) { t.settings.horn = ParseLong(v); }},
    {"Offset", [](const char* v, const SettingsTargets& t) { t.settings.offset = ParseFloat(v); }},
    {"MaxSpeed",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t kmh = ParseLong(v);
         if (t.hooks.maxSpeed != nullptr) t.hooks.maxSpeed(t.hooks.context, kmh < 10 ? 10 : kmh);
     }},
    {"MKey", [](const char* v, const SettingsTargets& t) { MasterKey(ParseLong(v), t); }},
};

constexpr KeyRule kExtraKeys[] = {
    {"Oneman",
     [](const char* v, const SettingsTargets& t) {
         if (ParseLong(v) != 0) t.settings.oneManDoors = 0x84;
     }},
    // One voltage for the whole regeneration-loss curve; [JRC313] can still set each point.
    {"EGBEnd",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t volts = NotBelowZero(ParseLong(v));
         t.settings.egbStart = volts;
         t.settings.abStart = volts;
         t.settings.egbEnd = volts;
     }},
    {"CurrentK",
     [](const char* v, const SettingsTargets& t) {
         t.settings.currentK = NotBelowZero(ParseFloat(v));
     }},
    {"Kiroku",
     [](const char* v, const SettingsTargets& t) {
         t.settings.kiroku = static_cast<std::uint8_t>(NotBelowZero(ParseLong(v)) & 3);
     }},
    {"Tameo",
     [](const char* v, const SettingsTargets& t) {
         if (ParseFloat(v) != 0.0f) t.settings.companions |= 0x02;
     }},
    {"Hybrid",
     [](const char* v, const SettingsTargets& t) {
         if (ParseFloat(v) != 0.0f) t.settings.companions |= 0x01;
     }},
    {"PowerDownMode",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t mode = ParseLong(v);
         if (mode == 1) t.settings.powerDownMode1 = 1;
         if (mode == 2) t.settings.powerDownMode2 = 1;
     }},
    {"PowerDownV",
     [](const char* v, const SettingsTargets& t) { t.settings.powerDownV = ParseLong(v); }},
    {"BrakeDownMode",
     [](const char* v, const SettingsTargets& t) {
         if (ParseLong(v) == 1) t.settings.brakeDownMode = 1;
     }},
    {"BrakeDownV",
     [](const char* v, const SettingsTargets& t) { t.settings.brakeDownV = ParseLong(v); }},
};

constexpr KeyRule kTascKeys[] = {
    {"Use",
     [](const char* v, const SettingsTargets& t) {
         const std::uint8_t on = ParseLong(v) == 1 ? 1 : 0;
         t.settings.tascInstalled = on;
         t.settings.tascSwitchedOn = on;
     }},
    // Written in km/h/s as drivers think of it, kept in m/s^2; nonsense falls back to 2.7 km/h/s.
    {"Accelaration",
     [](const char* v, const SettingsTargets& t) {
         const float deceleration = ParseFloat(v) / 3.6f;
         t.settings.tascDeceleration =
             deceleration < 0.0f || deceleration > 10.0f ? 0.75f : deceleration;
     }},
    // C's remainder keeps the sign of the value: 250 gives 50, -7 stays -7.
    {"Notch",
     [](const char* v, const SettingsTargets& t) { t.settings.tascNotch = ParseLong(v) % 100; }},
    {"Mode",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t mode = ParseLong(v);
         if (mode >= 1 && mode <= 3) t.settings.tascMode |= static_cast<std::uint8_t>(mode);
     }},
    {"PlatformDoor",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t doors = ParseLong(v);
         if (doors != 1 && doors != 2) return;
         t.settings.platformDoorsFitted = 1;
         t.settings.platformDoorsLinked = 1;
         t.settings.platformDoorLampVariant = doors == 2 ? 1 : 0;
     }},
    {"PDClose",
     [](const char* v, const SettingsTargets& t) {
         t.settings.pdClose = NotBelowZero(TruncateToInt(ParseFloat(v)));
     }},
};

constexpr KeyRule kMeitetsuKeys[] = {
    {"OSR",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t mode = ParseLong(v);
         t.settings.osrMode = mode < 0 || mode > 2 ? 1 : static_cast<std::uint8_t>(mode);
     }},
    {"PRR", [](const char* v, const SettingsTargets& t) { t.settings.prr = Flag(ParseLong(v)); }},
};

// Each target pressure of the T-priority table, brake notches 2..8.
template <int N> void TPriorityB(const char* v, const SettingsTargets& t) {
    t.settings.tPriorityB[N - 1] = AtLeastTen(ParseFloat(v));
}

constexpr KeyRule kJrc313Keys[] = {
    {"PTMode",
     [](const char* v, const SettingsTargets& t) {
         if (ParseFloat(v) != 0.0f) t.settings.leverBits |= 0x01;
     }},
    {"EGBStart",
     [](const char* v, const SettingsTargets& t) {
         t.settings.egbStart = NotBelowZero(ParseLong(v));
     }},
    {"ABStart", [](const char* v,
                   const SettingsTargets& t) { t.settings.abStart = NotBelowZero(ParseLong(v)); }},
    {"EGBEnd", [](const char* v,
                  const SettingsTargets& t) { t.settings.egbEnd = NotBelowZero(ParseLong(v)); }},
    {"Constant",
     [](const char* v, const SettingsTargets& t) { t.settings.constant = Low8(ParseLong(v)); }},
    {"PBStart", [](const char* v,
                   const SettingsTargets& t) { t.settings.pbStart = AtLeastTen(ParseFloat(v)); }},
    {"PBEnd",
     [](const char* v, const SettingsTargets& t) {
         const float kmh = ParseFloat(v);
         t.settings.pbEnd = kmh <= 0.0f ? 0.1f : kmh;
     }},
    {"T-PriorityStart",
     [](const char* v, const SettingsTargets& t) {
         t.settings.tPriorityStart = ParseFloat(v);
         t.settings.tPriorityModel = 1;
     }},
    {"T-PriorityCur",
     [](const char* v, const SettingsTargets& t) { t.settings.tPriorityCur = ParseLong(v); }},
    {"T-PriorityMid",
     [](const char* v, const SettingsTargets& t) { t.settings.tPriorityMid = ParseFloat(v); }},
    {"T-PriorityB1", TPriorityB<1>},
    {"T-PriorityB2", TPriorityB<2>},
    {"T-PriorityB3", TPriorityB<3>},
    {"T-PriorityB4", TPriorityB<4>},
    {"T-PriorityB5", TPriorityB<5>},
    {"T-PriorityB6", TPriorityB<6>},
    {"T-PriorityB7", TPriorityB<7>},
    {"ApplySpeed",
     [](const char* v, const SettingsTargets& t) { t.settings.applySpeed = ParseLong(v); }},
    {"ReleaseSpeed",
     [](const char* v, const SettingsTargets& t) { t.settings.releaseSpeed = ParseLong(v); }},
    {"EBDown",
     [](const char* v, const SettingsTargets& t) { t.settings.ebDown = Flag(ParseLong(v)); }},
    {"OneLever",
     [](const char* v, const SettingsTargets& t) {
         if (ParseLong(v) != 0) t.settings.leverBits |= 0x02;
     }},
};

constexpr KeyRule kDc25Keys[] = {
    {"Mode",
     [](const char* v, const SettingsTargets& t) {
         const std::int32_t mode = ParseLong(v);
         if (mode != 0) t.settings.dc25Configured = 1;
         if (mode == 1 || mode == 2) t.settings.dc25Mode = static_cast<std::uint8_t>(mode);
     }},
};

constexpr KeyRule kPanelKeys[] = {
    {"Station",
     [](const char* v, const SettingsTargets& t) { t.settings.station = Low8(ParseLong(v)); }},
    {"CarNumber",
     [](const char* v, const SettingsTargets& t) { t.settings.carNumber = Flag(ParseLong(v)); }},
    {"Unit2-EGBEnd",
     [](const char* v, const SettingsTargets& t) {
         t.settings.unit2EgbEnd = NotBelowZero(ParseFloat(v));
     }},
    {"Unit2-KasenV",
     [](const char* v, const SettingsTargets& t) {
         t.settings.unit2KasenV = NotBelowZero(ParseLong(v));
     }},
    {"Unit3-EGBEnd",
     [](const char* v, const SettingsTargets& t) {
         t.settings.unit3EgbEnd = NotBelowZero(ParseFloat(v));
     }},
    {"Unit3-KasenV",
     [](const char* v, const SettingsTargets& t) {
         t.settings.unit3KasenV = NotBelowZero(ParseLong(v));
     }},
};

// The ports of the dynamic range only; the stop sender never shares the status sender's port
// as it stands when its own line is read. Stepping past 65535 would wrap to port 0, which
// names no destination, so the step goes down there.
std::uint16_t CastPort(std::int32_t value, std::uint16_t statusPort) {
    std::uint16_t port = Low16(value);
    if (port < 49152) port = 49201;
    if (port == statusPort) port = port == 65535 ? 65534 : static_cast<std::uint16_t>(port + 1);
    return port;
}

constexpr KeyRule kSendDataKeys[] = {
    {"Mode",
     [](const char* v, const SettingsTargets& t) { t.settings.sendMode = Flag(ParseLong(v)); }},
    {"Port",
     [](const char* v, const SettingsTargets& t) {
         const std::uint16_t port = Low16(ParseLong(v));
         t.settings.port = port < 49152 ? 49200 : port;
     }},
    {"Host", [](const char* v, const SettingsTargets& t) { CopyHostText(v, t.settings.host); }},
    {"CastMode",
     [](const char* v, const SettingsTargets& t) { t.settings.castMode = Flag(ParseLong(v)); }},
    {"CastPort",
     [](const char* v, const SettingsTargets& t) {
         t.settings.castPort = CastPort(ParseLong(v), t.settings.port);
     }},
    {"CastHost",
     [](const char* v, const SettingsTargets& t) { CopyHostText(v, t.settings.castHost); }},
};

} // namespace

struct SettingsSection {
    const char* header;
    const KeyRule* rules;
    std::size_t ruleCount;
    // Sections whose lines belong to another table take them whole.
    void (*readLine)(const char* line, const SettingsTargets& t);
    // What the header line alone does.
    void (*enter)(const SettingsTargets& t);
};

namespace {

template <std::size_t N>
constexpr SettingsSection KeySection(const char* header, const KeyRule (&rules)[N],
                                     void (*enter)(const SettingsTargets& t) = nullptr) {
    return {header, rules, N, nullptr, enter};
}

constexpr SettingsSection
LineSection(const char* header, void (*readLine)(const char* line, const SettingsTargets& t)) {
    return {header, nullptr, 0, readLine, nullptr};
}

constexpr SettingsSection kSections[] = {
    KeySection("[TRAIN]", kTrainKeys),
    KeySection("[EXTRA]", kExtraKeys),
    KeySection("[TASC]", kTascKeys),
    KeySection("[MEITETSU]", kMeitetsuKeys),
    // A [JRC313] section alone, even an empty one, selects this train's T-priority model.
    KeySection("[JRC313]", kJrc313Keys,
               [](const SettingsTargets& t) { t.settings.tPriorityModel = 2; }),
    KeySection("[DC25]", kDc25Keys),
    KeySection("[PANEL]", kPanelKeys),
    KeySection("[SENDDATA]", kSendDataKeys),
    LineSection(
        "[PANELOUTPUT]",
        [](const char* line, const SettingsTargets& t) { ReadPanelRemapLine(line, t.remap); }),
    LineSection(
        "[SOUNDOUTPUT]",
        [](const char* line, const SettingsTargets& t) { ReadSoundRemapLine(line, t.remap); }),
    LineSection("[KEY]",
                [](const char* line, const SettingsTargets& t) { ReadKeyLine(line, t.keys); }),
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

void EnterSettingsSection(const SettingsSection& section, const SettingsTargets& targets) {
    if (section.enter != nullptr) section.enter(targets);
}

void ApplySettingsLine(const SettingsSection& section, const char* line,
                       const SettingsTargets& targets) {
    if (section.readLine != nullptr) {
        section.readLine(line, targets);
        return;
    }
    for (std::size_t i = 0; i < section.ruleCount; ++i) {
        const KeyRule& rule = section.rules[i];
        const std::size_t keyLength = std::strlen(rule.key);
        if (std::strncmp(line, rule.key, keyLength) == 0 && line[keyLength] == '=') {
            rule.apply(line + keyLength + 1, targets);
            return;
        }
    }
}

} // namespace velqa3
