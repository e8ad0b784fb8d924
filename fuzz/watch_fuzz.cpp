// Reads any bytes as one datagram the way velqa3-watch does, then checks both of its outputs:
// the --json line must be one valid JSON document, and neither the line nor the table may hold
// a byte or character a terminal would obey (a C0 control but the line feed, DEL, a C1 control)
// or text that is not UTF-8.
#include "fuzz/fuzz_input.h"
#include "tests/support/terminal_safe.h"
#include "watch/json_line.h"
#include "watch/view.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > velqa3::watch::kMaxDatagram) return 0; // no datagram is longer
    const char* bytes = reinterpret_cast<const char*>(data);

    std::string line;
    const bool asSent =
        velqa3::watch::AppendJsonLine(line, velqa3::watch::DatagramText(bytes, size));
    REQUIRE(!line.empty() && line.find('\n') == line.size() - 1);
    REQUIRE(velqa3::test::SafeOnATerminal(line));
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
        REQUIRE(velqa3::test::SafeOnATerminal(shown));
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
