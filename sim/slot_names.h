// Lamps and sounds by the names the guide gives their slots: "panel 5 ATS-PT brake lamp",
// wherever a run shows one (the event log, the picture, the report).
#pragma once

#include <string>

namespace velqa3::sim {

// "panel 5 ATS-PT brake lamp"; "panel 99" for an index the plug-in never writes.
std::string PanelName(int index);
// "sound 2 ATS-PT bell"; "sound 99" for an index the plug-in never plays.
std::string SoundName(int index);

} // namespace velqa3::sim
