#include "sim/plot.h"

#include <cstdlib>
#include <fstream>

namespace velqa3::sim {

namespace {

// A path as a gnuplot single-quoted string: quotes are doubled, nothing else is special.
std::string Quoted(const std::filesystem::path& path) {
    std::string text = "'";
    for (char c : path.generic_string()) {
        text += c;
        if (c == '\'') text += '\'';
    }
    return text + "'";
}

} // namespace

bool WritePlotScript(const Scenario& scenario, const Recorder& recorder, PlotRange range,
                     const std::filesystem::path& trace, const std::filesystem::path& picture,
                     const std::filesystem::path& script) {
    std::ofstream gp(script, std::ios::binary);
    if (!gp) return false;
    const int emergency = scenario.vehicle.spec.BrakeNotches + 1;
    double from = range.fromM, to = range.toM;
    if (to - from < 10.0) from -= 5.0, to += 5.0;
    gp << "# Drawn by velqa3-sim from the trace; run it again with: gnuplot "
       << script.filename().string() << "\n"
       << "set terminal pngcairo size 1400,800 font 'sans,10'\n"
       << "set output " << Quoted(picture) << "\n"
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
    const std::string data = Quoted(trace);
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

bool RenderPlot(const std::filesystem::path& script, const std::filesystem::path& picture,
                std::string& problem) {
    std::error_code ignored;
    std::filesystem::remove(picture, ignored);
    const std::string command = "gnuplot \"" + script.string() + "\"";
    const int status = std::system(command.c_str());
    if (status == 0 && std::filesystem::exists(picture, ignored)) return true;
    problem = "gnuplot did not draw it (exit status " + std::to_string(status) +
              "; is gnuplot installed? On Debian: apt-get install gnuplot-nox)";
    return false;
}

} // namespace velqa3::sim
