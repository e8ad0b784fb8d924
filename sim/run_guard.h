// A run that cannot go on still leaves its record: while the guard stands, a crash of the
// plug-in or a companion, an exit() from one of them, or a second Ctrl-C writes out the trace's
// and the event log's whole rows, says in both and on the terminal how and when the run ended,
// and ends the process with exit code 3. A first Ctrl-C (or a request to end) only asks the run
// to stop after its frame, so it ends as any other run, Dispose included.
#pragma once

#include <csignal>
#include <string>

namespace velqa3::sim {

class HostRun;
class MessageCapture;
class Recorder;

class RunGuard {
  public:
    RunGuard(HostRun& host, Recorder& recorder, MessageCapture* capture, const std::string& folder);
    ~RunGuard() { Release(); }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    // What the run is doing, for the report: "while the plug-in was being loaded"; null while
    // the frames go (the report then gives the simulated time).
    void Phase(const char* phase) { phase_ = phase; }
    void Release();

    // Set (to the signal or event) once the run was asked to stop; the host looks after each
    // frame.
    static const volatile std::sig_atomic_t* StopAsked();
    // How the stop was asked for, for the run's end reason.
    static std::string StopName();

  private:
    static void OnEnding(int ending, int code);
    friend struct RunGuardAccess;

    HostRun& host_;
    Recorder& recorder_;
    MessageCapture* capture_;
    std::string folder_; // as the terminal may show it
    const char* volatile phase_ = nullptr;
    bool active_ = false;
};

} // namespace velqa3::sim
