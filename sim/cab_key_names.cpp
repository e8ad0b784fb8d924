#include "sim/cab_key_names.h"

#include "host/chars.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace velqa3::sim {

namespace {

// The functions the plug-in's key poll reads; [KEY] accepts more names, but nothing reads them.
constexpr std::string_view kFunctions[] = {"Klaxon1",
                                           "Klaxon2",
                                           "UtenSW",
                                           "KirokuIC",
                                           "TascSW",
                                           "CurtainUp",
                                           "CurtainDown",
                                           "MasterControllerKey",
                                           "RightDoor",
                                           "LeftDoor",
                                           "AllCar",
                                           "AtsNFB",
                                           "AtsKirikaeRendou",
                                           "AtsKirikaeSW",
                                           "PKaihou",
                                           "PBrakeKaihou",
                                           "EBNFB"};

constexpr std::string_view kHeaders[] = {"[TRAIN]",       "[EXTRA]",       "[TASC]",  "[MEITETSU]",
                                         "[JRC313]",      "[DC25]",        "[PANEL]", "[SENDDATA]",
                                         "[PANELOUTPUT]", "[SOUNDOUTPUT]", "[KEY]"};

// A section runs from its header to the first empty line, and a header counts only outside
// a section, as the plug-in reads its file.
std::optional<long> LastBinding(const std::string& text, std::string_view function) {
    std::istringstream in(text);
    std::string line;
    std::string_view section;
    std::optional<long> code;
    const std::string prefix = std::string(function) + "=";
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (section.empty()) {
            for (std::string_view header : kHeaders)
                if (StartsWith(line, header)) section = header;
            continue;
        }
        if (line.empty()) {
            section = {};
            continue;
        }
        if (section != "[KEY]" || !StartsWith(line, prefix)) continue;
        errno = 0;
        const long value = std::strtol(line.c_str() + prefix.size(), nullptr, 0);
        code = errno == ERANGE ? -1 : value;
    }
    return code;
}

} // namespace

bool IsCabFunction(std::string_view name) {
    for (std::string_view f : kFunctions)
        if (f == name) return true;
    return false;
}

std::string CabFunctionList() {
    std::string list;
    for (std::string_view f : kFunctions)
        list += (list.empty() ? "" : ", ") + std::string(f);
    return list;
}

std::optional<int> BoundKeyCode(const std::string& settingsText, std::string_view function,
                                std::string& why) {
    const std::optional<long> code = LastBinding(settingsText, function);
    if (!code || *code == 0) {
        why = "no key is bound to " + std::string(function) + " in [KEY] of the settings file";
        return std::nullopt;
    }
    if (*code < 0 || *code > 255) {
        why = std::string(function) + " is bound to " + std::to_string(*code) +
              ", which is no virtual-key code (0..255); the plug-in unbinds it";
        return std::nullopt;
    }
    return static_cast<int>(*code);
}

} // namespace velqa3::sim
