// velqa3-check FILE.dat: what the plug-in makes of a settings file.
// velqa3-check --explain KEY: what a key does.
// velqa3-check --slots | --settings-reference | --beacons-reference [ja|en]: the guide's
// reference pages, printed from the tables the plug-in itself uses.
#include "check/reference.h"
#include "check/settings_check.h"
#include "check/settings_reference.h"
#include "text/shown.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace velqa3::check;

constexpr const char* kUsage =
    "usage: velqa3-check FILE.dat\n"
    "       velqa3-check --explain KEY\n"
    "       velqa3-check --slots [ja|en]\n"
    "       velqa3-check --settings-reference [ja|en]\n"
    "       velqa3-check --beacons-reference [ja|en]\n"
    "Reads FILE.dat as the velqa3 plug-in does and tells, line by line, what it made of it.\n"
    "The reference options print the guide's pages (Markdown, Japanese unless en is given).\n"
    "Exit status: 0 clean, 1 warnings, 2 the file could not be read or the plug-in takes\n"
    "nothing from it, 3 the report could not be written whole.\n";

// A report cut short by a full disk or a closed pipe must not pass for a clean one, so every
// write is checked and a failure ends the run with its own status.
bool Write(const std::string& text, std::FILE* to) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), to) == text.size();
    return std::fflush(to) == 0 && written;
}

int Finish(const std::string& text, std::FILE* to, int status) {
    if (Write(text, to)) return status;
    const int reason = errno;
    std::fprintf(stderr, "velqa3-check: the report could not be written: %s\n",
                 reason != 0 ? std::strerror(reason) : "write error");
    return kWriteFailed;
}

bool IsReferencePage(const char* option) {
    return std::strcmp(option, "--slots") == 0 ||
           std::strcmp(option, "--settings-reference") == 0 ||
           std::strcmp(option, "--beacons-reference") == 0;
}

int PrintReferencePage(const char* option, const char* languageName) {
    Language language = Language::Japanese;
    if (languageName != nullptr && !LanguageNamed(languageName, language))
        return Finish(std::string("velqa3-check: ") + option + " takes ja or en, not '" +
                          velqa3::text::Shown(languageName, 64) + "'\n",
                      stderr, kUnreadable);
    std::string page;
    if (std::strcmp(option, "--slots") == 0)
        AppendSlotReference(language, page);
    else if (std::strcmp(option, "--settings-reference") == 0)
        page = SettingsReference(language);
    else
        page = BeaconsReference(language);
    return Finish(page, stdout, kClean);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return Finish(kUsage, stdout, kClean);
    if ((argc == 2 || argc == 3) && IsReferencePage(argv[1]))
        return PrintReferencePage(argv[1], argc == 3 ? argv[2] : nullptr);
    if (argc == 3 && std::strcmp(argv[1], "--explain") == 0) {
        std::string out;
        const bool known = ExplainKey(argv[2], out);
        return Finish(out, known ? stdout : stderr, known ? kClean : kUnreadable);
    }
    if (argc != 2 || argv[1][0] == '-') return Finish(kUsage, stderr, kUnreadable);
    std::string out;
    // The path as given starts every line, as compilers print it.
    const int status = CheckSettingsFile(argv[1], argv[1], out);
    return Finish(out, stdout, status);
}
