// What a run leaves for people to read: the trace (CSV, one row per frame or per period) and
// the event log. Numbers are written with std::to_chars, so the native and the Windows build
// of the host write the same text for the same values.
#pragma once

#include "host/diagnostics.h"
#include "host/host.h"
#include "sim/scenario.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velqa3::sim {

// One frame as the host saw it.
struct FrameRecord {
    std::int64_t elapsedMs = 0;
    VehicleState state{};
    double permil = 0.0;
    std::int32_t driverReverser = 0, driverPower = 0, driverBrake = 0;
    HandleOutput output{};
    std::int32_t signalAspect = 0; // of the signal ahead; 0 when none
    bool suspended = false;
    const std::int32_t* panel = nullptr;
    const std::int32_t* sound = nullptr;
    const Diagnostics* diagnostics = nullptr; // null: the library tells none
};

// Text appended into a buffer and written in large blocks, whole lines only: whatever ends the
// run, the file holds lines as they were meant. Writes go straight to the file descriptor, so a
// crash handler can still put the buffered lines out (WriteOutWhole).
class TextOut {
  public:
    TextOut() = default;
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;
    ~TextOut() { Close(); }

    bool Open(const std::string& path);
    bool Close(); // false when anything failed to reach the file
    TextOut& operator<<(std::string_view text);
    TextOut& operator<<(char c) {
        if (buffer_ == nullptr) return *this;
        char* at = Room(1);
        *at = c;
        Commit(at + 1);
        return *this;
    }
    TextOut& Int(std::int64_t value);
    TextOut& Fixed(double value, int decimals);
    // Right-aligned in width characters, as printf's "%*.*f".
    TextOut& Fixed(double value, int decimals, int width);
    std::int64_t written() const { return written_ + static_cast<std::int64_t>(used_); }

    // At least count (at most kBlock) free bytes at the end of the buffer, or null before the
    // file was opened; Commit takes what was put there. Inline, as a trace row is a few dozen
    // short fields.
    char* Room(std::size_t count) {
        if (buffer_ == nullptr) return nullptr;
        if (used_ + count > kCapacity) MakeRoom(count);
        return buffer_.get() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    // The text since the last line's end is a whole line: it may go to the file.
    void EndLine() {
        whole_ = used_;
        if (used_ >= kBlock) Flush();
    }
    // Forgets the text since the last line's end.
    void DropPartialLine() { used_ = whole_; }
    // Every whole line held goes to the file now.
    void Flush();
    // The same from a signal handler: only system calls, and nothing when a flush was under way.
    void WriteOutWhole();
    // Why the file could not be written: its path and the system's reason; empty while all went.
    std::string Problem() const;
    static constexpr std::size_t kBlock = 1 << 16; // written out once this much is held

  private:
    static constexpr std::size_t kCapacity = 2 * kBlock;
    void MakeRoom(std::size_t count);
    void WriteOut(std::size_t count);

    int fd_ = -1;
    std::string path_;
    bool failed_ = false;
    int fault_ = 0;            // the system's error number of the first failure
    std::int64_t written_ = 0; // bytes flushed
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::size_t whole_ = 0; // the buffer's first bytes that form whole lines
    volatile bool flushing_ = false;
};

// "hh:mm:ss.mmm" of a time in ms of the day (past midnight the hours go on: 24, 25, ...).
// Writes at most kClockChars characters and returns the end.
inline constexpr int kClockChars = 24;
char* WriteClock(char* out, std::int64_t ms);
// A whole number in decimal, at most kIntChars characters; returns the end.
inline constexpr int kIntChars = 20;
char* WriteInt(char* out, std::int64_t value);
std::string ClockText(std::int64_t ms);

// A reading's text as last written in its trace column. Most readings of a row are those of the
// row before, and copying their text costs a fraction of writing it anew.
struct RememberedReading {
    std::uint64_t bits = 0;
    std::uint8_t length = 0; // 0: nothing remembered
    char text[23];
};

class Recorder {
  public:
    // The trace stops before it would grow past maxTraceBytes; the event log says where.
    explicit Recorder(const Scenario& scenario, std::int64_t maxTraceBytes = INT64_MAX)
        : scenario_(scenario), maxTraceBytes_(maxTraceBytes) {}
    bool Open(const std::string& tracePath, const std::string& eventsPath);
    bool Close();
    // Why Close failed, naming the file and the reason.
    std::string Problem() const;
    // The simulated ms of the last row the trace could take, when it reached its limit; -1.
    std::int64_t traceCutMs() const { return traceCutMs_; }
    std::int64_t maxTraceBytes() const { return maxTraceBytes_; }
    // Whole rows and lines to the files now: at a bounded interval while the run goes, and from
    // a crash handler (WriteOutWhole) when it cannot go on.
    void Flush() {
        trace_.Flush();
        events_.Flush();
    }
    void WriteOutWhole() {
        trace_.WriteOutWhole();
        events_.WriteOutWhole();
    }

    void Trace(const FrameRecord& frame);
    // One event line, stamped with the run time, the clock, the place and the speed.
    void Event(std::int64_t elapsedMs, std::int64_t clockMs, double location, double speed,
               std::string_view text);

    // Column numbers (1-based) for the plot script.
    int LocationColumn() const { return 3; }
    int SpeedColumn() const { return 4; }
    int BrakeColumn() const { return 11; }
    int DriverBrakeColumn() const { return 8; }
    int PanelColumn(int index) const; // 0 when the panel entry is not traced
    int SoundColumn(int index) const; // 0 when the sound entry is not traced
    // The plug-in's diagnostics, after the traced entries (empty where the library has none).
    int TascDistanceColumn() const { return DiagnosticsColumn(); }
    int TascStepColumn() const { return DiagnosticsColumn() + 1; }
    int BrakeDemandColumn() const { return DiagnosticsColumn() + 2; }
    int BrakeReasonsColumn() const { return DiagnosticsColumn() + 3; }
    int LineVoltageColumn() const { return DiagnosticsColumn() + 4; }
    int BcDisplayColumn() const { return DiagnosticsColumn() + 5; }

    // The event log stops growing here (a plug-in that changes its output every frame of a long
    // run would otherwise fill it without end); its last line then says so.
    static constexpr std::int64_t kMaxEventBytes = 256 << 20;

  private:
    int DiagnosticsColumn() const;
    void TraceDiagnostics(const Diagnostics* d);

    const Scenario& scenario_;
    std::int64_t maxTraceBytes_;
    std::int64_t traceCutMs_ = -1;
    // The brake reasons' names as last written: they change seldom, and a frame's row should
    // not build them anew.
    std::uint8_t namedDemand_ = 0;
    std::string demandNames_;
    RememberedReading readings_[8]; // the trace's columns of readings, in their order
    TextOut trace_;
    TextOut events_;
    bool eventsFull_ = false;
};

} // namespace velqa3::sim
