// The ATS-ST spot protection: it acts only where the train passes a beacon. A beacon at a
// signal showing stop starts an alarm the driver must confirm within 5 s, a beacon at the
// signal itself stops the train, and speed-check beacons brake a train that is too fast, by a
// threshold or by timing a pair of beacons. It also carries the overspeed relay.
#pragma once

#include <cstdint>

namespace velqa3 {

// The frame as the spot protection reads it, filled by the frame driver for each call.
struct StcFrame {
    float speed = 0.0f;       // km/h
    std::int32_t clock = 0;   // ms of the day
    std::int32_t frameMs = 0; // length of the last frame
};

class STC {
  public:
    // Constant-initialised, so the library's one instance exists before any entry point runs.
    constexpr STC() = default;
    virtual ~STC() = default;

    void Beacon(const StcFrame& frame, std::int32_t type, std::int32_t signal,
                std::int32_t optional);
    void Update(const StcFrame& frame);
    void Confirm();
    void StopChime();
    // Silent false gives the start-up sequence: the bell for just over 0.5 s, then the chime
    // until StopChime.
    void Restart(bool silent);
    // The reset key: releases an emergency, silences both sounds and darkens both lamps.
    void Clear();

    std::int32_t pairTimer = 0; // ms since the first beacon of a timing pair
    std::uint8_t armed = 0;     // stop alarm running, confirmation awaited
    std::int32_t deadline = 0;  // ms of the day by which the confirmation is due
    std::uint8_t chimeReq = 0;
    std::uint8_t testBell = 0;  // start-up bell running
    std::int32_t testTimer = 0; // ms the start-up bell has rung; -1 when idle
    std::uint8_t pairArmed = 0;
    std::int32_t osrMode = 0; // overspeed relay: 0 off, 1 at 115 km/h, 2 at 125 km/h
    std::uint8_t overspeed = 0;
    std::uint8_t emergency = 0;
    std::int32_t bellSound = 0; // host sound commands: 0 loop, -10000 stop
    std::int32_t chimeSound = 0;
    std::int32_t alarmLamp = 0; // lit in alarm and emergency, blinking while armed
    std::int32_t normalLamp = 0;
    StcFrame in{}; // the frame of the call in progress

  private:
    void StartAlarm();
    void StartPair() { pairArmed = 1; }
    void CheckSpeed(float limit);
    void EndPair();
    void AspectCheck(std::int32_t signal, std::int32_t optional);
    bool DeadlinePassed() const;
};

// The spot protection's place in a frame: it runs while the cab's EB circuit breaker is on and
// the master-controller key is in position 2, except with the change-over switch (bits 0x0C of
// cabSwitches) in position 8. The result is whether it holds the emergency brake (StBrake);
// switched off it holds none.
bool RunSpotProtection(STC& stc, const StcFrame& frame, std::uint8_t cabSwitches, bool ebCircuitOn,
                       std::int32_t masterKeyPosition);

} // namespace velqa3
