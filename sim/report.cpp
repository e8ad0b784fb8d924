#include "sim/report.h"

#include "sim/beacon_names.h"
#include "sim/brake_reason_names.h"
#include "sim/plot.h"
#include "sim/report_assets.h"
#include "sim/run_folder.h"
#include "sim/slot_names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

namespace velqa3::sim {

namespace {

// A trace line longer than this is not one this host wrote; it is skipped.
constexpr std::size_t kMaxLineBytes = 64 << 10;

// The trace columns the report reads (1-based, as the recorder numbers them); 0 where the trace
// has no such column.
struct ReportColumn {
    std::string key;  // its name in the page's data
    std::string name; // its name for a reader
    int csv = 0;
    bool step = false; // a change of it is kept however the rows are thinned
    bool absolute = false;
};

std::vector<ReportColumn> Columns(const Scenario& scenario, const Recorder& recorder,
                                  const RunOutcome& run) {
    std::vector<ReportColumn> columns = {
        {"t", "time (s)", 1},
        {"x", "location (m)", recorder.LocationColumn()},
        {"speed", "speed", recorder.SpeedColumn(), false, true},
        {"brake", "brake output", recorder.BrakeColumn(), true},
        {"driverBrake", "driver brake", recorder.DriverBrakeColumn(), true},
        {"signal", "signal ahead", 16, true},
    };
    if (const auto panel = scenario.trace.patternSpeedPanel; panel && run.patternSpeedSet)
        columns.push_back({"pattern", "pattern speed", recorder.PanelColumn(*panel), true});
    if (run.diagnostics) {
        columns.push_back({"demand", "brake reasons", recorder.BrakeDemandColumn(), true});
        columns.push_back({"tascStep", "TASC step", recorder.TascStepColumn(), true});
        columns.push_back({"voltage", "line voltage", recorder.LineVoltageColumn()});
        columns.push_back({"bc", "BC gauge", recorder.BcDisplayColumn()});
    }
    for (int index : scenario.trace.panel)
        if (index != scenario.trace.patternSpeedPanel.value_or(-1))
            columns.push_back({"panel" + std::to_string(index),
                               std::string(run.slotNames.Panel(index)), recorder.PanelColumn(index),
                               true});
    for (int index : scenario.trace.sound)
        columns.push_back({"sound" + std::to_string(index), std::string(run.slotNames.Sound(index)),
                           recorder.SoundColumn(index), true});
    return columns;
}

// One row's fields, split at the commas, views into the line.
void Split(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    for (std::size_t start = 0;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) return;
        start = comma + 1;
    }
}

// NaN for an empty or unreadable field: the page draws a gap there.
double Reading(const std::vector<std::string_view>& fields, int column) {
    if (column <= 0 || static_cast<std::size_t>(column) > fields.size()) return NAN;
    const std::string_view text = fields[static_cast<std::size_t>(column) - 1];
    double value = NAN;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() ? value : NAN;
}

// The trace's rows as the report carries them, column by column.
struct Table {
    std::vector<std::vector<double>> values; // per column
    std::size_t rowsRead = 0;
    std::size_t skipped = 0; // lines that were not rows of this trace
};

bool ReadTable(const std::filesystem::path& trace, const std::vector<ReportColumn>& columns,
               Table& table, std::string& why) {
    std::ifstream in(trace, std::ios::binary);
    if (!in) {
        why = "cannot read " + trace.string();
        return false;
    }
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    const std::size_t rows = lines > 0 ? lines - 1 : 0;
    const std::size_t stride = std::max<std::size_t>(1, (rows + kReportRows - 1) / kReportRows);
    in.clear();
    in.seekg(0);
    table.values.assign(columns.size(), {});
    std::vector<std::string_view> fields;
    std::vector<double> before(columns.size(), NAN), now(columns.size());
    std::size_t changesKept = 0;
    std::string line;
    std::getline(in, line); // the column names
    for (std::size_t row = 0; row < rows && std::getline(in, line); ++row) {
        if (line.size() > kMaxLineBytes) {
            ++table.skipped;
            continue;
        }
        Split(line, fields);
        bool changed = false;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            now[c] = Reading(fields, columns[c].csv);
            if (columns[c].absolute) now[c] = std::fabs(now[c]);
            // NaN differs from itself: a column that stays empty is no change.
            changed |= columns[c].step && now[c] != before[c] &&
                       !(std::isnan(now[c]) && std::isnan(before[c]));
        }
        before = now;
        ++table.rowsRead;
        const bool keep =
            row % stride == 0 || row + 1 == rows || (changed && changesKept++ < kReportRows);
        if (!keep) continue;
        for (std::size_t c = 0; c < columns.size(); ++c)
            table.values[c].push_back(now[c]);
    }
    return true;
}

void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void AppendNumbers(std::string& out, const std::vector<double>& values) {
    out += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ',';
        AppendNumber(out, values[i]);
    }
    out += ']';
}

// A mark on the distance axis: a beacon, a signal, where a brake reason was set.
void AppendMark(std::string& out, double at, std::string_view label, std::string_view colour,
                std::string_view kind) {
    if (out.back() != '[') out += ',';
    out += "{\"at\":";
    AppendNumber(out, at);
    out += ",\"label\":" + JsonString(label) + ",\"colour\":" + JsonString(colour) +
           ",\"kind\":" + JsonString(kind) + "}";
}

std::string SignalLabel(const Signal& s, std::int32_t passed) {
    std::string label = s.id + ": " + std::to_string(s.aspect);
    for (const SignalChange& c : s.changes) {
        char at[48];
        std::snprintf(at, sizeof at, c.trigger == SignalChange::Trigger::Time ? "%g s" : "%g m",
                      c.at);
        label += ", " + (c.trigger == SignalChange::Trigger::Passed ? std::string("passed") : at) +
                 ": " + std::to_string(c.aspect);
    }
    return label +
           (passed == kNotPassed ? " (not passed)" : " (passed at " + std::to_string(passed) + ")");
}

std::string RunData(const Scenario& scenario, const RunOutcome& run,
                    const std::vector<ReportColumn>& columns, const Table& table) {
    std::string out = "{\"title\":" + JsonString(scenario.name) +
                      ",\"rows\":" + std::to_string(table.rowsRead) +
                      ",\"shown\":" + std::to_string(table.values[0].size()) +
                      ",\"skipped\":" + std::to_string(table.skipped) + ",\"columns\":[";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c > 0) out += ',';
        out += "{\"key\":" + JsonString(columns[c].key) +
               ",\"name\":" + JsonString(columns[c].name) + ",\"values\":";
        AppendNumbers(out, table.values[c]);
        out += '}';
    }
    const VehicleSpec& spec = scenario.vehicle.spec;
    out += "],\"brakeNotches\":" + std::to_string(spec.BrakeNotches) +
           ",\"atsNotch\":" + std::to_string(spec.AtsNotch) + ",\"reasons\":[";
    for (int shift = 0; shift < 8; ++shift)
        out += (shift > 0 ? "," : "") +
               JsonString(BrakeReasonNames(static_cast<std::uint8_t>(1u << shift)));
    out += "],\"marks\":[";
    for (const Beacon& b : scenario.route.beacons)
        AppendMark(out, b.position, BeaconLabel(b.type, b.optional), "#777777", "beacon");
    for (std::size_t i = 0; i < scenario.route.signals.size(); ++i) {
        const Signal& s = scenario.route.signals[i];
        const std::int32_t passed = i < run.passedAspect.size() ? run.passedAspect[i] : kNotPassed;
        AppendMark(out, s.position, SignalLabel(s, passed), AspectColour(passed), "signal");
    }
    for (const TargetMark& target : run.targets) {
        char label[64];
        if (target.speed < 0.0f)
            std::snprintf(label, sizeof label, "stop point of the pattern");
        else
            std::snprintf(label, sizeof label, "limit %.0f km/h",
                          static_cast<double>(target.speed));
        AppendMark(out, target.location, label, target.speed < 0.0f ? "#000000" : "#8c564b",
                   "target");
    }
    for (const BrakeMark& mark : run.brakeMarks)
        AppendMark(out, mark.location, BrakeReasonName(mark.bit), "#e377c2", "brake");
    out += "],\"marksLeftOut\":" + std::to_string(run.brakeMarks.leftOut()) + "}";
    return out;
}

// Text inside HTML elements.
std::string HtmlText(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    const auto escape = [&](unsigned code) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\u%04x", code);
        out += hex;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F || byte == '<' || byte == '>' || byte == '&')
                escape(byte);
            else if (byte == '"' || byte == '\\')
                out += {'\\', static_cast<char>(byte)};
            else
                out += static_cast<char>(byte);
            ++i;
            continue;
        }
        // A whole UTF-8 sequence passes; anything else is one replacement character.
        const std::size_t length = byte >= 0xF0 && byte < 0xF5   ? 4
                                   : byte >= 0xE0 && byte < 0xF0 ? 3
                                   : byte >= 0xC2 && byte < 0xE0 ? 2
                                                                 : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            escape(0xFFFD);
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out + "\"";
}

bool WriteReport(const Scenario& scenario, const Recorder& recorder, const RunOutcome& run,
                 const std::filesystem::path& folder, std::string& why) {
    const std::vector<ReportColumn> columns = Columns(scenario, recorder, run);
    Table table;
    if (!ReadTable(folder / kPlotTrace, columns, table, why)) return false;
    std::string page;
    page.reserve(k_uplot_js.size() + k_page_js.size() +
                 64 * table.values[0].size() * columns.size() / 8 + 4096);
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            // Everything the page needs is inside it; it asks the network for nothing.
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:\">\n"
            "<title>";
    page += HtmlText(scenario.name) + " - velqa3-sim run report</title>\n<style>\n";
    page += k_uplot_css;
    page += "\n</style>\n<style>\n";
    page += k_page_css;
    page += "\n</style>\n</head>\n<body>\n<h1>" + HtmlText(scenario.name) +
            "</h1>\n<div id=\"notes\"></div>\n<div id=\"readout\"></div>\n"
            "<div id=\"charts\"></div>\n<script type=\"application/json\" id=\"run-data\">";
    page += RunData(scenario, run, columns, table);
    page += "</script>\n<script>\n";
    page += k_uplot_js;
    page += "\n</script>\n<script>\n";
    page += k_page_js;
    page += "\n</script>\n<script type=\"text/plain\" id=\"uplot-license\">\n";
    page += HtmlText(k_uplot_license);
    page += "</script>\n</body>\n</html>\n";
    return WriteWholeFile(folder / kReportPage, page, why);
}

} // namespace velqa3::sim
