// velqa3-watch [PORT] [--json] [--bind ADDRESS] [--for SECONDS]
//
// Listens for the plug-in's telemetry and shows the latest status and stop messages as a table
// that redraws itself, or with --json prints every datagram that is valid JSON as one line, for
// other tools. Ctrl-C ends it; --for ends it after that many seconds.
#include "platform/udp_receive.h"
#include "watch/view.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    "  --for SECONDS   stop after this many seconds (default: until Ctrl-C)\n";

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
                             argv[i]);
                return 2;
            }
        } else if (arg[0] != '-' && !portGiven) {
            if (!ParseNumber(arg, 1, 65535, value) || value != static_cast<int>(value)) {
                std::fprintf(stderr,
                             "velqa3-watch: the port is a whole number from 1 to 65535, "
                             "not '%s'\n",
                             arg);
                return 2;
            }
            options.port = static_cast<std::uint16_t>(value);
            portGiven = true;
        } else {
            std::fprintf(stderr, "velqa3-watch: unknown argument '%s'\n%s", arg, kUsage);
            return 2;
        }
    }
    return 0;
}

// One datagram as one line: the text before its zero byte, which the plug-in keeps on one line;
// a control character from any other sender is shown as a blank so the line stays one line.
void PrintLine(const char* data, std::size_t length) {
    char line[4096];
    std::size_t n = 0;
    for (; n < length && n + 1 < sizeof line && data[n] != '\0'; ++n)
        line[n] = static_cast<unsigned char>(data[n]) < 0x20 ? ' ' : data[n];
    line[n++] = '\n';
    std::fwrite(line, 1, n, stdout);
    std::fflush(stdout);
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
                     options.bind, static_cast<unsigned>(options.port));
        return 1;
    }
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    const bool terminal = !options.json && platform::PrepareTerminal();
    std::fprintf(stderr, "velqa3-watch: listening on %s port %u\n", options.bind,
                 static_cast<unsigned>(listener.port));

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    auto now = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

    watch::View view;
    view.port = listener.port;
    static char table[8192];
    double drawnAt = -1.0;
    auto draw = [&] {
        watch::DrawTable(view, now(), table, sizeof table);
        // On a terminal the table replaces itself; into a file or pipe each one follows the last.
        std::fputs(terminal ? "\x1b[H\x1b[2J" : "\n", stdout);
        std::fputs(table, stdout);
        std::fflush(stdout);
        drawnAt = now();
    };
    if (terminal) draw();

    static char datagram[65536];
    int status = 0;
    while (stopRequested == 0 && (options.seconds <= 0.0 || now() < options.seconds)) {
        const long got = platform::UdpReceive(listener, datagram, sizeof datagram, 200);
        if (got < 0) {
            if (stopRequested != 0) break; // the signal cut the wait short
            std::fprintf(stderr, "velqa3-watch: receiving failed\n");
            status = 1;
            break;
        }
        if (got > 0) {
            const std::size_t length = static_cast<std::size_t>(got);
            const watch::Kind kind = watch::TakeDatagram(view, datagram, length, now());
            if (options.json && kind != watch::Kind::Invalid) PrintLine(datagram, length);
        }
        // A refresh five times a second is easy to read and costs nothing; an idle table
        // still counts up the age of what it shows.
        if (!options.json && terminal && now() - drawnAt >= 0.2) draw();
    }
    if (!options.json && !terminal) draw(); // the last state, for whoever reads the file
    if (view.badCount > 0)
        std::fprintf(stderr, "velqa3-watch: ignored %ld datagram(s) that were not JSON\n",
                     view.badCount);
    platform::UdpStopListening(listener);
    return status;
}
