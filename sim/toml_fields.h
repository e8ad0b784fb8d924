// Typed access to one TOML table of a scenario that remembers which keys were read, so that a
// misspelt key is refused instead of silently ignored, and that names the file, line and key of
// every fault.
#pragma once

#include "sim/toml.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace velqa3::sim {

// The longest text a scenario may give (a name, a signal id, a note, a message to expect).
inline constexpr std::size_t kMaxTextBytes = 256;

// Why a text cannot be used (control characters, too long), or empty when it can. The text is
// never quoted back: it may be long, and whatever it holds is what must not reach a terminal.
std::string TextProblem(std::string_view text);
// Text cut short at limit bytes, for a message. It is shown as it is: whatever prints a message
// makes it safe for the terminal (text::Shown), once.
std::string Clipped(std::string_view text, std::size_t limit = 64);

// Thrown inside the reader only; ReadScenario turns it into a ScenarioError.
struct FieldFault {
    int line;
    std::string key;
    std::string message;
};

class Fields {
  public:
    // path: how the table is named in messages ("run", "beacon[3]").
    Fields(const toml::table& table, std::string path);

    const toml::table& table() const { return table_; }
    const std::string& path() const { return path_; }
    int line() const;
    // The key's full name in messages, and the line of its value (or of the table).
    std::string Name(std::string_view key) const;
    int LineOf(std::string_view key) const;
    bool Has(std::string_view key) const;

    std::optional<double> Number(std::string_view key);
    double Number(std::string_view key, double fallback);
    std::optional<std::int64_t> Integer(std::string_view key, std::int64_t min, std::int64_t max);
    std::optional<bool> Boolean(std::string_view key);
    std::optional<std::string> Text(std::string_view key);
    // A clock time "HH:MM:SS[.mmm]", as a string or a TOML time; ms of the day.
    std::optional<std::int64_t> ClockMs(std::string_view key);
    const toml::node* Node(std::string_view key);
    const toml::array* Array(std::string_view key);
    const toml::table* Table(std::string_view key);

    // Keys this table may hold though the reader did not ask for them this time; only used to
    // suggest a spelling for an unknown key.
    void Know(std::string_view key) { known_.emplace(key); }
    // Refuses keys that were never asked for, naming the nearest known key.
    void RejectUnknownKeys() const;

    [[noreturn]] void Fail(std::string_view key, const std::string& message) const;

  private:
    const toml::table& table_;
    std::string path_;
    std::set<std::string, std::less<>> used_;
    mutable std::set<std::string, std::less<>> known_;
};

// The known key closest in spelling to an unknown one, or empty when none is close.
std::string NearestKey(std::string_view unknown, const std::set<std::string, std::less<>>& keys);

int LineOf(const toml::node& node);
// A finite number from an integer or float node; fails naming key at the node's line.
double NumberOf(const toml::node& node, const std::string& key);
std::int64_t IntegerOf(const toml::node& node, const std::string& key, std::int64_t min,
                       std::int64_t max);

} // namespace velqa3::sim
