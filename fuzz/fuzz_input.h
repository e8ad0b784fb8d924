// The fuzzing engine's bytes, taken as a sequence of values of any width; past the end every
// value reads as zero, so a target never needs to count bytes itself.
#pragma once

#include <cstddef>
#include <cstdint>
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

} // namespace velqa3::fuzz
