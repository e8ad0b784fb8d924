#include "check/settings_reference.h"

#include "config/keys.h"
#include "config/settings_sections.h"
#include "host/beacon_types.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace velqa3::check {

namespace {

// The words of the pages themselves, in both languages side by side.
struct Words {
    const char* settingsTitle;
    const char* settingsIntro;
    const char* keyHeader;
    const char* wholeLines;
    const char* keyNamesTitle;
    const char* keyNamesHeader;
    const char* nothingReads;
    const char* laterWins;
    const char* onlySets;
    const char* beaconsTitle;
    const char* beaconsIntro;
    const char* beaconsHeader;
    const char* otherTypes;
    const char* generated;
};

constexpr Words kJapanese = {
    "# 設定ファイルの項目一覧",
    "設定ファイル (`velqa3.dat`) のすべてのセクションとキーです。プラグインが読み込みに使う表"
    "そのものから作っているので、プラグインの動きと食い違うことはありません。書き方の決まりと"
    "例は [設定ファイルの書き方](settings.md) を見てください。\n\n"
    "- 型: 整数は 10 進数 (`0x` で始めれば 16 進数、`0` で始めれば 8 進数) として読みます。"
    "実数は小数点付きで書けます。\n"
    "- 範囲外の値: 範囲に収まらない値をプラグインがどう扱うか。`velqa3-check` は、そうなった"
    "行を警告として示します。\n"
    "- 2 行あるとき: 同じセクションに同じキーを 2 回書いたとき、どちらが効くか。",
    "| キー | 意味 | 型・単位 | 既定値 | 範囲外の値 | 2 行あるとき |",
    "このセクションはキーではなく行の並びです。",
    "## [KEY] の名前",
    "| 名前 | スロット | 働き |",
    "(何も読まない。書いても効果なし)",
    "後の行が効く",
    "どちらも効く (立てるだけで消えない)",
    "# 地上子の一覧",
    "プラグインが受け取る地上子の番号 (Type) と、`Optional` の値の意味です。プラグインの"
    "地上子の振り分けと同じ表から作っています。Signal は地上子が属する信号の現示、Distance は"
    "その信号までの距離 (m) です。使い方と、どの組み合わせで速度制限が実際に効くかは "
    "[路線作者向けの説明](route-authors.md) を見てください。",
    "| 番号 | 働き | Optional |",
    "ここにない番号の地上子には、何もしません (どの地上子も、その Signal を今の現示として"
    "覚えることだけはします)。",
    "<!-- velqa3-check が作った文書です。手で書き換えず、作り直してください。 -->",
};

constexpr Words kEnglish = {
    "# Settings file reference",
    "Every section and key of the settings file (`velqa3.dat`), printed from the very table the "
    "plug-in reads it with, so it cannot disagree with what the plug-in does. The rules of the "
    "file and an example are in [The settings file](settings.md).\n\n"
    "- Type: integers are read as decimal (hexadecimal after `0x`, octal after a leading `0`); "
    "floats may have a decimal point.\n"
    "- Out of bounds: what the plug-in does with a value it does not keep; `velqa3-check` "
    "warns on each such line.\n"
    "- Repeated: which line counts when the same key stands twice in a section.",
    "| Key | Meaning | Type, unit | Default | Out of bounds | Repeated |",
    "This section holds lines rather than keys.",
    "## The names of [KEY]",
    "| Name | Slot | What it does |",
    "(nothing reads it; it has no effect)",
    "the later line counts",
    "both count (bits are only ever set)",
    "# Beacon reference",
    "The beacon types (Type) the plug-in acts on and what their `Optional` holds, printed from "
    "the table the plug-in's beacon routing is tested against. Signal is the aspect of the "
    "signal the beacon belongs to, Distance the distance to that signal in metres. How to use "
    "them, and which combinations really enforce a speed limit, is in "
    "[For route authors](route-authors.md).",
    "| Type | What it does | Optional |",
    "Beacons of any other type do nothing (every beacon, whatever its type, makes its Signal "
    "the current aspect).",
    "<!-- Made by velqa3-check; regenerate it rather than edit it. -->",
};

const Words& WordsOf(Language language) {
    return language == Language::Japanese ? kJapanese : kEnglish;
}

// Table cells: a '|' would end the cell early.
std::string Cell(const char* text) {
    std::string cell;
    for (const char* c = text; c != nullptr && *c != '\0'; ++c) {
        if (*c == '|') cell += '\\';
        cell += *c;
    }
    return cell;
}

std::string Row(std::initializer_list<std::string> cells) {
    std::string row = "|";
    for (const std::string& cell : cells)
        row += " " + cell + " |";
    return row + "\n";
}

std::string Separator(int columns) {
    std::string row = "|";
    for (int i = 0; i < columns; ++i)
        row += "---|";
    return row + "\n";
}

const char* RepeatWords(SettingsRepeat repeat, const Words& words) {
    return repeat == SettingsRepeat::LaterWins ? words.laterWins : words.onlySets;
}

void AppendKeyRow(const SettingsKeyInfo& info, bool japanese, const Words& words,
                  std::string& out) {
    const SettingsKeyDoc& doc = info.doc;
    out += Row({"`" + std::string(info.key) + "`", Cell(doc.what.In(japanese)),
                Cell(TypeText(doc, japanese).c_str()), Cell(doc.defaultValue.In(japanese)),
                Cell(doc.bounds.In(japanese)), RepeatWords(doc.repeat, words)});
}

void AppendLineSection(const SettingsKeyInfo& info, bool japanese, const Words& words,
                       std::string& out) {
    const SettingsKeyDoc& doc = info.doc;
    out += std::string(words.wholeLines) + "\n\n";
    out += std::string("- ") + doc.what.In(japanese) + "\n";
    out += "- " + TypeText(doc, japanese) + "\n";
    out += std::string("- ") + (japanese ? "既定: " : "default: ") + doc.defaultValue.In(japanese) +
           "\n";
    out += std::string("- ") + doc.bounds.In(japanese) + "\n";
}

void AppendKeyNames(bool japanese, const Words& words, std::string& out) {
    out += std::string("\n") + words.keyNamesTitle + "\n\n" + words.keyNamesHeader + "\n" +
           Separator(3);
    for (int i = 0; i < KeyNameCount(); ++i) {
        const KeyNameInfo& key = KeyNameAt(i);
        const char* function = japanese ? key.functionJa : key.function;
        out += Row({"`" + std::string(key.name) + "`", std::to_string(key.slot),
                    function != nullptr ? Cell(function) : words.nothingReads});
    }
}

std::string TypeRange(const BeaconTypeInfo& row, bool japanese) {
    if (row.from == row.to) return std::to_string(row.from);
    return std::to_string(row.from) + (japanese ? "～" : "-") + std::to_string(row.to);
}

} // namespace

// The unit follows the type in both languages: "int, kPa", "整数, kPa".
std::string TypeText(const SettingsKeyDoc& doc, bool japanese) {
    std::string type = doc.type.In(japanese);
    if (doc.unit != nullptr) type += std::string(", ") + doc.unit;
    return type;
}

std::string SettingsReference(Language language) {
    const bool japanese = language == Language::Japanese;
    const Words& words = WordsOf(language);
    std::string out = std::string(words.generated) + "\n\n" + words.settingsTitle + "\n\n" +
                      words.settingsIntro + "\n";
    const char* openSection = nullptr;
    for (std::size_t i = 0; i < SettingsKeyCount(); ++i) {
        const SettingsKeyInfo info = SettingsKeyAt(i);
        if (openSection == nullptr || std::strcmp(openSection, info.section) != 0) {
            openSection = info.section;
            out += std::string("\n## ") + info.section + "\n\n";
            if (info.key != nullptr) out += std::string(words.keyHeader) + "\n" + Separator(6);
        }
        if (info.key != nullptr)
            AppendKeyRow(info, japanese, words, out);
        else
            AppendLineSection(info, japanese, words, out);
    }
    AppendKeyNames(japanese, words, out);
    return out;
}

std::string BeaconsReference(Language language) {
    const bool japanese = language == Language::Japanese;
    const Words& words = WordsOf(language);
    // The lookup order puts single types before their range; a reader wants them by number.
    std::vector<const BeaconTypeInfo*> rows;
    for (const BeaconTypeInfo& row : kBeaconTypes)
        rows.push_back(&row);
    std::stable_sort(
        rows.begin(), rows.end(),
        [](const BeaconTypeInfo* a, const BeaconTypeInfo* b) { return a->from < b->from; });
    std::string out = std::string(words.generated) + "\n\n" + words.beaconsTitle + "\n\n" +
                      words.beaconsIntro + "\n\n" + words.beaconsHeader + "\n" + Separator(3);
    for (const BeaconTypeInfo* row : rows)
        out += Row({TypeRange(*row, japanese), Cell(japanese ? row->whatJa : row->what),
                    Cell(japanese ? row->optionalJa : row->optional)});
    out += std::string("\n") + words.otherTypes + "\n";
    return out;
}

} // namespace velqa3::check
