#include "sim/toml_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace velqa3::sim {

namespace {

const char* TypeName(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::table:
        return "a table";
    case toml::node_type::array:
        return "an array";
    case toml::node_type::string:
        return "a string";
    case toml::node_type::integer:
        return "an integer";
    case toml::node_type::floating_point:
        return "a number";
    case toml::node_type::boolean:
        return "true or false";
    case toml::node_type::date:
        return "a date";
    case toml::node_type::time:
        return "a time";
    case toml::node_type::date_time:
        return "a date and time";
    default:
        return "nothing";
    }
}

[[noreturn]] void FailAt(const toml::node& node, const std::string& key,
                         const std::string& message) {
    throw FieldFault{LineOf(node), key, message};
}

std::string Shown(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A control character at text[at], or 0: C0, DEL, C1 (two bytes in UTF-8), and the Unicode
// line separators and text-direction overrides, which can make a line read as something else.
int ControlAt(std::string_view text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const unsigned first = byte(at);
    length = 1;
    if (first < 0x20 || first == 0x7F) return static_cast<int>(first);
    if (first == 0xC2 && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F) {
        length = 2;
        return static_cast<int>(byte(at + 1));
    }
    if (first == 0xE2 && (byte(at + 1) == 0x80 || byte(at + 1) == 0x81)) {
        const unsigned code = 0x2000 + ((byte(at + 1) & 0x3F) << 6) + (byte(at + 2) & 0x3F);
        if (code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
            (code >= 0x2066 && code <= 0x2069)) {
            length = 3;
            return static_cast<int>(code);
        }
    }
    return 0;
}

} // namespace

std::string TextProblem(std::string_view text) {
    if (text.size() > kMaxTextBytes)
        return "is " + std::to_string(text.size()) + " bytes long; texts may hold at most " +
               std::to_string(kMaxTextBytes);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t length = 1;
        if (const int code = ControlAt(text, i, length)) {
            char where[128];
            std::snprintf(where, sizeof where,
                          "holds the control character U+%04X at byte %zu; texts must be "
                          "printable, on one line",
                          static_cast<unsigned>(code), i + 1);
            return where;
        }
    }
    return "";
}

std::string Clipped(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    // Not inside a character: back to the start of the one the limit falls in.
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)) + "...";
}

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

double NumberOf(const toml::node& node, const std::string& key) {
    if (!node.is_number())
        FailAt(node, key, std::string("must be a number, not ") + TypeName(node));
    const double value = *node.value<double>();
    if (!std::isfinite(value)) FailAt(node, key, "must be a finite number, not " + Shown(value));
    return value;
}

std::int64_t IntegerOf(const toml::node& node, const std::string& key, std::int64_t min,
                       std::int64_t max) {
    if (!node.is_integer())
        FailAt(node, key, std::string("must be an integer, not ") + TypeName(node));
    const std::int64_t value = *node.value<std::int64_t>();
    if (value < min || value > max)
        FailAt(node, key,
               "must lie between " + std::to_string(min) + " and " + std::to_string(max) +
                   ", not " + std::to_string(value));
    return value;
}

Fields::Fields(const toml::table& table, std::string path)
    : table_(table), path_(std::move(path)) {}

int Fields::line() const {
    return sim::LineOf(table_);
}

std::string Fields::Name(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

int Fields::LineOf(std::string_view key) const {
    const toml::node* node = table_.get(key);
    return node != nullptr ? sim::LineOf(*node) : line();
}

bool Fields::Has(std::string_view key) const {
    known_.emplace(key);
    return table_.contains(key);
}

void Fields::Fail(std::string_view key, const std::string& message) const {
    throw FieldFault{LineOf(key), Name(key), message};
}

const toml::node* Fields::Node(std::string_view key) {
    used_.emplace(key);
    return table_.get(key);
}

std::optional<double> Fields::Number(std::string_view key) {
    const toml::node* node = Node(key);
    if (node == nullptr) return std::nullopt;
    return NumberOf(*node, Name(key));
}

double Fields::Number(std::string_view key, double fallback) {
    return Number(key).value_or(fallback);
}

std::optional<std::int64_t> Fields::Integer(std::string_view key, std::int64_t min,
                                            std::int64_t max) {
    const toml::node* node = Node(key);
    if (node == nullptr) return std::nullopt;
    return IntegerOf(*node, Name(key), min, max);
}

std::optional<bool> Fields::Boolean(std::string_view key) {
    const toml::node* node = Node(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_boolean())
        FailAt(*node, Name(key), std::string("must be true or false, not ") + TypeName(*node));
    return *node->value<bool>();
}

std::optional<std::string> Fields::Text(std::string_view key) {
    const toml::node* node = Node(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_string())
        FailAt(*node, Name(key), std::string("must be a string, not ") + TypeName(*node));
    std::string text = *node->value<std::string>();
    if (const std::string problem = TextProblem(text); !problem.empty())
        FailAt(*node, Name(key), problem);
    return text;
}

std::optional<std::int64_t> Fields::ClockMs(std::string_view key) {
    const toml::node* node = Node(key);
    if (node == nullptr) return std::nullopt;
    if (const auto* time = node->as_time()) {
        const toml::time& t = time->get();
        return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000LL + t.nanosecond / 1000000;
    }
    if (!node->is_string())
        FailAt(*node, Name(key),
               std::string("must be a time \"HH:MM:SS\", not ") + TypeName(*node));
    const std::string text = *node->value<std::string>();
    if (const std::string problem = TextProblem(text); !problem.empty())
        FailAt(*node, Name(key), problem);
    unsigned hours = 0, minutes = 0, seconds = 0, millis = 0;
    char tail = 0;
    const int parts =
        std::sscanf(text.c_str(), "%2u:%2u:%2u.%3u%c", &hours, &minutes, &seconds, &millis, &tail);
    const bool shaped = parts == 3 || parts == 4;
    if (!shaped || hours > 23 || minutes > 59 || seconds > 59)
        FailAt(*node, Name(key), "must be a time of day \"HH:MM:SS[.mmm]\", not \"" + text + "\"");
    return ((hours * 60LL + minutes) * 60 + seconds) * 1000 + millis;
}

const toml::array* Fields::Array(std::string_view key) {
    const toml::node* node = Node(key);
    if (node == nullptr) return nullptr;
    if (!node->is_array())
        FailAt(*node, Name(key), std::string("must be an array, not ") + TypeName(*node));
    return node->as_array();
}

const toml::table* Fields::Table(std::string_view key) {
    const toml::node* node = Node(key);
    if (node == nullptr) return nullptr;
    if (!node->is_table())
        FailAt(*node, Name(key), std::string("must be a table, not ") + TypeName(*node));
    return node->as_table();
}

std::string NearestKey(std::string_view unknown, const std::set<std::string, std::less<>>& keys) {
    // Optimal string alignment distance: a swapped pair of letters counts as one slip.
    const auto distance = [](std::string_view a, std::string_view b) {
        std::vector<std::vector<std::size_t>> d(a.size() + 1,
                                                std::vector<std::size_t>(b.size() + 1));
        for (std::size_t i = 0; i <= a.size(); ++i)
            d[i][0] = i;
        for (std::size_t j = 0; j <= b.size(); ++j)
            d[0][j] = j;
        for (std::size_t i = 1; i <= a.size(); ++i)
            for (std::size_t j = 1; j <= b.size(); ++j) {
                const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        return d[a.size()][b.size()];
    };
    // Keys are short; a long unknown key is no misspelling of any of them.
    if (unknown.size() > 64) return "";
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, unknown.size() / 3) + 1;
    for (const std::string& key : keys) {
        const std::size_t d = distance(unknown, key);
        if (d < bestDistance) bestDistance = d, best = key;
    }
    return best;
}

void Fields::RejectUnknownKeys() const {
    for (auto&& [key, node] : table_) {
        if (used_.find(key.str()) != used_.end()) continue;
        std::set<std::string, std::less<>> keys = used_;
        keys.insert(known_.begin(), known_.end());
        const std::string nearest = NearestKey(key.str(), keys);
        throw FieldFault{static_cast<int>(key.source().begin.line) != 0
                             ? static_cast<int>(key.source().begin.line)
                             : sim::LineOf(node),
                         Name(Clipped(key.str())),
                         nearest.empty() ? "unknown key"
                                         : "unknown key; did you mean " + nearest + "?"};
    }
}

} // namespace velqa3::sim
