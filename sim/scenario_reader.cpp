// Reads a scenario file. Every value is checked before anything runs: a run that starts from a
// half-understood scenario would show its author a result for a train they did not describe.
#include "sim/cab_key_names.h"
#include "sim/run_limits.h"
#include "sim/scenario.h"
#include "sim/scenario_parts.h"
#include "sim/toml_fields.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

namespace velqa3::sim {

namespace {

// The script names cab functions; the settings file says which key works each.
void FindCabKeys(Scenario& scenario) {
    std::string settings;
    if (scenario.run.settingsFile) {
        std::ifstream in(*scenario.run.settingsFile, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        settings = text.str();
    }
    int index = 0;
    for (DriverStep& step : scenario.driver) {
        ++index;
        if (!step.cabKey) continue;
        const std::string key = "driver[" + std::to_string(index) + "]";
        if (!scenario.run.settingsFile)
            throw FieldFault{step.line, key,
                             "a cab key needs a settings file ([run] settings) that binds it"};
        std::string why;
        const auto code = BoundKeyCode(settings, step.cabKey->function, why);
        if (!code) throw FieldFault{step.line, key, why};
        step.cabKey->code = *code;
    }
}

void ReadRun(Fields& fields, const std::filesystem::path& folder, const VehicleSpec& spec,
             RunSettings& run) {
    if (auto settings = fields.Text("settings")) {
        if (settings->empty()) fields.Fail("settings", "must name a file");
        const std::filesystem::path path = folder / std::filesystem::path(*settings);
        if (const std::string problem = FileProblem(path, kMaxSettingsBytes); !problem.empty())
            fields.Fail("settings", Clipped(path.string(), 200) + ": " + problem);
        run.settingsFile = path;
    }
    if (auto start = fields.ClockMs("start_time")) run.startTimeMs = *start;
    if (auto interval = fields.Integer("interval_ms", 1, 1000))
        run.intervalMs = static_cast<std::int32_t>(*interval);
    if (auto jitter = fields.Integer("jitter_ms", 0, 1000))
        run.jitterMs = static_cast<std::int32_t>(*jitter);
    if (run.jitterMs >= run.intervalMs)
        fields.Fail("jitter_ms", "must be smaller than interval_ms, or frames would not advance");
    if (auto seed = fields.Integer("seed", 0, INT64_MAX))
        run.seed = static_cast<std::uint64_t>(*seed);
    run.maxS = fields.Number("max_s", run.maxS);
    run.maxSLine = fields.LineOf("max_s");
    if (run.maxS <= 0.0 || run.maxS > 7 * 86400.0)
        fields.Fail("max_s", "must lie above 0 and at most a week (604800 s)");
    run.startLocation = fields.Number("start_location", 0.0);
    // As every place on the route: a trace row is reckoned for locations of this size.
    if (run.startLocation < -1e9 || run.startLocation > 1e9)
        fields.Fail("start_location", "must lie within ±1e9 m");
    if (auto repeat = fields.Boolean("repeat")) run.repeat = *repeat;
    if (auto wraps = fields.Boolean("clock_wraps")) run.clockWraps = *wraps;
    if (auto brake = fields.Integer("initialize", INT32_MIN, INT32_MAX))
        run.initializeBrake = static_cast<std::int32_t>(*brake);
    if (fields.Has("reverser")) run.driverReverser = ReverserOf(fields, "reverser");
    if (fields.Has("power")) run.driverPower = PowerOf(fields, "power", spec);
    if (fields.Has("brake")) run.driverBrake = BrakeOf(fields, "brake", spec);
    if (const toml::array* spans = fields.Array("suspend")) {
        for (std::size_t i = 0; i < spans->size(); ++i) {
            const toml::node& span = *spans->get(i);
            const std::string key = fields.Name("suspend") + "[" + std::to_string(i + 1) + "]";
            const toml::array* pair = span.as_array();
            if (pair == nullptr || pair->size() != 2)
                throw FieldFault{LineOf(span), key, "must be a pair [from_s, to_s]"};
            const Suspension s{NumberOf(*pair->get(0), key), NumberOf(*pair->get(1), key)};
            if (s.fromS < 0.0 || s.toS < s.fromS)
                throw FieldFault{LineOf(span), key, "must satisfy 0 <= from_s <= to_s"};
            run.suspensions.push_back(s);
        }
    }
    fields.RejectUnknownKeys();
}

// Each entry once: a column and a row of the picture each, so a list may not grow past the
// 256 entries there are.
std::vector<int> ReadIndices(Fields& fields, std::string_view key) {
    std::vector<int> indices;
    if (const toml::array* list = fields.Array(key)) {
        for (std::size_t i = 0; i < list->size(); ++i) {
            const std::string name = fields.Name(key) + "[" + std::to_string(i + 1) + "]";
            const auto index = static_cast<int>(IntegerOf(*list->get(i), name, 0, 255));
            if (std::find(indices.begin(), indices.end(), index) != indices.end())
                throw FieldFault{LineOf(*list->get(i)), name,
                                 std::to_string(index) + " is listed twice"};
            indices.push_back(index);
        }
    }
    return indices;
}

void ReadTrace(Fields& fields, TraceSettings& trace) {
    if (auto period = fields.Integer("period_ms", 0, 3600000))
        trace.periodMs = static_cast<std::int32_t>(*period);
    trace.panel = ReadIndices(fields, "panel");
    trace.sound = ReadIndices(fields, "sound");
    if (auto slot = fields.Integer("pattern_speed_panel", 0, 255)) {
        if (*slot == kSuspendPanelIndex)
            fields.Fail("pattern_speed_panel", "199 is the host's suspension input");
        trace.patternSpeedPanel = static_cast<int>(*slot);
        if (std::find(trace.panel.begin(), trace.panel.end(), *slot) == trace.panel.end())
            trace.panel.push_back(static_cast<int>(*slot));
    }
    fields.RejectUnknownKeys();
}

// Tables that a scenario may repeat: [[beacon]], [[driver]], ... at most limit of each: every
// beacon and signal is drawn, and each step and expectation is looked at in every frame.
template <typename Each>
void ForEachTable(Fields& top, std::string_view key, std::size_t limit, Each each) {
    const toml::node* node = top.Node(key);
    if (node == nullptr) return;
    const toml::array* list = node->as_array();
    if (list == nullptr || !list->is_array_of_tables())
        throw FieldFault{LineOf(*node), std::string(key),
                         "must be written as [[" + std::string(key) + "]] tables"};
    if (list->size() > limit)
        throw FieldFault{LineOf(*list->get(limit)),
                         std::string(key) + "[" + std::to_string(limit + 1) + "]",
                         "a scenario may have at most " + std::to_string(limit) + " [[" +
                             std::string(key) + "]] tables"};
    for (std::size_t i = 0; i < list->size(); ++i) {
        Fields fields(*list->get(i)->as_table(),
                      std::string(key) + "[" + std::to_string(i + 1) + "]");
        each(fields);
        fields.RejectUnknownKeys();
    }
}

void ReadScenarioTables(const toml::table& root, const std::filesystem::path& file,
                        Scenario& scenario) {
    Fields top(root, "");
    scenario.name = top.Text("name").value_or(file.stem().string());
    // The vehicle first: the run's handles are checked against its notches.
    if (const toml::table* vehicle = top.Table("vehicle")) {
        Fields fields(*vehicle, "vehicle");
        ReadVehicle(fields, scenario.vehicle);
    } else {
        const toml::table defaults;
        Fields fields(defaults, "vehicle");
        ReadVehicle(fields, scenario.vehicle);
    }
    if (const toml::table* run = top.Table("run")) {
        Fields fields(*run, "run");
        ReadRun(fields, file.parent_path(), scenario.vehicle.spec, scenario.run);
    }
    if (const toml::table* trace = top.Table("trace")) {
        Fields fields(*trace, "trace");
        ReadTrace(fields, scenario.trace);
    }
    ForEachTable(top, "signal", kMaxSignals, [&](Fields& f) { ReadSignal(f, scenario.route); });
    ForEachTable(top, "beacon", kMaxBeacons, [&](Fields& f) { ReadBeacon(f, scenario.route); });
    ForEachTable(top, "gradient", kMaxGradients,
                 [&](Fields& f) { ReadGradient(f, scenario.route); });
    ForEachTable(top, "driver", kMaxDriverSteps, [&](Fields& f) {
        scenario.driver.push_back(ReadDriverStep(f, scenario.vehicle.spec));
    });
    ForEachTable(top, "expect", kMaxExpectations, [&](Fields& f) {
        scenario.expectations.push_back(ReadExpectation(f, scenario.vehicle.spec));
    });
    top.RejectUnknownKeys();
    FinishRoute(scenario.route);
    FindCabKeys(scenario);
}

// Bounds on the shape of a scenario's text, looked at before the TOML parser sees it: the parser
// builds a dotted key or a header by recursion, one level per part, and a key of some ten
// thousand parts (a line of 32 kB) runs it off a Windows thread's stack of 1 MB.
constexpr std::size_t kMaxLineBytes = 4096;
constexpr int kMaxKeyParts = 16;
constexpr int kMaxNesting = 16; // arrays and inline tables inside each other

struct ShapeFault {
    int line;
    std::string key;
    std::string message;
};

// The first line that is too long, key of too many parts or value nested too deep, or nothing.
// Strings and comments are stepped over as TOML has them; whatever else the parser finds wrong
// it reports itself.
std::optional<ShapeFault> ShapeProblem(std::string_view text) {
    int line = 1;
    std::size_t lineStart = 0;
    std::vector<char> open;   // the brackets of the value being read: '[' or '{'
    bool inKey = true;        // at a key: the line's start, or after '{' or ',' in an inline table
    bool inHeader = false;    // within a [table] or [[table]] header
    int parts = 1;            // of the key being read
    std::size_t keyStart = 0; // where it began
    const auto keyFault = [&](std::size_t end) -> std::optional<ShapeFault> {
        if (parts <= kMaxKeyParts) return std::nullopt;
        std::string_view key = text.substr(keyStart, end - keyStart);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t' || key.back() == '\r'))
            key.remove_suffix(1);
        while (!key.empty() && (key.front() == ' ' || key.front() == '\t'))
            key.remove_prefix(1);
        return ShapeFault{line, Clipped(key, 47),
                          "the key has " + std::to_string(parts) +
                              " parts; keys may have at most " + std::to_string(kMaxKeyParts)};
    };
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '\n';
        if (c == '\n') {
            if (i - lineStart > kMaxLineBytes)
                return ShapeFault{line, "",
                                  "the line is " + std::to_string(i - lineStart) +
                                      " bytes long; lines may hold at most " +
                                      std::to_string(kMaxLineBytes)};
            if (inKey || inHeader)
                if (auto fault = keyFault(i)) return fault;
            ++line;
            lineStart = i + 1;
            if (open.empty()) {
                inKey = true;
                inHeader = false;
                parts = 1;
                keyStart = i + 1;
            }
            continue;
        }
        if (c == '#') { // a comment runs to the line's end
            while (i + 1 < text.size() && text[i + 1] != '\n')
                ++i;
            continue;
        }
        if (c == '"' || c == '\'') {
            const bool multi = text.substr(i, 3) == std::string(3, c);
            const std::string_view close = multi ? text.substr(i, 3) : text.substr(i, 1);
            std::size_t at = i + close.size();
            for (; at < text.size(); ++at) {
                if (c == '"' && text[at] == '\\') {
                    ++at;
                    continue;
                }
                if (text[at] == '\n') {
                    if (!multi) break; // the parser says so
                    if (at - lineStart > kMaxLineBytes)
                        return ShapeFault{line, "",
                                          "the line is " + std::to_string(at - lineStart) +
                                              " bytes long; lines may hold at most " +
                                              std::to_string(kMaxLineBytes)};
                    ++line;
                    lineStart = at + 1;
                }
                if (text.substr(at, close.size()) == close) break;
            }
            if (at < text.size() && text[at] == '\n')
                i = at - 1; // an unclosed string: the line ends as any other
            else
                i = std::min(at + close.size(), text.size()) - 1;
            continue;
        }
        if (inKey || inHeader) {
            if (c == '.') {
                ++parts;
            } else if (c == '[' && inKey && !inHeader && open.empty() &&
                       text.find_first_not_of(" \t", keyStart) == i) {
                inHeader = true;
                inKey = false;
                keyStart = text.find_first_not_of('[', i);
            } else if (c == '=' && inKey) {
                if (auto fault = keyFault(i)) return fault;
                inKey = false;
            } else if (c == ']' && inHeader) {
                if (auto fault = keyFault(i)) return fault;
                inHeader = false;
            }
            continue;
        }
        if (c == '[' || c == '{') {
            open.push_back(c);
            if (open.size() > static_cast<std::size_t>(kMaxNesting))
                return ShapeFault{line, "",
                                  "values are nested more than " + std::to_string(kMaxNesting) +
                                      " deep"};
            if (c == '{') {
                inKey = true;
                parts = 1;
                keyStart = i + 1;
            }
        } else if ((c == ']' || c == '}') && !open.empty()) {
            open.pop_back();
        } else if (c == ',' && !open.empty() && open.back() == '{') {
            inKey = true;
            parts = 1;
            keyStart = i + 1;
        }
    }
    return std::nullopt;
}

} // namespace

std::string FileProblem(const std::filesystem::path& file, std::uintmax_t limit) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) return "no such file";
    if (std::filesystem::is_directory(status)) return "it is a folder, not a file";
    if (!std::filesystem::is_regular_file(status))
        return "it is not a regular file (a device, a pipe or a socket)";
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return "its size cannot be read";
    if (size > limit)
        return "it is " + std::to_string(size) + " bytes long, more than the limit of " +
               std::to_string(limit) + " bytes";
    return "";
}

std::string ScenarioError::Text() const {
    std::string text = file;
    if (line > 0) text += ":" + std::to_string(line);
    text += ": ";
    if (!key.empty()) text += key + ": ";
    return text + message;
}

bool ParseScenario(const std::string& text, const std::filesystem::path& file, Scenario& scenario,
                   ScenarioError& error) {
    scenario = Scenario{};
    scenario.file = file;
    error = ScenarioError{file.string(), 0, "", ""};
    if (const auto fault = ShapeProblem(text)) {
        error.line = fault->line;
        error.key = fault->key;
        error.message = fault->message;
        return false;
    }
    try {
        const toml::table root = toml::parse(text, file.string());
        ReadScenarioTables(root, file, scenario);
        return true;
    } catch (const toml::parse_error& fault) {
        error.line = static_cast<int>(fault.source().begin.line);
        error.message = "not valid TOML: " + Clipped(fault.description(), 200);
    } catch (const FieldFault& fault) {
        error.line = fault.line;
        error.key = fault.key;
        error.message = fault.message;
    }
    return false;
}

bool ReadScenario(const std::filesystem::path& file, Scenario& scenario, ScenarioError& error) {
    error = ScenarioError{file.string(), 0, "", ""};
    // Looked at before it is opened: opening a FIFO would wait for a writer, and a device such
    // as /dev/zero never ends.
    if (const std::string problem = FileProblem(file, kMaxScenarioBytes); !problem.empty()) {
        error.message = "cannot be read as a scenario: " + problem;
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxScenarioBytes) + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || (!in && !in.eof())) {
        error.message = "cannot read the scenario file";
        return false;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    // It may have grown since it was looked at.
    if (text.size() > kMaxScenarioBytes) {
        error.message = "cannot be read as a scenario: " + FileProblem(file, kMaxScenarioBytes);
        return false;
    }
    return ParseScenario(text, file, scenario, error);
}

} // namespace velqa3::sim
