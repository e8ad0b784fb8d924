#include "sim/sweep_table.h"

#include "sim/run_folder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

namespace {

std::string Metres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

const char* ExpectationName(Expectation::Kind kind) {
    switch (kind) {
    case Expectation::Kind::StopsBefore:
        return "stops_before";
    case Expectation::Kind::StopsBetween:
        return "stops_between";
    case Expectation::Kind::FinalStopBetween:
        return "final_stop_between";
    case Expectation::Kind::SpeedBelow:
        return "speed_below";
    case Expectation::Kind::BrakeNeverAbove:
        return "brake_never_above";
    default:
        return "";
    }
}

// The margin left to the bound: how much nearer the run could have come and still met it.
std::optional<double> Margin(const CaseShape::Bound& bound, const CaseRow& row) {
    using Kind = Expectation::Kind;
    const auto within = [](double at, const std::optional<double>& from,
                           const std::optional<double>& to) -> std::optional<double> {
        if (!from || !to) return std::nullopt;
        return std::min(at - *from, *to - at);
    };
    switch (bound.kind) {
    case Kind::StopsBefore:
        return bound.value - row.furthestBeforeStand;
    case Kind::StopsBetween:
        if (!row.firstStand) return std::nullopt;
        return within(*row.firstStand, bound.from, bound.to);
    case Kind::FinalStopBetween:
        if (!row.finalStopped) return std::nullopt;
        return within(row.finalLocation, bound.from, bound.to);
    case Kind::SpeedBelow:
        return bound.value - row.maxSpeed;
    case Kind::BrakeNeverAbove:
        return static_cast<double>(bound.notch - row.maxBrake);
    default:
        return std::nullopt;
    }
}

// One field of a trace row, by its column; empty past the row's end.
std::string_view Field(std::string_view line, const std::vector<std::size_t>& starts,
                       std::size_t column) {
    if (column + 1 >= starts.size()) return {};
    return line.substr(starts[column], starts[column + 1] - starts[column] - 1);
}

double NumberOf(std::string_view text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return std::isfinite(value) ? value : 0.0;
}

void TraceInto(const fs::path& file, std::int32_t emergencyNotch, CaseRow& row) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!std::getline(in, line)) return;
    std::size_t location = SIZE_MAX, speed = SIZE_MAX, driverBrake = SIZE_MAX, brake = SIZE_MAX,
                reasons = SIZE_MAX;
    {
        std::istringstream header(line);
        std::size_t column = 0;
        for (std::string name; std::getline(header, name, ','); ++column) {
            if (!name.empty() && name.back() == '\r') name.pop_back();
            if (name == "location_m") location = column;
            if (name == "speed_kmh") speed = column;
            if (name == "driver_brake") driverBrake = column;
            if (name == "brake") brake = column;
            if (name == "brake_reasons") reasons = column;
        }
    }
    if (location == SIZE_MAX || speed == SIZE_MAX || driverBrake == SIZE_MAX || brake == SIZE_MAX)
        return;
    row.traced = true;
    bool moved = false;
    double furthest = -1e300;
    std::vector<std::size_t> starts;
    while (std::getline(in, line)) {
        starts.assign(1, 0);
        for (std::size_t at = 0; at < line.size(); ++at)
            if (line[at] == ',') starts.push_back(at + 1);
        starts.push_back(line.size() + 1);
        const double where = NumberOf(Field(line, starts, location));
        const double now = NumberOf(Field(line, starts, speed));
        const auto output = static_cast<std::int32_t>(NumberOf(Field(line, starts, brake)));
        const auto driver = static_cast<std::int32_t>(NumberOf(Field(line, starts, driverBrake)));
        row.maxBrake = std::max(row.maxBrake, output);
        row.maxSpeed = std::max(row.maxSpeed, std::fabs(now));
        row.finalLocation = where;
        row.finalStopped = now == 0.0;
        if (!row.firstStand) {
            furthest = std::max(furthest, where);
            if (now != 0.0)
                moved = true;
            else if (moved)
                row.firstStand = where;
        }
        // The host's handle has no notch below release, whatever the script sent.
        if (!row.firstIntervention && output > std::max(driver, 0)) {
            row.firstIntervention = where;
            row.interventionKind =
                output >= emergencyNotch ? "emergency" : "service " + std::to_string(output);
            if (reasons != SIZE_MAX) {
                const std::string_view named = Field(line, starts, reasons);
                if (!named.empty()) row.interventionKind += " " + std::string(named.substr(0, 80));
            }
        }
    }
    row.furthestBeforeStand = furthest;
}

// A field of sweep.csv: quoted where it holds a separator, a quote or a line break.
std::string Csv(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + "\"";
}

const char* OutcomeName(CaseOutcome outcome) {
    switch (outcome) {
    case CaseOutcome::Met:
        return "met";
    case CaseOutcome::Failed:
        return "failed";
    case CaseOutcome::Incomplete:
        return "incomplete";
    case CaseOutcome::Crashed:
        return "crashed";
    case CaseOutcome::TimedOut:
        return "timed out";
    case CaseOutcome::NotRun:
        return "not run";
    }
    return "";
}

std::string Optional(const std::optional<double>& value) {
    return value ? Metres(*value) : "";
}

} // namespace

CaseShape CaseShapeOf(const Scenario& scenario) {
    CaseShape shape;
    for (const Signal& signal : scenario.route.signals)
        shape.signals.push_back(signal.position);
    for (const Expectation& e : scenario.expectations)
        shape.expectations.push_back({e.kind, e.value, e.from, e.to, e.notch});
    shape.emergencyNotch = scenario.vehicle.spec.BrakeNotches + 1;
    return shape;
}

std::string SweepCase::Name() const {
    std::string name;
    for (const auto& [key, value] : values)
        name += (name.empty() ? "" : ", ") + key + "=" + ValueText(value);
    return name;
}

bool CaseRow::AllHeld() const {
    return std::none_of(verdicts.begin(), verdicts.end(),
                        [](const Verdict& v) { return v.state == Verdict::Failed; });
}

void ReadTrace(const fs::path& trace, std::int32_t emergencyNotch, CaseRow& row) {
    TraceInto(trace, emergencyNotch, row);
}

std::string CaseResultText(const CaseRow& row) {
    std::string text;
    const auto line = [&](const char* what, const std::string& value) {
        text += what;
        text += ' ';
        for (char c : value)
            text += c == '\n' || c == '\r' ? ' ' : c;
        text += '\n';
    };
    const auto number = [&](const char* what, double value) {
        char digits[64];
        std::snprintf(digits, sizeof digits, "%.6f", value);
        line(what, digits);
    };
    for (const CaseRow::Verdict& v : row.verdicts)
        line(v.state == CaseRow::Verdict::Ok       ? "ok"
             : v.state == CaseRow::Verdict::Failed ? "failed"
                                                   : "unchecked",
             v.text);
    line("end", row.end);
    if (row.traced) {
        if (row.firstStand) number("stand", *row.firstStand);
        number("furthest", row.furthestBeforeStand);
        if (row.firstIntervention) {
            number("intervention", *row.firstIntervention);
            line("intervention_kind", row.interventionKind);
        }
        number("max_brake", row.maxBrake);
        number("max_speed", row.maxSpeed);
        number("final", row.finalLocation);
        line("stopped", row.finalStopped ? "1" : "0");
    }
    line(row.finished ? "finished" : "interrupted", "");
    return text;
}

void ReadCase(const CaseShape& shape, const std::string& result, CaseRow& row) {
    std::istringstream lines(result);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.find(' ');
        const std::string what = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        const double value = NumberOf(rest);
        if (what == "ok" || what == "failed" || what == "unchecked")
            row.verdicts.push_back({what == "ok"       ? CaseRow::Verdict::Ok
                                    : what == "failed" ? CaseRow::Verdict::Failed
                                                       : CaseRow::Verdict::Unchecked,
                                    rest});
        else if (what == "end")
            row.end = rest;
        else if (what == "stand")
            row.firstStand = value;
        else if (what == "furthest")
            row.traced = true, row.furthestBeforeStand = value;
        else if (what == "intervention")
            row.firstIntervention = value;
        else if (what == "intervention_kind")
            row.interventionKind = rest;
        else if (what == "max_brake")
            row.maxBrake = static_cast<std::int32_t>(std::clamp(value, -1e9, 1e9));
        else if (what == "max_speed")
            row.maxSpeed = value;
        else if (what == "final")
            row.finalLocation = value;
        else if (what == "stopped")
            row.finalStopped = rest == "1";
        else if (what == "finished")
            row.hasResult = row.finished = true;
        else if (what == "interrupted")
            row.hasResult = true;
    }
    if (!row.traced) return;
    for (double signal : shape.signals)
        row.signalMargins.push_back(signal - row.furthestBeforeStand);
    for (const CaseShape::Bound& bound : shape.expectations)
        row.expectMargins.push_back(Margin(bound, row));
}

bool WriteSweepTable(const SweepSummary& summary, const fs::path& file, std::string& why) {
    const std::vector<SweepCase>& plan = *summary.plan;
    const std::vector<CaseRow>& rows = *summary.rows;
    const CaseShape& first = (*summary.shapes)[plan.front().shape];
    std::string text = "case";
    for (const SweepAxis& axis : summary.axes)
        text += "," + axis.key;
    text += ",result,first_stand_m,furthest_before_stand_m";
    for (std::size_t s = 0; s < first.signals.size(); ++s)
        text += ",signal[" + std::to_string(s + 1) + "]_margin_m";
    for (std::size_t e = 0; e < first.expectations.size(); ++e)
        text += ",expect[" + std::to_string(e + 1) + "]_margin";
    text += ",first_intervention_m,first_intervention,max_brake,max_speed_kmh";
    for (std::size_t e = 0; e < first.expectations.size(); ++e)
        text += ",expect[" + std::to_string(e + 1) + "]";
    text += ",end\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CaseRow& row = rows[i];
        text += std::to_string(i + 1);
        for (const auto& [key, value] : plan[i].values)
            text += "," + ValueText(value);
        text += std::string(",") + OutcomeName(row.outcome);
        text += "," + Optional(row.firstStand) + "," +
                (row.traced ? Metres(row.furthestBeforeStand) : "");
        for (std::size_t s = 0; s < first.signals.size(); ++s)
            text += "," + (s < row.signalMargins.size() ? Optional(row.signalMargins[s]) : "");
        for (std::size_t e = 0; e < first.expectations.size(); ++e)
            text += "," + (e < row.expectMargins.size() ? Optional(row.expectMargins[e]) : "");
        text += "," + Optional(row.firstIntervention) + "," + Csv(row.interventionKind) + "," +
                (row.traced ? std::to_string(row.maxBrake) : "") + "," +
                (row.traced ? Metres(row.maxSpeed) : "");
        for (std::size_t e = 0; e < first.expectations.size(); ++e) {
            text += ",";
            if (e < row.verdicts.size())
                text += row.verdicts[e].state == CaseRow::Verdict::Ok       ? "ok"
                        : row.verdicts[e].state == CaseRow::Verdict::Failed ? "FAILED"
                                                                            : "not checked";
        }
        text += "," +
                Csv(row.outcome == CaseOutcome::Met || row.outcome == CaseOutcome::Failed
                        ? row.end
                        : row.reason) +
                "\n";
    }
    return WriteWholeFile(file, text, why);
}

std::vector<std::string> SummaryLines(const SweepSummary& summary) {
    const std::vector<SweepCase>& plan = *summary.plan;
    const std::vector<CaseRow>& rows = *summary.rows;
    std::vector<std::string> lines;
    std::string head = "sweep of " + std::to_string(rows.size()) + " case" +
                       (rows.size() == 1 ? "" : "s") + " over ";
    for (std::size_t a = 0; a < summary.axes.size(); ++a) {
        const SweepAxis& axis = summary.axes[a];
        head += (a > 0 ? " and " : "") + axis.key + " " + ValueText(axis.values.front()) + ".." +
                ValueText(axis.values.back()) + " (" + std::to_string(axis.values.size()) +
                " value" + (axis.values.size() == 1 ? "" : "s") + ")";
    }
    lines.push_back(head);

    std::size_t met = 0, failed = 0, crashed = 0, notRun = 0;
    for (const CaseRow& row : rows)
        ++(row.outcome == CaseOutcome::Met      ? met
           : row.outcome == CaseOutcome::Failed ? failed
           : row.outcome == CaseOutcome::NotRun ? notRun
                                                : crashed);
    char counts[256];
    std::snprintf(counts, sizeof counts,
                  "%zu met every expectation, %zu did not, %zu crashed or did not finish; "
                  "%.3f s of wall time, %.1f cases a second, %zu at once",
                  met, failed, crashed, summary.wallS,
                  summary.wallS > 0.0 ? static_cast<double>(rows.size() - notRun) / summary.wallS
                                      : 0.0,
                  summary.jobs);
    lines.push_back(counts);
    if (notRun > 0) lines.push_back(std::to_string(notRun) + " not run: the sweep was interrupted");

    // The case nearest to missing (or furthest past) a bound: the worst when any failed.
    std::optional<std::size_t> worst;
    std::size_t worstBound = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CaseRow& row = rows[i];
        for (std::size_t e = 0; e < row.expectMargins.size(); ++e) {
            if (!row.expectMargins[e]) continue;
            if (!worst || *row.expectMargins[e] < *rows[*worst].expectMargins[worstBound]) {
                worst = i;
                worstBound = e;
            }
        }
    }
    const auto where = [&](std::size_t i) {
        return "case " + std::to_string(i + 1) + " (" + plan[i].Name() + ")";
    };
    const auto folderOf = [&](std::size_t i) {
        char name[32];
        std::snprintf(name, sizeof name, "case-%04zu", i + 1);
        return (summary.folder / name).string();
    };
    if (worst) {
        const double margin = *rows[*worst].expectMargins[worstBound];
        const CaseShape::Bound& bound =
            (*summary.shapes)[plan[*worst].shape].expectations[worstBound];
        const bool missed = margin < 0.0;
        const char* unit = bound.kind == Expectation::Kind::SpeedBelow        ? " km/h"
                           : bound.kind == Expectation::Kind::BrakeNeverAbove ? " notches"
                                                                              : " m";
        std::string line = std::string(missed ? "worst: " : "closest: ") + where(*worst) +
                           ": expect[" + std::to_string(worstBound + 1) + "] " +
                           ExpectationName(bound.kind) + (missed ? " missed by " : " held by ") +
                           Metres(std::fabs(margin)) + unit;
        if (rows[*worst].kept) line += "; its run folder " + folderOf(*worst);
        lines.push_back(line);
    }
    std::size_t listed = 0, unlisted = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CaseRow& row = rows[i];
        if (row.outcome == CaseOutcome::Met || row.outcome == CaseOutcome::NotRun) continue;
        if (listed == kMaxListedCases) {
            ++unlisted;
            continue;
        }
        ++listed;
        std::string line;
        if (row.outcome == CaseOutcome::Failed) {
            line = "FAILED " + where(i);
            for (const CaseRow::Verdict& v : row.verdicts)
                if (v.state == CaseRow::Verdict::Failed) {
                    line += ": " + v.text.substr(0, 200);
                    break;
                }
        } else {
            line = std::string(row.outcome == CaseOutcome::Crashed    ? "CRASHED "
                               : row.outcome == CaseOutcome::TimedOut ? "TIMED OUT "
                                                                      : "INCOMPLETE ") +
                   where(i) + ": " + row.reason.substr(0, 200);
        }
        lines.push_back(line + " [" + folderOf(i) + "]");
    }
    if (unlisted > 0)
        lines.push_back("... and " + std::to_string(unlisted) +
                        " more that did not meet their expectations; sweep.csv lists them all");
    fs::path picture = summary.folder / kSweepPicture;
    std::error_code error;
    lines.push_back("sweep folder " + summary.folder.string() + ": sweep.csv, summary.txt" +
                    (fs::exists(picture, error) ? ", sweep.png" : "") +
                    (failed + crashed > 0 ? ", and the run folder of each case that failed" : ""));
    return lines;
}

} // namespace velqa3::sim
