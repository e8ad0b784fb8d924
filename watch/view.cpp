#include "watch/view.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace velqa3::watch {

namespace {

struct Text {
    char* out;
    std::size_t size;
    std::size_t used = 0;
};

void Put(Text& t, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Put(Text& t, const char* format, ...) {
    if (t.used + 1 >= t.size) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(t.out + t.used, t.size - t.used, format, args);
    va_end(args);
    if (n < 0) return;
    t.used += static_cast<std::size_t>(n);
    if (t.used >= t.size) t.used = t.size - 1;
}

// Any sender may be listened to, so a number is narrowed only within range.
int Int(double value) {
    if (!(value > -2147483648.0)) return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0) return INT32_MAX;
    return static_cast<int>(value);
}

// 999.9 km/h is the protection's "no limit".
void PutSpeed(Text& t, double kmh) {
    if (kmh >= 999.85)
        Put(t, "%12s", "no limit");
    else
        Put(t, "%7.1f km/h", kmh);
}

void PutAge(Text& t, bool have, double at, double now) {
    if (have)
        Put(t, " (%.1f s ago)\n", now - at);
    else
        Put(t, " (none yet)\n");
}

void DrawStatus(Text& t, const JsonFields& s) {
    auto f = [&](const char* path) { return FieldOr(s, path, 0.0); };
    Put(t, "  Speed                  ");
    PutSpeed(t, f("Ats.Spd"));
    Put(t, "     warning/brake code %d\n", Int(f("Ats.ApproachNo")));
    Put(t, "  Signal target     %9.1f m    pattern ", f("Sig.Dis"));
    PutSpeed(t, f("Sig.PtnSpd"));
    Put(t, " at %.1f m\n", f("Sig.PtnDis"));
    Put(t, "  Speed limit       %9.1f m    limit   ", f("Lim.Dis"));
    PutSpeed(t, f("Lim.Spd"));
    Put(t, "   pattern ");
    PutSpeed(t, f("Lim.PtnSpd"));
    Put(t, " at %.1f m\n", f("Lim.PtnDis"));
    Put(t, "  Limit announced   %9.1f m    limit   ", f("LimDo.Dis"));
    PutSpeed(t, f("LimDo.Spd"));
    Put(t, "   line max ");
    PutSpeed(t, f("LimDo.Max"));
    Put(t, "\n");
    Put(t, "  Stop point (NSD)  %9.1f m    mode %d\n", f("NSD.Dis"), Int(f("NSD.Mode")));
    Put(t, "  Last beacon        type %d, signal %d, value %.0f\n", Int(f("Beacon.Type")),
        Int(f("Beacon.Signal")), f("Beacon.Optional"));
}

void DrawStop(Text& t, const JsonFields& s) {
    auto f = [&](const char* path) { return FieldOr(s, path, 0.0); };
    const long seconds = Int(f("Time"));
    const long day = ((seconds % 86400) + 86400) % 86400;
    Put(t, "  Time                 %02ld:%02ld:%02ld\n", day / 3600, day / 60 % 60, day % 60);
    Put(t, "  Location          %9.0f m    panel location %.0f m\n", f("Location"),
        f("PanelLocation"));
    Put(t, "  Speed                  ");
    PutSpeed(t, f("Speed"));
    Put(t, "\n");
    Put(t, "  Station           %9d      stops there: %s\n", Int(f("StaId")),
        f("Stop") != 0.0 ? "yes" : "no");
}

} // namespace

Kind KindOf(const JsonFields& fields) {
    if (std::strcmp(fields.first, "Ats") == 0) return Kind::Status;
    if (std::strcmp(fields.first, "Time") == 0) return Kind::Stop;
    return Kind::Other;
}

Kind TakeDatagram(View& view, const char* data, std::size_t length, double now) {
    // The sender ends every datagram with a zero byte; the text is what comes before it.
    const void* zero = std::memchr(data, '\0', length);
    if (zero != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(zero) - data);
    JsonFields fields;
    if (!ReadJsonFields(data, length, fields)) {
        ++view.badCount;
        return Kind::Invalid;
    }
    const Kind kind = KindOf(fields);
    if (kind == Kind::Status) {
        view.status = fields;
        view.haveStatus = true;
        view.statusAt = now;
        ++view.statusCount;
    } else if (kind == Kind::Stop) {
        view.stop = fields;
        view.haveStop = true;
        view.stopAt = now;
        ++view.stopCount;
    } else {
        ++view.otherCount;
    }
    return kind;
}

void DrawTable(const View& view, double now, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    out[0] = '\0';
    Text t{out, size};
    Put(t, "velqa3-watch: port %u   status %ld   stop %ld   ignored %ld\n\n",
        static_cast<unsigned>(view.port), view.statusCount, view.stopCount,
        view.otherCount + view.badCount);
    Put(t, "Pattern protection");
    PutAge(t, view.haveStatus, view.statusAt, now);
    if (view.haveStatus) DrawStatus(t, view.status);
    Put(t, "\nTrain and station");
    PutAge(t, view.haveStop, view.stopAt, now);
    if (view.haveStop) DrawStop(t, view.stop);
}

} // namespace velqa3::watch
