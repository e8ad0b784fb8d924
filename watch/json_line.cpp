#include "watch/json_line.h"

#include "text/shown.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace velqa3::watch {

namespace {

bool IsUtf8(std::string_view text) {
    std::uint32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = text::DecodeUtf8(text.substr(i), cp);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

// What a terminal could take as a command, or that makes a line read otherwise than it is
// stored: valid inside a JSON string, so it is written as an escape there.
bool IsHiddenInString(std::uint32_t cp) {
    return cp == 0x7F || text::IsHiddenControl(cp);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::uint32_t HexValue(std::string_view four) {
    std::uint32_t value = 0;
    for (const char c : four)
        value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    return value;
}

// Copies a JSON text token by token into out, checking it on the way. The text is known to be
// well-formed UTF-8. Nesting is followed with a stack of its own rather than recursion, so no
// depth a datagram can hold exhausts the program's stack.
class Copier {
  public:
    Copier(std::string_view text, std::string& out) : in_(text), out_(out) {}

    bool Run() {
        std::string open; // '{' or '[' for each container not yet closed
        enum class Next { Value, ValueOrClose, Key, KeyOrClose, Colon, CommaOrClose, End };
        Next next = Next::Value;
        auto afterValue = [&] { return open.empty() ? Next::End : Next::CommaOrClose; };
        for (;;) {
            SkipBlanks();
            if (at_ == in_.size()) return next == Next::End;
            const char c = in_[at_];
            switch (next) {
            case Next::ValueOrClose:
            case Next::KeyOrClose:
                if (c == (next == Next::KeyOrClose ? '}' : ']')) {
                    Put(c);
                    open.pop_back();
                    next = afterValue();
                    continue;
                }
                if (next == Next::KeyOrClose) {
                    if (!CopyString()) return false;
                    next = Next::Colon;
                    continue;
                }
                [[fallthrough]];
            case Next::Value:
                if (c == '{' || c == '[') {
                    Put(c);
                    open += c;
                    next = c == '{' ? Next::KeyOrClose : Next::ValueOrClose;
                    continue;
                }
                if (!CopyScalar()) return false;
                next = afterValue();
                continue;
            case Next::Key:
                if (!CopyString()) return false;
                next = Next::Colon;
                continue;
            case Next::Colon:
                if (c != ':') return false;
                Put(c);
                next = Next::Value;
                continue;
            case Next::CommaOrClose:
                if (c == ',') {
                    Put(c);
                    next = open.back() == '{' ? Next::Key : Next::Value;
                    continue;
                }
                if (c != (open.back() == '{' ? '}' : ']')) return false;
                Put(c);
                open.pop_back();
                next = afterValue();
                continue;
            case Next::End:
                return false;
            }
        }
    }

  private:
    void Put(char c) {
        out_ += c;
        ++at_;
    }

    // The line must stay one line: a line break or tab between tokens becomes a blank.
    void SkipBlanks() {
        while (at_ < in_.size()) {
            const char c = in_[at_];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
            out_ += ' ';
            ++at_;
        }
    }

    bool CopyScalar() {
        const char c = in_[at_];
        if (c == '"') return CopyString();
        for (const char* word : {"true", "false", "null"}) {
            const std::size_t length = std::strlen(word);
            if (in_.compare(at_, length, word) == 0) {
                out_.append(in_.substr(at_, length));
                at_ += length;
                return true;
            }
        }
        return CopyNumber();
    }

    // A number in JSON's grammar exactly: no '+', no leading zeros, no "nan", no hex.
    bool CopyNumber() {
        const std::size_t start = at_;
        auto digits = [&] {
            const std::size_t first = at_;
            while (at_ < in_.size() && in_[at_] >= '0' && in_[at_] <= '9')
                ++at_;
            return at_ > first;
        };
        auto take = [&](char c) {
            if (at_ >= in_.size() || in_[at_] != c) return false;
            ++at_;
            return true;
        };
        take('-');
        if (!take('0') && !digits()) return false;
        if (take('.') && !digits()) return false;
        if (take('e') || take('E')) {
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        // JSON sets no range, but most readers refuse a number beyond the largest double.
        const std::string number(in_.substr(start, at_ - start));
        if (!std::isfinite(std::strtod(number.c_str(), nullptr))) {
            numberOutOfRange_ = true;
            return false;
        }
        out_.append(number);
        return true;
    }

    // Four hex digits after "\u" at at_; their value in cp.
    bool ReadHex4(std::uint32_t& cp) {
        if (in_.size() - at_ < 4) return false;
        for (std::size_t i = 0; i < 4; ++i)
            if (!IsHexDigit(in_[at_ + i])) return false;
        cp = HexValue(in_.substr(at_, 4));
        at_ += 4;
        return true;
    }

    // An escape after its backslash. A \u escape of a surrogate must be half of a pair: a lone
    // one stands for no character, and JSON readers refuse it or make it up.
    bool CopyEscape() {
        const std::size_t backslash = at_ - 1;
        if (at_ >= in_.size()) return false;
        const char c = in_[at_++];
        if (c != 'u') {
            if (std::strchr("\"\\/bfnrt", c) == nullptr || c == '\0') return false;
            out_ += '\\';
            out_ += c;
            return true;
        }
        std::uint32_t cp = 0;
        if (!ReadHex4(cp) || (cp >= 0xDC00 && cp <= 0xDFFF)) return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (in_.compare(at_, 2, "\\u") != 0) return false;
            at_ += 2;
            if (!ReadHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
        }
        out_.append(in_.substr(backslash, at_ - backslash));
        return true;
    }

    bool CopyString() {
        if (at_ >= in_.size() || in_[at_] != '"') return false;
        Put('"');
        while (at_ < in_.size()) {
            const auto c = static_cast<unsigned char>(in_[at_]);
            if (c == '"') {
                Put('"');
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                ++at_;
                if (!CopyEscape()) return false;
                continue;
            }
            std::uint32_t cp = 0;
            const std::size_t length = text::DecodeUtf8(in_.substr(at_), cp);
            if (length == 0) return false;
            if (IsHiddenInString(cp))
                text::AppendCodePointEscape(out_, cp);
            else
                out_.append(in_.substr(at_, length));
            at_ += length;
        }
        return false;
    }

    std::string_view in_;
    std::size_t at_ = 0;
    std::string& out_;
    bool numberOutOfRange_ = false;

  public:
    bool NumberOutOfRange() const { return numberOutOfRange_; }
};

// A JSON string of text that is already safe to print: only the quote and the backslash, and
// (never expected) a control, need escaping.
void AppendJsonString(std::string& out, std::string_view shown) {
    out += '"';
    for (const char c : shown) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            text::AppendCodePointEscape(out, b);
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

std::string_view DatagramText(const char* data, std::size_t length) {
    if (data == nullptr) return {};
    const void* zero = std::memchr(data, '\0', length);
    if (zero != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(zero) - data);
    return {data, length};
}

bool AppendJsonLine(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    const bool utf8 = IsUtf8(text);
    Copier copier(text, out);
    if (utf8 && copier.Run()) {
        out += '\n';
        return true;
    }
    out.resize(start);
    out += "{\"Repaired\":true, \"Reason\":\"";
    out += !utf8 ? "not UTF-8" : copier.NumberOutOfRange() ? "number out of range" : "not JSON";
    out += "\", \"Length\":";
    out += std::to_string(text.size());
    out += ", \"Text\":";
    AppendJsonString(out, text::Shown(text, kMaxDatagram));
    out += "}\n";
    return false;
}

} // namespace velqa3::watch
