#include "config/settings_reader.h"

#include "config/numbers.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

namespace velqa3 {

namespace {

constexpr const char* kMissingText =
    "【ATS-PTプラグイン】設定ファイルが見つかりませんでした。デフォルト値を使用します。";
constexpr const char* kReadCaption = "ATS-PTプラグイン設定読み込み";
constexpr const char* kLineCountText = "行数オーバー";
constexpr int kMaxLines = 10000;
constexpr int kLineBuffer = 256;

using Line = char[kLineBuffer];

// Reads lines as the Windows runtime's text mode does, so every build sees the same lines: a
// carriage return before a line feed is dropped, Ctrl-Z ends the file, and a line longer than
// the buffer comes back in pieces of at most 255 characters.
class LineSource {
  public:
    explicit LineSource(std::FILE* file) : file_(file) {}

    bool Next(Line& line) {
        if (ended_) return false;
        int length = 0;
        while (length < kLineBuffer - 1) {
            int c = std::getc(file_);
            if (c == '\r') {
                const int following = std::getc(file_);
                if (following == '\n') {
                    c = '\n';
                } else if (following != EOF) {
                    std::ungetc(following, file_);
                }
            }
            if (c == EOF || c == 0x1A) {
                ended_ = true;
                break;
            }
            line[length++] = static_cast<char>(c);
            if (c == '\n') break;
        }
        line[length] = '\0';
        return length > 0;
    }

  private:
    std::FILE* file_;
    bool ended_ = false;
};

bool IsEmpty(const Line& line) {
    return line[0] == '\n' && line[1] == '\0';
}

// A setting line: the key, immediately "=", then the value.
struct KeyRule {
    const char* key;
    void (*apply)(const char* value, Settings& settings);
};

constexpr KeyRule kTrainKeys[] = {
    {"HoldBrake", [](const char* v, Settings& s) { s.holdBrake = ParseLong(v) != 0 ? 1 : 0; }},
    {"Length", [](const char* v, Settings& s) { s.length = ParseFloat(v); }},
};

constexpr KeyRule kTascKeys[] = {
    // C's remainder keeps the sign of the value: 250 gives 50, -7 stays -7.
    {"Notch", [](const char* v, Settings& s) { s.tascNotch = ParseLong(v) % 100; }},
};

struct Section {
    const char* header;
    const KeyRule* rules;
    std::size_t ruleCount;
};

template <std::size_t N>
constexpr Section KeySection(const char* header, const KeyRule (&rules)[N]) {
    return {header, rules, N};
}

// Tried in this order; a section without rules here still consumes its lines.
constexpr Section kSections[] = {
    KeySection("[TRAIN]", kTrainKeys), {"[EXTRA]", nullptr, 0},    KeySection("[TASC]", kTascKeys),
    {"[MEITETSU]", nullptr, 0},        {"[JRC313]", nullptr, 0},   {"[DC25]", nullptr, 0},
    {"[PANEL]", nullptr, 0},           {"[SENDDATA]", nullptr, 0}, {"[PANELOUTPUT]", nullptr, 0},
    {"[SOUNDOUTPUT]", nullptr, 0},     {"[KEY]", nullptr, 0},
};

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

const Section* FindSection(const Line& line) {
    for (const Section& section : kSections)
        if (StartsWith(line, section.header)) return &section;
    return nullptr;
}

void ApplyLine(const Section& section, const Line& line, Settings& settings) {
    for (std::size_t i = 0; i < section.ruleCount; ++i) {
        const KeyRule& rule = section.rules[i];
        const std::size_t keyLength = std::strlen(rule.key);
        if (std::strncmp(line, rule.key, keyLength) == 0 && line[keyLength] == '=') {
            rule.apply(line + keyLength + 1, settings);
            return;
        }
    }
}

} // namespace

void ReadSettings(const char* path, Settings& settings) {
    std::FILE* file = path != nullptr && path[0] != '\0' ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        platform::ShowMessage(kMissingText, path != nullptr ? path : "");
        return;
    }
    LineSource source(file);
    Line line;
    int counter = 0;
    do {
        ++counter;
        if (!source.Next(line)) break;
        const Section* section = FindSection(line);
        if (section == nullptr) continue;
        // The lines up to the first empty one belong to the section, headers included.
        bool more = source.Next(line);
        while (more && !IsEmpty(line)) {
            ++counter;
            ApplyLine(*section, line, settings);
            more = source.Next(line);
            if (counter > kMaxLines) break;
        }
    } while (counter <= kMaxLines);
    std::fclose(file);
    if (counter > kMaxLines) platform::ShowMessage(kLineCountText, kReadCaption);
}

} // namespace velqa3
