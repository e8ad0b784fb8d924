// Reads any bytes as the trace a report is made from, with a scenario name from the same bytes,
// and checks the page: its data is JSON a browser parses, and nothing from the trace or the
// name ends the script element that holds it.
#include "fuzz/fuzz_input.h"
#include "sim/plot.h"
#include "sim/recorder.h"
#include "sim/report.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace velqa3::sim;

fs::path Folder() {
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() /
                        ("velqa3-report-fuzz-" + std::to_string(static_cast<long>(getpid())));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = bytes.find('\n');
    Scenario scenario;
    scenario.name = bytes.substr(0, std::min<std::size_t>(cut, 64));
    scenario.trace.panel = {5, 206};
    scenario.trace.sound = {2};
    scenario.trace.patternSpeedPanel = 206;
    const Recorder recorder(scenario);
    RunOutcome run;
    run.diagnostics = size % 2 == 0;
    run.patternSpeedSet = true;
    std::ofstream(Folder() / kPlotTrace, std::ios::binary) << bytes;
    std::string why;
    REQUIRE(WriteReport(scenario, recorder, run, Folder(), why));
    std::ifstream in(Folder() / kReportPage, std::ios::binary);
    std::ostringstream page;
    page << in.rdbuf();
    const std::string text = page.str();
    const std::string open = "<script type=\"application/json\" id=\"run-data\">";
    const std::size_t from = text.find(open);
    REQUIRE(from != std::string::npos);
    const std::size_t start = from + open.size(), end = text.find("</script>", start);
    REQUIRE(end != std::string::npos);
    const nlohmann::json parsed =
        nlohmann::json::parse(text.substr(start, end - start), nullptr, false);
    REQUIRE(!parsed.is_discarded());
    REQUIRE(parsed["title"].is_string());
    REQUIRE(parsed["shown"].get<std::size_t>() <= 2 * kReportRows + 1);
    return 0;
}
