#include "sim/plot.h"

#include "platform/process.h"
#include "sim/beacon_names.h"
#include "sim/brake_reason_names.h"
#include "sim/run_folder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <sstream>

namespace velqa3::sim {

// Text as a gnuplot single-quoted string. Inside one, gnuplot expands no macro and no
// backquote and ends the string only at a quote, which is doubled. A line break would end the
// command and begin another (and "!" at a line's start runs a shell command), so control
// characters never get in, even though the scenario reader already refuses them.
std::string GnuplotQuoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        quoted += byte < 0x20 || byte == 0x7F ? '?' : c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

const char* AspectColour(std::int32_t aspect) {
    if (aspect == kNotPassed) return "#999999";
    if (aspect <= 0) return "#d62728"; // stop
    if (aspect == 1) return "#ff7f0e";
    if (aspect == 2) return "#e6b800";
    if (aspect == 3) return "#bcbd22";
    return "#2ca02c";
}

namespace {

// Labels set in rows, each row filled from the left with labels that do not touch: where a
// label would overlap one already placed, it goes a row further. Widths are reckoned from the
// picture's size and the font, which is enough to keep them apart.
struct LabelRows {
    double from, to;
    static constexpr double kPlotPixels = kPlotWidth - 170.0; // the graph inside its margins
    static constexpr double kCharPixels = 6.0;                // sans at 8 points
    int rows;
    std::vector<double> rowEnds = std::vector<double>(static_cast<std::size_t>(rows), -1e300);

    // The row for a label at x with so many characters, or -1 when none has room. A label that
    // would run past the right edge ends at x instead (rightwards is then false).
    int Place(double x, std::size_t characters, bool& rightwards) {
        const double metresPerPixel = (to - from) / kPlotPixels;
        const double width = (static_cast<double>(characters) * kCharPixels + 8.0) * metresPerPixel;
        rightwards = x + width <= to;
        const double start = rightwards ? x : x - width;
        for (std::size_t row = 0; row < rowEnds.size(); ++row)
            if (start > rowEnds[row]) {
                rowEnds[row] = start + width;
                return static_cast<int>(row);
            }
        return -1;
    }
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string ChangeText(const SignalChange& c) {
    switch (c.trigger) {
    case SignalChange::Trigger::Time:
        return Number(c.at) + " s: " + std::to_string(c.aspect);
    case SignalChange::Trigger::Location:
        return Number(c.at) + " m: " + std::to_string(c.aspect);
    case SignalChange::Trigger::Passed:
        return "passed: " + std::to_string(c.aspect);
    }
    return "";
}

// Where each panel sits, as fractions of the picture from the bottom.
struct PanelLayout {
    bool multiplot = false;
    double speedBottom = 0.0;
    double voltsBottom = 0.0, voltsHeight = 0.0;
    double stripHeight = 0.0;
};

PanelLayout LayoutPanels(bool volts, bool strip) {
    if (volts && strip) return {true, 0.46, 0.24, 0.22, 0.24};
    if (volts) return {true, 0.32, 0.0, 0.32, 0.0};
    if (strip) return {true, 0.3, 0.0, 0.0, 0.3};
    return {};
}

constexpr const char* kBrakeMarkColour = "#e377c2"; // apart from the brake output's red

// A line where each automatic brake reason was set; in the speed panel also its name, as many
// as find room up to kMaxBrakeLabels, and a count of the rest.
void WriteBrakeMarks(std::ostream& gp, const RunOutcome& run, double from, double to,
                     bool labelled) {
    LabelRows rows{from, to, 4};
    std::size_t unnamed = run.brakeMarks.leftOut();
    int named = 0;
    for (const BrakeMark& mark : run.brakeMarks) {
        gp << "set arrow from " << Number(mark.location) << ", graph 0 to " << Number(mark.location)
           << ", graph 1 nohead lc rgb '" << kBrakeMarkColour << "' lw 1.5 dt 4\n";
        if (!labelled) continue;
        const std::string name(BrakeReasonName(mark.bit));
        bool rightwards = true;
        const int row =
            named < kMaxBrakeLabels ? rows.Place(mark.location, name.size(), rightwards) : -1;
        if (row < 0) {
            ++unnamed;
            continue;
        }
        ++named;
        gp << "set label " << GnuplotQuoted(name) << " at " << Number(mark.location) << ", graph "
           << Number(0.69 - 0.03 * row)
           << (rightwards ? " left offset 0.3,0" : " right offset -0.3,0") << " font ',8' tc rgb '"
           << kBrakeMarkColour << "' noenhanced\n";
    }
    if (labelled && unnamed > 0)
        gp << "set label "
           << GnuplotQuoted(std::to_string(unnamed) +
                            " more automatic brake reasons set than named (at most " +
                            std::to_string(kMaxBrakeLabels) + "); see the event log")
           << " at graph 0.99, graph 0.45 right font ',8' tc rgb '" << kBrakeMarkColour << "'\n";
}

constexpr const char* kVoltageColour = "#8c564b";
constexpr const char* kGaugeColour = "#17becf";

// The second panel: the line voltage and the brake-cylinder gauge the plug-in shows, over the
// same location axis as the speed, so that a dip or a rising gauge sits under its cause. A train
// standing still draws its changes as a vertical stroke; the event log has them in time.
void WriteVoltagePanel(std::ostream& gp, const Recorder& recorder, const RunOutcome& run,
                       const PanelLayout& layout, double from, double to) {
    gp << "unset arrow\nunset label\nset offsets 0, 0, 0, 0\n"
       << "set origin 0," << Number(layout.voltsBottom) << "\nset size 1,"
       << Number(layout.voltsHeight) << "\n"
       << "set title 'line voltage and brake-cylinder gauge, as the plug-in shows them' "
          "noenhanced font ',9'\n"
       // The axis labels in the colours of their lines stand in for a key, which would hide data.
       << "set ylabel 'line voltage (V)' tc rgb '" << kVoltageColour << "'\n"
       << "set y2label 'BC gauge (kPa)' tc rgb '" << kGaugeColour << "'\n"
       << "set yrange [*:*]\nset y2range [0:*]\nunset y2tics\nset y2tics autofreq\nset key off\n";
    WriteBrakeMarks(gp, run, from, to, false);
    const std::string data = GnuplotQuoted(kPlotTrace);
    gp << "plot " << data << " skip 1 using " << recorder.LocationColumn() << ":"
       << recorder.LineVoltageColumn() << " with lines lw 1.5 lc rgb '" << kVoltageColour
       << "' title 'line voltage'"
       << ", \\\n  " << data << " skip 1 using " << recorder.LocationColumn() << ":"
       << recorder.BcDisplayColumn() << " axes x1y2 with lines lw 1.5 lc rgb '" << kGaugeColour
       << "' title 'BC gauge'\n";
}

void WriteScript(std::ostream& gp, const Scenario& scenario, const Recorder& recorder,
                 const RunOutcome& run);

} // namespace

bool WritePlotScript(const Scenario& scenario, const Recorder& recorder, const RunOutcome& run,
                     const std::filesystem::path& folder, std::string& why) {
    std::ostringstream gp;
    WriteScript(gp, scenario, recorder, run);
    return WriteWholeFile(folder / kPlotScript, gp.str(), why);
}

namespace {

void WriteScript(std::ostream& gp, const Scenario& scenario, const Recorder& recorder,
                 const RunOutcome& run) {
    const VehicleSpec& spec = scenario.vehicle.spec;
    const int emergency = spec.BrakeNotches + 1;
    // The whole route, not only where the train went: a beacon it never reached is news too.
    double from = run.lowest, to = run.highest;
    for (const Signal& s : scenario.route.signals)
        from = std::min(from, s.position), to = std::max(to, s.position);
    for (const Beacon& b : scenario.route.beacons)
        from = std::min(from, b.position), to = std::max(to, b.position);
    for (const GradientChange& g : scenario.route.grades)
        from = std::min(from, g.from), to = std::max(to, g.from);
    const double margin = std::max(5.0, (to - from) * 0.02);
    from -= margin, to += margin;

    const bool drawPattern = scenario.trace.patternSpeedPanel.has_value() && run.patternSpeedSet;
    std::string title = scenario.name + ": speed over distance";
    if (scenario.trace.patternSpeedPanel && !run.patternSpeedSet)
        title += " (pattern speed panel " + std::to_string(*scenario.trace.patternSpeedPanel) +
                 " stayed 0 all run: not drawn)";
    // The traced lamps and sounds, one row each, in a strip under the speed: the cab at a glance.
    struct Row {
        std::string name;
        int column;
        bool sound;
    };
    std::vector<Row> rows;
    constexpr std::size_t kMaxRows = 24;
    std::size_t leftOut = 0;
    // The strip's names are cut to fit the left margin that every panel shares.
    constexpr std::size_t kMaxRowName = 30;
    const auto addRow = [&](std::string name, int column, bool sound) {
        if (name.size() > kMaxRowName) name = name.substr(0, kMaxRowName - 3) + "...";
        if (rows.size() < kMaxRows)
            rows.push_back({std::move(name), column, sound});
        else
            ++leftOut;
    };
    // Only what changed: a row that stays as it began tells nothing; the title counts them.
    std::size_t steady = 0;
    for (int index : scenario.trace.panel) {
        if (index == scenario.trace.patternSpeedPanel.value_or(-1)) continue;
        if (!run.panelChanged[static_cast<std::size_t>(index)]) {
            ++steady;
            continue;
        }
        addRow(std::string(run.slotNames.Panel(index)), recorder.PanelColumn(index), false);
    }
    for (int index : scenario.trace.sound) {
        if (!run.soundChanged[static_cast<std::size_t>(index)]) {
            ++steady;
            continue;
        }
        addRow(std::string(run.slotNames.Sound(index)), recorder.SoundColumn(index), true);
    }
    // The script names its files relative to the run folder, where gnuplot runs: no path the
    // user gave is ever written into it.
    gp << "# Drawn by velqa3-sim from the trace; in the run folder, run it again with: gnuplot "
       << kPlotScript << "\n"
       << "set terminal pngcairo size " << kPlotWidth << ","
       << (run.diagnostics && !rows.empty() ? kPlotTallHeight : kPlotHeight) << " font 'sans,10'\n"
       << "set output " << GnuplotQuoted(kPlotPicture) << "\n"
       << "set datafile separator ','\n";
    // The panels from the top: speed, then line voltage and gauge, then the strip; the lower
    // ones share the speed's location axis and margins, so a mark lines up across them.
    const PanelLayout layout = LayoutPanels(run.diagnostics, !rows.empty());
    if (layout.multiplot)
        gp << "set multiplot\nset lmargin " << (rows.empty() ? 10 : 26)
           << "\nset rmargin 12\nset origin 0," << Number(layout.speedBottom) << "\nset size 1,"
           << Number(1.0 - layout.speedBottom) << "\n";
    gp << "set title " << GnuplotQuoted(title) << " noenhanced\n"
       << "set xlabel 'location (m)'\nset ylabel 'speed (km/h)'\nset y2label 'brake notch'\n"
       << "set ytics nomirror\nset grid\nset key outside bottom center horizontal\n"
       << "set xrange [" << Number(from) << ":" << Number(to) << "]\n"
       << "set offsets graph 0, graph 0, graph 0.4, 0\n"
       << (run.plotTop >= 1.0 ? "set yrange [0:*]\n" : "set yrange [0:10]\n")
       << "set y2range [0:" << emergency + 3 << "]\n";
    // Every notch on the brake axis, the ATS and emergency notches by name.
    gp << "set y2tics (";
    for (int notch = 0; notch <= emergency; ++notch) {
        std::string name = std::to_string(notch);
        if (notch == emergency)
            name = "EB " + name;
        else if (notch == spec.AtsNotch)
            name = "ATS " + name;
        gp << (notch == 0 ? "" : ", ") << GnuplotQuoted(name) << " " << notch;
    }
    // Outputs past the emergency notch (TASC's steps, the pressure-increase brake) are the
    // vehicle data's own notches: drawn on a band of their own, not off the top of the axis.
    gp << ", 'past EB' " << emergency + 2 << ")\n";

    int unlabelled = 0;
    LabelRows beaconRows{from, to, 6};
    for (const Beacon& b : scenario.route.beacons) {
        const std::string label = BeaconLabel(b.type, b.optional);
        gp << "set arrow from " << Number(b.position) << ", graph 0 to " << Number(b.position)
           << ", graph 1 nohead lc rgb '#999999' dt 3\n";
        bool rightwards = true;
        const int row = beaconRows.Place(b.position, label.size(), rightwards);
        if (row < 0) {
            ++unlabelled;
            continue;
        }
        gp << "set label " << GnuplotQuoted(label) << " at " << Number(b.position) << ", graph "
           << Number(0.98 - 0.03 * row)
           << (rightwards ? " left offset 0.3,0" : " right offset -0.3,0")
           << " font ',8' tc rgb '#555555' "
           << "noenhanced\n";
    }
    LabelRows signalRows{from, to, 3};
    for (std::size_t i = 0; i < scenario.route.signals.size(); ++i) {
        const Signal& s = scenario.route.signals[i];
        const std::int32_t passed = i < run.passedAspect.size() ? run.passedAspect[i] : kNotPassed;
        std::string label = s.id + ": " + std::to_string(s.aspect);
        for (const SignalChange& c : s.changes)
            label += ", " + ChangeText(c);
        label +=
            passed == kNotPassed ? " (not passed)" : " (passed at " + std::to_string(passed) + ")";
        const char* colour = AspectColour(passed);
        gp << "set arrow from " << Number(s.position) << ", graph 0 to " << Number(s.position)
           << ", graph 1 nohead lc rgb '" << colour << "' lw 2\n";
        bool rightwards = true;
        const int row = signalRows.Place(s.position, label.size(), rightwards);
        if (row < 0) {
            ++unlabelled;
            continue;
        }
        gp << "set label " << GnuplotQuoted(label) << " at " << Number(s.position) << ", graph "
           << Number(0.79 - 0.03 * row)
           << (rightwards ? " left offset 0.3,0" : " right offset -0.3,0") << " font ',8' tc rgb '"
           << colour << "' noenhanced\n";
    }
    // Where the pattern aimed: the stop point against the signal, the speed each limit asks for.
    LabelRows targetRows{from, to, 2};
    for (const TargetMark& target : run.targets) {
        const bool stop = target.speed < 0.0f;
        const std::string label =
            stop ? "stop point" : "limit " + Number(std::round(target.speed)) + " km/h";
        const char* colour = stop ? "#000000" : "#8c564b";
        gp << "set arrow from " << Number(target.location) << ", graph 0 to "
           << Number(target.location) << ", graph 1 nohead lc rgb '" << colour << "' dt 2\n";
        bool rightwards = true;
        const int row = targetRows.Place(target.location, label.size(), rightwards);
        if (row < 0) {
            ++unlabelled;
            continue;
        }
        gp << "set label " << GnuplotQuoted(label) << " at " << Number(target.location)
           << ", graph " << Number(0.60 - 0.03 * row)
           << (rightwards ? " left offset 0.3,0" : " right offset -0.3,0") << " font ',8' tc rgb '"
           << colour << "' noenhanced\n";
    }
    WriteBrakeMarks(gp, run, from, to, true);
    if (unlabelled > 0)
        gp << "set label "
           << GnuplotQuoted(std::to_string(unlabelled) +
                            " beacon or signal labels left out for room; see the "
                            "event log")
           << " at graph 0.99, graph 0.5 right font ',8' tc rgb '#555555'\n";

    const std::string data = GnuplotQuoted(kPlotTrace);
    gp << "plot " << data << " skip 1 using " << recorder.LocationColumn() << ":(abs($"
       << recorder.SpeedColumn() << ")) with lines lw 2 lc rgb '#1f77b4' title 'speed'";
    if (drawPattern) {
        const int column = recorder.PanelColumn(*scenario.trace.patternSpeedPanel);
        gp << ", \\\n  '' skip 1 using " << recorder.LocationColumn() << ":" << column
           << " with lines lw 1.5 lc rgb '#ff7f0e' title 'pattern speed (panel "
           << *scenario.trace.patternSpeedPanel << ")'";
    }
    const auto onBand = [&](int column) {
        const std::string value = "$" + std::to_string(column);
        return "(" + value + " > " + std::to_string(emergency) + " ? " +
               std::to_string(emergency + 2) + " : " + value + ")";
    };
    gp << ", \\\n  '' skip 1 using " << recorder.LocationColumn() << ":"
       << onBand(recorder.BrakeColumn())
       << " axes x1y2 with steps lw 1.5 lc rgb '#d62728' title 'brake output'"
       << ", \\\n  '' skip 1 using " << recorder.LocationColumn() << ":"
       << onBand(recorder.DriverBrakeColumn())
       << " axes x1y2 with steps dt 2 lc rgb '#9467bd' title 'driver brake'\n";
    if (run.diagnostics) WriteVoltagePanel(gp, recorder, run, layout, from, to);
    if (rows.empty()) {
        if (layout.multiplot) gp << "unset multiplot\n";
        return;
    }

    std::string stripTitle = "lamps (bar: lit, line: dark) and sounds (bar: looping, triangle: "
                             "played once, line: not looping)";
    if (leftOut > 0)
        stripTitle += "; " + std::to_string(leftOut) + " more traced entries not drawn";
    if (steady > 0) stripTitle += "; " + std::to_string(steady) + " traced entries never changed";
    gp << "unset arrow\nunset label\nunset y2tics\nunset y2label\nset offsets 0, 0, 0, 0\n"
       << "set origin 0,0\nset size 1," << Number(layout.stripHeight)
       << "\nset key off\nset ylabel ''\n"
       << "set title " << GnuplotQuoted(stripTitle) << " noenhanced font ',9'\n"
       << "set yrange [0:" << rows.size() << "]\nset ytics (";
    for (std::size_t i = 0; i < rows.size(); ++i)
        gp << (i == 0 ? "" : ", ") << GnuplotQuoted(rows[i].name) << " "
           << Number(static_cast<double>(i) + 0.4);
    gp << ") font ',8'\nplot ";
    // One colour per row; on and off drawn apart, frame by frame from the trace, so a lamp that
    // blinks shows as a dashed bar.
    static constexpr const char* kRowColours[] = {"#1f77b4", "#2ca02c", "#d62728", "#9467bd",
                                                  "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22",
                                                  "#17becf", "#ff7f0e"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string row = Number(static_cast<double>(i));
        const std::string col = "$" + std::to_string(rows[i].column);
        const std::string colour =
            std::string(" lc rgb '") + kRowColours[i % std::size(kRowColours)] + "'";
        const std::string on =
            rows[i].sound ? "(" + col + " > -10000 && " + col + " <= 0)" : "(" + col + " != 0)";
        const std::string source =
            data + " skip 1 using " + std::to_string(recorder.LocationColumn()) + ":";
        gp << (i == 0 ? "" : ", \\\n  ") << source << "(" << on << " ? " << row
           << " + 0.4 : 1/0) with steps lw 9" << colour << ", \\\n  " << source << "(" << on
           << " ? 1/0 : " << row << " + 0.1) with steps lw 1" << colour;
        if (rows[i].sound)
            gp << ", \\\n  " << source << "(" << col << " == 1 ? " << row
               << " + 0.4 : 1/0) with points pt 9 ps 1.2" << colour;
    }
    gp << "\nunset multiplot\n";
}

} // namespace

bool RenderPlot(const std::filesystem::path& folder, std::string& problem, int seconds) {
    std::error_code ignored;
    const std::filesystem::path picture = folder / kPlotPicture;
    std::filesystem::remove(picture, ignored);
    const char* const argv[] = {"gnuplot", kPlotScript, nullptr};
    char trouble[256];
    const std::string where = folder.string();
    const int status = platform::RunProgram(argv, where.c_str(), trouble, sizeof trouble,
                                            static_cast<long>(seconds) * 1000);
    if (status == 0 && std::filesystem::exists(picture, ignored)) return true;
    if (status == platform::kTimedOut) {
        // What it left is a picture half drawn.
        std::filesystem::remove(picture, ignored);
        problem = std::string(trouble) + " (allow it longer with --plot-seconds)";
        return false;
    }
    if (status < 0)
        problem = std::string(trouble) + " (is gnuplot installed? On Debian: apt-get install "
                                         "gnuplot-nox)";
    else
        problem = "gnuplot did not draw it (exit status " + std::to_string(status) + ")";
    return false;
}

} // namespace velqa3::sim
