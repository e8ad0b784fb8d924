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
        if (!pieceOpen_) ++number_;
        piece_ = pieceOpen_;
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
        pieceOpen_ = length == kLineBuffer - 1 && line[length - 1] != '\n';
        return length > 0;
    }

    // The line of the file the last piece came from, counted from 1, and whether it was a
    // later piece of a line longer than the buffer.
    int Number() const { return number_; }
    bool Piece() const { return piece_; }

  private:
    ByteSource bytes_;
    bool ended_ = false;
    int number_ = 0;
    bool pieceOpen_ = false;
    bool piece_ = false;
};

bool IsEmpty(const Line& line) {
    return line[0] == '\n' && line[1] == '\0';
}

// Where the reader is, for a listener; a later piece of a long line is told as such.
void Locate(SettingsDiagnostics* diagnostics, const LineSource& source, const Line& line,
            const SettingsSection* section) {
    if (diagnostics == nullptr) return;
    diagnostics->line = source.Number();
    diagnostics->section = section != nullptr ? SettingsSectionHeader(*section) : nullptr;
    diagnostics->key = nullptr;
    if (source.Piece()) NoteSetting(diagnostics, SettingsFinding::LineSplit, line);
}

// Returns whether the line limit cut the reading short.
bool ReadLines(LineSource& source, const SettingsContext& context) {
    SettingsDiagnostics* diagnostics = context.diagnostics;
    Line line;
    int counter = 0;
    do {
        ++counter;
        if (!source.Next(line)) break;
        const SettingsSection* section = FindSettingsSection(line);
        Locate(diagnostics, source, line, section);
        if (section == nullptr) {
            NoteSetting(diagnostics, SettingsFinding::OutsideSection, line);
            continue;
        }
        NoteSetting(diagnostics, SettingsFinding::Section, "");
        EnterSettingsSection(*section, context);
        // The lines up to the first empty one belong to the section, headers included.
        bool more = source.Next(line);
        while (more && !IsEmpty(line)) {
            ++counter;
            Locate(diagnostics, source, line, section);
            const bool taken = ApplySettingsLine(*section, line, context);
            if (!taken && diagnostics != nullptr)
                NoteSetting(diagnostics,
                            FindSettingsSection(line) != nullptr ? SettingsFinding::HeaderInside
                                                                 : SettingsFinding::IgnoredLine,
                            line);
            if (counter > kMaxLines) break;
            more = source.Next(line);
        }
        // The break of a line just too long, read alone, ends the section unseen.
        if (more && source.Piece()) Locate(diagnostics, source, line, section);
    } while (counter <= kMaxLines);
    return counter > kMaxLines;
}

void ReportLineCount(SettingsDiagnostics* diagnostics) {
    if (diagnostics == nullptr) {
        platform::ShowMessage(kLineCountText, kReadCaption);
        return;
    }
    diagnostics->key = nullptr;
    NoteSettingf(diagnostics, SettingsFinding::LineLimit,
                 "the plug-in reads no further than this line (its limit is about %d lines) "
                 "and says so in a message box",
                 kMaxLines);
}

} // namespace

void ReadSettings(const char* path, const SettingsTargets& targets,
                  SettingsDiagnostics* diagnostics) {
    std::FILE* file = path != nullptr && path[0] != '\0' ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        if (diagnostics != nullptr)
            NoteSetting(diagnostics, SettingsFinding::Unreadable, path != nullptr ? path : "");
        else
            platform::ShowMessage(kMissingText, path != nullptr ? path : "");
        return;
    }
    LineSource source{ByteSource(file)};
    const SettingsContext context{targets.settings, targets.keys, targets.remap, targets.hooks,
                                  diagnostics};
    const bool cut = ReadLines(source, context);
    // Closed before the message, which waits for the user.
    std::fclose(file);
    if (cut) ReportLineCount(diagnostics);
}

void ReadSettingsText(const char* text, std::size_t size, const SettingsTargets& targets,
                      SettingsDiagnostics* diagnostics) {
    LineSource source{ByteSource(text, size)};
    const SettingsContext context{targets.settings, targets.keys, targets.remap, targets.hooks,
                                  diagnostics};
    if (ReadLines(source, context)) ReportLineCount(diagnostics);
}

} // namespace velqa3
