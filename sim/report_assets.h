// The charting library (uPlot) that report.html carries inline, embedded at build time from the
// pinned npm package by sim/report/embed.cmake: a report opens with no network and no file
// beside it.
#pragma once

#include <string_view>

namespace velqa3::sim {

extern const std::string_view k_uplot_js;
extern const std::string_view k_uplot_css;
extern const std::string_view k_uplot_license;
// The page's own script and style (sim/report/page.js, page.css).
extern const std::string_view k_page_js;
extern const std::string_view k_page_css;

} // namespace velqa3::sim
