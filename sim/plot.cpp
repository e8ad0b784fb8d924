#include "sim/plot.h"

#include "platform/process.h"

#include <fstream>

namespace velqa3::sim {

namespace {

// Text as a gnuplot single-quoted string. Inside one, gnuplot expands no macro and no
// backquote and ends the string only at a quote, which is doubled. A line break would end the
// command and begin another (and "!" at a line's start runs a shell command), so control
// characters never get in, even though the scenario reader already refuses them.
std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        quoted += byte < 0x20 || byte == 0x7F ? '?' : c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

} // namespace

bool WritePlotScript(const Scenario& scenario, const Recorder& recorder, PlotRange range,
                     const std::filesystem::path& folder) {
    std::ofstream gp(folder / kPlotScript, std::ios::binary);
    if (!gp) return false;
    const int emergency = scenario.vehicle.spec.BrakeNotches + 1;
    double from = range.fromM, to = range.toM;
    if (to - from < 10.0) from -= 5.0, to += 5.0;
    // The script names its files relative to the run folder, where gnuplot runs: no path the
    // user gave is ever written into it.
    gp << "# Drawn by velqa3-sim from the trace; in the run folder, run it again with: gnuplot "
       << kPlotScript << "\n"
       << "set terminal pngcairo size " << kPlotWidth << "," << kPlotHeight << " font 'sans,10'\n"
       << "set output " << Quoted(kPlotPicture) << "\n"
       << "set datafile separator ','\n"
       << "set title " << Quoted(scenario.name + ": speed over distance") << " noenhanced\n"
       << "set xlabel 'location (m)'\nset ylabel 'speed (km/h)'\nset y2label 'brake notch'\n"
       << "set ytics nomirror\nset y2tics 1\nset grid\nset key outside bottom center horizontal\n"
       << "set xrange [" << from << ":" << to << "]\n"
       << "set offsets graph 0, graph 0, graph 0.08, 0\n"
       << (range.topSpeed >= 1.0 ? "set yrange [0:*]\n" : "set yrange [0:10]\n")
       << "set y2range [0:" << emergency + 1 << "]\n";
    for (const Beacon& b : scenario.route.beacons) {
        if (b.position < from || b.position > to) continue;
        gp << "set arrow from " << b.position << ", graph 0 to " << b.position
           << ", graph 1 nohead lc rgb '#999999' dt 3\n"
           << "set label 'type " << b.type << "' at " << b.position
           << ", graph 0.99 rotate by 90 right font ',8' tc rgb '#666666'\n";
    }
    for (const Signal& s : scenario.route.signals) {
        if (s.position < from || s.position > to) continue;
        gp << "set arrow from " << s.position << ", graph 0 to " << s.position
           << ", graph 1 nohead lc rgb '#2ca02c' lw 1.5\n"
           << "set label " << Quoted(s.id) << " at " << s.position
           << ", graph 0.02 rotate by 90 left font ',8' tc rgb '#2ca02c' noenhanced\n";
    }
    const std::string data = Quoted(kPlotTrace);
    gp << "plot " << data << " skip 1 using " << recorder.LocationColumn() << ":(abs($"
       << recorder.SpeedColumn() << ")) with lines lw 2 lc rgb '#1f77b4' title 'speed'";
    if (scenario.trace.patternSpeedPanel) {
        const int column = recorder.PanelColumn(*scenario.trace.patternSpeedPanel);
        gp << ", \\\n  '' skip 1 using " << recorder.LocationColumn() << ":" << column
           << " with lines lw 1.5 lc rgb '#ff7f0e' title 'pattern speed (panel "
           << *scenario.trace.patternSpeedPanel << ")'";
    }
    gp << ", \\\n  '' skip 1 using " << recorder.LocationColumn() << ":" << recorder.BrakeColumn()
       << " axes x1y2 with steps lw 1.5 lc rgb '#d62728' title 'brake output'"
       << ", \\\n  '' skip 1 using " << recorder.LocationColumn() << ":"
       << recorder.DriverBrakeColumn()
       << " axes x1y2 with steps dt 2 lc rgb '#9467bd' title 'driver brake'\n";
    return static_cast<bool>(gp);
}

bool RenderPlot(const std::filesystem::path& folder, std::string& problem) {
    std::error_code ignored;
    const std::filesystem::path picture = folder / kPlotPicture;
    std::filesystem::remove(picture, ignored);
    const char* const argv[] = {"gnuplot", kPlotScript, nullptr};
    char trouble[256];
    const std::string where = folder.string();
    const int status = platform::RunProgram(argv, where.c_str(), trouble, sizeof trouble);
    if (status == 0 && std::filesystem::exists(picture, ignored)) return true;
    if (status < 0)
        problem = std::string(trouble) + " (is gnuplot installed? On Debian: apt-get install "
                                         "gnuplot-nox)";
    else
        problem = "gnuplot did not draw it (exit status " + std::to_string(status) + ")";
    return false;
}

} // namespace velqa3::sim
