// Platform operations that the C runtime already provides in the same form everywhere.
#include "platform/platform.h"

#include <cstdio>
#include <ctime>

namespace velqa3::platform {

namespace {
// The Microsoft runtime's linear congruential generator, so that the line-voltage wander of a
// seeded run is the same on Windows and in the Linux stand-in.
std::uint32_t randomState = 1;
bool calendarPinned = false;
std::int64_t pinnedCalendar = 0;
} // namespace

void SeedRandom(std::uint32_t seed) {
    randomState = seed;
}

int Random() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

std::int64_t CalendarTime() {
    if (calendarPinned) return pinnedCalendar;
    return static_cast<std::int64_t>(std::time(nullptr));
}

void PinCalendarTime(std::int64_t seconds) {
    pinnedCalendar = seconds;
    calendarPinned = true;
}

bool AppendToFile(const char* path, const char* data, std::size_t length) {
    std::FILE* file = std::fopen(path, "ab");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, length, file) == length;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

} // namespace velqa3::platform
