// The plug-in: every piece of its state, and the operations behind the host's entry points.
// The library holds one instance for the host; tests build their own.
#pragma once

#include "config/keys.h"
#include "config/paths.h"
#include "config/remap.h"
#include "config/settings.h"
#include "config/settings_reader.h"
#include "host/frame.h"
#include "host/host.h"
#include "host/mode_transitions.h"
#include "plugin/arbitration.h"
#include "plugin/companions.h"
#include "plugin/state.h"
#include "telemetry/run_record.h"
#include "telemetry/telemetry.h"

#include <cstdint>

namespace velqa3 {

// Dimensions of the train the host reports once per vehicle.
struct VehicleDims {
    std::int32_t serviceNotches = 0;
    std::int32_t emergencyNotch = 0; // service notches + 1
    std::int32_t powerNotches = 0;
    std::int32_t atsNotch = 0;
    std::int32_t cars = 0;
    float trainLength = 0.0f; // m
};

struct Plugin {
    Settings settings;
    KeyTables keys;
    RemapTables remap;
    VehicleDims dims;
    FrameValues frame;
    Protection protection;
    Aids aids;
    CabState cab;
    Arbitration arbitration;
    HandleOutput output{}; // kept from frame to frame; neutral until a stage writes it
    Telemetry telemetry;   // the status and stop senders
    Companions companions; // the plug-ins hosted beside this one
    RunRecord record;      // the CSV run record

    char settingsPath[kPathSize] = {};
    char recordPath[kPathSize] = {};
    std::uint8_t initCount = 0; // the attach work runs once per loaded library
    bool loaded = false;        // from Load to Dispose: the frames' state means something

    // Work done when the library is attached to the host process; modulePath is the
    // library's own file.
    void Attach(const char* modulePath);
    // Lets go of what the plug-in holds open. Runs at Dispose and again when the library is
    // detached; the second time finds nothing left.
    void Release();

    void Load();
    void Dispose();
    void SetVehicleSpec(const VehicleSpec& spec);
    void Initialize(std::int32_t brakePosition);
    HandleOutput Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound);

    void SetPower(std::int32_t notch);
    void SetBrake(std::int32_t notch);
    void SetReverser(std::int32_t position);
    void KeyDown(std::int32_t key);
    void KeyUp(std::int32_t key);
    void HornBlow(std::int32_t type);
    void SetSignal(std::int32_t aspect);
    void SetBeaconData(const BeaconData& beacon);
    // Door movements; fromHost is false when the one-man doors moved them.
    void DoorsOpened(bool fromHost);
    void DoorsClosed(bool fromHost);

    // The frame as the pattern protection reads it now.
    PtcFrame PtcView() const;

    // What the polled keys switch beyond the cab, in the order they are polled: the TASC
    // switches, the master-controller key and the ATS switches. Changes the mode through its
    // transitions and returns what those ask of the protections, gathered for the frame.
    ModeEffects TakeCabSwitches(CabKeyPresses presses);

  private:
    // The keyboard poll and what it hands to the protections and the doors.
    void PollCabKeyboard();
    ModeEffects TurnPolledMasterKey(bool held);

    void RunProtections();
    void Supervise();
    bool StandsWithBrakeApplied() const;
    void ResetProtection();
    // Carries out what a change of the protection mode asks of the protections and the cab.
    void CarryOut(const ModeEffects& effects);
    void TurnMasterKey();
    ArbitrationInputs ArbitrationView() const;
    void DecideHandles();
    void UpdateDisplayedBrakeNotch();
    velqa3::SettingsHooks ProtectionHooks();
    void TakeOverSettings();
    void StartProtection(std::int32_t lineCode);
    void RunFullFrame(const VehicleState& state, std::int32_t* panel, std::int32_t* sound);
    void WriteOutputs(std::int32_t* panel, std::int32_t* sound);
    void SavePreviousFrame();
    void RunVehicleModels();
    void RecordRun(const VehicleState& state);
    void SendFrameTelemetry(const VehicleState& state);
};

} // namespace velqa3
