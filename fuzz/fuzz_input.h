// The fuzzing engine's bytes, taken as a sequence of values of any width; past the end every
// value reads as zero, so a target never needs to count bytes itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace velqa3::fuzz {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return size_ == 0; }
    template <typename T> T Take() {
        T value{};
        const std::size_t n = size_ < sizeof value ? size_ : sizeof value;
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Names the broken expectation before stopping, so a saved crash explains itself.
[[noreturn]] inline void Fail(const char* what, int line) {
    std::fprintf(stderr, "expected %s (line %d)\n", what, line);
    __builtin_trap();
}

} // namespace velqa3::fuzz

#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) ::velqa3::fuzz::Fail(#condition, __LINE__);                            \
    } while (false)
