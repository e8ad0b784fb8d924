#include "sim/recorder.h"

#include "sim/brake_reason_names.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace velqa3::sim {

namespace {

#if defined(_WIN32)
int OpenForWriting(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
// Writes part of the bytes; how many, or -1.
long WriteSome(int fd, const char* bytes, std::size_t count) {
    return _write(fd, bytes, static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30)));
}
int CloseFile(int fd) {
    return _close(fd);
}
#else
int OpenForWriting(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}
long WriteSome(int fd, const char* bytes, std::size_t count) {
    ssize_t done;
    do {
        done = write(fd, bytes, count);
    } while (done < 0 && errno == EINTR);
    return static_cast<long>(done);
}
int CloseFile(int fd) {
    return close(fd);
}
#endif

// All of the bytes, or false (the system's reason in errno).
bool WriteAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const long done = WriteSome(fd, bytes, count);
        if (done <= 0) {
            if (done == 0) errno = EIO;
            return false;
        }
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
    return true;
}

} // namespace

bool TextOut::Open(const std::string& path) {
    Close();
    // A new file in place of the old one, not the old one cut to nothing: a file system may
    // write a file that was cut to nothing out to the disk as it is closed (ext4 does), which
    // costs a rerun more than all of its writing. Only a file goes, never a folder of the name.
    std::error_code ignored;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ignored)))
        std::filesystem::remove(path, ignored);
    path_ = path;
    errno = 0;
    fd_ = OpenForWriting(path.c_str());
    failed_ = fd_ < 0;
    fault_ = failed_ ? errno : 0;
    written_ = 0;
    if (buffer_ == nullptr) buffer_ = std::make_unique<char[]>(kCapacity);
    used_ = whole_ = 0;
    return fd_ >= 0;
}

void TextOut::WriteOut(std::size_t count) {
    if (fd_ >= 0 && count > 0 && !failed_ && !WriteAll(fd_, buffer_.get(), count)) {
        failed_ = true;
        fault_ = errno;
    }
    written_ += static_cast<std::int64_t>(count);
    // What is left (the start of a line) moves to the front.
    std::memmove(buffer_.get(), buffer_.get() + count, used_ - count);
    used_ -= count;
    whole_ -= count;
}

void TextOut::Flush() {
    if (buffer_ == nullptr) return;
    flushing_ = true;
    WriteOut(whole_);
    flushing_ = false;
}

void TextOut::MakeRoom(std::size_t count) {
    Flush();
    // A single line longer than the buffer goes out in pieces.
    if (used_ + count > kCapacity) {
        flushing_ = true;
        whole_ = used_;
        WriteOut(used_);
        flushing_ = false;
    }
}

void TextOut::WriteOutWhole() {
    if (flushing_ || fd_ < 0 || failed_ || whole_ == 0) return;
    if (WriteAll(fd_, buffer_.get(), whole_)) {
        // Nothing moves: the process ends next, and a second call writes nothing twice.
        whole_ = 0;
        used_ = 0;
    }
}

bool TextOut::Close() {
    if (fd_ < 0) return !failed_;
    whole_ = used_; // an unfinished last line is what was written
    Flush();
    errno = 0;
    if (CloseFile(fd_) != 0 && !failed_) {
        failed_ = true;
        fault_ = errno;
    }
    fd_ = -1;
    return !failed_;
}

std::string TextOut::Problem() const {
    if (!failed_) return "";
    return "cannot write " + path_ + ": " + (fault_ != 0 ? std::strerror(fault_) : "a fault");
}

TextOut& TextOut::operator<<(std::string_view text) {
    if (buffer_ == nullptr) return *this;
    while (!text.empty()) { // a text longer than a block goes in block by block
        const std::size_t part = std::min(text.size(), kBlock);
        char* at = Room(part);
        Commit(std::copy_n(text.begin(), part, at));
        text.remove_prefix(part);
    }
    return *this;
}

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

// value in decimal, two digits at a time from the right. Most values of a trace are single
// digits: lamps, notches and flags.
char* WriteUnsigned(char* out, std::uint32_t value) {
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    const int length = value < 100          ? 2
                       : value < 1000       ? 3
                       : value < 10000      ? 4
                       : value < 100000     ? 5
                       : value < 1000000    ? 6
                       : value < 10000000   ? 7
                       : value < 100000000  ? 8
                       : value < 1000000000 ? 9
                                            : 10;
    char* at = out + length;
    while (value >= 100) {
        at -= 2;
        std::memcpy(at, kDigitPairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10)
        std::memcpy(at - 2, kDigitPairs + 2 * value, 2);
    else
        at[-1] = static_cast<char>('0' + value);
    return out + length;
}

// units / 10^Decimals with Decimals places: the divisor a constant, so no division is made.
template <int Decimals> char* WriteUnits(char* out, std::uint64_t units) {
    constexpr std::uint64_t kUnit = Decimals == 0   ? 1
                                    : Decimals == 1 ? 10
                                    : Decimals == 2 ? 100
                                    : Decimals == 3 ? 1000
                                                    : 10000;
    out = WriteUnsigned(out, static_cast<std::uint32_t>(units / kUnit));
    if constexpr (Decimals > 0) {
        *out++ = '.';
        std::uint64_t fraction = units % kUnit;
        for (int digit = Decimals - 1; digit >= 0; --digit) {
            out[digit] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        out += Decimals;
    }
    return out;
}

constexpr double kTenPower[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};

// value with decimals places, -0.000 written as 0.000: the same reading either way. Values of
// a trace are small: scaled to whole units and well clear of a tie, they are written as
// integers, which is what correct rounding gives; the rest goes to the general conversion.
char* WriteFixed(char* out, char* end, double value, int decimals) {
    static constexpr double kHalfUnit[] = {0.5, 0.05, 0.005, 0.0005, 0.00005};
    decimals = std::clamp(decimals, 0, 4);
    if (std::fabs(value) < kHalfUnit[decimals]) value = 0.0;
    const double scaled = std::fabs(value) * kTenPower[decimals];
    // Below 2^32 the product is within 2^-20 of the exact one, so a fraction further than
    // that from one half rounds as the exact value does. The conversion of a non-negative
    // value truncates, which is its floor; one below 2^32 - 1 still rounds to a uint32.
    if (scaled < 4294967295.0) {
        const auto whole = static_cast<std::uint64_t>(scaled);
        const double fraction = scaled - static_cast<double>(whole);
        if (std::fabs(fraction - 0.5) > 1e-6) {
            const std::uint64_t units = whole + static_cast<std::uint64_t>(fraction > 0.5);
            if (value < 0.0) *out++ = '-';
            switch (decimals) {
            case 0:
                return WriteUnits<0>(out, units);
            case 1:
                return WriteUnits<1>(out, units);
            case 2:
                return WriteUnits<2>(out, units);
            case 3:
                return WriteUnits<3>(out, units);
            default:
                return WriteUnits<4>(out, units);
            }
        }
    }
    const auto result = std::to_chars(out, end, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return std::copy_n("nan", 3, out);
    // A tie such as -0.5 rounds to a zero with a sign.
    if (*out == '-' &&
        std::all_of(out + 1, result.ptr, [](char c) { return c == '0' || c == '.'; }))
        return std::copy(out + 1, result.ptr, out);
    return result.ptr;
}

char* WriteTwoDigits(char* out, std::int64_t value) {
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

constexpr std::size_t kFixedChars = 400; // the longest double in fixed notation, and more
// Out of line, so that the common case needs no registers saved.
[[gnu::noinline]] char* WriteLongInt(char* out, std::int64_t value) {
    return std::to_chars(out, out + kIntChars, value).ptr;
}

} // namespace

char* WriteInt(char* out, std::int64_t value) {
    // Most of a trace is small counts and slot values.
    const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    if (magnitude > 0xFFFF'FFFFu) return WriteLongInt(out, value);
    if (value < 0) *out++ = '-';
    return WriteUnsigned(out, static_cast<std::uint32_t>(magnitude));
}

namespace {

// Fields of a trace row written one after another into room taken for all of them at once.
struct Fields {
    char* at;

    Fields& Int(std::int64_t value) {
        at = WriteInt(at, value);
        return *this;
    }
    Fields& Fixed(double value, int decimals) {
        at = WriteFixed(at, at + kFixedChars, value, decimals);
        return *this;
    }
    // Right-aligned in width characters, as printf's "%*.*f".
    Fields& Fixed(double value, int decimals, int width) {
        char* const start = at;
        Fixed(value, decimals);
        const auto length = static_cast<int>(at - start);
        if (length < width) { // the text moves over, blanks before it
            const auto pad = static_cast<std::size_t>(width - length);
            std::copy_backward(start, at, at + pad);
            std::fill_n(start, pad, ' ');
            at += pad;
        }
        return *this;
    }
    // As Fixed, the text taken from memo where the value is the one it was written for.
    Fields& Fixed(double value, int decimals, RememberedReading& memo) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        if (memo.length != 0 && bits == memo.bits) {
            std::memcpy(at, memo.text, sizeof memo.text); // the room holds any reading
            at += memo.length;
            return *this;
        }
        char* const start = at;
        Fixed(value, decimals);
        const auto length = static_cast<std::size_t>(at - start);
        memo.bits = bits;
        memo.length = length <= sizeof memo.text ? static_cast<std::uint8_t>(length) : 0;
        std::memcpy(memo.text, start, memo.length);
        return *this;
    }
    Fields& Text(std::string_view text) {
        at = std::copy(text.begin(), text.end(), at);
        return *this;
    }
    Fields& Comma() {
        *at++ = ',';
        return *this;
    }
};

} // namespace

TextOut& TextOut::Int(std::int64_t value) {
    if (buffer_ == nullptr) return *this;
    char* at = Room(kIntChars);
    Commit(WriteInt(at, value));
    return *this;
}

TextOut& TextOut::Fixed(double value, int decimals) {
    if (buffer_ == nullptr) return *this;
    char* at = Room(kFixedChars);
    Commit(WriteFixed(at, at + kFixedChars, value, decimals));
    return *this;
}

TextOut& TextOut::Fixed(double value, int decimals, int width) {
    char* at = Room(kFixedChars + static_cast<std::size_t>(std::max(width, 0)));
    if (at != nullptr) Commit(Fields{at}.Fixed(value, decimals, width).at);
    return *this;
}

char* WriteClock(char* out, std::int64_t ms) {
    if (ms < 0) ms = 0;
    const std::int64_t hours = ms / 3600000;
    if (hours < 10) *out++ = '0';
    out = std::to_chars(out, out + 20, hours).ptr;
    *out++ = ':';
    out = WriteTwoDigits(out, ms / 60000 % 60);
    *out++ = ':';
    out = WriteTwoDigits(out, ms / 1000 % 60);
    *out++ = '.';
    const std::int64_t milli = ms % 1000;
    *out++ = static_cast<char>('0' + milli / 100);
    return WriteTwoDigits(out, milli % 100);
}

std::string ClockText(std::int64_t ms) {
    char text[kClockChars];
    return std::string(text, WriteClock(text, ms));
}

bool Recorder::Open(const std::string& tracePath, const std::string& eventsPath) {
    if (!trace_.Open(tracePath) || !events_.Open(eventsPath)) return false;
    trace_ << "time_ms,clock,location_m,speed_kmh,gradient_permil,driver_reverser,driver_power,"
              "driver_brake,reverser,power,brake,constant_speed,bc_kpa,mr_kpa,current_a,signal,"
              "suspended";
    for (int index : scenario_.trace.panel)
        trace_ << ",panel_" << std::to_string(index);
    for (int index : scenario_.trace.sound)
        trace_ << ",sound_" << std::to_string(index);
    trace_ << ",tasc_distance_m,tasc_step,brake_demand,brake_reasons,line_voltage_v,bc_display_kpa"
           << '\n';
    trace_.EndLine();
    return true;
}

bool Recorder::Close() {
    const bool trace = trace_.Close();
    const bool events = events_.Close();
    return trace && events;
}

std::string Recorder::Problem() const {
    const std::string trace = trace_.Problem(), events = events_.Problem();
    return trace.empty() ? events : events.empty() ? trace : trace + "; " + events;
}

namespace {
constexpr int kFirstSlotColumn = 18; // after the seventeen columns every trace has
} // namespace

int Recorder::PanelColumn(int index) const {
    const auto& panel = scenario_.trace.panel;
    const auto it = std::find(panel.begin(), panel.end(), index);
    return it == panel.end() ? 0 : kFirstSlotColumn + static_cast<int>(it - panel.begin());
}

int Recorder::SoundColumn(int index) const {
    const auto& sound = scenario_.trace.sound;
    const auto it = std::find(sound.begin(), sound.end(), index);
    return it == sound.end() ? 0
                             : kFirstSlotColumn + static_cast<int>(scenario_.trace.panel.size()) +
                                   static_cast<int>(it - sound.begin());
}

int Recorder::DiagnosticsColumn() const {
    return kFirstSlotColumn +
           static_cast<int>(scenario_.trace.panel.size() + scenario_.trace.sound.size());
}

void Recorder::TraceDiagnostics(const Diagnostics* d) {
    if (d == nullptr || (d->flags & DiagnosticsBits::HasState) == 0) {
        trace_ << ",,,,,,";
        return;
    }
    if (d->brakeDemand != namedDemand_) {
        namedDemand_ = d->brakeDemand;
        demandNames_ = BrakeReasonNames(namedDemand_);
    }
    char* room = trace_.Room(2 * kFixedChars + 3 * kIntChars + demandNames_.size() + 6);
    if (room == nullptr) return;
    Fields row{room};
    row.Comma();
    // Without a stop point the distance would read as standing on the mark.
    if ((d->flags & DiagnosticsBits::TascTargetSet) != 0)
        row.Fixed(d->tascDistance, 3, readings_[6]);
    row.Comma().Int(d->tascStep).Comma().Int(d->brakeDemand).Comma().Text(demandNames_);
    row.Comma().Int(d->lineVoltage).Comma().Fixed(d->bcDisplay, 1, readings_[7]);
    trace_.Commit(row.at);
}

void Recorder::Trace(const FrameRecord& f) {
    if (traceCutMs_ >= 0) return;
    constexpr std::size_t kHeadChars = 6 * kFixedChars + 11 * kIntChars + kClockChars + 17;
    char* room = trace_.Room(kHeadChars);
    if (room == nullptr) return;
    const VehicleState& s = f.state;
    Fields row{room};
    row.Int(f.elapsedMs).Comma();
    row.at = WriteClock(row.at, s.Time);
    row.Comma().Fixed(s.Location, 3, readings_[0]).Comma().Fixed(s.Speed, 3, readings_[1]);
    row.Comma().Fixed(f.permil, 1, readings_[2]);
    row.Comma().Int(f.driverReverser).Comma().Int(f.driverPower).Comma().Int(f.driverBrake);
    row.Comma().Int(f.output.Reverser).Comma().Int(f.output.Power).Comma().Int(f.output.Brake);
    row.Comma().Int(f.output.ConstantSpeed);
    row.Comma().Fixed(s.BcPressure, 1, readings_[3]).Comma().Fixed(s.MrPressure, 1, readings_[4]);
    row.Comma().Fixed(s.Current, 1, readings_[5]);
    row.Comma().Int(f.signalAspect).Comma().Int(f.suspended ? 1 : 0);
    trace_.Commit(row.at);
    const auto slots = [&](const std::vector<int>& indices, const std::int32_t* values) {
        for (int index : indices) {
            Fields column{trace_.Room(kIntChars + 1)};
            trace_.Commit(column.Comma().Int(values[index]).at);
        }
    };
    slots(scenario_.trace.panel, f.panel);
    slots(scenario_.trace.sound, f.sound);
    TraceDiagnostics(f.diagnostics);
    trace_ << '\n';
    if (trace_.written() <= maxTraceBytes_) {
        trace_.EndLine();
        return;
    }
    // The row that would pass the limit is not written, nor any after it.
    trace_.DropPartialLine();
    traceCutMs_ = f.elapsedMs;
    Event(f.elapsedMs, f.state.Time, f.state.Location, f.state.Speed,
          "the trace stops here: it has reached its limit of " +
              std::to_string(maxTraceBytes_ >> 20) + " MB (--max-trace-mb)");
}

void Recorder::Event(std::int64_t elapsedMs, std::int64_t clockMs, double location, double speed,
                     std::string_view text) {
    if (eventsFull_) return;
    constexpr std::size_t kHeadChars = 3 * kFixedChars + kClockChars + 32;
    char* room = events_.Room(kHeadChars);
    if (room == nullptr) return;
    Fields head{room};
    head.Fixed(static_cast<double>(elapsedMs) / 1000.0, 3, 9).Text(" s  ");
    head.at = WriteClock(head.at, clockMs);
    head.Text("  ").Fixed(location, 2, 10).Text(" m  ").Fixed(speed, 2, 7).Text(" km/h  ");
    events_.Commit(head.at);
    if (events_.written() + static_cast<std::int64_t>(text.size()) + 1 > kMaxEventBytes) {
        eventsFull_ = true;
        events_ << "the event log stops here: it has reached its limit of "
                << std::to_string(kMaxEventBytes >> 20) << " MB\n";
        events_.EndLine();
        return;
    }
    events_ << text << '\n';
    events_.EndLine();
}

} // namespace velqa3::sim
