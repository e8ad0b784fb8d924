// velqa3-watch [PORT] [--json] [--bind ADDRESS] [--for SECONDS]
//
// Listens for the plug-in's telemetry and shows the latest status and stop messages as a table
// that redraws itself, or with --json prints every datagram as one line of JSON, for other
// tools. Ctrl-C or a request to terminate ends it, whatever its output does; --for ends it after
// that many seconds.
#include "platform/udp_receive.h"
#include "text/shown.h"
#include "watch/json_line.h"
#include "watch/view.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace velqa3;

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) {
    stopRequested = 1;
}

struct Options {
    std::uint16_t port = 49200; // the plug-in's default
    bool json = false;
    const char* bind = "0.0.0.0";
    double seconds = 0.0; // 0: until stopped
};

const char* const kUsage =
    "usage: velqa3-watch [PORT] [--json] [--bind ADDRESS] [--for SECONDS]\n"
    "  PORT            UDP port to listen on, 1..65535 (default 49200, the plug-in's default)\n"
    "  --json          print each datagram as one line of JSON instead of the table\n"
    "  --bind ADDRESS  listen on this IPv4 address only (default: every interface)\n"
    "  --for SECONDS   stop after this many seconds (default: until Ctrl-C)\n"
    "With --json a datagram of JSON comes out as it was sent, on one line, with DEL and the C1\n"
    "controls in its strings written as \\u escapes. Any other datagram comes out as\n"
    "  {\"Repaired\":true, \"Reason\":REASON, \"Length\":BYTES, \"Text\":\"...\"}\n"
    "REASON being \"not UTF-8\", \"not JSON\" or \"number out of range\" (beyond a double,\n"
    "which most JSON readers refuse). Text shows a byte that is no UTF-8 as \\xHH, a control\n"
    "as \\uXXXX and a backslash doubled. When the reader of the output falls more than a\n"
    "megabyte behind, lines are dropped, not waited for, and counted on standard error at\n"
    "the end.\n";

// A command-line argument as the terminal may show it, of any length.
std::string Arg(const char* text) {
    return text::Shown(text, 200);
}

bool ParseNumber(const char* text, double low, double high, double& out) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= low && value <= high)) return false;
    out = value;
    return true;
}

// 0 to go on, else the exit code.
int ParseOptions(int argc, char** argv, Options& options) {
    bool portGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        double value = 0.0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (std::strcmp(arg, "--json") == 0) {
            options.json = true;
        } else if (std::strcmp(arg, "--bind") == 0 && i + 1 < argc) {
            options.bind = argv[++i];
        } else if (std::strcmp(arg, "--for") == 0 && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0.001, 1e6, options.seconds)) {
                std::fprintf(stderr, "velqa3-watch: --for takes seconds above 0, not '%s'\n",
                             Arg(argv[i]).c_str());
                return 2;
            }
        } else if (arg[0] != '-' && !portGiven) {
            if (!ParseNumber(arg, 1, 65535, value) || value != static_cast<int>(value)) {
                std::fprintf(stderr,
                             "velqa3-watch: the port is a whole number from 1 to 65535, "
                             "not '%s'\n",
                             Arg(arg).c_str());
                return 2;
            }
            options.port = static_cast<std::uint16_t>(value);
            portGiven = true;
        } else {
            std::fprintf(stderr, "velqa3-watch: unknown argument '%s'\n%s", Arg(arg).c_str(),
                         kUsage);
            return 2;
        }
    }
    return 0;
}

// Output the reader has not taken yet. A reader that keeps up never sees it fill; one that does
// not costs whole lines, counted, rather than a watch that hangs and cannot be stopped.
struct Pending {
    std::string bytes;
    std::size_t sent = 0;
    long dropped = 0; // lines
    bool gone = false;
};

constexpr std::size_t kMaxPending = std::size_t{1} << 20;

bool Behind(const Pending& out) {
    return out.sent < out.bytes.size();
}

// An empty queue takes any one line, so even the longest datagram can be printed.
bool Queue(Pending& out, std::string_view line) {
    if (!Behind(out)) {
        out.bytes.clear();
        out.sent = 0;
    }
    if (Behind(out) && out.bytes.size() - out.sent + line.size() > kMaxPending) {
        ++out.dropped;
        return false;
    }
    if (out.sent >= kMaxPending) {
        out.bytes.erase(0, out.sent);
        out.sent = 0;
    }
    out.bytes.append(line);
    return true;
}

// Writes what the output takes within about timeoutMs, less when a stop is asked for.
void Flush(Pending& out, int timeoutMs, bool evenWhenStopping) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Behind(out) && !out.gone && (evenWhenStopping || stopRequested == 0)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        const long written =
            platform::WriteOutput(out.bytes.data() + out.sent, out.bytes.size() - out.sent,
                                  static_cast<int>(std::max<long long>(0, left.count())));
        if (written < 0) out.gone = true;
        if (written <= 0) break;
        out.sent += static_cast<std::size_t>(written);
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = ParseOptions(argc, argv, options); code != 0) return code < 0 ? 0 : code;

    platform::UdpListener listener;
    if (!platform::UdpListen(listener, options.bind, options.port)) {
        std::fprintf(stderr,
                     "velqa3-watch: cannot listen on %s port %u (is the address right, or does "
                     "another program listen there?)\n",
                     Arg(options.bind).c_str(), static_cast<unsigned>(options.port));
        return 1;
    }
    platform::CatchStopSignals(RequestStop);
    const bool terminal = !options.json && platform::PrepareTerminal();
    std::fprintf(stderr, "velqa3-watch: listening on %s port %u\n", Arg(options.bind).c_str(),
                 static_cast<unsigned>(listener.port));

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    auto now = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

    Pending out;
    watch::View view;
    view.port = listener.port;
    static char table[8192];
    double drawnAt = -1.0;
    auto draw = [&] {
        // A table the reader has not taken yet is stale already: the next one replaces it.
        if (Behind(out)) return;
        watch::DrawTable(view, now(), table, sizeof table);
        // On a terminal the table replaces itself; into a file or pipe each one follows the last.
        Queue(out, terminal ? "\x1b[H\x1b[2J" : "\n");
        Queue(out, table);
        drawnAt = now();
    };
    if (terminal) draw();

    // Large enough for any datagram, so none arrives cut.
    static char datagram[65536];
    std::string line;
    long repaired = 0;
    int status = 0;
    while (stopRequested == 0 && !out.gone && (options.seconds <= 0.0 || now() < options.seconds)) {
        // The socket's queue is far smaller than ours: the output waits only while no datagram
        // does, and never long, so that a stop is seen at once.
        Flush(out, 0, false);
        const long got =
            platform::UdpReceive(listener, datagram, sizeof datagram, Behind(out) ? 0 : 200);
        if (got == 0 && Behind(out)) Flush(out, 20, false);
        if (got < 0) {
            if (stopRequested != 0) break; // the signal cut the wait short
            std::fprintf(stderr, "velqa3-watch: receiving failed\n");
            status = 1;
            break;
        }
        if (got > 0) {
            const std::size_t length = static_cast<std::size_t>(got);
            watch::TakeDatagram(view, datagram, length, now());
            if (options.json) {
                line.clear();
                if (!watch::AppendJsonLine(line, watch::DatagramText(datagram, length))) ++repaired;
                Queue(out, line);
            }
        }
        // A refresh five times a second is easy to read and costs nothing; an idle table
        // still counts up the age of what it shows.
        if (!options.json && terminal && now() - drawnAt >= 0.2) draw();
    }
    if (!options.json && !terminal) draw(); // the last state, for whoever reads the file
    // What is still queued gets a short while, so that a stop is quick whatever the reader does.
    Flush(out, 250, true);
    if (out.gone) {
        std::fprintf(stderr, "velqa3-watch: the output was closed\n");
        status = 1;
    }
    const long unwritten = static_cast<long>(std::count(
        out.bytes.begin() + static_cast<std::ptrdiff_t>(out.sent), out.bytes.end(), '\n'));
    if (out.dropped + unwritten > 0)
        std::fprintf(stderr,
                     "velqa3-watch: %ld line(s) not written: the output did not take them in "
                     "time\n",
                     out.dropped + unwritten);
    if (options.json && repaired > 0)
        std::fprintf(stderr,
                     "velqa3-watch: %ld datagram(s) were not JSON in UTF-8; their lines say "
                     "\"Repaired\":true\n",
                     repaired);
    if (!options.json && view.badCount > 0)
        std::fprintf(stderr, "velqa3-watch: ignored %ld datagram(s) that were not JSON\n",
                     view.badCount);
    platform::UdpStopListening(listener);
    return status;
}
