// velqa3-check over any bytes: the whole diagnosis and the report an author would see, which
// must be safe to print on a terminal whatever the file holds. The name is hostile as well, and
// the first line of the bytes is also asked about as a key to explain.
#include "check/settings_check.h"
#include "fuzz/fuzz_input.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// No byte a terminal could take for a command: C0 controls but the line feed, DEL, and C1
// controls as raw bytes or as UTF-8. Every byte above 0x7F belongs to well-formed UTF-8, since
// a lone one is a C1 control to a terminal that reads 8-bit text.
bool SafeOnATerminal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead == '\n' || (lead >= 0x20 && lead < 0x7F)) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xC2 && lead <= 0xDF ? 2
                                                                  : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t cp = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp <= 0x9F) return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string report;
    const int status =
        velqa3::check::CheckSettingsText(file, "\x1b]2;t\x07\x9b\xc2\x9b.dat", report);
    REQUIRE(status == velqa3::check::kClean || status == velqa3::check::kWarnings ||
            status == velqa3::check::kUnreadable);
    REQUIRE(report.find(" read, ") != std::string::npos);
    REQUIRE(SafeOnATerminal(report));

    std::string explained;
    velqa3::check::ExplainKey(file.substr(0, file.find('\n')), explained);
    REQUIRE(SafeOnATerminal(explained));
    return 0;
}
