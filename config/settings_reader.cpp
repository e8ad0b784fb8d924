#include "config/settings_reader.h"

#include "config/settings_sections.h"
#include "platform/platform.h"

#include <cstdio>

namespace velqa3 {

namespace {

constexpr const char* kMissingText =
    "【ATS-PTプラグイン】設定ファイルが見つかりませんでした。デフォルト値を使用します。";
constexpr const char* kLineCountText = "行数オーバー";
constexpr int kMaxLines = 10000;
constexpr int kLineBuffer = 256;

using Line = char[kLineBuffer];

// The bytes of the settings, from an open file or from memory.
class ByteSource {
  public:
    explicit ByteSource(std::FILE* file) : file_(file) {}
    ByteSource(const char* text, std::size_t size) : text_(text), size_(size) {}

    int Get() {
        if (file_ != nullptr) return std::getc(file_);
        return position_ < size_ ? static_cast<unsigned char>(text_[position_++]) : EOF;
    }
    void Unget(int c) {
        if (file_ != nullptr)
            std::ungetc(c, file_);
        else
            --position_;
    }

  private:
    std::FILE* file_ = nullptr;
    const char* text_ = nullptr;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};

// Reads lines as the Windows runtime's text mode does, so every build sees the same lines: a
// carriage return before a line feed is dropped, Ctrl-Z ends the file, and a line longer than
// the buffer comes back in pieces of at most 255 characters.
class LineSource {
  public:
    explicit LineSource(ByteSource bytes) : bytes_(bytes) {}

    bool Next(Line& line) {
        if (ended_) return false;
        int length = 0;
        while (length < kLineBuffer - 1) {
            int c = bytes_.Get();
            if (c == '\r') {
                const int following = bytes_.Get();
                if (following == '\n')
                    c = '\n';
                else if (following != EOF)
                    bytes_.Unget(following);
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
    ByteSource bytes_;
    bool ended_ = false;
};

bool IsEmpty(const Line& line) {
    return line[0] == '\n' && line[1] == '\0';
}

// Returns whether the line limit cut the reading short.
bool ReadLines(LineSource& source, const SettingsTargets& targets) {
    Line line;
    int counter = 0;
    do {
        ++counter;
        if (!source.Next(line)) break;
        const SettingsSection* section = FindSettingsSection(line);
        if (section == nullptr) continue;
        EnterSettingsSection(*section, targets);
        // The lines up to the first empty one belong to the section, headers included.
        bool more = source.Next(line);
        while (more && !IsEmpty(line)) {
            ++counter;
            ApplySettingsLine(*section, line, targets);
            if (counter > kMaxLines) break;
            more = source.Next(line);
        }
    } while (counter <= kMaxLines);
    return counter > kMaxLines;
}

void ReportLineCount() {
    platform::ShowMessage(kLineCountText, kReadCaption);
}

} // namespace

void ReadSettings(const char* path, const SettingsTargets& targets) {
    std::FILE* file = path != nullptr && path[0] != '\0' ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        platform::ShowMessage(kMissingText, path != nullptr ? path : "");
        return;
    }
    LineSource source{ByteSource(file)};
    const bool cut = ReadLines(source, targets);
    // Closed before the message, which waits for the user.
    std::fclose(file);
    if (cut) ReportLineCount();
}

void ReadSettingsText(const char* text, std::size_t size, const SettingsTargets& targets) {
    LineSource source{ByteSource(text, size)};
    if (ReadLines(source, targets)) ReportLineCount();
}

} // namespace velqa3
