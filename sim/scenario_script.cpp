// The driver's script ([[driver]] steps) and the expectations ([[expect]]).
#include "sim/brake_reason_names.h"
#include "sim/cab_key_names.h"
#include "sim/scenario_parts.h"

#include <algorithm>
#include <climits>

namespace velqa3::sim {

namespace {

std::optional<std::int32_t> Int32(Fields& fields, std::string_view key) {
    const auto value = fields.Integer(key, INT32_MIN, INT32_MAX);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::pair<double, double> Range(Fields& fields, std::string_view key) {
    const toml::array* pair = fields.Array(key);
    if (pair == nullptr || pair->size() != 2) fields.Fail(key, "must be a pair [from, to]");
    const double from = NumberOf(*pair->get(0), fields.Name(key));
    const double to = NumberOf(*pair->get(1), fields.Name(key));
    if (to < from) fields.Fail(key, "must not end before it begins");
    if (key == "between_s" && from < 0.0) fields.Fail(key, "must not begin before the run");
    return {from, to};
}

// A brake notch given as a number or as "emergency".
std::int32_t Notch(Fields& fields, std::string_view key, const VehicleSpec& spec, bool& emergency) {
    const toml::node* node = fields.Node(key);
    if (node->is_string()) {
        if (*node->value<std::string>() != "emergency")
            fields.Fail(key, "must be a notch number or \"emergency\"");
        emergency = true;
        return spec.BrakeNotches + 1;
    }
    return static_cast<std::int32_t>(IntegerOf(*node, fields.Name(key), 0, spec.BrakeNotches + 1));
}

// A flag whose only meaning is "true": false would silently do nothing.
bool OnlyTrue(Fields& fields, std::string_view key) {
    const auto flag = fields.Boolean(key);
    if (flag && !*flag) fields.Fail(key, "can only be true; leave it out otherwise");
    return flag.value_or(false);
}

int HoldMs(Fields& fields) {
    return static_cast<int>(fields.Integer("hold_ms", 1, 3600000).value_or(200));
}

// cab_key = "TascSW" presses the function's key for hold_ms; cab_key_down and cab_key_up hold
// it and let it go in steps of their own.
void ReadCabKey(Fields& fields, DriverStep& step) {
    static constexpr std::pair<std::string_view, CabKeyStep::Action> kKinds[] = {
        {"cab_key", CabKeyStep::Action::Press},
        {"cab_key_down", CabKeyStep::Action::Down},
        {"cab_key_up", CabKeyStep::Action::Up}};
    for (const auto& [key, action] : kKinds) {
        const auto name = fields.Text(key);
        if (!name) continue;
        if (step.cabKey) fields.Fail(key, "only one of cab_key, cab_key_down, cab_key_up per step");
        if (!IsCabFunction(*name))
            fields.Fail(key, "\"" + *name + "\" is none of " + CabFunctionList());
        step.cabKey = CabKeyStep{*name, action, 0, 0};
    }
}

} // namespace

std::int32_t ReverserOf(Fields& fields, std::string_view key) {
    return static_cast<std::int32_t>(*fields.Integer(key, -1, 1));
}

std::int32_t PowerOf(Fields& fields, std::string_view key, const VehicleSpec& spec) {
    return static_cast<std::int32_t>(*fields.Integer(key, 0, spec.PowerNotches));
}

std::int32_t BrakeOf(Fields& fields, std::string_view key, const VehicleSpec& spec) {
    bool emergency = false;
    return Notch(fields, key, spec, emergency);
}

DriverStep ReadDriverStep(Fields& fields, const VehicleSpec& spec) {
    DriverStep step;
    step.line = fields.line();
    step.note = fields.Text("note").value_or("");
    step.atS = fields.Number("at_s");
    step.atTimeMs = fields.ClockMs("at_time");
    step.atLocation = fields.Number("at_location");
    step.locationBelow = fields.Number("location_below");
    step.speedBelow = fields.Number("speed_below");
    step.speedAbove = fields.Number("speed_above");
    step.waitS = fields.Number("wait_s");
    if (OnlyTrue(fields, "stopped")) step.stopped = true;
    step.pluginBrake = fields.Boolean("plugin_brake");
    if (step.atS && *step.atS < 0.0) fields.Fail("at_s", "must not be negative");
    if (step.waitS && *step.waitS < 0.0) fields.Fail("wait_s", "must not be negative");

    if (fields.Has("reverser")) step.reverser = ReverserOf(fields, "reverser");
    if (fields.Has("power")) step.power = PowerOf(fields, "power", spec);
    if (fields.Has("brake")) step.brake = BrakeOf(fields, "brake", spec);
    if (auto key = fields.Integer("key_down", 0, 15)) step.keyDown = static_cast<int>(*key);
    if (auto key = fields.Integer("key_up", 0, 15)) step.keyUp = static_cast<int>(*key);
    if (auto key = fields.Integer("key", 0, 15)) step.key = KeyPress{static_cast<int>(*key), 0};
    if (auto code = fields.Integer("keyboard", 0, 255))
        step.keyboard = KeyPress{static_cast<int>(*code), 0};
    ReadCabKey(fields, step);
    const bool press = step.cabKey && step.cabKey->action == CabKeyStep::Action::Press;
    const bool holds = step.key || step.keyboard || press;
    if (fields.Has("hold_ms") && !holds)
        fields.Fail("hold_ms", "belongs to key, keyboard or cab_key");
    const int hold = HoldMs(fields);
    if (step.key) step.key->holdMs = hold;
    if (step.keyboard) step.keyboard->holdMs = hold;
    if (step.cabKey) step.cabKey->holdMs = hold;
    step.horn = Int32(fields, "horn");
    if (auto doors = fields.Text("doors")) {
        if (*doors != "open" && *doors != "close")
            fields.Fail("doors", "must be \"open\" or \"close\"");
        step.doorsOpen = *doors == "open";
    }
    if (const toml::table* place = fields.Table("initialize")) {
        Fields relocation(*place, fields.Name("initialize"));
        Relocation r;
        const auto location = relocation.Number("location");
        if (!location) relocation.Fail("location", "is missing");
        if (*location < -1e9 || *location > 1e9)
            relocation.Fail("location", "must lie within ±1e9 m");
        r.location = *location;
        r.speed = relocation.Number("speed", 0.0);
        if (r.speed < -1000.0 || r.speed > 1000.0)
            relocation.Fail("speed", "must lie within ±1000 km/h");
        r.brake = Int32(relocation, "brake").value_or(0);
        relocation.RejectUnknownKeys();
        step.initialize = r;
    }
    step.end = OnlyTrue(fields, "end");
    return step;
}

namespace {

// The keys that qualify an expectation, and the kinds that take each. A key the author spelt
// right but gave to the wrong kind is no misspelling: say where it belongs.
struct Modifier {
    std::string_view key;
    std::string_view kinds;
};
constexpr Modifier kModifiers[] = {
    {"between_m", "brake_reaches, panel, speed_below, panel_is, sound, brake_reason"},
    {"between_s", "reverser_is, panel_is, sound, brake_reason"},
    {"value", "panel, panel_is"},
    {"plays", "sound"},
};

void RefuseForeignModifiers(Fields& fields, std::string_view kind) {
    for (const Modifier& m : kModifiers) {
        if (!fields.Has(m.key)) continue;
        bool taken = false;
        for (std::size_t at = 0; at < m.kinds.size();) {
            const std::size_t end = std::min(m.kinds.find(", ", at), m.kinds.size());
            taken |= m.kinds.substr(at, end - at) == kind;
            at = end + 2;
        }
        if (!taken)
            fields.Fail(m.key, "a " + std::string(kind) + " expectation takes no " +
                                   std::string(m.key) + "; it qualifies " + std::string(m.kinds) +
                                   " expectations");
    }
}

} // namespace

Expectation ReadExpectation(Fields& fields, const VehicleSpec& spec) {
    Expectation expect;
    expect.line = fields.line();
    static constexpr std::string_view kKinds[] = {
        "brake_reaches",  "brake_never_above",  "stops_before",
        "stops_between",  "final_stop_between", "speed_below",
        "message",        "message_contains",   "no_messages",
        "panel",          "reverser_is",        "panel_is",
        "sound",          "brake_reason",       "tasc_stop_within",
        "no_idle_beacons"};
    for (std::string_view k : kKinds)
        fields.Know(k);
    for (std::string_view k : {"between_m", "between_s", "value", "plays"})
        fields.Know(k);
    int kinds = 0;
    std::string_view kind;
    for (std::string_view k : kKinds)
        if (fields.Has(k)) ++kinds, kind = k;
    if (kinds == 0) {
        // Most likely a misspelt kind: say which, rather than list them all.
        for (std::string_view k : {"between_m", "between_s", "value", "plays"})
            fields.Node(k);
        fields.RejectUnknownKeys();
    }
    if (kinds != 1)
        throw FieldFault{
            fields.line(), fields.path(),
            "needs exactly one of brake_reaches, brake_never_above, stops_before, "
            "stops_between, final_stop_between, speed_below, message, message_contains, "
            "no_messages, panel, reverser_is, panel_is, sound, brake_reason, tasc_stop_within, "
            "no_idle_beacons"};
    RefuseForeignModifiers(fields, kind);
    const bool ranged = kind == "brake_reaches" || kind == "panel" || kind == "speed_below";
    if (ranged && fields.Has("between_m")) {
        const auto [from, to] = Range(fields, "between_m");
        expect.from = from;
        expect.to = to;
    }
    if (kind == "brake_reaches" || kind == "brake_never_above") {
        expect.kind = kind == "brake_reaches" ? Expectation::Kind::BrakeReaches
                                              : Expectation::Kind::BrakeNeverAbove;
        expect.notch = Notch(fields, kind, spec, expect.emergency);
    } else if (kind == "stops_before" || kind == "speed_below") {
        expect.kind =
            kind == "stops_before" ? Expectation::Kind::StopsBefore : Expectation::Kind::SpeedBelow;
        expect.value = *fields.Number(kind);
    } else if (kind == "stops_between" || kind == "final_stop_between") {
        expect.kind = kind == "stops_between" ? Expectation::Kind::StopsBetween
                                              : Expectation::Kind::FinalStopBetween;
        const auto [from, to] = Range(fields, kind);
        expect.from = from;
        expect.to = to;
    } else if (kind == "message" || kind == "message_contains") {
        expect.kind =
            kind == "message" ? Expectation::Kind::Message : Expectation::Kind::MessageContains;
        expect.caption = *fields.Text(kind);
        if (expect.caption.empty()) fields.Fail(kind, "must not be empty");
    } else if (kind == "no_messages") {
        expect.kind = Expectation::Kind::NoMessages;
        if (!*fields.Boolean(kind)) fields.Fail(kind, "can only be true");
    } else if (kind == "no_idle_beacons") {
        expect.kind = Expectation::Kind::NoIdleBeacons;
        if (!*fields.Boolean(kind)) fields.Fail(kind, "can only be true");
    } else if (kind == "reverser_is") {
        expect.kind = Expectation::Kind::ReverserIs;
        expect.reverser = static_cast<std::int32_t>(*fields.Integer(kind, -1, 1));
        if (!fields.Has("between_s"))
            fields.Fail("between_s", "is missing (the window of run time, in s)");
        const auto [from, to] = Range(fields, "between_s");
        expect.from = from;
        expect.to = to;
    } else if (kind == "tasc_stop_within") {
        expect.kind = Expectation::Kind::TascStop;
        expect.value = *fields.Number(kind);
        if (expect.value <= 0.0 || expect.value > 1000.0)
            fields.Fail(kind, "must be above 0 and at most 1000 (m either side of the stop point)");
    } else if (kind == "panel_is" || kind == "sound" || kind == "brake_reason") {
        // A range of distance or of run time; one of them, never both.
        const bool metres = fields.Has("between_m"), seconds = fields.Has("between_s");
        if (metres && seconds)
            fields.Fail("between_s", "cannot be given with between_m: choose distance or time");
        if (kind == "panel_is" && !metres && !seconds)
            fields.Fail(kind, "needs between_m or between_s (where the value must hold)");
        if (metres || seconds) {
            const auto [from, to] = Range(fields, metres ? "between_m" : "between_s");
            expect.from = from;
            expect.to = to;
            expect.rangeInSeconds = seconds;
        }
        if (kind == "brake_reason") {
            expect.kind = Expectation::Kind::BrakeReason;
            expect.reasonName = *fields.Text(kind);
            const auto bit = BrakeReasonBit(expect.reasonName);
            if (!bit) fields.Fail(kind, "must be one of " + BrakeReasonList());
            expect.reasonBit = *bit;
        } else if (kind == "panel_is") {
            expect.kind = Expectation::Kind::PanelHolds;
            expect.panelIndex = static_cast<int>(*fields.Integer(kind, 0, 255));
            if (!fields.Has("value")) fields.Fail("value", "is missing (the panel value expected)");
            expect.panelValue = *Int32(fields, "value");
        } else {
            expect.kind = Expectation::Kind::SoundCommand;
            expect.soundIndex = static_cast<int>(*fields.Integer(kind, 0, 255));
            const auto plays = fields.Text("plays");
            if (!plays) fields.Fail("plays", "is missing (once, looping or stops)");
            if (*plays == "once")
                expect.sound = Expectation::Sound::Once;
            else if (*plays == "looping")
                expect.sound = Expectation::Sound::Looping;
            else if (*plays == "stops")
                expect.sound = Expectation::Sound::Stops;
            else
                fields.Fail("plays", "must be once, looping or stops");
        }
    } else {
        expect.kind = Expectation::Kind::PanelReaches;
        expect.panelIndex = static_cast<int>(*fields.Integer(kind, 0, 255));
        if (!fields.Has("value")) fields.Fail("value", "is missing (the panel value expected)");
        expect.panelValue = *Int32(fields, "value");
    }
    return expect;
}

} // namespace velqa3::sim
