#include "sim/recorder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace velqa3::sim {

namespace {
constexpr std::size_t kBlock = 1 << 16;
} // namespace

bool TextOut::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    failed_ = file_ == nullptr;
    buffer_.reserve(kBlock * 2);
    return file_ != nullptr;
}

void TextOut::Flush() {
    if (file_ != nullptr && !buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        failed_ = true;
    buffer_.clear();
}

bool TextOut::Close() {
    if (file_ == nullptr) return !failed_;
    Flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

TextOut& TextOut::operator<<(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBlock) Flush();
    return *this;
}

TextOut& TextOut::operator<<(char c) {
    buffer_.push_back(c);
    return *this;
}

TextOut& TextOut::Int(std::int64_t value) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return *this << std::string_view(text, static_cast<std::size_t>(end - text));
}

TextOut& TextOut::Fixed(double value, int decimals) {
    char text[64];
    // -0.000 and 0.000 are the same reading; write one of them.
    static constexpr double kHalfUnit[] = {0.5, 0.05, 0.005, 0.0005, 0.00005};
    decimals = std::clamp(decimals, 0, 4);
    if (std::fabs(value) < kHalfUnit[decimals]) value = 0.0;
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return *this << "nan";
    return *this << std::string_view(text, static_cast<std::size_t>(result.ptr - text));
}

std::string ClockText(std::int64_t ms) {
    if (ms < 0) ms = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
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
    trace_ << '\n';
    return true;
}

bool Recorder::Close() {
    const bool trace = trace_.Close();
    const bool events = events_.Close();
    return trace && events;
}

int Recorder::PanelColumn(int index) const {
    const auto& panel = scenario_.trace.panel;
    const auto it = std::find(panel.begin(), panel.end(), index);
    return it == panel.end() ? 0 : 18 + static_cast<int>(it - panel.begin());
}

int Recorder::SoundColumn(int index) const {
    const auto& sound = scenario_.trace.sound;
    const auto it = std::find(sound.begin(), sound.end(), index);
    return it == sound.end() ? 0
                             : 18 + static_cast<int>(scenario_.trace.panel.size()) +
                                   static_cast<int>(it - sound.begin());
}

void Recorder::Trace(const FrameRecord& f) {
    const VehicleState& s = f.state;
    trace_.Int(f.elapsedMs) << ',' << ClockText(s.Time) << ',';
    trace_.Fixed(s.Location, 3) << ',';
    trace_.Fixed(s.Speed, 3) << ',';
    trace_.Fixed(f.permil, 1) << ',';
    trace_.Int(f.driverReverser) << ',';
    trace_.Int(f.driverPower) << ',';
    trace_.Int(f.driverBrake) << ',';
    trace_.Int(f.output.Reverser) << ',';
    trace_.Int(f.output.Power) << ',';
    trace_.Int(f.output.Brake) << ',';
    trace_.Int(f.output.ConstantSpeed) << ',';
    trace_.Fixed(s.BcPressure, 1) << ',';
    trace_.Fixed(s.MrPressure, 1) << ',';
    trace_.Fixed(s.Current, 1) << ',';
    trace_.Int(f.signalAspect) << ',';
    trace_.Int(f.suspended ? 1 : 0);
    for (int index : scenario_.trace.panel)
        (trace_ << ',').Int(f.panel[index]);
    for (int index : scenario_.trace.sound)
        (trace_ << ',').Int(f.sound[index]);
    trace_ << '\n';
}

void Recorder::Event(std::int64_t elapsedMs, std::int64_t clockMs, double location, double speed,
                     std::string_view text) {
    char head[128];
    std::snprintf(head, sizeof head, "%9.3f s  %s  %10.2f m  %7.2f km/h  ",
                  static_cast<double>(elapsedMs) / 1000.0, ClockText(clockMs).c_str(), location,
                  speed);
    if (eventBytes_ > kMaxEventBytes) return;
    eventBytes_ += static_cast<std::int64_t>(std::strlen(head) + text.size() + 1);
    if (eventBytes_ > kMaxEventBytes) {
        events_ << head << "the event log stops here: it has reached its limit of "
                << std::to_string(kMaxEventBytes >> 20) << " MB\n";
        return;
    }
    events_ << head << text << '\n';
}

} // namespace velqa3::sim
