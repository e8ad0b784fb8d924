#include "sim/slot_names.h"

#include "host/slots.h"

namespace velqa3::sim {

namespace {

std::string Named(const char* kind, int index, const SlotRow* row) {
    std::string name = kind + std::to_string(index);
    if (row != nullptr) name += std::string(" ") + row->name.en;
    return name;
}

} // namespace

std::string PanelName(int index) {
    return Named("panel ", index, PanelSlotRow(index));
}

std::string SoundName(int index) {
    return Named("sound ", index, SoundSlotRow(index));
}

} // namespace velqa3::sim
