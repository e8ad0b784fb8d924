#include "watch/json_fields.h"

#include <cstdlib>
#include <cstring>

namespace velqa3::watch {

namespace {

constexpr int kMaxDepth = 8;

struct Reader {
    const char* at;
    const char* end;
    JsonFields& out;
};

void SkipBlanks(Reader& r) {
    while (r.at < r.end && (*r.at == ' ' || *r.at == '\t' || *r.at == '\n' || *r.at == '\r'))
        ++r.at;
}

bool Take(Reader& r, char c) {
    SkipBlanks(r);
    if (r.at >= r.end || *r.at != c) return false;
    ++r.at;
    return true;
}

// A string; its text (cut to fit) goes to name when name is not null.
bool ReadString(Reader& r, char* name, std::size_t size) {
    if (!Take(r, '"')) return false;
    std::size_t kept = 0;
    while (r.at < r.end && *r.at != '"') {
        char c = *r.at++;
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (c == '\\') {
            if (r.at >= r.end) return false;
            c = *r.at++;
            if (c == 'u') {
                for (int i = 0; i < 4; ++i, ++r.at)
                    if (r.at >= r.end || std::strchr("0123456789abcdefABCDEF", *r.at) == nullptr ||
                        *r.at == '\0')
                        return false;
                c = '?';
            } else if (std::strchr("\"\\/bfnrt", c) == nullptr || c == '\0') {
                return false;
            }
        }
        if (name != nullptr && kept + 1 < size) name[kept++] = c;
    }
    if (name != nullptr) name[kept] = '\0';
    return Take(r, '"');
}

// A number in JSON's grammar exactly (no leading '+', no "nan", no hex), then converted.
bool ReadNumber(Reader& r, double& value) {
    const char* start = r.at;
    const char* p = r.at;
    auto digits = [&] {
        const char* first = p;
        while (p < r.end && *p >= '0' && *p <= '9')
            ++p;
        return p > first;
    };
    if (p < r.end && *p == '-') ++p;
    if (p < r.end && *p == '0') {
        ++p;
    } else if (!digits()) {
        return false;
    }
    if (p < r.end && *p == '.') {
        ++p;
        if (!digits()) return false;
    }
    if (p < r.end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < r.end && (*p == '+' || *p == '-')) ++p;
        if (!digits()) return false;
    }
    char copy[400];
    const std::size_t length = static_cast<std::size_t>(p - start);
    if (length >= sizeof copy) return false;
    std::memcpy(copy, start, length);
    copy[length] = '\0';
    value = std::strtod(copy, nullptr);
    r.at = p;
    return true;
}

bool ReadWord(Reader& r, const char* word) {
    const std::size_t length = std::strlen(word);
    if (static_cast<std::size_t>(r.end - r.at) < length || std::memcmp(r.at, word, length) != 0)
        return false;
    r.at += length;
    return true;
}

void Keep(Reader& r, const char* path, double value) {
    if (r.out.count >= kMaxFields) return;
    JsonField& field = r.out.field[r.out.count++];
    std::strncpy(field.path, path, kMaxPath - 1);
    field.path[kMaxPath - 1] = '\0';
    field.value = value;
}

bool ReadValue(Reader& r, const char* path, int depth);

bool ReadObject(Reader& r, const char* path, int depth) {
    if (depth > kMaxDepth || !Take(r, '{')) return false;
    if (Take(r, '}')) return true;
    do {
        char name[kMaxPath];
        if (!ReadString(r, name, sizeof name) || !Take(r, ':')) return false;
        if (depth == 0 && r.out.first[0] == '\0') std::strcpy(r.out.first, name);
        char member[kMaxPath];
        const std::size_t pathLength = std::strlen(path);
        if (pathLength == 0)
            std::strcpy(member, name);
        else if (pathLength + 1 + std::strlen(name) < sizeof member)
            std::strcat(std::strcat(std::strcpy(member, path), "."), name);
        else
            member[0] = '\0'; // too deep a name to keep; still checked
        if (!ReadValue(r, member, depth + 1)) return false;
    } while (Take(r, ','));
    return Take(r, '}');
}

bool ReadArray(Reader& r, int depth) {
    if (depth > kMaxDepth || !Take(r, '[')) return false;
    if (Take(r, ']')) return true;
    do {
        if (!ReadValue(r, "", depth + 1)) return false;
    } while (Take(r, ','));
    return Take(r, ']');
}

bool ReadValue(Reader& r, const char* path, int depth) {
    SkipBlanks(r);
    if (r.at >= r.end) return false;
    switch (*r.at) {
    case '{':
        return ReadObject(r, path, depth);
    case '[':
        return ReadArray(r, depth);
    case '"':
        return ReadString(r, nullptr, 0);
    case 't':
        if (!ReadWord(r, "true")) return false;
        if (path[0] != '\0') Keep(r, path, 1.0);
        return true;
    case 'f':
        if (!ReadWord(r, "false")) return false;
        if (path[0] != '\0') Keep(r, path, 0.0);
        return true;
    case 'n':
        return ReadWord(r, "null");
    default: {
        double value = 0.0;
        if (!ReadNumber(r, value)) return false;
        if (path[0] != '\0') Keep(r, path, value);
        return true;
    }
    }
}

} // namespace

bool ReadJsonFields(const char* text, std::size_t length, JsonFields& out) {
    out.count = 0;
    out.first[0] = '\0';
    if (text == nullptr) return false;
    Reader r{text, text + length, out};
    if (!ReadObject(r, "", 0)) return false;
    SkipBlanks(r);
    return r.at == r.end;
}

double FieldOr(const JsonFields& fields, const char* path, double fallback) {
    for (std::size_t i = 0; i < fields.count; ++i)
        if (std::strcmp(fields.field[i].path, path) == 0) return fields.field[i].value;
    return fallback;
}

bool HasField(const JsonFields& fields, const char* path) {
    for (std::size_t i = 0; i < fields.count; ++i)
        if (std::strcmp(fields.field[i].path, path) == 0) return true;
    return false;
}

} // namespace velqa3::watch
