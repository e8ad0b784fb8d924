#include "sim/checks.h"

#include "sim/brake_reason_names.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velqa3::sim {

namespace {

std::string Metres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f m", value);
    return text;
}

// To the centimetre, for stops on a mark.
std::string MetresFine(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f m", value);
    return text;
}

std::string Span(const Expectation& e) {
    return Metres(*e.from) + " and " + Metres(*e.to);
}

bool Within(const Expectation& e, double location) {
    return location >= *e.from && location <= *e.to;
}

std::string Seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", value);
    return text;
}

std::string Where(const Expectation& e, double value) {
    return e.rangeInSeconds ? Seconds(value) : Metres(value);
}

std::string RangeText(const Expectation& e) {
    if (!e.from) return "";
    return " between " + Where(e, *e.from) + " and " + Where(e, *e.to);
}

// The host's sound commands: -10000 stops, 1 plays once, 0 and above -10000 loop, 2 leaves as is.
bool IsCommand(Expectation::Sound sound, std::int32_t value) {
    switch (sound) {
    case Expectation::Sound::Once:
        return value == 1;
    case Expectation::Sound::Looping:
        return value > -10000 && value <= 0;
    case Expectation::Sound::Stops:
        return value == -10000;
    }
    return false;
}

const char* SoundWords(Expectation::Sound sound) {
    switch (sound) {
    case Expectation::Sound::Once:
        return "plays once";
    case Expectation::Sound::Looping:
        return "starts looping";
    case Expectation::Sound::Stops:
        return "stops";
    }
    return "";
}

// An event an expectation waits for, at a place or time: its first in the range (or anywhere,
// without one), and its first outside for the report.
template <typename Watch> void NoteEvent(Watch& w, const Expectation& e, double at) {
    if (!e.from || (at >= *e.from && at <= *e.to)) {
        if (!w.firstAt) w.firstAt = at;
    } else if (!w.firstOutside) {
        w.firstOutside = at;
    }
}

template <typename Watch> std::string EventReport(const Watch& w, const Expectation& e) {
    if (w.firstAt) return ": first at " + Where(e, *w.firstAt);
    if (w.firstOutside) return ": only outside that range, first at " + Where(e, *w.firstOutside);
    return ": never";
}

std::string NotchName(const Expectation& e) {
    return e.emergency ? "the emergency notch (" + std::to_string(e.notch) + ")"
                       : "notch " + std::to_string(e.notch);
}

// A brake output as a number, and past the emergency notch what such a number is: the vehicle
// data's own notches that TASC and the pressure-increase brake use. The checks count them by
// their number, so 13 on an eight-notch train is above the emergency notch 9.
std::string BrakeOutput(std::int32_t notch, const VehicleSpec& spec) {
    const std::int32_t emergency = spec.BrakeNotches + 1;
    if (notch <= emergency) return std::to_string(notch);
    return std::to_string(notch) + ", past the emergency notch " + std::to_string(emergency) +
           ": a notch of the vehicle data (TASC, the pressure-increase brake), counted by its "
           "number";
}

} // namespace

Checks::Checks(const Scenario& scenario)
    : scenario_(scenario), watches_(scenario.expectations.size()) {}

void Checks::Frame(double timeS, double location, double speed, std::int32_t driverBrake,
                   const HandleOutput& output, const std::int32_t* panel, const std::int32_t* sound,
                   const Diagnostics* diagnostics) {
    const std::uint8_t demand = diagnostics != nullptr ? diagnostics->brakeDemand : 0;
    const bool tascTarget =
        diagnostics != nullptr && (diagnostics->flags & DiagnosticsBits::TascTargetSet) != 0;
    const double pace = std::fabs(speed);
    maxSpeed_ = std::max(maxSpeed_, pace);
    maxBrake_ = std::max(maxBrake_, output.Brake);
    // The host's handle has no notch below release, whatever the script sent the plug-in.
    const bool intervening = output.Brake > std::max(driverBrake, 0);
    if (intervening && !intervening_) ++interventions_;
    intervening_ = intervening;

    if (pace > 0.0) moving_ = true;
    if (!firstStand_)
        maxLocationBeforeFirstStand_ = std::max(maxLocationBeforeFirstStand_, location);
    const bool cameToStand = moving_ && pace == 0.0 && lastSpeed_ != 0.0;
    if (cameToStand && !firstStand_) firstStand_ = location;
    lastSpeed_ = pace;
    lastLocation_ = location;

    for (std::size_t i = 0; i < watches_.size(); ++i) {
        const Expectation& e = scenario_.expectations[i];
        bool holds = false;
        switch (e.kind) {
        case Expectation::Kind::BrakeReaches:
            holds = output.Brake >= e.notch;
            break;
        case Expectation::Kind::BrakeNeverAbove:
            holds = output.Brake > e.notch;
            break;
        case Expectation::Kind::StopsBetween:
            holds = cameToStand && Within(e, location);
            break;
        case Expectation::Kind::PanelReaches:
            holds = panel[e.panelIndex] == e.panelValue;
            break;
        case Expectation::Kind::ReverserIs:
            if (timeS >= *e.from && timeS <= *e.to) {
                Watch& w = watches_[i];
                ++w.framesInWindow;
                if (output.Reverser != e.reverser && !w.otherValue) {
                    w.otherValue = output.Reverser;
                    w.otherAt = timeS;
                }
            }
            break;
        case Expectation::Kind::PanelHolds: {
            const double at = e.rangeInSeconds ? timeS : location;
            Watch& w = watches_[i];
            if (at >= *e.from && at <= *e.to) {
                ++w.framesInWindow;
                if (panel[e.panelIndex] != e.panelValue && !w.otherValue) {
                    w.otherValue = panel[e.panelIndex];
                    w.otherAt = at;
                }
            }
            continue;
        }
        case Expectation::Kind::SoundCommand: {
            Watch& w = watches_[i];
            const bool matches = IsCommand(e.sound, sound[e.soundIndex]);
            // Once is a command each frame it is written; looping and stopping are changes.
            const bool given = matches && (e.sound == Expectation::Sound::Once || !w.soundMatched);
            w.soundMatched = matches;
            if (given) NoteEvent(w, e, e.rangeInSeconds ? timeS : location);
            continue;
        }
        case Expectation::Kind::BrakeReason: {
            const bool raised = (demand & e.reasonBit) != 0 && (brakeDemand_ & e.reasonBit) == 0;
            if (raised) NoteEvent(watches_[i], e, e.rangeInSeconds ? timeS : location);
            continue;
        }
        case Expectation::Kind::SpeedBelow: {
            Watch& w = watches_[i];
            if (!e.from || !Within(e, location)) continue;
            if (w.framesInWindow++ == 0 || pace > w.highest) w.highest = pace, w.otherAt = location;
            continue;
        }
        case Expectation::Kind::TascStop: {
            Watch& w = watches_[i];
            if (cameToStand && tascTarget && !w.firstAt) {
                w.firstAt = location;
                w.tascDistance = diagnostics->tascDistance;
            }
            continue;
        }
        default:
            break;
        }
        if (!holds) continue;
        Watch& w = watches_[i];
        if (!w.firstAt) w.firstAt = location;
        if (e.from && !w.firstInRange && Within(e, location)) w.firstInRange = location;
    }
    brakeDemand_ = demand;
}

void Checks::Messages(const std::vector<Message>& messages) {
    messages_.insert(messages_.end(), messages.begin(), messages.end());
}

std::vector<Verdict> Checks::Judge() const {
    std::vector<Verdict> verdicts;
    for (std::size_t i = 0; i < watches_.size(); ++i) {
        const Expectation& e = scenario_.expectations[i];
        const Watch& w = watches_[i];
        Verdict v;
        switch (e.kind) {
        case Expectation::Kind::BrakeReaches:
        case Expectation::Kind::PanelReaches: {
            const std::string what = e.kind == Expectation::Kind::BrakeReaches
                                         ? "the brake output reaches " + NotchName(e)
                                         : "panel " + std::to_string(e.panelIndex) + " shows " +
                                               std::to_string(e.panelValue);
            // With a range, the brake must first reach the notch in it; a lamp need only show
            // the value there, and one already lit where the range begins counts as lit.
            const bool panel = e.kind == Expectation::Kind::PanelReaches;
            if (panel && e.from) {
                v.passed = w.firstInRange.has_value();
                v.text = what + " between " + Span(e) +
                         (w.firstInRange ? ": first there at " + Metres(*w.firstInRange)
                          : w.firstAt    ? ": not there (first at " + Metres(*w.firstAt) + ")"
                                         : ": never");
                break;
            }
            v.passed = w.firstAt && (!e.from || Within(e, *w.firstAt));
            v.text = what + (e.from ? " first between " + Span(e) : "");
            if (!w.firstAt)
                v.text +=
                    e.kind == Expectation::Kind::BrakeReaches
                        ? ": never (highest " + BrakeOutput(maxBrake_, scenario_.vehicle.spec) + ")"
                        : ": never";
            else
                v.text += ": first at " + Metres(*w.firstAt);
            break;
        }
        case Expectation::Kind::BrakeNeverAbove:
            v.passed = !w.firstAt;
            v.text = "the brake output stays at or below " + NotchName(e) +
                     (w.firstAt ? ": went above at " + Metres(*w.firstAt) : "") + " (highest " +
                     BrakeOutput(maxBrake_, scenario_.vehicle.spec) + ")";
            break;
        case Expectation::Kind::StopsBefore:
            v.passed = firstStand_ && maxLocationBeforeFirstStand_ < e.value;
            v.text =
                "the train stops before " + Metres(e.value) +
                (!firstStand_ ? ": it never came to a stand"
                              : ": first stand at " + Metres(*firstStand_) +
                                    ", furthest before it " + Metres(maxLocationBeforeFirstStand_));
            break;
        case Expectation::Kind::StopsBetween: {
            v.passed = w.firstAt.has_value();
            v.text = "the train stops between " + Span(e) +
                     (v.passed       ? ": at " + Metres(*w.firstAt)
                      : !firstStand_ ? ": it never came to a stand"
                                     : ": stands were elsewhere, first at " + Metres(*firstStand_));
            break;
        }
        case Expectation::Kind::FinalStopBetween: {
            const bool standing = lastSpeed_ == 0.0;
            v.passed = standing && Within(e, lastLocation_);
            v.text = "the train ends the run at a stand between " + Span(e) +
                     (standing ? ": at " + Metres(lastLocation_)
                               : ": still moving at " + Metres(lastLocation_));
            break;
        }
        case Expectation::Kind::ReverserIs: {
            char text[160];
            std::snprintf(text, sizeof text, "the reverser output is %d from %.1f s to %.1f s",
                          static_cast<int>(e.reverser), *e.from, *e.to);
            v.passed = w.framesInWindow > 0 && !w.otherValue;
            v.text = text;
            if (w.framesInWindow == 0) {
                v.text += ": the run never reached that window";
            } else if (w.otherValue) {
                std::snprintf(text, sizeof text, ": %d at %.2f s", static_cast<int>(*w.otherValue),
                              w.otherAt);
                v.text += text;
            }
            break;
        }
        case Expectation::Kind::PanelHolds: {
            v.text = "panel " + std::to_string(e.panelIndex) + " is " +
                     std::to_string(e.panelValue) + RangeText(e);
            v.passed = w.framesInWindow > 0 && !w.otherValue;
            if (w.framesInWindow == 0)
                v.text += ": the train never " +
                          std::string(e.rangeInSeconds ? "ran in that window" : "was there");
            else if (w.otherValue)
                v.text += ": " + std::to_string(*w.otherValue) + " at " + Where(e, w.otherAt);
            break;
        }
        case Expectation::Kind::SoundCommand: {
            v.text =
                "sound " + std::to_string(e.soundIndex) + " " + SoundWords(e.sound) + RangeText(e);
            v.passed = w.firstAt.has_value();
            v.text += EventReport(w, e);
            break;
        }
        case Expectation::Kind::BrakeReason:
        case Expectation::Kind::TascStop: {
            v.text = e.kind == Expectation::Kind::BrakeReason
                         ? "the automatic brake reason " + e.reasonName + " is set" + RangeText(e)
                         : "the train first stands within " + MetresFine(e.value) +
                               " of the TASC stop point";
            if (!diagnosticsSeen_) {
                v.text += ": cannot be checked with this library (it tells no diagnostics)";
                v.checkable = false;
                break;
            }
            if (e.kind == Expectation::Kind::BrakeReason) {
                v.passed = w.firstAt.has_value();
                v.text += EventReport(w, e);
                break;
            }
            v.passed = w.tascDistance && std::fabs(*w.tascDistance) <= e.value;
            if (!w.tascDistance)
                v.text += ": it never stood with a stop point set";
            else
                v.text += ": " + MetresFine(std::fabs(*w.tascDistance)) +
                          (*w.tascDistance >= 0.0 ? " short of it" : " past it") + " at " +
                          Metres(*w.firstAt);
            break;
        }
        case Expectation::Kind::SpeedBelow: {
            char text[160];
            if (!e.from) {
                std::snprintf(text, sizeof text,
                              "the speed stays below %.1f km/h: highest %.2f km/h", e.value,
                              maxSpeed_);
                v.passed = maxSpeed_ < e.value;
            } else if (w.framesInWindow == 0) {
                std::snprintf(text, sizeof text,
                              "the speed stays below %.1f km/h between %s: the train never "
                              "ran there",
                              e.value, Span(e).c_str());
                v.passed = false;
            } else {
                std::snprintf(text, sizeof text,
                              "the speed stays below %.1f km/h between %s: highest %.2f km/h "
                              "at %.1f m",
                              e.value, Span(e).c_str(), w.highest, w.otherAt);
                v.passed = w.highest < e.value;
            }
            v.text = text;
            break;
        }
        case Expectation::Kind::NoIdleBeacons:
            v.text = "every beacon the plug-in takes has an effect";
            if (!diagnosticsSeen_) {
                // Only the diagnostics tell the mode a beacon meets: say so, never pass.
                v.text += ": cannot be checked with this library (it offers no diagnostics)";
                v.checkable = false;
                break;
            }
            v.passed = idleBeacons_.empty();
            if (!v.passed)
                v.text += ": " + std::to_string(idleBeacons_.size()) + " did nothing, first " +
                          idleBeacons_.front();
            break;
        case Expectation::Kind::Message:
        case Expectation::Kind::MessageContains:
        case Expectation::Kind::NoMessages: {
            const bool wanted = e.kind != Expectation::Kind::NoMessages;
            const bool exact = e.kind == Expectation::Kind::Message;
            v.text = !wanted ? "the plug-in shows no message"
                     : exact ? "a message captioned \"" + e.caption + "\" appears"
                             : "a message containing \"" + e.caption + "\" appears";
            if (!messagesSeen_) {
                // Message boxes of the Windows build cannot be read back: say so, never pass.
                v.text += ": cannot be checked on this build (messages are message boxes)";
                v.checkable = false;
                break;
            }
            const auto it = std::find_if(messages_.begin(), messages_.end(), [&](const Message& m) {
                return exact ? m.caption == e.caption
                             : (m.caption + ": " + m.text).find(e.caption) != std::string::npos;
            });
            v.passed = wanted ? it != messages_.end() : messages_.empty();
            if (wanted && !v.passed)
                v.text += messages_.empty()
                              ? ": none appeared"
                              : ": others appeared, first \"" + messages_.front().caption + "\"";
            if (!wanted && !v.passed)
                v.text += ": \"" + messages_.front().caption + ": " + messages_.front().text + "\"";
            break;
        }
        }
        verdicts.push_back(v);
    }
    return verdicts;
}

} // namespace velqa3::sim
