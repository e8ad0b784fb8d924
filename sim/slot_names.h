// Lamps and sounds by the names the guide gives their slots ("panel 5 ATS-PT brake lamp"),
// wherever a run shows one: the event log, the picture, the report. A settings file may move a
// slot to another index ([PANELOUTPUT], [SOUNDOUTPUT]); the index then carries the slot's name
// and its number ("panel 61 ATS-PT brake lamp (slot 5)").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velqa3::sim {

class SlotNames {
  public:
    // Every slot at its own index, as a plug-in with no moves writes them.
    SlotNames();
    // Names each index after the slots that land there; the tables give each slot's index.
    void Remap(const std::uint8_t (&panel)[256], const std::uint8_t (&sound)[256]);
    // "panel 99" for an index no slot lands on; "panel ?" for a number outside 0..255.
    std::string_view Panel(int index) const;
    std::string_view Sound(int index) const;

  private:
    std::array<std::string, 256> panel_, sound_;
};

} // namespace velqa3::sim
