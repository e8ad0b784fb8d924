// The route: [[signal]], [[beacon]] and [[gradient]] tables.
#include "sim/scenario_parts.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <numeric>

namespace velqa3::sim {

namespace {

std::int32_t Int32(Fields& fields, std::string_view key, std::int32_t fallback) {
    return static_cast<std::int32_t>(fields.Integer(key, INT32_MIN, INT32_MAX).value_or(fallback));
}

double Position(Fields& fields, std::string_view key) {
    const auto position = fields.Number(key);
    if (!position) fields.Fail(key, "is missing");
    if (*position < -1e9 || *position > 1e9) fields.Fail(key, "must lie within ±1e9 m");
    return *position;
}

SignalChange ReadChange(Fields& fields) {
    SignalChange change;
    const auto atS = fields.Number("at_s");
    const auto atLocation = fields.Number("at_location");
    const auto passed = fields.Boolean("passed");
    if (passed && !*passed) fields.Fail("passed", "can only be true; leave it out otherwise");
    const int triggers = (atS ? 1 : 0) + (atLocation ? 1 : 0) + (passed.value_or(false) ? 1 : 0);
    if (triggers != 1)
        throw FieldFault{fields.line(), fields.path(),
                         "needs exactly one of at_s, at_location, passed = true"};
    if (atS) {
        if (*atS < 0.0) fields.Fail("at_s", "must not be negative");
        change.trigger = SignalChange::Trigger::Time;
        change.at = *atS;
    } else if (atLocation) {
        change.trigger = SignalChange::Trigger::Location;
        change.at = *atLocation;
    } else {
        change.trigger = SignalChange::Trigger::Passed;
    }
    if (!fields.Has("aspect")) fields.Fail("aspect", "is missing");
    change.aspect = Int32(fields, "aspect", 0);
    fields.RejectUnknownKeys();
    return change;
}

} // namespace

void ReadSignal(Fields& fields, Route& route) {
    Signal signal;
    signal.id = fields.Text("id").value_or("");
    signal.position = Position(fields, "position");
    signal.aspect = Int32(fields, "aspect", 0);
    if (signal.id.empty()) signal.id = "signal " + std::to_string(route.signals.size() + 1);
    for (const Signal& other : route.signals)
        if (other.id == signal.id) fields.Fail("id", "\"" + signal.id + "\" is used twice");
    if (const toml::array* changes = fields.Array("change")) {
        if (changes->size() > kMaxSignalChanges)
            throw FieldFault{LineOf(*changes->get(kMaxSignalChanges)), fields.Name("change"),
                             "a signal may change at most " + std::to_string(kMaxSignalChanges) +
                                 " times"};
        for (std::size_t i = 0; i < changes->size(); ++i) {
            const toml::table* table = changes->get(i)->as_table();
            const std::string key = fields.Name("change") + "[" + std::to_string(i + 1) + "]";
            if (table == nullptr)
                throw FieldFault{LineOf(*changes->get(i)), key, "must be a table"};
            Fields change(*table, key);
            signal.changes.push_back(ReadChange(change));
        }
    }
    route.signals.push_back(std::move(signal));
}

void ReadBeacon(Fields& fields, Route& route) {
    Beacon beacon;
    beacon.position = Position(fields, "position");
    if (!fields.Has("type")) fields.Fail("type", "is missing");
    beacon.type = Int32(fields, "type", 0);
    beacon.optional = Int32(fields, "optional", 0);
    if (auto id = fields.Text("signal")) {
        for (std::size_t i = 0; i < route.signals.size(); ++i)
            if (route.signals[i].id == *id) beacon.signal = static_cast<int>(i);
        if (beacon.signal < 0) fields.Fail("signal", "no [[signal]] has the id \"" + *id + "\"");
    }
    route.beacons.push_back(beacon);
}

void ReadGradient(Fields& fields, Route& route) {
    GradientChange grade;
    grade.from = Position(fields, "from");
    const auto permil = fields.Number("permil");
    if (!permil) fields.Fail("permil", "is missing");
    if (*permil < -1000.0 || *permil > 1000.0) fields.Fail("permil", "must lie within ±1000");
    grade.permil = *permil;
    // Each gradient holds until the next one, so the list reads along the track; one out of
    // order is most likely a typing slip that would change the whole route behind it.
    if (!route.grades.empty() && grade.from <= route.grades.back().from) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "must lie beyond the gradient before it (from = %g m); list the gradients "
                      "in order along the track",
                      route.grades.back().from);
        fields.Fail("from", text);
    }
    route.grades.push_back(grade);
}

void FinishRoute(Route& route) {
    std::vector<int> order(route.signals.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return route.signals[a].position < route.signals[b].position;
    });
    std::vector<int> newIndex(order.size());
    std::vector<Signal> sorted;
    for (std::size_t i = 0; i < order.size(); ++i) {
        newIndex[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(route.signals[order[i]]));
    }
    route.signals = std::move(sorted);
    for (Beacon& beacon : route.beacons)
        if (beacon.signal >= 0) beacon.signal = newIndex[beacon.signal];
    std::stable_sort(route.beacons.begin(), route.beacons.end(),
                     [](const Beacon& a, const Beacon& b) { return a.position < b.position; });
    std::stable_sort(
        route.grades.begin(), route.grades.end(),
        [](const GradientChange& a, const GradientChange& b) { return a.from < b.from; });
}

} // namespace velqa3::sim
