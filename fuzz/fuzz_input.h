// The fuzzing engine's bytes, taken as a sequence of values of any width; past the end every
// value reads as zero, so a target never needs to count bytes itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <unistd.h>

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

// Names the broken expectation before stopping, so a saved crash explains itself. Written to
// the descriptor itself: standard error of stdio may be a memory stream at that moment.
[[noreturn]] inline void Fail(const char* what, int line) {
    char text[512];
    const int length = std::snprintf(text, sizeof text, "expected %s (line %d)\n", what, line);
    if (length > 0) {
        const auto written = ::write(2, text,
                                     static_cast<std::size_t>(length) < sizeof text
                                         ? static_cast<std::size_t>(length)
                                         : sizeof text - 1);
        (void)written;
    }
    __builtin_trap();
}

// The plug-in shows its messages natively as one line on standard error each: hundreds of
// thousands of lines in a run of the fuzzer. Standard error of stdio points at a memory stream
// while an input runs instead, so the message path still runs whole and its lines can be looked
// at; the sanitizers write to the descriptor itself, and a failed expectation is only raised
// after the stream is given back.
class CapturedMessages {
  public:
    CapturedMessages() : saved_(stderr), stream_(open_memstream(&text_, &size_)) {
        if (stream_ != nullptr) stderr = stream_;
    }
    ~CapturedMessages() {
        Release();
        std::free(text_);
    }
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;

    std::string_view Release() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
            stream_ = nullptr;
            stderr = saved_;
        }
        return text_ != nullptr ? std::string_view(text_, size_) : std::string_view();
    }

  private:
    std::FILE* saved_;
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

} // namespace velqa3::fuzz

#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) ::velqa3::fuzz::Fail(#condition, __LINE__);                              \
    } while (false)
