#include "sim/host_run.h"

#include "platform/platform.h"
#include "sim/brake_reason_names.h"
#include "sim/driver_script.h"
#include "sim/idle_beacons.h"
#include "text/shown.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace velqa3::sim {

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kMsPerHour = 3'600'000;

// The resident memory of this process in kB, from the kernel's status of it; -1 where there
// is none to read (not Linux).
long ResidentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
    std::fclose(status);
    return kb;
}

std::string Fmt(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

HostRun::HostRun(const Scenario& scenario, const PluginLibrary::EntryPoints& api,
                 Recorder& recorder, Checks& checks, MessageCapture* capture)
    : scenario_(scenario), api_(api), recorder_(recorder), checks_(checks), capture_(capture),
      train_(scenario.vehicle), track_(scenario.route), random_(scenario.run.seed) {}

std::int32_t HostRun::Clock() const {
    const std::int64_t clock = scenario_.run.startTimeMs + elapsedMs_;
    return static_cast<std::int32_t>(scenario_.run.clockWraps ? clock % kDayMs : clock);
}

void HostRun::Log(std::string_view text) {
    recorder_.Event(elapsedMs_, Clock(), train_.location(), train_.speed(), text);
}

void HostRun::RecordEnd(std::string_view text) {
    Log(text);
    recorder_.WriteOutWhole();
}

void HostRun::CollectMessages() {
    if (capture_ == nullptr) return;
    messages_.clear();
    capture_->Poll(messages_);
    if (messages_.empty()) return;
    for (const Message& m : messages_) {
        const std::string line = m.caption.empty() ? m.text : m.caption + ": " + m.text;
        Log("message: " + line);
        // The plug-in's words (or a companion's, or whatever its settings file said) are shown,
        // never obeyed, by the terminal.
        std::printf("plug-in message at %.3f s: %s\n", static_cast<double>(elapsedMs_) / 1000.0,
                    text::Shown(line).c_str());
    }
    checks_.Messages(messages_);
}

std::int32_t HostRun::NextInterval() {
    const std::int32_t jitter = scenario_.run.jitterMs;
    if (jitter == 0) return scenario_.run.intervalMs;
    const auto spread = static_cast<std::uint64_t>(2 * jitter + 1);
    return scenario_.run.intervalMs + static_cast<std::int32_t>(SplitMix(random_) % spread) -
           jitter;
}

bool HostRun::Suspended() const {
    const double now = static_cast<double>(elapsedMs_) / 1000.0;
    for (const Suspension& s : scenario_.run.suspensions)
        if (now >= s.fromS && now <= s.toS) return true;
    return false;
}

void HostRun::Start() {
    const RunSettings& run = scenario_.run;
    train_.Place(run.startLocation, 0.0);
    outcome_.passedAspect.assign(scenario_.route.signals.size(), kNotPassed);
    outcome_.targets.reserve(kMaxTargetMarks);
    idleWarned_.assign(scenario_.route.beacons.size(), false);
    outcome_.lowest = outcome_.highest = run.startLocation;
    HandCalendar();
    api_.Load();
    const std::int32_t version = api_.GetPluginVersion();
    const VehicleSpec& spec = scenario_.vehicle.spec;
    api_.SetVehicleSpec(spec);
    api_.Initialize(run.initializeBrake);
    char text[160];
    std::snprintf(text, sizeof text,
                  "Load; GetPluginVersion = %#x; SetVehicleSpec(brake %d, power %d, ATS %d, "
                  "B67 %d, cars %d); Initialize(%d)",
                  static_cast<unsigned>(version), spec.BrakeNotches, spec.PowerNotches,
                  spec.AtsNotch, spec.B67Notch, spec.Cars, run.initializeBrake);
    Log(text);
    StartDiagnostics();
    if (version != kPluginVersion)
        outcome_.warnings.push_back("the plug-in reports interface version " +
                                    std::to_string(version) + ", not " +
                                    std::to_string(kPluginVersion));
    if (KeyboardReachesPlugin()) {
        HandKeyboard();
    } else {
        for (const DriverStep& step : scenario_.driver)
            if (step.keyboard || step.cabKey) {
                outcome_.warnings.push_back(
                    "keyboard keys cannot reach this plug-in build (it has no SetKeyboardState); "
                    "the script's keyboard steps do nothing");
                break;
            }
    }
    driverReverser_ = run.driverReverser;
    driverPower_ = run.driverPower;
    driverBrake_ = run.driverBrake.value_or(spec.BrakeNotches);
    api_.SetReverser(driverReverser_);
    api_.SetPower(driverPower_);
    api_.SetBrake(driverBrake_);
    SendSignalAhead();
    output_ = HandleOutput{driverBrake_, 0, 0, 0};
    train_.Command(output_);
}

void HostRun::SendSignalAhead() {
    const int ahead = track_.SignalAhead(train_.location());
    if (ahead < 0) return;
    const std::int32_t aspect = track_.Aspect(ahead);
    if (ahead == sentSignal_ && aspect == sentAspect_) return;
    sentSignal_ = ahead;
    sentAspect_ = aspect;
    api_.SetSignal(aspect);
    Log("SetSignal(" + std::to_string(aspect) + "): " + track_.signal(ahead).id + " ahead at " +
        Fmt("%.1f m", track_.signal(ahead).position));
}

void HostRun::Act(const DriverStep& step) {
    Log(DescribeStep(step));
    if (step.reverser) api_.SetReverser(driverReverser_ = *step.reverser);
    if (step.power) api_.SetPower(driverPower_ = *step.power);
    if (step.brake) api_.SetBrake(driverBrake_ = *step.brake);
    // The plug-in passes over some keys without a word; the author should see why.
    const auto explainKey = [&](int key) {
        const CabView cab{driverBrake_, driverReverser_, std::fabs(train_.speed())};
        const std::string why = KeyIgnoredBecause(key, cab, scenario_.vehicle.spec);
        if (!why.empty())
            Log("key " + std::to_string(key) + " (" + KeyName(key) + ") has no effect: " + why);
    };
    if (step.keyDown) {
        api_.KeyDown(*step.keyDown);
        explainKey(*step.keyDown);
    }
    if (step.keyUp) api_.KeyUp(*step.keyUp);
    if (step.key) {
        api_.KeyDown(step.key->key);
        explainKey(step.key->key);
        releases_.push_back({elapsedMs_ + step.key->holdMs, false, step.key->key});
    }
    if (step.keyboard && KeyboardReachesPlugin()) {
        keyboard_[step.keyboard->key] |= 0x80;
        HandKeyboard();
        releases_.push_back({elapsedMs_ + step.keyboard->holdMs, true, step.keyboard->key});
    }
    if (step.cabKey && KeyboardReachesPlugin()) WorkCabKey(*step.cabKey);
    if (step.horn) api_.HornBlow(*step.horn);
    if (step.doorsOpen) {
        if (*step.doorsOpen)
            api_.DoorOpen();
        else
            api_.DoorClose();
        train_.SetDoorsOpen(*step.doorsOpen);
        // The simulator opens the doors only at a stand; this host opens them whenever the
        // script says, and a plug-in may well answer differently while the train still rolls.
        char text[128];
        const double speed = std::fabs(train_.speed());
        std::snprintf(text, sizeof text, "the host %s the doors (%s)%s%.1f km/h",
                      *step.doorsOpen ? "opens" : "closes",
                      *step.doorsOpen ? "DoorOpen" : "DoorClose",
                      speed > 0.0 ? " with the train still moving at " : " at ", speed);
        Log(text);
    }
    if (step.initialize) {
        train_.Place(step.initialize->location, step.initialize->speed);
        api_.Initialize(step.initialize->brake);
        sentSignal_ = -2;
        SendSignalAhead();
    }
}

void HostRun::ReleaseKeys() {
    for (std::size_t i = 0; i < releases_.size();) {
        const Release r = releases_[i];
        if (r.atMs > elapsedMs_) {
            ++i;
            continue;
        }
        releases_.erase(releases_.begin() + static_cast<std::ptrdiff_t>(i));
        if (r.keyboard) {
            keyboard_[r.code] &= 0x7F;
            HandKeyboard();
            Log("driver: keyboard code " + std::to_string(r.code) + " released");
        } else {
            api_.KeyUp(r.code);
            Log("driver: key " + std::to_string(r.code) + " up");
        }
    }
}

bool HostRun::KeyboardReachesPlugin() const {
#if defined(_WIN32)
    // The plug-in polls the thread's own key state, which this host sets.
    return true;
#else
    return api_.SetKeyboardState != nullptr;
#endif
}

void HostRun::HandKeyboard() {
    if (api_.SetKeyboardState != nullptr)
        api_.SetKeyboardState(keyboard_);
    else
        platform::SetKeyboardState(keyboard_);
}

void HostRun::WorkCabKey(const CabKeyStep& cabKey) {
    switch (cabKey.action) {
    case CabKeyStep::Action::Press:
        keyboard_[cabKey.code] |= 0x80;
        releases_.push_back({elapsedMs_ + cabKey.holdMs, true, cabKey.code});
        break;
    case CabKeyStep::Action::Down:
        keyboard_[cabKey.code] |= 0x80;
        break;
    case CabKeyStep::Action::Up:
        keyboard_[cabKey.code] &= 0x7F;
        break;
    }
    HandKeyboard();
}

void HostRun::RestartScript() {
    ++repeats_;
    Log("the script starts over (repetition " + std::to_string(repeats_ + 1) +
        "): Initialize at the start, the signals back to their first aspects");
    train_.Place(scenario_.run.startLocation, 0.0);
    api_.Initialize(scenario_.run.initializeBrake);
    track_.Restart();
    sentSignal_ = -2;
    SendSignalAhead();
    nextStep_ = 0;
    scriptStartMs_ = lastStepMs_ = elapsedMs_;
    movedSinceStep_ = false;
}

void HostRun::ReportHour(double wallS) {
    const long kb = ResidentKb();
    std::printf("simulated %.3f h: resident memory %s kB, %lld frames, %.0f frames per wall "
                "second, %d repetition%s of the script\n",
                static_cast<double>(elapsedMs_) / kMsPerHour,
                kb >= 0 ? std::to_string(kb).c_str() : "(unknown)",
                static_cast<long long>(outcome_.frames),
                wallS > 0.0 ? static_cast<double>(outcome_.frames) / wallS : 0.0, repeats_ + 1,
                repeats_ == 0 ? "" : "s");
    std::fflush(stdout);
}

bool HostRun::RunDueSteps() {
    if (nextStep_ == scenario_.driver.size() && scenario_.run.repeat && nextStep_ > 0)
        RestartScript();
    while (nextStep_ < scenario_.driver.size()) {
        const DriverStep& step = scenario_.driver[nextStep_];
        DriverView view;
        view.elapsedS = static_cast<double>(elapsedMs_ - scriptStartMs_) / 1000.0;
        view.clockMs = scenario_.run.startTimeMs + elapsedMs_;
        view.location = train_.location();
        view.speed = std::fabs(train_.speed());
        view.sinceLastS = static_cast<double>(elapsedMs_ - lastStepMs_) / 1000.0;
        view.pluginBrake = output_.Brake > driverBrake_;
        view.movedSinceLast = movedSinceStep_;
        if (!StepDue(step, view)) return true;
        Act(step);
        CollectMessages();
        ++nextStep_;
        lastStepMs_ = elapsedMs_;
        movedSinceStep_ = false;
        if (step.end) return false;
    }
    return true;
}

void HostRun::PassBeacons(double from, double to) {
    track_.BeaconsPassed(from, to, scratch_);
    for (int index : scratch_) {
        const BeaconData data = track_.Data(index);
        api_.SetBeaconData(data);
        char text[160];
        std::snprintf(text, sizeof text,
                      "beacon at %.1f m: type %d, optional %d, signal %d, distance %.1f m%s",
                      track_.beacon(index).position, data.Type, data.Optional, data.Signal,
                      static_cast<double>(data.Distance), to < from ? " (backwards)" : "");
        Log(text);
        WarnIfIdle(index, data);
    }
}

// Asked of the plug-in once it has taken the beacon, since a beacon may change the mode itself.
// Said once a beacon: a train that backs over it meets it again.
void HostRun::WarnIfIdle(int index, const BeaconData& data) {
    if (!outcome_.diagnostics || idleWarned_[static_cast<std::size_t>(index)]) return;
    Diagnostics after = BlankDiagnostics();
    if (api_.GetDiagnostics(&after) != kDiagnosticsFilled) return;
    const std::string why = IdleBeaconReason(data, after, train_.speed());
    if (why.empty()) return;
    idleWarned_[static_cast<std::size_t>(index)] = true;
    char where[96];
    std::snprintf(where, sizeof where, "beacon type %d at %.1f m does nothing: ", data.Type,
                  track_.beacon(index).position);
    Log(std::string("warning: ") + where + why);
    checks_.IdleBeacon(where + why);
}

void HostRun::UpdateSignals(double from, double to) {
    // Before the changes of this move: a signal that turns to stop once passed was passed at
    // the aspect it showed the driver.
    if (from < to)
        for (std::size_t i = 0; i < scenario_.route.signals.size(); ++i) {
            const double at = scenario_.route.signals[i].position;
            if (from < at && at <= to && outcome_.passedAspect[i] == kNotPassed)
                outcome_.passedAspect[i] = track_.Aspect(static_cast<int>(i));
        }
    track_.AdvanceSignals(static_cast<double>(elapsedMs_ - scriptStartMs_) / 1000.0, from, to,
                          scratch_);
    for (int index : scratch_)
        Log("signal " + track_.signal(index).id + " shows aspect " +
            std::to_string(track_.Aspect(index)));
    SendSignalAhead();
}

void HostRun::LogOutputChanges(const HandleOutput& before) {
    if (output_ == before) return;
    std::string text;
    auto change = [&](const char* name, std::int32_t was, std::int32_t now) {
        if (was == now) return;
        text += (text.empty() ? "" : "; ") + std::string(name) + " output " + std::to_string(was) +
                " -> " + std::to_string(now);
    };
    change("brake", before.Brake, output_.Brake);
    change("power", before.Power, output_.Power);
    change("reverser", before.Reverser, output_.Reverser);
    change("constant speed", before.ConstantSpeed, output_.ConstantSpeed);
    text += " (driver P" + std::to_string(driverPower_) + " B" + std::to_string(driverBrake_);
    for (int index : scenario_.trace.panel)
        text += "; panel " + std::to_string(index) + " = " + std::to_string(panel_[index]);
    Log(text + ")");
}

static std::string SoundCommandText(std::int32_t value) {
    if (value == -10000) return "stops";
    if (value == 1) return "plays once";
    if (value == 2) return "continues (2)";
    if (value == 0) return "starts looping";
    if (value > -10000 && value < 0) return "loops at level " + std::to_string(value);
    return "gets " + std::to_string(value) + ", which is no sound command";
}

namespace {

// Most frames change no slot, or a few: one compare of the whole array settles the first, and
// blocks that compare equal are passed over (memcmp is the widest compare at hand on every
// build), which keeps the host far faster than real time on long runs. before follows now as
// it is read.
template <int Size, typename OnChange>
void ForEachChangedSlot(const std::int32_t (&now)[Size], std::int32_t (&before)[Size],
                        OnChange onChange) {
    if (std::memcmp(now, before, sizeof now) == 0) return;
    constexpr int kBlock = 64;
    static_assert(Size % kBlock == 0);
    for (int start = 0; start < Size; start += kBlock) {
        if (std::memcmp(now + start, before + start, kBlock * sizeof(std::int32_t)) == 0) continue;
        // Two slots to a step: a changed block mostly holds a few changed slots.
        for (int i = start; i < start + kBlock; i += 2) {
            std::uint64_t pairNow = 0, pairBefore = 0;
            std::memcpy(&pairNow, now + i, sizeof pairNow);
            std::memcpy(&pairBefore, before + i, sizeof pairBefore);
            if (pairNow == pairBefore) continue;
            for (int j = i; j < i + 2; ++j)
                if (now[j] != before[j]) {
                    onChange(j);
                    before[j] = now[j];
                }
        }
    }
}

} // namespace

void HostRun::LogSlotChanges() {
    constexpr std::uint16_t kLoggedChanges = 200;
    const SlotNames& names = outcome_.slotNames;
    const auto log = [&](bool panel, int index, std::int32_t was, std::int32_t now,
                         std::uint16_t& changes) {
        if (changes > kLoggedChanges) return;
        const std::string_view name = panel ? names.Panel(index) : names.Sound(index);
        if (++changes > kLoggedChanges) {
            Log(std::string(name) + " has changed " + std::to_string(kLoggedChanges) +
                " times: its further changes are left out here (trace it to follow it)");
            return;
        }
        if (panel) { // the many: digits and lamps, put together without the heap
            char line[3 * kIntChars + 256];
            const std::size_t shown = std::min<std::size_t>(name.size(), 200);
            char* at = std::copy_n(": ", 2, std::copy_n(name.data(), shown, line));
            at = WriteInt(std::copy_n(" -> ", 4, WriteInt(at, was)), now);
            Log(std::string_view(line, static_cast<std::size_t>(at - line)));
            return;
        }
        Log(std::string(name) + ": " + SoundCommandText(now) + " (" + std::to_string(was) + " -> " +
            std::to_string(now) + ")");
    };
    ForEachChangedSlot(panel_, panelBefore_, [&](int i) {
        if (i == kSuspendPanelIndex) return;
        outcome_.panelChanged[static_cast<std::size_t>(i)] |= slotsSeen_;
        log(true, i, panelBefore_[i], panel_[i], panelChanges_[i]);
    });
    ForEachChangedSlot(sound_, soundBefore_, [&](int i) {
        outcome_.soundChanged[static_cast<std::size_t>(i)] |= slotsSeen_;
        log(false, i, soundBefore_[i], sound_[i], soundChanges_[i]);
    });
    slotsSeen_ = true;
}

void HostRun::HandCalendar() {
    // The host's world has a calendar of its own: a fixed day, the scenario's clock on it.
    constexpr std::int64_t kFirstDay = 1'767'225'600; // 2026-01-01 00:00 UTC
    if (api_.SetCalendarTime != nullptr)
        api_.SetCalendarTime(kFirstDay + (scenario_.run.startTimeMs + elapsedMs_) / 1000);
}

void HostRun::StartDiagnostics() {
    const char* const lost =
        ": the trace's TASC, brake reason, line voltage and BC display columns "
        "stay empty, the picture has no brake marks and no voltage panel, and "
        "brake reason and TASC expectations cannot be checked";
    if (api_.SetCalendarTime == nullptr)
        Log("the library takes no calendar from the host (it has no SetCalendarTime): its line "
            "voltage wanders by the wall clock, so this run's voltage differs from any other's");
    if (api_.GetDiagnostics == nullptr) {
        Log(std::string("the library offers no diagnostics (it has no GetDiagnostics)") + lost);
        return;
    }
    Diagnostics probe = BlankDiagnostics();
    if (api_.GetDiagnostics(&probe) == kDiagnosticsRefused) {
        Log("the library's diagnostics are of another layout than this host's (version " +
            std::to_string(kDiagnosticsVersion) + ", " + std::to_string(sizeof(Diagnostics)) +
            " bytes)" + lost);
        return;
    }
    diagnosed_ = true;
    outcome_.diagnostics = true;
    // A settings file may have moved slots: the log, the picture and the report name each
    // index after the slot that lands there.
    probe = BlankDiagnostics();
    probe.flags = DiagnosticsBits::RemapWanted;
    if (api_.GetDiagnostics(&probe) == kDiagnosticsFilled)
        outcome_.slotNames.Remap(probe.panelRemap, probe.soundRemap);
    checks_.DiagnosticsSeen();
}

void HostRun::ReadDiagnostics() {
    if (!diagnosed_) return;
    const std::uint8_t before = diagnostics_.brakeDemand;
    // Only the head of the record is asked for: the remap tables came once, at the start.
    diagnostics_.size = sizeof(Diagnostics);
    diagnostics_.version = kDiagnosticsVersion;
    diagnostics_.flags = 0;
    // No state (never after Load, but a library may say so) reads as nothing set.
    if (api_.GetDiagnostics(&diagnostics_) != kDiagnosticsFilled) diagnostics_ = BlankDiagnostics();
    if (diagnostics_.ptService != 0) diagnostics_.brakeDemand |= kPtServiceReason;
    LogBrakeReasons(before);
    MarkTargets();
}

void HostRun::MarkTargets() {
    // A target moves by a rounding as the distance to it counts down; a metre is a new one.
    const auto mark = [&](float distance, float speed, bool none, TargetMark& last) {
        if (none || !(std::fabs(distance) < 1e6f)) return;
        const TargetMark now{train_.location() + distance, speed};
        if (std::fabs(now.location - last.location) < 1.0 && now.speed == last.speed) return;
        last = now;
        if (outcome_.targets.size() < kMaxTargetMarks) outcome_.targets.push_back(now);
    };
    const Diagnostics& d = diagnostics_;
    mark(d.ptStopDistance, -1.0f, d.ptStopDistance >= 10000.0f || d.ptStopDistance <= 0.0f,
         lastStop_);
    mark(d.ptLimitDistance, d.ptLimitSpeed, d.ptLimitSpeed >= 999.0f || d.ptLimitDistance <= 0.0f,
         lastLimit_);
}

void HostRun::LogBrakeReasons(std::uint8_t before) {
    const std::uint8_t now = diagnostics_.brakeDemand;
    if (now == before) return;
    for (int shift = 0; shift < 8; ++shift) {
        const auto bit = static_cast<std::uint8_t>(1u << shift);
        if (((before ^ now) & bit) == 0) continue;
        const bool set = (now & bit) != 0;
        std::string line =
            "automatic brake: " + BrakeReasonNames(bit) + (set ? " set" : " cleared");
        if (set && bit == kPtServiceReason)
            line += ", released at " + std::to_string(diagnostics_.ptReleaseSpeed) + " km/h";
        Log(line);
        if (!set) continue;
        outcome_.brakeMarks.Add({train_.location(), bit});
    }
}

void HostRun::Frame(std::int32_t dtMs) {
    const double from = train_.location();
    train_.Step(dtMs / 1000.0, track_.GradientAt(from));
    elapsedMs_ += dtMs;
    const double to = train_.location();
    outcome_.distance += std::fabs(to - from);
    if (train_.speed() != 0.0) movedSinceStep_ = true;
    PassBeacons(from, to);
    UpdateSignals(from, to);

    const bool suspended = Suspended();
    if (suspended != suspendedBefore_)
        Log(suspended ? "frames suspended (panel 199 = 1)" : "frames resumed (panel 199 = 0)");
    suspendedBefore_ = suspended;
    panel_[kSuspendPanelIndex] = suspended ? 1 : 0;

    const VehicleState state = train_.State(Clock());
    HandCalendar();
    const HandleOutput before = output_;
    output_ = api_.Elapse(state, panel_, sound_);
    train_.Command(output_);
    ++outcome_.frames;
    ReadDiagnostics();
    LogOutputChanges(before);
    LogSlotChanges();
    CollectMessages();
    checks_.Frame(static_cast<double>(elapsedMs_) / 1000.0, to, train_.speed(), driverBrake_,
                  output_, panel_, sound_, diagnosed_ ? &diagnostics_ : nullptr);
    outcome_.lowest = std::min(outcome_.lowest, to);
    outcome_.highest = std::max(outcome_.highest, to);
    outcome_.plotTop = std::max(outcome_.plotTop, std::fabs(train_.speed()));
    if (scenario_.trace.patternSpeedPanel) {
        const std::int32_t pattern = panel_[*scenario_.trace.patternSpeedPanel];
        outcome_.plotTop = std::max(outcome_.plotTop, static_cast<double>(pattern));
        outcome_.patternSpeedSet = outcome_.patternSpeedSet || pattern != 0;
    }

    const std::int32_t period = scenario_.trace.periodMs;
    if (period == 0 || lastTraceMs_ < 0 || elapsedMs_ / period != lastTraceMs_ / period) {
        lastTraceMs_ = elapsedMs_;
        FrameRecord record;
        record.elapsedMs = elapsedMs_;
        record.state = state;
        record.permil = track_.GradientAt(to);
        record.driverReverser = driverReverser_;
        record.driverPower = driverPower_;
        record.driverBrake = driverBrake_;
        record.output = output_;
        const int ahead = track_.SignalAhead(to);
        record.signalAspect = ahead >= 0 ? track_.Aspect(ahead) : 0;
        record.suspended = suspended;
        record.panel = panel_;
        record.sound = sound_;
        record.diagnostics = diagnosed_ ? &diagnostics_ : nullptr;
        recorder_.Trace(record);
    }
}

RunOutcome HostRun::Run() {
    Start();
    CollectMessages();
    const auto maxMs = static_cast<std::int64_t>(std::llround(scenario_.run.maxS * 1000.0));
    outcome_.endReason = "the time limit (max_s) was reached";
    const auto wallStart = std::chrono::steady_clock::now();
    // What was simulated reaches the disk at least this often, in whole rows, however slowly
    // the rows come (a paced run, a long period_ms); the clock is read only every so many
    // frames, as a frame takes a few hundred ns.
    constexpr auto kFlushEvery = std::chrono::milliseconds(500);
    constexpr std::int64_t kFramesPerLook = 256;
    auto lastFlush = wallStart;
    for (;;) {
        if (stop != nullptr && *stop != 0) {
            outcome_.endReason =
                "the run was interrupted (" + (stopName != nullptr ? stopName() : "") + ")";
            outcome_.interrupted = true;
            break;
        }
        if (pace > 0.0 || outcome_.frames % kFramesPerLook == 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastFlush >= kFlushEvery) {
                recorder_.Flush();
                std::fflush(stdout);
                lastFlush = now;
            }
        }
        if (!RunDueSteps()) {
            outcome_.endReason = "the driver's script ended the run";
            break;
        }
        ReleaseKeys();
        const std::int32_t dt = NextInterval();
        if (elapsedMs_ + dt > maxMs) break;
        const std::int64_t hourBefore = elapsedMs_ / kMsPerHour;
        Frame(dt);
        if (hourly && elapsedMs_ / kMsPerHour != hourBefore)
            ReportHour(std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart)
                           .count());
        if (pace > 0.0)
            std::this_thread::sleep_until(
                wallStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double, std::milli>(
                                    static_cast<double>(elapsedMs_) / pace)));
    }
    if (hourly && elapsedMs_ % kMsPerHour != 0)
        ReportHour(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
    api_.Dispose();
    Log("Dispose: " + outcome_.endReason);
    CollectMessages();
    outcome_.elapsedS = static_cast<double>(elapsedMs_) / 1000.0;
    outcome_.finalLocation = train_.location();
    outcome_.finalSpeed = train_.speed();
    return outcome_;
}

} // namespace velqa3::sim
