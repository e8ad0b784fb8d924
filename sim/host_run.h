// The stand-in host's run: the calls of the host's order, the frames, the driver's script, the
// beacons and signals of the route, and the train moved by what the plug-in returns.
#pragma once

#include "sim/checks.h"
#include "sim/message_capture.h"
#include "sim/plugin_library.h"
#include "sim/recorder.h"
#include "sim/scenario.h"
#include "sim/slot_names.h"
#include "sim/track.h"
#include "sim/train.h"

#include <array>
#include <climits>
#include <csignal>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velqa3::sim {

inline constexpr std::int32_t kNotPassed = INT32_MIN;

// Where an automatic brake reason was set, for the picture.
struct BrakeMark {
    double location = 0.0;
    std::uint8_t bit = 0;
};
// A reason that comes and goes every frame must not grow the run's memory without end.
inline constexpr std::size_t kMaxBrakeMarks = 1000;

// The marks of a run, the first kMaxBrakeMarks of them, and a count of the rest. Held in place
// from the start (16 kB): a store that grew as a long run set its brakes would raise the run's
// resident memory for hours, which a soak rightly reads as growth.
class BrakeMarks {
  public:
    void Add(const BrakeMark& mark) {
        if (count_ < marks_.size())
            marks_[count_++] = mark;
        else
            ++leftOut_;
    }
    const BrakeMark* begin() const { return marks_.data(); }
    const BrakeMark* end() const { return marks_.data() + count_; }
    std::size_t leftOut() const { return leftOut_; }

  private:
    std::array<BrakeMark, kMaxBrakeMarks> marks_{};
    std::size_t count_ = 0;
    std::size_t leftOut_ = 0;
};

// Where the pattern protection aimed: the stop point of its stop pattern, or the start of a
// speed limit with the speed it asks for. Kept as it moves or changes, so a picture shows where
// the train would stop against the signal.
struct TargetMark {
    double location = 0.0;
    float speed = 0.0f; // km/h the limit asks for; below 0 for a stop point
};
inline constexpr std::size_t kMaxTargetMarks = 200;

struct RunOutcome {
    std::int64_t frames = 0;
    double elapsedS = 0.0;
    double distance = 0.0; // m travelled, either way
    double finalLocation = 0.0;
    double finalSpeed = 0.0;
    double lowest = 0.0, highest = 0.0; // the span of track the train covered, m
    double plotTop = 0.0; // the highest speed or pattern speed, for the picture's scale
    // Per signal, its aspect when the train passed it going forwards (kNotPassed: never).
    std::vector<std::int32_t> passedAspect;
    bool patternSpeedSet = false; // the pattern speed panel entry was ever non-zero
    bool diagnostics = false;     // the library told its state through GetDiagnostics
    BrakeMarks brakeMarks;
    std::vector<TargetMark> targets; // at most kMaxTargetMarks, reserved at the start
    SlotNames slotNames;             // where the settings moved the slots, from the diagnostics
    // The slots whose value changed after the first frame: a lamp lit from the start to the end
    // tells nothing a strip row would show.
    std::array<bool, kPanelSize> panelChanged{};
    std::array<bool, kSoundSize> soundChanged{};
    std::string endReason;
    bool interrupted = false;          // asked to stop before its end
    std::vector<std::string> warnings; // things the host could not do as the scenario asked
};

class HostRun {
  public:
    HostRun(const Scenario& scenario, const PluginLibrary::EntryPoints& api, Recorder& recorder,
            Checks& checks, MessageCapture* capture);

    // Load ... frames ... Dispose. The library is loaded before and unloaded after.
    RunOutcome Run();
    // Above 0, frames follow the wall clock that many times faster (1: real time), so a
    // program watching the plug-in sees the run as it goes; 0 runs as fast as it can.
    double pace = 0.0;
    // At the end of every simulated hour, print the process's resident memory and the frames
    // so far: a long run shows whether the plug-in and the host stay flat.
    bool hourly = false;
    // Reads what the plug-in wrote since the last look, logs it and hands it to the checks.
    void CollectMessages();
    // Non-zero: the run stops after the frame, as interrupted (set from a signal handler).
    const volatile std::sig_atomic_t* stop = nullptr;
    // How it was asked to stop, for the end reason.
    std::string (*stopName)() = nullptr;
    std::int64_t elapsedMs() const { return elapsedMs_; }
    // From a handler as the process ends: the line goes into the event log, and every whole
    // row and line to the files. No allocation.
    void RecordEnd(std::string_view text);

  private:
    void Start();
    bool RunDueSteps(); // false when a step ends the run
    void Act(const DriverStep& step);
    void ReleaseKeys();
    void RestartScript();
    void ReportHour(double wallS);
    // Whether the plug-in can see the keyboard table, and handing it over.
    bool KeyboardReachesPlugin() const;
    void HandKeyboard();
    void WorkCabKey(const CabKeyStep& cabKey);
    void Frame(std::int32_t dtMs);
    void PassBeacons(double from, double to);
    void UpdateSignals(double from, double to);
    void SendSignalAhead();
    void LogOutputChanges(const HandleOutput& before);
    void LogSlotChanges();
    void HandCalendar();
    void StartDiagnostics();
    void ReadDiagnostics();
    void MarkTargets();
    void LogBrakeReasons(std::uint8_t before);
    bool Suspended() const;
    std::int32_t NextInterval();
    void Log(std::string_view text);
    void WarnIfIdle(int index, const BeaconData& data);
    std::int32_t Clock() const;

    const Scenario& scenario_;
    const PluginLibrary::EntryPoints& api_;
    Recorder& recorder_;
    Checks& checks_;
    MessageCapture* capture_;
    Train train_;
    Track track_;
    RunOutcome outcome_;

    std::int64_t elapsedMs_ = 0;
    std::int64_t lastTraceMs_ = -1;
    std::int32_t panel_[kPanelSize] = {};
    std::int32_t sound_[kSoundSize] = {};
    // The arrays as the last frame left them, and how often each entry has changed since: an
    // entry that changes all the time (a speed display) is logged only so far, then in the trace.
    std::int32_t panelBefore_[kPanelSize] = {};
    std::int32_t soundBefore_[kSoundSize] = {};
    std::uint16_t panelChanges_[kPanelSize] = {};
    std::uint16_t soundChanges_[kSoundSize] = {};
    bool slotsSeen_ = false; // the first frame's slots have been looked at
    TargetMark lastStop_{0.0, 1.0f}, lastLimit_{0.0, -1.0f}; // as last marked; none yet
    std::int32_t driverReverser_ = 0, driverPower_ = 0, driverBrake_ = 0;
    HandleOutput output_{};
    bool diagnosed_ = false; // the library has GetDiagnostics of this host's layout
    Diagnostics diagnostics_{};
    bool suspendedBefore_ = false;
    std::size_t nextStep_ = 0;
    std::int64_t lastStepMs_ = 0;
    std::int64_t scriptStartMs_ = 0; // the script's times count from here
    int repeats_ = 0;
    bool movedSinceStep_ = false;
    int sentSignal_ = -2;
    std::int32_t sentAspect_ = 0;
    unsigned char keyboard_[256] = {};
    struct Release {
        std::int64_t atMs;
        bool keyboard;
        int code;
    };
    std::vector<Release> releases_;
    std::uint64_t random_;
    std::vector<int> scratch_;
    std::vector<bool> idleWarned_; // a beacon said to do nothing is said so once
    std::vector<Message> messages_;
};

} // namespace velqa3::sim
