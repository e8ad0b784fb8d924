// The sweep's picture, drawn by gnuplot as a run's is: where the train first stood and where
// the plug-in first braked, against the first key's value, a line for each value of the second
// key, with the signals and the expectations' bounds drawn across. The script holds no text
// from the scenario: the keys are the sweep's own names (letters, digits, dots and brackets),
// the signals go by their number.
#include "platform/process.h"
#include "sim/plot.h"
#include "sim/run_folder.h"
#include "sim/sweep_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

bool WriteSweepPlot(const SweepSummary& summary, std::string& why) {
    const std::vector<SweepCase>& plan = *summary.plan;
    const std::vector<CaseRow>& rows = *summary.rows;
    const SweepAxis& x = summary.axes[0];
    const std::size_t lines = summary.axes.size() > 1 ? summary.axes[1].values.size() : 1;
    std::ostringstream data;
    double low = 1e300, high = -1e300;
    const auto widen = [&](double at) {
        low = std::min(low, at);
        high = std::max(high, at);
    };
    for (std::size_t line = 0; line < lines; ++line) {
        if (line > 0) data << "\n\n";
        for (std::size_t i = 0; i < x.values.size(); ++i) {
            const CaseRow& row = rows[line * x.values.size() + i];
            data << Number(x.values[i]) << ' ' << (row.firstStand ? Number(*row.firstStand) : "NaN")
                 << ' ' << (row.firstIntervention ? Number(*row.firstIntervention) : "NaN") << '\n';
            if (row.firstStand) widen(*row.firstStand);
            if (row.firstIntervention) widen(*row.firstIntervention);
        }
    }
    if (low > high) return why = "no case came to a stand or was braked", false;
    if (!WriteWholeFile(summary.folder / kSweepPlotData, data.str(), why)) return false;

    // Marks across: the first case's signals near the stands, and the bounds of its
    // expectations on the location.
    const CaseShape& shape = (*summary.shapes)[plan.front().shape];
    const double reach = std::max(100.0, high - low);
    std::ostringstream gp;
    gp << "# Drawn by velqa3-sim from the sweep; in the sweep folder, run it again with: gnuplot "
       << kSweepPlotScript << "\n"
       << "set terminal pngcairo size 1400,800 font 'sans,10'\n"
       << "set output " << GnuplotQuoted(kSweepPicture) << "\n"
       << "set title " << GnuplotQuoted("Where the train first stood, against " + x.key)
       << " noenhanced\n"
       << "set xlabel " << GnuplotQuoted(x.key) << " noenhanced\n"
       << "set ylabel 'location (m)'\nset grid\nset key outside right top noenhanced\n"
       << "set offsets graph 0.02, graph 0.02, 0, 0\n";
    std::vector<double> marks;
    for (std::size_t s = 0; s < shape.signals.size(); ++s) {
        const double at = shape.signals[s];
        if (at < low - reach || at > high + reach) continue;
        marks.push_back(at);
        gp << "set arrow from graph 0, first " << Number(at) << " to graph 1, first " << Number(at)
           << " nohead lw 2 lc rgb '#d62728'\n"
           << "set label " << GnuplotQuoted("signal " + std::to_string(s + 1))
           << " at graph 0.01, first " << Number(at) << " offset 0,0.6 tc rgb '#d62728'\n";
    }
    for (std::size_t e = 0; e < shape.expectations.size(); ++e) {
        const CaseShape::Bound& bound = shape.expectations[e];
        std::vector<double> at;
        if (bound.kind == Expectation::Kind::StopsBefore) at.push_back(bound.value);
        if ((bound.kind == Expectation::Kind::StopsBetween ||
             bound.kind == Expectation::Kind::FinalStopBetween) &&
            bound.from && bound.to) {
            at.push_back(*bound.from);
            at.push_back(*bound.to);
        }
        for (double y : at) {
            if (y < low - reach || y > high + reach) continue;
            marks.push_back(y);
            gp << "set arrow from graph 0, first " << Number(y) << " to graph 1, first "
               << Number(y) << " nohead dt 2 lc rgb '#1f77b4'\n"
               << "set label " << GnuplotQuoted("expect[" + std::to_string(e + 1) + "]")
               << " at graph 0.99, first " << Number(y) << " right offset 0,0.6 tc rgb '#1f77b4'\n";
        }
    }
    for (double y : marks)
        widen(y);
    const double pad = std::max(10.0, (high - low) * 0.05);
    gp << "set yrange [" << Number(low - pad) << ":" << Number(high + pad) << "]\n";
    gp << "plot ";
    for (std::size_t line = 0; line < lines; ++line) {
        const std::string which =
            summary.axes.size() > 1
                ? ", " + summary.axes[1].key + "=" + ValueText(summary.axes[1].values[line])
                : "";
        if (line > 0) gp << ", \\\n     ";
        gp << GnuplotQuoted(kSweepPlotData) << " index " << line
           << " using 1:2 with linespoints lw 2 pt 7 lc " << line + 1 << " title "
           << GnuplotQuoted("first stand" + which) << ", \\\n     " << GnuplotQuoted(kSweepPlotData)
           << " index " << line << " using 1:3 with points pt 2 ps 1.5 lc " << line + 1 << " title "
           << GnuplotQuoted("first intervention" + which);
    }
    gp << "\n";
    return WriteWholeFile(summary.folder / kSweepPlotScript, gp.str(), why);
}

bool RenderSweepPlot(const fs::path& folder, std::string& problem, int seconds) {
    std::error_code ignored;
    const fs::path picture = folder / kSweepPicture;
    fs::remove(picture, ignored);
    const char* const argv[] = {"gnuplot", kSweepPlotScript, nullptr};
    char trouble[256];
    const std::string where = folder.string();
    const int status = platform::RunProgram(argv, where.c_str(), trouble, sizeof trouble,
                                            static_cast<long>(seconds) * 1000);
    if (status == 0 && fs::exists(picture, ignored)) return true;
    if (status == platform::kTimedOut) {
        fs::remove(picture, ignored);
        problem = std::string(trouble) + " (allow it longer with --plot-seconds)";
    } else if (status < 0) {
        problem = std::string(trouble) +
                  " (is gnuplot installed? On Debian: apt-get install gnuplot-nox)";
    } else {
        problem = "gnuplot did not draw it (exit status " + std::to_string(status) + ")";
    }
    return false;
}

} // namespace velqa3::sim
