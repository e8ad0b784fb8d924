#include "sim/run_guard.h"

#include "platform/process.h"
#include "sim/host_run.h"
#include "sim/message_capture.h"
#include "sim/recorder.h"
#include "text/shown.h"

#include <cstring>

namespace velqa3::sim {

namespace {

RunGuard* guarded = nullptr;
volatile std::sig_atomic_t stopAsked = 0;
volatile std::sig_atomic_t ending = 0;
platform::Ending stopEnding = platform::Ending::Interrupt;

// Text put together in place: a handler may not allocate.
struct Line {
    char text[1024];
    std::size_t used = 0;

    Line& operator<<(const char* part) { return Append(part, std::strlen(part)); }
    Line& Append(const char* part, std::size_t length) {
        const std::size_t room = sizeof text - used;
        const std::size_t taken = length < room ? length : room;
        std::memcpy(text + used, part, taken);
        used += taken;
        return *this;
    }
    Line& Seconds(std::int64_t ms) {
        char digits[kIntChars + 8];
        char* end = WriteInt(digits, ms / 1000);
        *end++ = '.';
        const std::int64_t milli = (ms < 0 ? -ms : ms) % 1000;
        *end++ = static_cast<char>('0' + milli / 100);
        *end++ = static_cast<char>('0' + milli / 10 % 10);
        *end++ = static_cast<char>('0' + milli % 10);
        return Append(digits, static_cast<std::size_t>(end - digits)) << " s";
    }
};

} // namespace

struct RunGuardAccess {
    static void End(RunGuard& guard, platform::Ending how, int code) {
        Line line;
        line << "the run ended abnormally ";
        if (const char* phase = guard.phase_)
            line << phase;
        else
            line.Append("at ", 3).Seconds(guard.host_.elapsedMs()) << " of simulated time";
        line << ": ";
        switch (how) {
        case platform::Ending::Crash:
            line << "the plug-in or a companion crashed (" << platform::EndingName(how, code)
                 << ")";
            break;
        case platform::Ending::Exit:
            line << "the plug-in or a companion ended the process (it called exit())";
            break;
        case platform::Ending::Interrupt:
            line << "stopped at once (" << platform::EndingName(how, code) << ", twice)";
            break;
        }
        guard.host_.RecordEnd(std::string_view(line.text, line.used));
        guard.recorder_.WriteOutWhole();
        int terminal = 2;
        if (guard.capture_ != nullptr) {
            guard.capture_->TrimAfterEnd();
            terminal = guard.capture_->SavedErrorFd();
        }
        Line said;
        said << "velqa3-sim: ";
        said.Append(line.text, line.used);
        said << "; trace.csv and events.log in ";
        said.Append(guard.folder_.data(), guard.folder_.size());
        said << " hold the run up to there\n";
        platform::WriteRaw(terminal, said.text, said.used);
    }
};

RunGuard::RunGuard(HostRun& host, Recorder& recorder, MessageCapture* capture,
                   const std::string& folder)
    : host_(host), recorder_(recorder), capture_(capture), folder_(text::Shown(folder, 512)) {
    stopAsked = 0;
    ending = 0;
    guarded = this;
    active_ = true;
    platform::CatchEndings(
        [](platform::Ending how, int code) { OnEnding(static_cast<int>(how), code); });
}

void RunGuard::Release() {
    if (!active_) return;
    platform::ReleaseEndings();
    guarded = nullptr;
    active_ = false;
}

void RunGuard::OnEnding(int how, int code) {
    RunGuard* guard = guarded;
    if (guard == nullptr) return;
    const auto kind = static_cast<platform::Ending>(how);
    if (kind == platform::Ending::Interrupt && stopAsked == 0) {
        stopEnding = kind;
        stopAsked = code != 0 ? code : -1;
        const int terminal = guard->capture_ != nullptr ? guard->capture_->SavedErrorFd() : 2;
        static const char kSaid[] =
            "velqa3-sim: the run stops after this frame (once more to stop at once)\n";
        platform::WriteRaw(terminal, kSaid, sizeof kSaid - 1);
        return;
    }
    // A crash inside the report itself ends the process without another.
    if (ending != 0) platform::EndNow(3);
    ending = 1;
    RunGuardAccess::End(*guard, kind, code);
    platform::EndNow(3);
}

const volatile std::sig_atomic_t* RunGuard::StopAsked() {
    return &stopAsked;
}

std::string RunGuard::StopName() {
    return platform::EndingName(stopEnding, stopAsked);
}

} // namespace velqa3::sim
