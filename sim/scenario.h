// A scripted run as the scenario file describes it: the train, the route, the driver's script,
// how frames are made and traced, and what the run is expected to show. Plain data; the reader
// fills it and refuses anything it cannot stand behind.
#pragma once

#include "host/host.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velqa3::sim {

// One point of a power notch's acceleration curve.
struct CurvePoint {
    double speed = 0.0;        // km/h
    double acceleration = 0.0; // km/h/s
};

struct VehicleModel {
    VehicleSpec spec{8, 5, 2, 6, 6};
    // One curve per power notch (1..PowerNotches), interpolated over speed, flat past the ends.
    std::vector<std::vector<CurvePoint>> powerCurves;
    // Per service notch (1..BrakeNotches): steady deceleration and brake-cylinder pressure.
    std::vector<double> brakeDeceleration;       // km/h/s
    std::vector<double> bcPressure;              // kPa
    double emergencyDeceleration = 4.5;          // km/h/s
    double emergencyBcPressure = 440.0;          // kPa
    double bcApplyRate = 250.0;                  // kPa/s towards a higher notch pressure
    double bcReleaseRate = 200.0;                // kPa/s towards a lower one
    double mrMin = 780.0;                        // kPa: compressor starts below
    double mrMax = 880.0;                        // kPa: compressor stops above
    double compressorRate = 6.0;                 // kPa/s
    double airUse = 0.1;                         // kPa of main reservoir per kPa of cylinder filled
    double currentPerNotch = 120.0;              // A per power notch
    double regenCurrentPerNotch = 80.0;          // A per brake notch, drawn as negative current
    double regenMinSpeed = 5.0;                  // km/h: no electric braking below
    double resistance[3] = {0.02, 0.0, 0.00002}; // km/h/s: a + b*v + c*v*v
};

struct SignalChange {
    enum class Trigger { Time, Location, Passed };
    Trigger trigger = Trigger::Time;
    double at = 0.0; // s since the start (Time) or m (Location)
    std::int32_t aspect = 0;
};

struct Signal {
    std::string id;
    double position = 0.0;
    std::int32_t aspect = 0; // at the start
    std::vector<SignalChange> changes;
};

struct Beacon {
    double position = 0.0;
    std::int32_t type = 0;
    std::int32_t optional = 0;
    int signal = -1; // index into the signals; -1: the first signal beyond the beacon
};

struct GradientChange {
    double from = 0.0;   // m
    double permil = 0.0; // positive uphill in the direction of increasing location
};

struct Route {
    std::vector<Signal> signals;        // sorted by position
    std::vector<Beacon> beacons;        // sorted by position
    std::vector<GradientChange> grades; // sorted by position
};

struct KeyPress {
    int key = 0;
    std::int32_t holdMs = 0;
};

// A cab function worked through the keyboard: its key pressed for holdMs, or held down or let go.
struct CabKeyStep {
    enum class Action { Press, Down, Up };
    std::string function; // a [KEY] name, "TascSW"
    Action action = Action::Press;
    std::int32_t holdMs = 0;
    int code = 0; // the key [KEY] binds to it, found once the settings file is known
};

struct Relocation {
    double location = 0.0;
    double speed = 0.0;
    std::int32_t brake = 0; // the argument Initialize forwards
};

// One step of the driver's script. Steps run in order: a step waits until the one before it
// has fired, then fires in the first frame in which all of its conditions hold.
struct DriverStep {
    int line = 0;
    std::string note;
    // Conditions (none: fires at once).
    std::optional<double> atS;            // s since the start
    std::optional<std::int64_t> atTimeMs; // clock, ms of the day
    std::optional<double> atLocation;     // m, reached or passed
    std::optional<double> locationBelow;  // m, the train is short of it (running backwards)
    std::optional<double> speedBelow;     // km/h, absolute speed
    std::optional<double> speedAbove;
    std::optional<double> waitS;     // s since the step before fired
    std::optional<bool> stopped;     // came to a stand after moving since the step before
    std::optional<bool> pluginBrake; // the plug-in brakes harder than the driver
    // Actions, carried out in this order.
    std::optional<std::int32_t> reverser;
    std::optional<std::int32_t> power;
    std::optional<std::int32_t> brake;
    std::optional<int> keyDown;
    std::optional<int> keyUp;
    std::optional<KeyPress> key;      // host key 0..15, down and up after holdMs
    std::optional<KeyPress> keyboard; // virtual-key code, held for holdMs
    std::optional<CabKeyStep> cabKey;
    std::optional<std::int32_t> horn;
    std::optional<bool> doorsOpen; // true: DoorOpen, false: DoorClose
    std::optional<Relocation> initialize;
    bool end = false;
};

struct Expectation {
    enum class Kind {
        BrakeReaches,    // output brake reaches notch (optionally first between two locations)
        BrakeNeverAbove, // output brake never exceeds notch
        StopsBefore,     // the train comes to a stand before it ever reaches a location
        StopsBetween,    // the train comes to a stand within a range at least once
        FinalStopBetween,
        SpeedBelow,      // the speed stays below a value all the run
        Message,         // the plug-in showed a message with this caption
        MessageContains, // ... or one whose "caption: text" contains this text
        NoMessages,
        NoIdleBeacons,
        PanelReaches, // a panel entry takes a value (optionally first between two locations)
        ReverserIs,   // the reverser output keeps a value through a window of run time
        PanelHolds,   // a panel entry keeps a value on every frame of a range (m or s)
        SoundCommand, // a sound entry is given a command (optionally within a range, m or s)
        BrakeReason,  // an automatic brake reason is set (optionally within a range, m or s)
        TascStop,     // the first stand with a TASC stop point lies within value m of it
    };
    enum class Sound { Once, Looping, Stops };
    Kind kind = Kind::BrakeReaches;
    int line = 0;
    std::int32_t notch = 0;         // BrakeReaches, BrakeNeverAbove
    bool emergency = false;         // notch given as "emergency"
    double value = 0.0;             // StopsBefore, SpeedBelow
    std::optional<double> from, to; // m; for ReverserIs s of run time
    bool rangeInSeconds = false;    // PanelHolds, SoundCommand: from/to are s of run time
    std::string caption;            // Message
    int panelIndex = 0;
    std::int32_t panelValue = 0;
    std::int32_t reverser = 0; // ReverserIs
    int soundIndex = 0;        // SoundCommand
    Sound sound = Sound::Once;
    std::uint8_t reasonBit = 0; // BrakeReason
    std::string reasonName;     // BrakeReason
};

struct Suspension {
    double fromS = 0.0;
    double toS = 0.0;
};

struct RunSettings {
    std::optional<std::filesystem::path> settingsFile; // copied beside the plug-in
    std::int64_t startTimeMs = 10 * 3600 * 1000;       // ms of the day
    std::int32_t intervalMs = 16;
    std::int32_t jitterMs = 0;
    std::uint64_t seed = 1;
    double maxS = 3600.0; // the run ends here at the latest
    int maxSLine = 0;     // where max_s was given (or the [run] table), for messages
    double startLocation = 0.0;
    std::int32_t initializeBrake = 0; // the argument of the first Initialize
    std::int32_t driverReverser = 0;
    std::int32_t driverPower = 0;
    std::optional<std::int32_t> driverBrake; // default: full service
    std::vector<Suspension> suspensions;
    // Once the driver's script has run through without ending the run, the host restarts the
    // run at the start (Initialize, the signals back to their first aspects) and the script
    // starts over, its times counted from the restart: a service pattern for as long as max_s.
    bool repeat = false;
    // The host's clock goes back to 0 at midnight instead of counting on to 24:00 and beyond.
    bool clockWraps = false;
};

struct TraceSettings {
    std::int32_t periodMs = 0; // 0: every frame
    std::vector<int> panel;
    std::vector<int> sound;
    std::optional<int> patternSpeedPanel; // plotted as the pattern speed
};

struct Scenario {
    std::filesystem::path file;
    std::string name;
    RunSettings run;
    TraceSettings trace;
    VehicleModel vehicle;
    Route route;
    std::vector<DriverStep> driver;
    std::vector<Expectation> expectations;
};

// Where a scenario went wrong: shown as "file:line: key: message".
struct ScenarioError {
    std::string file;
    int line = 0;
    std::string key;
    std::string message;
    std::string Text() const;
};

// Why a file cannot be read whole (missing, not a regular file, larger than limit), or empty.
std::string FileProblem(const std::filesystem::path& file, std::uintmax_t limit);

// Reads and checks a scenario; on any fault returns false with the first fault in error.
bool ReadScenario(const std::filesystem::path& file, Scenario& scenario, ScenarioError& error);
bool ParseScenario(const std::string& text, const std::filesystem::path& file, Scenario& scenario,
                   ScenarioError& error);

} // namespace velqa3::sim
