#include "text/shown.h"

#include <cstdint>

namespace velqa3::text {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendByteEscape(std::string& out, unsigned char c) {
    switch (c) {
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    default:
        break;
    }
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
}

} // namespace

void AppendCodePointEscape(std::string& out, std::uint32_t cp) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(cp >> shift) & 0xF];
}

std::size_t DecodeUtf8(std::string_view bytes, std::uint32_t& cp) {
    if (bytes.empty()) return 0;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

bool IsHiddenControl(std::uint32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F || cp == 0x061C ||
           cp == 0x2028 || cp == 0x2029 || cp == 0xFEFF;
}

void AppendShown(std::string& out, std::string_view bytes, std::size_t maxBytes) {
    const bool cut = bytes.size() > maxBytes;
    if (cut) bytes = bytes.substr(0, maxBytes);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\') out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = c >= 0x80 ? DecodeUtf8(bytes.substr(i), cp) : 0;
        if (length == 0) {
            AppendByteEscape(out, c);
            ++i;
        } else if (IsHiddenControl(cp)) {
            AppendCodePointEscape(out, cp);
            i += length;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    if (cut) out += "...";
}

std::string Shown(std::string_view bytes, std::size_t maxBytes) {
    std::string out;
    AppendShown(out, bytes, maxBytes);
    return out;
}

} // namespace velqa3::text
