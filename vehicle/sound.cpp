#include "vehicle/sound.h"

#include "host/host.h"
#include "host/mode.h"
#include "host/slots.h"
#include "vehicle/cab_keys.h"

#include <initializer_list>

namespace velqa3 {

namespace {

constexpr std::int32_t kDemandAlarmArmed = 1000; // ms from a demand to its alarm
constexpr std::int32_t kCallRepeatMs = 500;
constexpr std::int32_t kRegenFadeMs = 2000;

struct Sound {
    SoundState& state;
    const SoundInputs& in;
    const FrameValues& frame;
    const Settings& settings;
    const SlotArray& out;

    const VehicleState& vehicle() const { return frame.state; }
    bool oneMan() const { return (in.oneManDoors & OneManBits::Fitted) != 0; }
    bool flagChanged(std::uint8_t bit) const {
        return ((in.oneManDoors ^ in.previousOneManDoors) & bit) != 0;
    }
    bool flagNow(std::uint8_t bit) const { return (in.oneManDoors & bit) != 0; }
};

// A sound the host was told to play once is continued from the next frame, so it plays once.
std::int32_t Continued(std::int32_t command) {
    return command == kSoundPlayOnce ? kSoundContinue : command;
}

void Bells(const Sound& s) {
    std::uint8_t& requests = s.state.requests;
    requests &= static_cast<std::uint8_t>(~(SoundRequestBits::Bell1 | SoundRequestBits::Bell2));
    if (s.in.bellOut == 1) requests |= SoundRequestBits::Bell1;
    if (s.in.bellOut == 3) requests |= SoundRequestBits::Bell2;

    s.out.Set(SoundSlot::AtsStBell, s.in.bellSound);
    s.out.Set(SoundSlot::AtsStChime, s.in.chimeSound);
    const bool bell1 = (requests & SoundRequestBits::Bell1) != 0;
    s.out.Set(SoundSlot::AtsPtBell, bell1 ? kSoundPlayOnce : kSoundContinue);
    s.out.Set(SoundSlot::VigilanceBuzzer, s.in.vigilanceBuzzer);
    s.out.Set(SoundSlot::SpeedCheckBell, s.in.speedCheckBell);
    const bool bell2 = (requests & SoundRequestBits::Bell2) != 0;
    s.out.Set(SoundSlot::AtsPtSecondBell, bell2 ? kSoundPlayOnce : kSoundContinue);
    requests &= static_cast<std::uint8_t>(~(SoundRequestBits::Bell1 | SoundRequestBits::Bell2));
}

// Door chimes of the one-man doors as they open and as they close, silenced while the train
// moves; and the sounds of the right and left buttons lighting and going dark.
void OneManDoorSounds(const Sound& s) {
    if (!s.oneMan()) return;
    const bool closedChanged = s.flagChanged(OneManBits::Closed);
    const bool closed = s.flagNow(OneManBits::Closed);
    const bool moving = s.vehicle().Speed > 0.0f;
    for (int slot : {SoundSlot::DoorsOpenChime, SoundSlot::DoorsCloseChime}) {
        std::int32_t command = Continued(s.out.Get(slot));
        if (closedChanged && closed == (slot == SoundSlot::DoorsCloseChime))
            command = kSoundPlayOnce;
        if (moving) command = kSoundStop;
        s.out.Set(slot, command);
    }
    const struct {
        std::uint8_t bit;
        int onSlot;
        int offSlot;
    } buttons[] = {
        {OneManBits::Right, SoundSlot::RightButtonOn, SoundSlot::RightButtonOff},
        {OneManBits::Left, SoundSlot::LeftButtonOn, SoundSlot::LeftButtonOff},
    };
    for (const auto& button : buttons) {
        if (!s.flagChanged(button.bit)) {
            s.out.Set(button.onSlot, Continued(s.out.Get(button.onSlot)));
            s.out.Set(button.offSlot, Continued(s.out.Get(button.offSlot)));
            continue;
        }
        const bool lit = s.flagNow(button.bit);
        s.out.Set(button.onSlot, lit ? kSoundPlayOnce : kSoundStop);
        s.out.Set(button.offSlot, lit ? kSoundStop : kSoundPlayOnce);
    }
}

// The alarm that follows a brake demand: armed at 1000 ms, counting down while a demand holds
// the moving train, played once when the count runs out, and rearmed when the demand has gone
// or the train stands.
void DemandAlarm(const Sound& s) {
    std::int32_t& timer = s.state.demandAlarmTimer;
    const bool demand = s.in.brakeDemand != 0;
    const bool moving = s.vehicle().Speed != 0.0f;
    const std::int32_t dt = s.frame.interval;
    if (timer == kDemandAlarmArmed) {
        if (demand && moving) timer = kDemandAlarmArmed - dt > 0 ? kDemandAlarmArmed - dt : 0;
        if (timer == 0) s.out.Set(SoundSlot::DemandAlarm, kSoundPlayOnce);
        return;
    }
    if (timer == 0) {
        s.out.Set(SoundSlot::DemandAlarm, kSoundContinue);
        if (!demand || !moving) timer = kDemandAlarmArmed;
        return;
    }
    // A count that ends exactly on zero sounds too. Were only a count below zero to sound, a
    // frame length that divides the second would leave the timer at 0, the sounding state, and
    // the alarm would never be played at all.
    timer = dt >= timer ? 0 : timer - dt;
    if (timer == 0) s.out.Set(SoundSlot::DemandAlarm, kSoundPlayOnce);
}

// The chimes as a pattern comes into force and as it ends.
void PatternChimes(const Sound& s) {
    const bool pattern = HasModeBit(s.in.atsMode, AtsModeBits::Pattern);
    const float before = s.frame.previousPatternSpeed;
    const float now = s.in.patternSpd;
    const float none = static_cast<float>(s.in.noPatternSpd);
    const bool had = before != 0.0f;
    s.out.Set(SoundSlot::PatternStartChime,
              pattern && had && !(before < none) && now < none ? kSoundPlayOnce : kSoundContinue);
    s.out.Set(SoundSlot::PatternEndChime,
              pattern && had && before < none && !(now < none) ? kSoundPlayOnce : kSoundContinue);
}

// Host key 15: the call sound loops while the key is held and a closing sound follows its
// release; with PRR the call rings twice more, every 500 ms, after the key is let go.
void CallSound(const Sound& s) {
    const bool held = s.in.key15Held;
    const bool repeat = s.settings.prr != 0;
    std::uint8_t& calls = s.state.announcementCalls;
    s.out.Set(SoundSlot::Call, Continued(s.out.Get(SoundSlot::Call)));
    s.out.Set(SoundSlot::CallEnd, Continued(s.out.Get(SoundSlot::CallEnd)));
    if (held) {
        if (repeat) {
            calls = 2;
        } else {
            s.out.Set(SoundSlot::Call, s.state.key15WasHeld ? kSoundContinue : kSoundLoop);
            s.out.Set(SoundSlot::CallEnd, kSoundStop);
        }
    }
    if (calls > 0) {
        if (CrossesBoundary(s.frame.clock, s.frame.interval, kCallRepeatMs)) {
            s.out.Set(SoundSlot::Call, kSoundPlayOnce);
            --calls;
        } else {
            s.out.Set(SoundSlot::Call, kSoundContinue);
        }
    }
    if (!held && !repeat) {
        const std::int32_t call = s.out.Get(SoundSlot::Call);
        if (call == kSoundLoop || call == kSoundContinue) {
            s.out.Set(SoundSlot::Call, kSoundStop);
            if (s.state.key15WasHeld) s.out.Set(SoundSlot::CallEnd, kSoundPlayOnce);
        }
    }
    s.state.key15WasHeld = held;
}

void CabSounds(const Sound& s) {
    // The reverser leaving neutral clicks, unless the record switch silences it.
    const bool leftNeutral = s.frame.previousReverser == 0 && s.in.reverserHandle != 0;
    s.out.Set(SoundSlot::ReverserClick,
              leftNeutral && s.out.Get(SoundSlot::ReverserClick) != kSoundPlayOnce &&
                      !s.in.recordSwitch
                  ? kSoundPlayOnce
                  : kSoundContinue);
    // Power drawn with the spot protection cut out: its warning loops.
    const bool patternOnly = ChangeOverIsPatternOnly(s.in.cabSwitches);
    s.out.Set(SoundSlot::SpotCutOutWarning,
              s.in.powerOutput > 0 && (patternOnly || !s.in.ebnfbSwitch) ? kSoundLoop : kSoundStop);
    for (int channel = 0; channel < kAnnouncementChannels; ++channel)
        s.out.Set(SoundSlot::Announcements + channel,
                  s.in.announcement != nullptr ? s.in.announcement[channel] : kSoundStop);
}

// The exhaust of the brake released with key 13, once the cylinder had pressure.
void ReleaseExhaust(const Sound& s) {
    bool unused = false;
    bool& released = s.in.brakeReleasedOnKey13Up != nullptr ? *s.in.brakeReleasedOnKey13Up : unused;
    const bool modelled = s.settings.tPriorityModel != 0;
    const std::int32_t releasedNotch = s.settings.holdBrake != 0 ? 1 : 0;
    if (!modelled || s.in.brakeHandle > releasedNotch) {
        released = false;
        s.out.Set(SoundSlot::ReleaseExhaust, kSoundStop);
        return;
    }
    const std::int32_t command = Continued(s.out.Get(SoundSlot::ReleaseExhaust));
    if (!released) {
        s.out.Set(SoundSlot::ReleaseExhaust, kSoundStop);
    } else if (s.vehicle().BcPressure >= 200.0f && command == kSoundStop) {
        s.out.Set(SoundSlot::ReleaseExhaust, kSoundPlayOnce);
    } else {
        s.out.Set(SoundSlot::ReleaseExhaust, command);
    }
}

// The regeneration sound of one brake slot: louder as the regenerated current grows, while
// the line can take it, and faded out 2 s after the line last stood high.
std::int32_t Regeneration(const Sound& s, std::int32_t command) {
    const float current = s.vehicle().Current;
    if (s.vehicle().Speed < 2.0f || current >= -10.0f) return kSoundStop;
    if (s.in.lineVoltage > s.settings.egbStart)
        return command == kSoundStop ? kSoundLoop : Truncated(90000.0f / current);
    std::int64_t since = std::int64_t{s.frame.clock} - s.in.lastHighVoltageTime;
    if (since < 0) since += kMsPerDay;
    return since > kRegenFadeMs ? kSoundStop : command;
}

void RegenerationSounds(const Sound& s) {
    const std::int32_t brake = s.in.brakeOutput;
    const bool holding = s.settings.holdBrake != 0;
    const bool onHoldingNotch = brake == 1 && holding;
    const bool onService = brake != s.in.emergencyNotch && brake >= (holding ? 2 : 1);
    s.out.Set(SoundSlot::HoldingRegeneration,
              onHoldingNotch ? Regeneration(s, s.out.Get(SoundSlot::HoldingRegeneration))
                             : kSoundStop);
    s.out.Set(SoundSlot::ServiceRegeneration,
              onService ? Regeneration(s, s.out.Get(SoundSlot::ServiceRegeneration)) : kSoundStop);
}

// The brake cylinder exhausting, with the needle swing of the start-up test.
void CylinderExhaust(const Sound& s) {
    const std::int32_t test = s.in.atsTestTimer;
    std::int32_t command = Continued(s.out.Get(SoundSlot::CylinderExhaust));
    if (command != kSoundPlayOnce && test > 3700) command = kSoundStop;
    if (command == kSoundStop && test > 0 && test < 3700) command = kSoundPlayOnce;
    if (!s.in.bcReleasing && test == 0) command = kSoundStop;
    if (s.in.bcReleasing && command == kSoundStop) command = kSoundPlayOnce;
    s.out.Set(SoundSlot::CylinderExhaust, command);
}

void KeySounds(const Sound& s) {
    std::int32_t click = Continued(s.out.Get(SoundSlot::MasterKeyClick));
    if (s.in.masterKeyPosition != s.frame.previousKeyPosition) click = kSoundPlayOnce;
    s.out.Set(SoundSlot::MasterKeyClick, click);

    // The low-speed exhaust of the T-priority blend.
    std::int32_t lowSpeed = kSoundStop;
    if (s.settings.tPriorityModel == 1 && s.in.atsTestTimer == 0 && s.in.bcReleasingLowSpeed) {
        const std::int32_t command = Continued(s.out.Get(SoundSlot::LowSpeedExhaust));
        lowSpeed = command == kSoundStop ? kSoundPlayOnce : command;
    }
    s.out.Set(SoundSlot::LowSpeedExhaust, lowSpeed);

    // Host key 11 loops its sound while held.
    const std::int32_t held = s.out.Get(SoundSlot::Key11Sound);
    if (s.in.key11Held && held == kSoundStop)
        s.out.Set(SoundSlot::Key11Sound, kSoundLoop);
    else if (held == kSoundLoop)
        s.out.Set(SoundSlot::Key11Sound, kSoundContinue);
    else if (!s.in.key11Held)
        s.out.Set(SoundSlot::Key11Sound, kSoundStop);
}

} // namespace

void WriteSound(SoundState& state, const SoundInputs& in, const FrameValues& frame,
                const Settings& settings, const std::uint8_t (&remap)[kSlotCount],
                std::int32_t* sound) {
    if (sound == nullptr) return;
    const SlotArray out{sound, remap};
    const Sound s{state, in, frame, settings, out};
    Bells(s);
    OneManDoorSounds(s);
    DemandAlarm(s);
    PatternChimes(s);
    CallSound(s);
    CabSounds(s);
    ReleaseExhaust(s);
    RegenerationSounds(s);
    CylinderExhaust(s);
    KeySounds(s);
}

void SettleAnnouncements(std::int32_t (&announcement)[kAnnouncementChannels]) {
    for (std::int32_t& channel : announcement)
        if (channel == kSoundPlayOnce) channel = kSoundLoop;
}

void StopStationBeacon(bool& stopStation, std::int32_t (&announcement)[kAnnouncementChannels],
                       std::int32_t optional) {
    if (optional < 0) return;
    stopStation = true;
    announcement[optional % kAnnouncementChannels] = kSoundPlayOnce;
}

} // namespace velqa3
