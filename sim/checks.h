// The scenario's expectations, watched frame by frame and judged at the end of the run.
#pragma once

#include "host/diagnostics.h"
#include "host/host.h"
#include "sim/message_capture.h"
#include "sim/scenario.h"

#include <optional>
#include <string>
#include <vector>

namespace velqa3::sim {

struct Verdict {
    bool passed = false;
    // False where this build cannot see what the expectation is about; reported, never passed.
    bool checkable = true;
    std::string text; // one line: what was expected and what happened
};

class Checks {
  public:
    explicit Checks(const Scenario& scenario);

    // driverBrake: the driver's notch, so that an intervention is the plug-in braking harder.
    // timeS: run time since the first frame. diagnostics: null where the library tells none.
    void Frame(double timeS, double location, double speed, std::int32_t driverBrake,
               const HandleOutput& output, const std::int32_t* panel, const std::int32_t* sound,
               const Diagnostics* diagnostics = nullptr);
    void Messages(const std::vector<Message>& messages);
    // Messages cannot be seen on this build (the Windows host: message boxes).
    void MessagesUnseen() { messagesSeen_ = false; }
    // The library tells its diagnostics: brake reason and TASC expectations can be judged.
    void DiagnosticsSeen() { diagnosticsSeen_ = true; }
    // A beacon the plug-in took and nothing will act on, with why (the host's words).
    void IdleBeacon(std::string why) { idleBeacons_.push_back(std::move(why)); }

    std::vector<Verdict> Judge() const;

    // For the summary.
    int interventions() const { return interventions_; }
    std::int32_t maxBrake() const { return maxBrake_; }
    double maxSpeed() const { return maxSpeed_; }
    std::size_t messageCount() const { return messages_.size(); }
    std::size_t idleBeaconCount() const { return idleBeacons_.size(); }

  private:
    struct Watch {
        std::optional<double> firstAt; // where the watched condition first held
        std::optional<double> firstInRange;
        int framesInWindow = 0;                 // ReverserIs: frames seen in the window
        std::optional<std::int32_t> otherValue; // ReverserIs: a value seen there that differs
        double otherAt = 0.0;
        bool soundMatched = false; // SoundCommand: the frame before already had the command
        std::optional<double> firstOutside; // SoundCommand: where it was given outside the range
        std::optional<double> tascDistance; // TascStop: m left to the stop point at that stand
        double highest = 0.0; // SpeedBelow over a range: the highest speed there, at otherAt
    };

    const Scenario& scenario_;
    std::vector<Watch> watches_; // one per expectation
    // Where the train first came to rest after moving; later stands are judged as they come,
    // so a run of many stops keeps nothing per stop.
    std::optional<double> firstStand_;
    double maxLocationBeforeFirstStand_ = -1e300;
    bool moving_ = false;
    double lastLocation_ = 0.0;
    double lastSpeed_ = 0.0;
    double maxSpeed_ = 0.0;
    std::int32_t maxBrake_ = 0;
    int interventions_ = 0;
    bool intervening_ = false;
    bool messagesSeen_ = true;
    bool diagnosticsSeen_ = false;
    std::vector<std::string> idleBeacons_;
    std::uint8_t brakeDemand_ = 0;
    std::vector<Message> messages_;
};

} // namespace velqa3::sim
