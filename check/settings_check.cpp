#include "check/settings_check.h"

#include "host/chars.h"

#include "check/settings_reference.h"

#include "config/keys.h"
#include "config/settings_diagnostics.h"
#include "config/settings_reader.h"
#include "config/settings_sections.h"
#include "host/slots.h"
#include "text/shown.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

namespace velqa3::check {

namespace {

// ---- Text helpers -----------------------------------------------------------------------------

// A line of the file as the reader hands it over, without its line break.
std::string Line(const char* text) {
    const char* end = text;
    while (*end != '\0' && *end != '\n')
        ++end;
    return std::string(text, end);
}

// A line of the report as it is printed. Most lines carry bytes of the file or its name, so
// every line goes through the one escaper whole, and none can be forgotten. The bound leaves
// room for a 255-byte piece escaped four times over and a long path in front of it.
std::string Printed(const std::string& line) {
    return text::Shown(line, 16384) + '\n';
}

bool IsBlankLine(const std::string& line) {
    return std::all_of(line.begin(), line.end(), IsBlank);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

// The name of a line that reads like a setting ("Name=...", maybe with blanks around the name),
// or empty for a remark. The file has no comment mark, so only such lines can be mistakes.
std::string SettingName(const std::string& line) {
    std::size_t p = 0;
    while (p < line.size() && IsBlank(line[p]))
        ++p;
    const std::size_t begin = p;
    while (p < line.size() && IsNameChar(line[p]))
        ++p;
    const std::size_t end = p;
    while (p < line.size() && IsBlank(line[p]))
        ++p;
    if (end == begin || p >= line.size() || line[p] != '=') return {};
    return line.substr(begin, end - begin);
}

// ---- The tables, seen from the checker ----------------------------------------------------------

// Built once: every unknown line of a file looks through it several times.
const std::vector<SettingsKeyInfo>& AllKeys() {
    static const std::vector<SettingsKeyInfo> keys = [] {
        std::vector<SettingsKeyInfo> all;
        for (std::size_t i = 0; i < SettingsKeyCount(); ++i)
            all.push_back(SettingsKeyAt(i));
        return all;
    }();
    return keys;
}

std::vector<std::string> SectionHeaders() {
    std::vector<std::string> headers;
    for (const SettingsKeyInfo& info : AllKeys())
        if (headers.empty() || headers.back() != info.section) headers.push_back(info.section);
    return headers;
}

const SettingsKeyDoc* DocOf(const std::string& section, const std::string& key) {
    for (const SettingsKeyInfo& info : AllKeys())
        if (section == info.section && (info.key == nullptr || key == info.key)) return &info.doc;
    return nullptr;
}

const KeyNameInfo* FindKeyName(const std::string& name, bool anyCase) {
    for (int i = 0; i < KeyNameCount(); ++i) {
        const KeyNameInfo& key = KeyNameAt(i);
        if (anyCase ? Lower(name) == Lower(key.name) : name == key.name) return &key;
    }
    return nullptr;
}

// Where else a name is a key, for a line that no key of its own section takes.
std::string OtherSections(const std::string& name, const std::string& own, bool anyCase) {
    std::string found;
    for (const SettingsKeyInfo& info : AllKeys()) {
        if (info.key == nullptr || own == info.section) continue;
        if (anyCase ? Lower(name) != Lower(info.key) : name != info.key) continue;
        found += (found.empty() ? "" : " and ") + std::string(info.section);
    }
    if (own != "[KEY]" && FindKeyName(name, anyCase) != nullptr)
        found += (found.empty() ? "" : " and ") + std::string("[KEY]");
    return found;
}

// Letters to change, add or drop to turn one name into the other, case aside (at most 8: names
// further apart are no misspelling of each other).
int Distance(const std::string& a, const std::string& b) {
    if (a.size() > 64 || b.size() > 64) return 9;
    const std::string x = Lower(a), y = Lower(b);
    std::vector<int> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j)
        row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= x.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] != y[j - 1])});
            diagonal = above;
        }
    }
    return std::min(row[y.size()], 9);
}

// The keys of a section (the key names, for [KEY]) that a misspelt name is nearest to: a
// letter or two off, and fewer than half its letters.
std::string NearestKeys(const std::string& section, const std::string& name) {
    std::vector<const char*> keys;
    if (section == "[KEY]")
        for (int i = 0; i < KeyNameCount(); ++i)
            keys.push_back(KeyNameAt(i).name);
    for (const SettingsKeyInfo& info : AllKeys())
        if (info.key != nullptr && section == info.section) keys.push_back(info.key);
    const int allowed = std::min<int>(2, static_cast<int>(name.size()) / 3);
    int best = allowed + 1;
    std::string nearest;
    for (const char* key : keys) {
        const int distance = Distance(name, key);
        if (distance > best) continue;
        if (distance < best) nearest.clear();
        best = distance;
        nearest += (nearest.empty() ? "" : " or ") + std::string(key);
    }
    return nearest;
}

const char* ExactKeyOf(const std::string& section, const std::string& name, bool anyCase) {
    if (section == "[KEY]") {
        const KeyNameInfo* key = FindKeyName(name, anyCase);
        return key != nullptr ? key->name : nullptr;
    }
    for (const SettingsKeyInfo& info : AllKeys())
        if (info.key != nullptr && section == info.section &&
            (anyCase ? Lower(name) == Lower(info.key) : name == info.key))
            return info.key;
    return nullptr;
}

// ---- One checking -------------------------------------------------------------------------------

struct Entry {
    int line;
    int rank; // what the line set comes before what went wrong with it
    std::string text;
};

class Checker {
  public:
    explicit Checker(std::string shownName) : name_(std::move(shownName)) {}

    SettingsDiagnostics Listener() {
        SettingsDiagnostics diagnostics;
        diagnostics.context = this;
        diagnostics.note = [](void* self, const SettingsNote& note) {
            static_cast<Checker*>(self)->Take(note);
        };
        return diagnostics;
    }

    // After the reading: the codes the start-up check of the key table unbinds.
    void CheckKeys(const KeyTables& read) {
        KeyTables checked = read;
        CheckKeyTable(checked);
        for (int i = 0; i < KeyNameCount(); ++i) {
            const KeyNameInfo& key = KeyNameAt(i);
            const std::int32_t code = read.assign[key.slot];
            if (checked.assign[key.slot] == code) continue;
            const auto where = keyLines_.find(key.name);
            const int line = where != keyLines_.end() ? where->second : 0;
            char text[200];
            if (code < 0 || code > 255)
                std::snprintf(text, sizeof text,
                              "code %d is outside 0..255; the key is left unbound", code);
            else
                std::snprintf(text, sizeof text,
                              "F1..F12 (code 0x%X) are the simulator's for this function; the "
                              "key is left unbound (only LeftDoor and the names after it take "
                              "them)",
                              static_cast<unsigned>(code));
            Warn(line, "[KEY]", key.name, text);
        }
    }

    int Finish(std::string& out) {
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.line != b.line ? a.line < b.line : a.rank < b.rank;
        });
        for (const Entry& entry : entries_)
            out += Printed(entry.text);
        if (unreadable_) return kUnreadable;
        // Text the reader loses to the file's form, with not one setting taken, is a file the
        // plug-in reads nothing of, however quiet each line of it is.
        const bool nothing = lost_ && settings_ == 0;
        char summary[200];
        std::snprintf(summary, sizeof summary, ": %d setting%s read, %d warning%s%s", settings_,
                      settings_ == 1 ? "" : "s", warnings_, warnings_ == 1 ? "" : "s",
                      nothing ? "; the plug-in takes nothing from this file" : "");
        out += Printed(name_ + summary);
        if (nothing) return kUnreadable;
        return warnings_ > 0 ? kWarnings : kClean;
    }

  private:
    std::string Where(int line) const {
        return line > 0 ? name_ + ":" + std::to_string(line) + ": " : name_ + ": ";
    }

    static std::string Subject(const char* section, const char* key) {
        std::string subject = section != nullptr ? section : "";
        if (key != nullptr) subject += (subject.empty() ? "" : " ") + std::string(key);
        return subject;
    }

    void Print(int line, const std::string& text, int rank = 0) {
        entries_.push_back({line, rank, Where(line) + text});
    }

    void Warn(int line, const char* section, const char* key, const std::string& text) {
        ++warnings_;
        const std::string subject = Subject(section, key);
        Print(line, "warning: " + (subject.empty() ? "" : subject + ": ") + text, 1);
    }

    void Take(const SettingsNote& note) {
        const std::string section = note.section != nullptr ? note.section : "";
        if (note.finding == SettingsFinding::Section) unknownSection_ = false;
        switch (note.finding) {
        case SettingsFinding::Section:
            Print(note.line, section + " begins");
            break;
        case SettingsFinding::Setting:
            Setting(note);
            break;
        case SettingsFinding::Adjusted:
        case SettingsFinding::Unchanged:
        case SettingsFinding::NotANumber:
        case SettingsFinding::TextCut:
        case SettingsFinding::Message:
            Warn(note.line, note.section, note.key, note.text);
            break;
        case SettingsFinding::IgnoredLine:
            Ignored(note.line, section, Line(note.text));
            break;
        case SettingsFinding::OutsideSection:
            Outside(note.line, Line(note.text));
            break;
        case SettingsFinding::HeaderInside:
            Warn(note.line, nullptr, nullptr,
                 Line(note.text) + " is read as a line of " + section +
                     ", which no empty line has ended: put an empty line before it, or the "
                     "lines below still belong to " +
                     section);
            break;
        case SettingsFinding::LineSplit:
            Warn(note.line, nullptr, nullptr,
                 Line(note.text).empty()
                     ? std::string("the line is longer than 255 characters: its line break is "
                                   "read as an empty line of its own, which ends the section")
                     : "the line is longer than 255 characters: the rest, '" + Line(note.text) +
                           "', is read as a line of its own");
            break;
        case SettingsFinding::LineLimit:
            Warn(note.line, nullptr, nullptr, note.text);
            break;
        case SettingsFinding::Unreadable:
            unreadable_ = true;
            Print(0, "error: cannot open the file; the plug-in would run on its defaults");
            break;
        case SettingsFinding::ByteOrderMark:
            Print(note.line, "note: the file begins with a UTF-8 byte-order mark (EF BB BF), "
                             "which the plug-in skips; it reads the file as ASCII or Shift_JIS "
                             "text, and versions before this one lose the first section to the "
                             "mark: save the file without it");
            break;
        case SettingsFinding::Utf16:
            lost_ = true;
            Warn(note.line, nullptr, nullptr,
                 std::string("the file is ") + note.text +
                     "; the plug-in reads 8-bit text, ends every line at the first zero byte "
                     "and takes nothing from it: save it as ASCII or Shift_JIS");
            break;
        case SettingsFinding::LoneReturn:
            lost_ = true;
            Warn(note.line, nullptr, nullptr,
                 "a carriage return without a line feed is no line end for the plug-in: what "
                 "follows it is read as part of this line (save the file with CR LF or LF line "
                 "ends)");
            break;
        case SettingsFinding::TextAfterEnd:
            lost_ = true;
            Warn(note.line, nullptr, nullptr, note.text);
            break;
        }
    }

    void Setting(const SettingsNote& note) {
        const std::string section = note.section;
        if (section == "[KEY]") return KeyLine(note);
        if (note.key == nullptr) {
            Print(note.line, section + " " + note.text + SlotNamed(section, note.text));
            return;
        }
        ++settings_;
        Print(note.line,
              section + " " + note.key + " = " + note.text + SlotNamed(section, note.text));
        Repeated(note.line, section, note.key);
    }

    // " (ATS-PT brake lamp)" for a line that moves a slot the plug-in writes.
    static std::string SlotNamed(const std::string& section, const std::string& text) {
        const std::size_t at = text.find("slot ");
        if (at == std::string::npos) return "";
        const int slot = std::atoi(text.c_str() + at + 5);
        const SlotRow* row = section == "[PANELOUTPUT]"   ? PanelSlotRow(slot)
                             : section == "[SOUNDOUTPUT]" ? SoundSlotRow(slot)
                                                          : nullptr;
        return row != nullptr ? std::string(" (") + row->name.en + ")" : "";
    }

    // A key given twice: which line counts.
    void Repeated(int line, const std::string& section, const char* key) {
        const std::string id = section + " " + key;
        const auto earlier = lines_.find(id);
        const int previous = earlier != lines_.end() ? earlier->second : 0;
        lines_[id] = line;
        if (previous == 0 || previous == line) return;
        const SettingsKeyDoc* doc = DocOf(section, key);
        const std::string before = std::to_string(previous);
        if (doc != nullptr && doc->repeat == SettingsRepeat::OnlySets)
            Print(line,
                  "note: " + id + " is also given on line " + before +
                      "; both count, as this key only ever sets",
                  1);
        else
            Warn(line, section.c_str(), key,
                 "also given on line " + before + "; this later line wins");
    }

    // A line of the key table, by the key's name and what it does: the table's slot number
    // ("0x3 (3), slot 52") means nothing to the author who wrote the name.
    void KeyLine(const SettingsNote& note) {
        std::string value = note.text;
        const std::size_t at = value.rfind(", slot ");
        int slot = -1;
        if (at != std::string::npos) {
            slot = std::atoi(value.c_str() + at + 7);
            value.erase(at);
        }
        const char* name = note.key != nullptr ? note.key : KeyNameOfSlot(slot);
        const KeyNameInfo* key = name != nullptr ? FindKeyName(name, false) : nullptr;
        if (name == nullptr) name = "(a key without a name)";
        ++settings_;
        keyLines_[name] = note.line;
        Print(note.line, "[KEY] " + std::string(name) + " = " + value +
                             (key == nullptr             ? ""
                              : key->function == nullptr ? ": nothing reads this key"
                                                         : std::string(": ") + key->function));
        if (key != nullptr) Repeated(note.line, "[KEY]", key->name);
    }

    // A line of an open section that nothing took.
    void Ignored(int line, const std::string& section, const std::string& text) {
        if (IsBlankLine(text)) {
            Warn(line, section.c_str(), nullptr,
                 "a line of blanks does not end the section; only an empty line does");
            return;
        }
        const std::string name = SettingName(text);
        const bool remap = section == "[PANELOUTPUT]" || section == "[SOUNDOUTPUT]";
        const std::string trimmed = Trimmed(text);
        if (remap && !trimmed.empty() && trimmed[0] >= '0' && trimmed[0] <= '9') {
            RemapMistake(line, section, text);
            return;
        }
        if (name.empty()) return;
        if (const char* exact = ExactKeyOf(section, name, false)) {
            Warn(line, section.c_str(), nullptr,
                 "'" + text + "' is ignored: write " + exact +
                     "= at the very start of the line, with no blank before the key or the '='");
            return;
        }
        if (const char* spelt = ExactKeyOf(section, name, true)) {
            Warn(line, section.c_str(), nullptr,
                 "unknown key '" + name + "' is ignored; keys are case-sensitive: " + spelt);
            return;
        }
        if (remap) {
            RemapMistake(line, section, text);
            return;
        }
        const std::string elsewhere = OtherSections(name, section, true);
        if (!elsewhere.empty()) {
            Warn(line, section.c_str(), nullptr,
                 "'" + name + "' is a key of " + elsewhere + ", not of " + section +
                     "; the line is ignored");
            return;
        }
        std::string nearest = NearestKeys(section, name);
        if (nearest.empty())
            for (const std::string& other : SectionHeaders())
                if (other != section)
                    if (const std::string near = NearestKeys(other, name); !near.empty())
                        nearest += (nearest.empty() ? "" : " or ") + other + " " + near;
        Warn(line, section.c_str(), nullptr,
             "unknown key '" + name + "' is ignored" +
                 (nearest.empty() ? "" : "; did you mean " + nearest + "?"));
    }

    void RemapMistake(int line, const std::string& section, const std::string& text) {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) return;
        const std::string slot = Trimmed(text.substr(0, equals));
        const bool digits = !slot.empty() && std::all_of(slot.begin(), slot.end(), [](char c) {
            return c >= '0' && c <= '9';
        });
        if (digits && slot.size() != 3)
            Warn(line, section.c_str(), nullptr,
                 "slot '" + slot +
                     "' is ignored: write the slot with exactly three digits, "
                     "000 to 255, at the start of the line");
        else if (digits)
            Warn(line, section.c_str(), nullptr,
                 "slot " + slot +
                     " is ignored: slots are 000 to 255, written at the start of "
                     "the line with no blank before the '='");
        else
            Warn(line, section.c_str(), nullptr,
                 "'" + text + "' is ignored: lines here are a three-digit slot, '=' and an index");
    }

    // A line outside every section: only what looks like a header or a setting can be meant.
    void Outside(int line, const std::string& text) {
        const std::string trimmed = Trimmed(text);
        if (trimmed.empty()) {
            unknownSection_ = false;
            return;
        }
        if (trimmed[0] == '[') {
            Header(line, text, trimmed);
            return;
        }
        const std::string name = SettingName(text);
        if (name.empty() || unknownSection_) return;
        const std::string sections = OtherSections(name, "", true);
        Warn(line, nullptr, nullptr,
             "'" + text + "' lies outside any section and is ignored" +
                 (sections.empty() ? std::string()
                                   : " (" + name + " is a key of " + sections +
                                         "; does an empty line above end its section early?)"));
    }

    void Header(int line, const std::string& text, const std::string& trimmed) {
        const std::size_t close = trimmed.find(']');
        const std::string header =
            trimmed.substr(0, close == std::string::npos ? trimmed.size() : close + 1);
        for (const std::string& known : SectionHeaders()) {
            if (Lower(header) != Lower(known)) continue;
            Warn(line, nullptr, nullptr,
                 "'" + text + "' is not read as " + known +
                     ": a header is case-sensitive and starts the line; the section's lines "
                     "are ignored");
            unknownSection_ = true;
            return;
        }
        Warn(line, nullptr, nullptr,
             "unknown section " + header + "; it and its lines are ignored");
        unknownSection_ = true;
    }

    std::string name_;
    std::vector<Entry> entries_;
    std::map<std::string, int> lines_;    // "[SECTION] Key" -> the line that set it last
    std::map<std::string, int> keyLines_; // [KEY] name -> the line that set it last
    int settings_ = 0;
    int warnings_ = 0;
    bool unreadable_ = false;
    bool lost_ = false;           // the file's form hides text from the reader
    bool unknownSection_ = false; // outside lines below a header no section has are its own
};

// Everything one reading writes, fresh, as the plug-in has it before reading.
struct Tables {
    Settings settings;
    KeyTables keys;
    RemapTables remap;
    Tables() { ResetKeyTables(keys); }
};

template <typename Read> int Check(const std::string& shownName, std::string& out, Read read) {
    auto tables = std::make_unique<Tables>();
    Checker checker(shownName);
    SettingsDiagnostics listener = checker.Listener();
    read(SettingsTargets{tables->settings, tables->keys, tables->remap, SettingsHooks{}}, listener);
    checker.CheckKeys(tables->keys);
    return checker.Finish(out);
}

// ---- Explaining ---------------------------------------------------------------------------------

void Field(std::string& out, const char* label, const std::string& value) {
    out += "  ";
    out += label;
    out.append(10 - std::string(label).size(), ' ');
    out += value + '\n';
}

void ExplainSettingsKey(const SettingsKeyInfo& info, std::string& out) {
    out += info.key != nullptr ? std::string(info.key) + " in " + info.section
                               : std::string(info.section) + " section";
    out += '\n';
    Field(out, "does:", info.doc.what.en);
    Field(out, "type:", TypeText(info.doc, false));
    Field(out, "default:", info.doc.defaultValue.en);
    Field(out, "rule:", info.doc.bounds.en);
    Field(out, "repeated:",
          info.doc.repeat == SettingsRepeat::OnlySets ? "every line counts (only ever sets)"
                                                      : "the later line wins");
}

void ExplainKeyName(const KeyNameInfo& key, std::string& out) {
    KeyTables defaults;
    ResetKeyTables(defaults);
    const std::int32_t code = defaults.assign[key.slot];
    char text[120];
    out += std::string(key.name) + " in [KEY]\n";
    Field(out, "does:", key.function != nullptr ? key.function : "nothing reads this slot");
    Field(out, "type:", "a Windows virtual-key code");
    std::snprintf(text, sizeof text,
                  code == 0 ? "0 (unbound)" : "0x%X (no key produces it: unbound)",
                  static_cast<unsigned>(code));
    Field(out, "default:", text);
    Field(out, "rule:",
          key.slot < 50 ? "0..255; F1..F12 (0x70..0x7B) and other codes unbind it"
                        : "0..255, F1..F12 included; other codes unbind it");
    Field(out, "repeated:", "the later line wins");
}

} // namespace

int CheckSettingsFile(const std::string& path, const std::string& shownName, std::string& out) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        out += Printed(shownName + ": error: no such file, or not a file");
        return kUnreadable;
    }
    return Check(shownName, out, [&](const SettingsTargets& targets, SettingsDiagnostics& d) {
        ReadSettings(path.c_str(), targets, &d);
    });
}

int CheckSettingsText(const std::string& text, const std::string& shownName, std::string& out) {
    return Check(shownName, out, [&](const SettingsTargets& targets, SettingsDiagnostics& d) {
        ReadSettingsText(text.data(), text.size(), targets, &d);
    });
}

bool ExplainKey(const std::string& name, std::string& out) {
    std::string section;
    std::string key = name;
    if (!name.empty() && name[0] == '[') {
        const std::size_t close = name.find(']');
        section = name.substr(0, close == std::string::npos ? name.size() : close + 1);
        key = close == std::string::npos ? "" : name.substr(close + 1);
    }
    bool found = false;
    for (const SettingsKeyInfo& info : AllKeys()) {
        const bool sectionFits = section.empty() || section == info.section;
        const bool keyFits =
            key.empty() ? info.key == nullptr : info.key != nullptr && key == info.key;
        if (!sectionFits || !keyFits) continue;
        if (found) out += '\n';
        ExplainSettingsKey(info, out);
        found = true;
    }
    if ((section.empty() || section == "[KEY]") && !key.empty())
        if (const KeyNameInfo* keyName = FindKeyName(key, false)) {
            if (found) out += '\n';
            ExplainKeyName(*keyName, out);
            found = true;
        }
    if (found) return true;

    std::string like;
    for (const SettingsKeyInfo& info : AllKeys())
        if (info.key != nullptr && Lower(key) == Lower(info.key))
            like += std::string(" ") + info.section + info.key;
    if (const KeyNameInfo* keyName = FindKeyName(key, true))
        like += std::string(" [KEY]") + keyName->name;
    out += Printed(
        "'" + name + "' is not a key of the settings file" +
        (like.empty() ? std::string(" (keys are case-sensitive)") : "; did you mean" + like + "?"));
    return false;
}

} // namespace velqa3::check
