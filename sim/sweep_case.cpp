// A sweep's cases as scenario texts: the scenario parsed once, each case's values set in the
// parsed tree, and the tree written back out as TOML. Nothing of the user's text is pasted or
// replaced as text; the case's scenario is then read by the same reader as any scenario, so a
// value that makes it invalid is refused with the reader's own words.
//
// The TOML writer of toml++ is needed here alone; the rest of the program builds without it.
#undef TOML_ENABLE_FORMATTERS
#define TOML_ENABLE_FORMATTERS 1
#include "sim/sweep.h"

#include "sim/run_limits.h"
#include "sim/scenario.h"
#include "sim/toml.h"
#include "sim/toml_fields.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

struct SweepScenario::Tree {
    toml::table root;
};

namespace {

// One part of a key: a name, and for a list of tables or values, which entry (from 1, as the
// scenario's own messages count them).
struct Step {
    std::string name;
    std::size_t index = 0; // 0: not indexed
};

bool NameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

bool SplitKey(std::string_view key, std::vector<Step>& steps, std::string& why) {
    steps.clear();
    if (key.empty()) return why = "the key is empty", false;
    if (key.size() > kMaxSweepKeyBytes)
        return why = "the key is longer than " + std::to_string(kMaxSweepKeyBytes) + " bytes",
               false;
    std::size_t at = 0;
    while (at <= key.size()) {
        Step step;
        while (at < key.size() && NameCharacter(key[at]))
            step.name += key[at++];
        if (step.name.empty())
            return why = "a key is names joined by dots, such as driver[2].at_location", false;
        if (at < key.size() && key[at] == '[') {
            const std::size_t close = key.find(']', at);
            const std::string_view digits =
                close == std::string_view::npos ? "" : key.substr(at + 1, close - at - 1);
            std::size_t index = 0;
            const auto [end, fault] =
                std::from_chars(digits.data(), digits.data() + digits.size(), index);
            if (digits.empty() || digits.size() > 6 || fault != std::errc() ||
                end != digits.data() + digits.size())
                return why = "a list entry is written name[N], N a number from 1", false;
            if (index == 0)
                return why = "list entries count from 1, as the scenario's messages count them",
                       false;
            step.index = index;
            at = close + 1;
        }
        steps.push_back(std::move(step));
        if (at == key.size()) return true;
        if (key[at] != '.')
            return why = "a key is names joined by dots, such as driver[2].at_location", false;
        ++at;
    }
    return true;
}

// The value as TOML has it: an integer where the number is whole and the key held one or none
// (an aspect or a notch must stay an integer), a float otherwise.
void Place(toml::table& table, const std::string& name, double value, bool wasFloat) {
    if (!wasFloat && std::nearbyint(value) == value && std::fabs(value) < 9e15)
        table.insert_or_assign(name, static_cast<std::int64_t>(value));
    else
        table.insert_or_assign(name, value);
}

void Place(toml::array& array, std::size_t at, double value, bool wasFloat) {
    const auto where = array.cbegin() + static_cast<std::ptrdiff_t>(at);
    if (!wasFloat && std::nearbyint(value) == value && std::fabs(value) < 9e15)
        array.replace(where, static_cast<std::int64_t>(value));
    else
        array.replace(where, value);
}

// Sets the key's number in the tree; false, with why, when the key names no number of it.
bool SetNumber(toml::table& root, const std::string& key, double value, std::string& why) {
    std::vector<Step> steps;
    if (!SplitKey(key, steps, why)) return false;
    toml::table* table = &root;
    std::string path;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        const bool last = i + 1 == steps.size();
        path += (path.empty() ? "" : ".") + step.name;
        toml::node* node = table->get(step.name);
        if (node == nullptr) {
            if (step.index != 0) return why = "the scenario has no " + path, false;
            // A number the scenario leaves at its default, or a table it leaves out ([run]).
            if (last) return Place(*table, step.name, value, false), true;
            node = table->insert_or_assign(step.name, toml::table{}).first->second.as_table();
        }
        if (step.index != 0) {
            toml::array* array = node->as_array();
            if (array == nullptr) return why = path + " is not a list", false;
            if (step.index > array->size())
                return why = "the scenario has " + std::to_string(array->size()) + " " + step.name +
                             " entr" + (array->size() == 1 ? "y" : "ies") + ", not " +
                             std::to_string(step.index),
                       false;
            path += "[" + std::to_string(step.index) + "]";
            toml::node* entry = array->get(step.index - 1);
            if (last) {
                if (!entry->is_number()) return why = path + " is not a number", false;
                return Place(*array, step.index - 1, value, entry->is_floating_point()), true;
            }
            node = entry;
        } else if (last) {
            if (!node->is_number()) return why = path + " is not a number", false;
            return Place(*table, step.name, value, node->is_floating_point()), true;
        }
        table = node->as_table();
        if (table == nullptr) return why = path + " is not a table", false;
    }
    return true;
}

} // namespace

bool ParseVary(std::string_view text, SweepAxis& axis, std::string& why) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return why = "write it KEY=FROM:TO:STEP, such as run.start_location=0:100:10", false;
    std::string_view key = text.substr(0, equals), range = text.substr(equals + 1);
    while (!key.empty() && key.back() == ' ')
        key.remove_suffix(1);
    std::vector<Step> steps;
    if (!SplitKey(key, steps, why)) return false;
    double parts[3] = {0.0, 0.0, 1.0};
    int count = 0;
    for (std::size_t at = 0; count < 3;) {
        const std::size_t colon = range.find(':', at);
        std::string_view part =
            range.substr(at, colon == std::string_view::npos ? std::string_view::npos : colon - at);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        if (!part.empty() && part.front() == '+') part.remove_prefix(1);
        const auto [end, fault] =
            std::from_chars(part.data(), part.data() + part.size(), parts[count]);
        if (part.empty() || fault != std::errc() || end != part.data() + part.size() ||
            !std::isfinite(parts[count]))
            return why = "FROM:TO:STEP must be three numbers, such as 20:120:10", false;
        ++count;
        if (colon == std::string_view::npos) break;
        at = colon + 1;
        if (count == 3) return why = "FROM:TO:STEP has three numbers, not more", false;
    }
    if (count == 2) return why = "FROM:TO:STEP needs its step too, such as 20:120:10", false;
    if (count == 1) parts[1] = parts[0];
    const double from = parts[0], to = parts[1], step = parts[2];
    if (step <= 0.0) return why = "the step must be above 0", false;
    if (to < from) return why = "TO must not lie below FROM", false;
    const double span = (to - from) / step;
    if (span >= static_cast<double>(kMaxSweepCases))
        return why = "that is more than " + std::to_string(kMaxSweepCases) + " values", false;
    axis.key = std::string(key);
    axis.values.clear();
    // Counted, not summed, so that 0.1 steps land on 0.3 and not on 0.30000000000000004, and
    // the last value is TO itself when the steps reach it.
    const auto n = static_cast<std::size_t>(std::floor(span + 1e-9));
    for (std::size_t i = 0; i <= n; ++i) {
        double value = from + static_cast<double>(i) * step;
        const std::string rounded = ValueText(value);
        std::from_chars(rounded.data(), rounded.data() + rounded.size(), value);
        axis.values.push_back(std::min(value, to));
    }
    return true;
}

std::string ValueText(double value) {
    // Ten significant digits: a step's rounding noise goes, and no scenario number needs more.
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

bool SweepScenario::Load(const std::string& text, const fs::path& file, std::string& why) {
    tree_ = std::make_shared<Tree>();
    sweep_ = false;
    try {
        tree_->root = toml::parse(text, file.string());
    } catch (const toml::parse_error&) {
        why = "not valid TOML";
        return false;
    }
    sweep_ = tree_->root.contains("sweep");
    return true;
}

bool SweepScenario::SweepTable(std::vector<std::string>& vary, std::string& why) const {
    vary.clear();
    if (!tree_ || !sweep_) return true;
    const toml::table* sweep = tree_->root.get_as<toml::table>("sweep");
    if (sweep == nullptr) return why = "sweep: must be a [sweep] table", false;
    for (const auto& [name, node] : *sweep) {
        if (name.str() != "vary")
            return why = "line " + std::to_string(LineOf(node)) + ": sweep." +
                         Clipped(name.str(), 40) + ": unknown key; a [sweep] table holds vary",
                   false;
    }
    const toml::array* list = sweep->get_as<toml::array>("vary");
    if (list == nullptr || list->empty() || list->size() > kMaxSweepKeys)
        return why = "line " + std::to_string(LineOf(*sweep)) + ": sweep.vary: must list one or " +
                     std::to_string(kMaxSweepKeys) + " texts \"KEY=FROM:TO:STEP\"",
               false;
    for (const toml::node& entry : *list) {
        const auto* value = entry.as_string();
        if (value == nullptr || value->get().size() > kMaxSweepKeyBytes + 100)
            return why = "line " + std::to_string(LineOf(entry)) +
                         ": sweep.vary: each entry is a text \"KEY=FROM:TO:STEP\"",
                   false;
        vary.push_back(value->get());
    }
    return true;
}

bool SweepScenario::CaseText(const std::vector<std::pair<std::string, double>>& values,
                             const std::optional<std::string>& settingsName, std::string& text,
                             std::string& why) const {
    if (!tree_) return why = "no scenario", false;
    toml::table root = tree_->root;
    root.erase("sweep");
    std::string caseName;
    for (const auto& [key, value] : values) {
        if (!SetNumber(root, key, value, why)) return false;
        caseName += (caseName.empty() ? "" : ", ") + key + "=" + ValueText(value);
    }
    // The case's own summary says which case it is.
    const std::optional<std::string> name = root["name"].value<std::string>();
    const std::string named = name ? *name + " " + caseName : caseName;
    if (TextProblem(named).empty() || !name) root.insert_or_assign("name", named);
    if (settingsName) {
        if (toml::table* run = root.get_as<toml::table>("run"); run && run->contains("settings"))
            run->insert_or_assign("settings", *settingsName);
    }
    std::ostringstream out;
    out << toml::toml_formatter(root, toml::format_flags::none);
    text = out.str();
    return true;
}

bool ScenarioHasSweep(const fs::path& file) {
    // The reader refuses the table as a key it does not know, and only once everything else
    // of the scenario has passed, the shape of its text first.
    Scenario scenario;
    ScenarioError error;
    return !ReadScenario(file, scenario, error) && error.key == "sweep";
}

} // namespace velqa3::sim
