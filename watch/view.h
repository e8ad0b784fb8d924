// What velqa3-watch shows: the latest status and stop messages as one table.
#pragma once

#include "watch/json_fields.h"

#include <cstddef>
#include <cstdint>

namespace velqa3::watch {

// Other: valid JSON of neither kind; Invalid: not JSON at all.
enum class Kind { Status, Stop, Other, Invalid };

inline constexpr std::size_t kIgnoredKept = 48;

// The two messages are told apart by their first member.
Kind KindOf(const JsonFields& fields);

struct View {
    std::uint16_t port = 0;
    JsonFields status;
    JsonFields stop;
    bool haveStatus = false;
    bool haveStop = false;
    double statusAt = 0.0; // s since the watch started, when the latest one came
    double stopAt = 0.0;
    long statusCount = 0;
    long stopCount = 0;
    long otherCount = 0; // valid JSON of neither kind
    long badCount = 0;   // not JSON at all
    // The start of the latest datagram that was not shown, to tell what else sends here.
    char ignored[kIgnoredKept] = {};
    std::size_t ignoredLength = 0;
};

// Takes one datagram and tells its kind; only the two messages are shown, the rest counted.
Kind TakeDatagram(View& view, const char* data, std::size_t length, double now);

// The table as text into out (cut to size, always terminated); now in s since the start.
// A value the messages cannot carry shows as "out of range", a placeholder distance as "none",
// and a text from a datagram only as text::Shown makes it.
void DrawTable(const View& view, double now, char* out, std::size_t size);

} // namespace velqa3::watch
