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

// The bytes of the settings, from an open file or from memory. A few bytes can be put back, so
// that the start of the file can be looked at before its first line is read.
class ByteSource {
  public:
    explicit ByteSource(std::FILE* file) : file_(file) {}
    ByteSource(const char* text, std::size_t size) : text_(text), size_(size) {}

    int Get() {
        if (backCount_ > 0) return back_[--backCount_];
        if (file_ != nullptr) return std::getc(file_);
        return position_ < size_ ? static_cast<unsigned char>(text_[position_++]) : EOF;
    }
    // Bytes come back last in, first out; EOF is never put back.
    void Unget(int c) {
        if (c != EOF && backCount_ < kBack) back_[backCount_++] = c;
    }

  private:
    static constexpr int kBack = 4;
    std::FILE* file_ = nullptr;
    const char* text_ = nullptr;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
    int back_[kBack] = {};
    int backCount_ = 0;
};

// Reads lines as the Windows runtime's text mode does, so every build sees the same lines: a
// carriage return before a line feed is dropped, Ctrl-Z ends the file, and a line longer than
// the buffer comes back in pieces of at most 255 characters. A carriage return alone is kept in
// the line, as that runtime keeps it; the source remembers the line it was met on, for a
// listener to hear of.
class LineSource {
  public:
    explicit LineSource(ByteSource bytes) : bytes_(bytes) {}

    ByteSource& Bytes() { return bytes_; }

    bool Next(Line& line) {
        if (ended_) return false;
        if (!pieceOpen_) ++number_;
        piece_ = pieceOpen_;
        int length = 0;
        while (length < kLineBuffer - 1) {
            int c = bytes_.Get();
            if (c == '\r') {
                const int following = bytes_.Get();
                if (following == '\n') {
                    c = '\n';
                } else {
                    bytes_.Unget(following);
                    loneReturnLine_ = number_;
                }
            }
            if (c == EOF || c == 0x1A) {
                ended_ = true;
                endMark_ = c == 0x1A;
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
    // Whether the current line holds a carriage return with no line feed after it, told once
    // for each line however many pieces it comes in.
    bool TakeLoneReturn() {
        if (loneReturnLine_ != number_ || toldReturnLine_ == number_) return false;
        toldReturnLine_ = number_;
        return true;
    }
    // Whether a Ctrl-Z, rather than the end of the bytes, ended the reading.
    bool EndedByMark() const { return endMark_; }

  private:
    ByteSource bytes_;
    bool ended_ = false;
    bool endMark_ = false;
    int number_ = 0;
    int loneReturnLine_ = 0;
    int toldReturnLine_ = 0;
    bool pieceOpen_ = false;
    bool piece_ = false;
};

bool IsEmpty(const Line& line) {
    return line[0] == '\n' && line[1] == '\0';
}

// Where the reader is, for a listener; a later piece of a long line is told as such.
void Locate(SettingsDiagnostics* diagnostics, LineSource& source, const Line& line,
            const SettingsSection* section) {
    if (diagnostics == nullptr) return;
    diagnostics->line = source.Number();
    diagnostics->section = section != nullptr ? SettingsSectionHeader(*section) : nullptr;
    diagnostics->key = nullptr;
    if (source.Piece()) NoteSetting(diagnostics, SettingsFinding::LineSplit, line);
    if (source.TakeLoneReturn()) NoteSetting(diagnostics, SettingsFinding::LoneReturn, "");
}

// A finding about the file rather than about a line of a section.
void PlaceOutside(SettingsDiagnostics* diagnostics, int line) {
    if (diagnostics == nullptr) return;
    diagnostics->line = line;
    diagnostics->section = nullptr;
    diagnostics->key = nullptr;
}

// Editors on Windows often save UTF-8 with a byte-order mark. Read as text it stands before the
// first header, which then no longer starts its line, and the first section is lost without a
// word. No header or key begins with these bytes, so skipping them takes nothing from a file.
void SkipByteOrderMark(ByteSource& bytes, SettingsDiagnostics* diagnostics) {
    int head[3];
    for (int& c : head)
        c = bytes.Get();
    if (head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        PlaceOutside(diagnostics, 1);
        NoteSetting(diagnostics, SettingsFinding::ByteOrderMark, "");
        return;
    }
    for (int i = 2; i >= 0; --i)
        bytes.Unget(head[i]);
}

// UTF-16 is read byte by byte like any file: every other byte is a NUL that ends the line for
// the reader, so nothing of it is taken. A settings file holds no NUL, so a NUL beside an ASCII
// character in the first two bytes, or a UTF-16 mark, tells it apart.
void NoteUtf16(ByteSource& bytes, SettingsDiagnostics* diagnostics) {
    if (diagnostics == nullptr) return;
    const int first = bytes.Get();
    const int second = bytes.Get();
    bytes.Unget(second);
    bytes.Unget(first);
    const char* kind = nullptr;
    if (first == 0xFF && second == 0xFE)
        kind = "UTF-16 little-endian, with its byte-order mark";
    else if (first == 0xFE && second == 0xFF)
        kind = "UTF-16 big-endian, with its byte-order mark";
    else if (first > 0 && first < 0x80 && second == 0)
        kind = "UTF-16 little-endian";
    else if (first == 0 && second > 0 && second < 0x80)
        kind = "UTF-16 big-endian";
    if (kind == nullptr) return;
    PlaceOutside(diagnostics, 0);
    NoteSetting(diagnostics, SettingsFinding::Utf16, kind);
}

// Old editors end a file with Ctrl-Z, and then nothing is lost; text after one is never read.
// The look beyond it is bounded, as the reading itself is.
void NoteTextAfterEndMark(LineSource& source, SettingsDiagnostics* diagnostics) {
    if (diagnostics == nullptr || !source.EndedByMark()) return;
    constexpr int kLookAhead = 1 << 20;
    int line = source.Number();
    for (int i = 0; i < kLookAhead; ++i) {
        const int c = source.Bytes().Get();
        if (c == EOF) return;
        if (c == '\n') ++line;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A) continue;
        PlaceOutside(diagnostics, source.Number());
        NoteSettingf(diagnostics, SettingsFinding::TextAfterEnd,
                     "a Ctrl-Z (0x1A) ends the file for the plug-in: the text after it, from "
                     "line %d on, is never read",
                     line);
        return;
    }
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

// The whole reading, from the first byte to the end. Returns whether the line limit cut it short.
bool ReadAll(LineSource& source, const SettingsContext& context) {
    SkipByteOrderMark(source.Bytes(), context.diagnostics);
    NoteUtf16(source.Bytes(), context.diagnostics);
    const bool cut = ReadLines(source, context);
    NoteTextAfterEndMark(source, context.diagnostics);
    return cut;
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
    const bool cut = ReadAll(source, context);
    // Closed before the message, which waits for the user.
    std::fclose(file);
    if (cut) ReportLineCount(diagnostics);
}

void ReadSettingsText(const char* text, std::size_t size, const SettingsTargets& targets,
                      SettingsDiagnostics* diagnostics) {
    LineSource source{ByteSource(text, size)};
    const SettingsContext context{targets.settings, targets.keys, targets.remap, targets.hooks,
                                  diagnostics};
    if (ReadAll(source, context)) ReportLineCount(diagnostics);
}

} // namespace velqa3
