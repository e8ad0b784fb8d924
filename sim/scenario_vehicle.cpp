// The [vehicle] section: notch counts as the host reports them, and the figures of the simple
// train model that the stand-in host drives with the plug-in's commands.
#include "sim/scenario_parts.h"

#include <algorithm>
#include <cstdio>

namespace velqa3::sim {

namespace {

// Ceilings far above any train, low enough that the model's numbers stay finite in float.
constexpr double kMaxAcceleration = 100.0; // km/h/s
constexpr double kMaxSpeed = 1000.0;       // km/h
constexpr double kMaxPressure = 10000.0;   // kPa
constexpr double kMaxRate = 1e6;           // kPa/s, A

std::string Item(const std::string& key, std::size_t i) {
    return key + "[" + std::to_string(i + 1) + "]";
}

std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A curve is a single acceleration for all speeds, or [speed, acceleration] pairs.
std::vector<CurvePoint> ReadCurve(const toml::node& node, const std::string& key) {
    if (node.is_number()) {
        const double acceleration = NumberOf(node, key);
        if (acceleration < 0.0 || acceleration > kMaxAcceleration)
            throw FieldFault{LineOf(node), key, "must lie between 0 and 100 km/h/s"};
        return {CurvePoint{0.0, acceleration}};
    }
    const toml::array* points = node.as_array();
    if (points == nullptr || points->empty())
        throw FieldFault{LineOf(node), key,
                         "must be an acceleration or a list of [speed, acceleration] pairs"};
    std::vector<CurvePoint> curve;
    for (std::size_t i = 0; i < points->size(); ++i) {
        const toml::node& point = *points->get(i);
        const std::string pointKey = Item(key, i);
        const toml::array* pair = point.as_array();
        if (pair == nullptr || pair->size() != 2)
            throw FieldFault{LineOf(point), pointKey, "must be a pair [speed, acceleration]"};
        const CurvePoint p{NumberOf(*pair->get(0), pointKey), NumberOf(*pair->get(1), pointKey)};
        if (p.speed < 0.0 || p.acceleration < 0.0)
            throw FieldFault{LineOf(point), pointKey,
                             "speed and acceleration must not be negative"};
        if (!curve.empty() && p.speed <= curve.back().speed)
            throw FieldFault{LineOf(point), pointKey, "speeds must rise from pair to pair"};
        curve.push_back(p);
    }
    return curve;
}

// A list with one non-negative value per notch, or a default that grows evenly to top.
std::vector<double> ReadPerNotch(Fields& fields, std::string_view key, int notches, double top,
                                 double ceiling) {
    std::vector<double> values;
    const toml::array* list = fields.Array(key);
    if (list == nullptr) {
        for (int n = 1; n <= notches; ++n)
            values.push_back(top * n / notches);
        return values;
    }
    if (static_cast<int>(list->size()) != notches)
        fields.Fail(key, "must have one value per notch (" + std::to_string(notches) + "), not " +
                             std::to_string(list->size()));
    for (std::size_t i = 0; i < list->size(); ++i) {
        const double value = NumberOf(*list->get(i), Item(fields.Name(key), i));
        if (value < 0.0 || value > ceiling)
            throw FieldFault{LineOf(*list->get(i)), Item(fields.Name(key), i),
                             "must lie between 0 and " + Shown(ceiling)};
        values.push_back(value);
    }
    return values;
}

double Positive(Fields& fields, std::string_view key, double fallback, double ceiling) {
    const double value = fields.Number(key, fallback);
    if (value <= 0.0 || value > ceiling)
        fields.Fail(key, "must lie above 0 and at most " + Shown(ceiling));
    return value;
}

double NonNegative(Fields& fields, std::string_view key, double fallback, double ceiling) {
    const double value = fields.Number(key, fallback);
    if (value < 0.0 || value > ceiling)
        fields.Fail(key, "must lie between 0 and " + Shown(ceiling));
    return value;
}

} // namespace

void ReadVehicle(Fields& fields, VehicleModel& vehicle) {
    VehicleSpec& spec = vehicle.spec;
    auto count = [&](std::string_view key, std::int32_t fallback, std::int64_t min,
                     std::int64_t max) {
        return static_cast<std::int32_t>(fields.Integer(key, min, max).value_or(fallback));
    };
    spec.BrakeNotches = count("brake_notches", spec.BrakeNotches, 1, 64);
    spec.PowerNotches = count("power_notches", spec.PowerNotches, 1, 64);
    spec.AtsNotch =
        count("ats_notch", std::min(spec.AtsNotch, spec.BrakeNotches), 0, spec.BrakeNotches + 1);
    spec.B67Notch =
        count("b67_notch", std::min(spec.B67Notch, spec.BrakeNotches), 0, spec.BrakeNotches + 1);
    spec.Cars = count("cars", spec.Cars, 1, 64);

    vehicle.powerCurves.clear();
    if (const toml::array* curves = fields.Array("power")) {
        if (static_cast<int>(curves->size()) != spec.PowerNotches)
            fields.Fail("power", "must have one curve per power notch (" +
                                     std::to_string(spec.PowerNotches) + "), not " +
                                     std::to_string(curves->size()));
        for (std::size_t i = 0; i < curves->size(); ++i)
            vehicle.powerCurves.push_back(
                ReadCurve(*curves->get(i), Item(fields.Name("power"), i)));
    } else {
        // A plain commuter train: full acceleration up to 40 km/h, fading above.
        for (int n = 1; n <= spec.PowerNotches; ++n) {
            const double share = static_cast<double>(n) / spec.PowerNotches;
            vehicle.powerCurves.push_back({{0.0, 2.5 * share},
                                           {40.0, 2.5 * share},
                                           {80.0, 1.2 * share},
                                           {120.0, 0.5 * share}});
        }
    }

    vehicle.brakeDeceleration =
        ReadPerNotch(fields, "brake_deceleration", spec.BrakeNotches, 4.0, kMaxAcceleration);
    vehicle.bcPressure =
        ReadPerNotch(fields, "bc_pressure", spec.BrakeNotches, 400.0, kMaxPressure);
    vehicle.emergencyDeceleration =
        Positive(fields, "emergency_deceleration", 4.5, kMaxAcceleration);
    vehicle.emergencyBcPressure = Positive(fields, "emergency_bc_pressure", 440.0, kMaxPressure);
    // The model reads the deceleration off the cylinder pressure, so both must rise together.
    for (std::size_t i = 0; i < vehicle.bcPressure.size(); ++i) {
        const double below = i == 0 ? 0.0 : vehicle.bcPressure[i - 1];
        if (vehicle.bcPressure[i] <= below)
            fields.Fail("bc_pressure", "must rise from notch to notch, above 0");
        const double lower = i == 0 ? 0.0 : vehicle.brakeDeceleration[i - 1];
        if (vehicle.brakeDeceleration[i] < lower)
            fields.Fail("brake_deceleration", "must not fall from notch to notch");
    }
    if (vehicle.emergencyBcPressure <= vehicle.bcPressure.back())
        fields.Fail("emergency_bc_pressure", "must lie above the last service notch's pressure");
    if (vehicle.emergencyDeceleration < vehicle.brakeDeceleration.back())
        fields.Fail("emergency_deceleration", "must not lie below the last service notch's");

    vehicle.bcApplyRate = Positive(fields, "bc_apply_rate", vehicle.bcApplyRate, kMaxRate);
    vehicle.bcReleaseRate = Positive(fields, "bc_release_rate", vehicle.bcReleaseRate, kMaxRate);
    vehicle.mrMin = Positive(fields, "mr_min", vehicle.mrMin, kMaxPressure);
    vehicle.mrMax = Positive(fields, "mr_max", vehicle.mrMax, kMaxPressure);
    if (vehicle.mrMax <= vehicle.mrMin) fields.Fail("mr_max", "must lie above mr_min");
    vehicle.compressorRate =
        NonNegative(fields, "compressor_rate", vehicle.compressorRate, kMaxRate);
    vehicle.airUse = NonNegative(fields, "air_use", vehicle.airUse, 100.0);
    vehicle.currentPerNotch =
        NonNegative(fields, "current_per_notch", vehicle.currentPerNotch, kMaxRate);
    vehicle.regenCurrentPerNotch =
        NonNegative(fields, "regen_current_per_notch", vehicle.regenCurrentPerNotch, kMaxRate);
    vehicle.regenMinSpeed =
        NonNegative(fields, "regen_min_speed", vehicle.regenMinSpeed, kMaxSpeed);
    if (const toml::array* resistance = fields.Array("resistance")) {
        if (resistance->size() != 3) fields.Fail("resistance", "must be [a, b, c]");
        for (std::size_t i = 0; i < 3; ++i) {
            vehicle.resistance[i] =
                NumberOf(*resistance->get(i), Item(fields.Name("resistance"), i));
            if (vehicle.resistance[i] < 0.0 || vehicle.resistance[i] > kMaxAcceleration)
                fields.Fail("resistance", "coefficients must lie between 0 and 100");
        }
    }
    fields.RejectUnknownKeys();
}

} // namespace velqa3::sim
