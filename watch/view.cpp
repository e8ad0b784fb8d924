#include "watch/view.h"

#include "text/shown.h"
#include "watch/json_line.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

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

// What the table shows in place of a value: a sender other than the plug-in may be listening
// in, so nothing it sends may push the table apart or pass for a real target.
constexpr const char* kOutOfRange = "out of range";
constexpr const char* kMissing = "-";

// A column of 12 characters: a number with its unit, or a word.
void PutWord(Text& t, const char* word) {
    Put(t, "%12s", word);
}

// A member the format writes with %d: a whole number of the 32-bit range.
bool AsInteger(double value, long& out) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0) || value != static_cast<long>(value))
        return false;
    out = static_cast<long>(value);
    return true;
}

// The unit follows a number only: "out of range m" would read as a distance.
void PutInteger(Text& t, const JsonFields& s, const char* path, const char* unit = "") {
    long value = 0;
    if (!HasField(s, path))
        Put(t, "%s", kMissing);
    else if (!AsInteger(FieldOr(s, path, 0.0), value))
        Put(t, "%s", kOutOfRange);
    else
        Put(t, "%ld%s", value, unit);
}

// A number with one decimal and its unit in 12 characters, or a word when it does not fit.
void PutMeasure(Text& t, double value, const char* unit) {
    char text[32];
    const int width = 11 - static_cast<int>(std::strlen(unit));
    const int n = std::isfinite(value) && std::fabs(value) < 1e15
                      ? std::snprintf(text, sizeof text, "%.1f", value)
                      : -1;
    if (n < 0 || n > width)
        PutWord(t, kOutOfRange);
    else
        Put(t, "%*s %s", width, text, unit);
}

void PutSpeed(Text& t, const JsonFields& s, const char* path) {
    if (!HasField(s, path)) return PutWord(t, kMissing);
    PutMeasure(t, FieldOr(s, path, 0.0), "km/h");
}

// The protection writes 999.9 km/h for "no limit" (10000 in the speed of the next limit after a
// beacon that ends the pattern territory); 999.85 or 1000 is a speed like any other.
constexpr double kNoLimit = 999.9;
constexpr double kNoLimitAfterBeacon = 10000.0;

void PutLimit(Text& t, const JsonFields& s, const char* path, bool beaconNoLimit) {
    if (!HasField(s, path)) return PutWord(t, kMissing);
    const double kmh = FieldOr(s, path, 0.0);
    if (kmh == kNoLimit || (beaconNoLimit && kmh == kNoLimitAfterBeacon))
        PutWord(t, "no limit");
    else
        PutMeasure(t, kmh, "km/h");
}

// The protection keeps a target it does not have at a distance of 100000 or 10000 m.
void PutDistance(Text& t, const JsonFields& s, const char* path, bool placeholders) {
    if (!HasField(s, path)) return PutWord(t, kMissing);
    const double m = FieldOr(s, path, 0.0);
    if (placeholders && (m == 100000.0 || m == 10000.0))
        PutWord(t, "none");
    else
        PutMeasure(t, m, "m");
}

void PutAge(Text& t, bool have, double at, double now) {
    if (have)
        Put(t, " (%.1f s ago)\n", now - at);
    else
        Put(t, " (none yet)\n");
}

// What the emergency checker's code says: the tens tell a warning (1x) from a brake (2x), the
// units which pattern it was. A code of 0 means the warning or brake has been let go, and
// nothing is shown for it.
const char* ApproachMeaning(long code) {
    switch (code % 10) {
    case 1:
        return "the stop pattern of the signal";
    case 2:
        return "beyond the stop point";
    case 3:
        return "the pattern of the next speed limit";
    case 4:
        return "over the speed limit in force";
    case 5:
        return "over the line's maximum speed";
    default:
        return nullptr;
    }
}

void PutApproach(Text& t, const JsonFields& s) {
    long code = 0;
    if (!HasField(s, "Ats.ApproachNo")) return PutWord(t, kMissing);
    if (!AsInteger(FieldOr(s, "Ats.ApproachNo", 0.0), code)) return PutWord(t, kOutOfRange);
    if (code == 0) return PutWord(t, "none");
    const char* meaning = code / 10 == 1 || code / 10 == 2 ? ApproachMeaning(code) : nullptr;
    if (meaning == nullptr) return Put(t, "%ld (no code of the plug-in)", code);
    Put(t, "%ld %s: %s", code, code / 10 == 1 ? "warning" : "brake", meaning);
}

void DrawStatus(Text& t, const JsonFields& s) {
    Put(t, "  Speed              ");
    PutSpeed(t, s, "Ats.Spd");
    Put(t, "     warning/brake ");
    PutApproach(t, s);
    Put(t, "\n  Signal target      ");
    PutDistance(t, s, "Sig.Dis", true);
    Put(t, "     pattern ");
    PutLimit(t, s, "Sig.PtnSpd", false);
    Put(t, " at ");
    PutDistance(t, s, "Sig.PtnDis", true);
    Put(t, "\n  Speed limit        ");
    PutDistance(t, s, "Lim.Dis", false);
    Put(t, "     limit   ");
    PutLimit(t, s, "Lim.Spd", true);
    Put(t, "   pattern ");
    PutLimit(t, s, "Lim.PtnSpd", true);
    Put(t, " at ");
    PutDistance(t, s, "Lim.PtnDis", true);
    Put(t, "\n  Limit announced    ");
    PutDistance(t, s, "LimDo.Dis", false);
    Put(t, "     limit   ");
    PutLimit(t, s, "LimDo.Spd", true);
    Put(t, "   line max ");
    PutLimit(t, s, "LimDo.Max", false);
    Put(t, "\n  Stop point (NSD)   ");
    PutDistance(t, s, "NSD.Dis", false);
    Put(t, "     mode ");
    PutInteger(t, s, "NSD.Mode");
    Put(t, "\n  Last beacon        type ");
    PutInteger(t, s, "Beacon.Type");
    Put(t, ", signal ");
    PutInteger(t, s, "Beacon.Signal");
    Put(t, ", value ");
    PutInteger(t, s, "Beacon.Optional");
    Put(t, "\n");
}

// Seconds of the day as the clock shows them; a run past midnight counts on beyond 86400.
void PutTime(Text& t, const JsonFields& s) {
    long seconds = 0;
    if (!HasField(s, "Time")) return PutWord(t, kMissing);
    if (!AsInteger(FieldOr(s, "Time", 0.0), seconds)) return PutWord(t, kOutOfRange);
    const long day = ((seconds % 86400) + 86400) % 86400;
    Put(t, "%4s%02ld:%02ld:%02ld", "", day / 3600, day / 60 % 60, day % 60);
}

void DrawStop(Text& t, const JsonFields& s) {
    Put(t, "  Time               ");
    PutTime(t, s);
    Put(t, "\n  Location           ");
    PutInteger(t, s, "Location", " m");
    Put(t, "     panel location ");
    PutInteger(t, s, "PanelLocation", " m");
    Put(t, "\n  Speed              ");
    PutSpeed(t, s, "Speed");
    Put(t, "\n  Station            ");
    PutInteger(t, s, "StaId");
    Put(t, "     stops there: %s\n",
        !HasField(s, "Stop")             ? kMissing
        : FieldOr(s, "Stop", 0.0) != 0.0 ? "yes"
                                         : "no");
}

} // namespace

Kind KindOf(const JsonFields& fields) {
    if (std::strcmp(fields.first, "Ats") == 0) return Kind::Status;
    if (std::strcmp(fields.first, "Time") == 0) return Kind::Stop;
    return Kind::Other;
}

Kind TakeDatagram(View& view, const char* data, std::size_t length, double now) {
    const std::string_view text = DatagramText(data, length);
    JsonFields fields;
    const bool json = ReadJsonFields(text.data(), text.size(), fields);
    const Kind kind = json ? KindOf(fields) : Kind::Invalid;
    if (kind == Kind::Other || kind == Kind::Invalid) {
        view.ignoredLength = std::min(text.size(), sizeof view.ignored);
        std::memcpy(view.ignored, text.data(), view.ignoredLength);
    }
    if (!json) {
        ++view.badCount;
        return Kind::Invalid;
    }
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
    if (view.otherCount + view.badCount > 0) {
        const std::string shown = text::Shown({view.ignored, view.ignoredLength}, kIgnoredKept - 1);
        Put(t, "\nLast ignored: %s\n", shown.c_str());
    }
}

} // namespace velqa3::watch
