// Reads any bytes as one datagram the way velqa3-watch does, then checks both of its outputs:
// the --json line must be one valid JSON document, and neither the line nor the table may hold
// a byte or character a terminal would obey (a C0 control but the line feed, DEL, a C1 control)
// or text that is not UTF-8.
#include "fuzz/fuzz_input.h"
#include "watch/json_line.h"
#include "watch/view.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Well-formed UTF-8 whose characters are all printable, but the line feed.
bool SafeOnTerminal(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\n') || c == 0x7F) return false;
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (c < 0xC2 || c > 0xF4 || i + length > text.size()) return false;
        std::uint32_t cp = c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp <= 0x9F) return false; // C1
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > velqa3::watch::kMaxDatagram) return 0; // no datagram is longer
    const char* bytes = reinterpret_cast<const char*>(data);

    std::string line;
    const bool asSent =
        velqa3::watch::AppendJsonLine(line, velqa3::watch::DatagramText(bytes, size));
    REQUIRE(!line.empty() && line.find('\n') == line.size() - 1);
    REQUIRE(SafeOnTerminal(line));
    REQUIRE(nlohmann::json::accept(std::string_view(line).substr(0, line.size() - 1)));
    if (!asSent) {
        const auto repaired = nlohmann::json::parse(line);
        REQUIRE(repaired.is_object() && repaired.value("Repaired", false));
    }

    // The table after this datagram alone, and after it follows a status and a stop message,
    // so its values meet the drawing of both.
    velqa3::watch::View view;
    static char table[8192];
    for (int round = 0; round < 2; ++round) {
        velqa3::watch::TakeDatagram(view, bytes, size, 1.0);
        velqa3::watch::DrawTable(view, 2.0, table, sizeof table);
        const std::string_view shown(table);
        REQUIRE(SafeOnTerminal(shown));
        std::size_t start = 0;
        for (std::size_t end = shown.find('\n'); end != std::string_view::npos;
             start = end + 1, end = shown.find('\n', start))
            REQUIRE(end - start <= 220); // no value pushes the table apart
        static const char kStatus[] = "{\"Ats\":{\"ApproachNo\":0, \"Spd\":1.0}}";
        static const char kStop[] = "{\"Time\":1, \"Location\":2}";
        velqa3::watch::TakeDatagram(view, kStatus, sizeof kStatus, 1.0);
        velqa3::watch::TakeDatagram(view, kStop, sizeof kStop, 1.0);
    }
    return 0;
}
