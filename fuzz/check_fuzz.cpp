// velqa3-check over any bytes: the whole diagnosis and the report an author would see, which
// must be safe to print on a terminal whatever the file holds. The name is hostile as well, and
// the first line of the bytes is also asked about as a key to explain.
#include "check/settings_check.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/terminal_safe.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string report;
    const int status =
        velqa3::check::CheckSettingsText(file, "\x1b]2;t\x07\x9b\xc2\x9b.dat", report);
    REQUIRE(status == velqa3::check::kClean || status == velqa3::check::kWarnings ||
            status == velqa3::check::kUnreadable);
    REQUIRE(report.find(" read, ") != std::string::npos);
    REQUIRE(velqa3::test::SafeOnATerminal(report));

    std::string explained;
    velqa3::check::ExplainKey(file.substr(0, file.find('\n')), explained);
    REQUIRE(velqa3::test::SafeOnATerminal(explained));
    return 0;
}
