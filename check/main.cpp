// velqa3-check FILE.dat: what the plug-in makes of a settings file.
// velqa3-check --explain KEY: what a key does.
// velqa3-check --slots [ja|en]: the panel and sound slots, as the guide lists them.
#include "check/reference.h"
#include "check/settings_check.h"
#include "check/settings_reference.h"
#include "text/shown.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage = "usage: velqa3-check FILE.dat\n"
                               "       velqa3-check --explain KEY\n"
                               "       velqa3-check --slots [ja|en]\n"
                               "       velqa3-check --settings-reference [ja|en]\n"
                               "       velqa3-check --beacons-reference [ja|en]\n"
                               "Reads FILE.dat as the velqa3 plug-in does and tells, line by line, "
                               "what it made of it.\n"
                               "Exit status: 0 clean, 1 warnings, 2 the file could not be read.\n";

int Write(const std::string& text, std::FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
    return std::fflush(to);
}

int PrintSlots(const char* languageName) {
    velqa3::check::Language language = velqa3::check::Language::Japanese;
    if (!velqa3::check::LanguageNamed(languageName, language)) {
        Write("velqa3-check: --slots takes ja or en, not '" +
                  velqa3::text::Shown(languageName, 64) + "'\n",
              stderr);
        return velqa3::check::kUnreadable;
    }
    std::string out;
    velqa3::check::AppendSlotReference(language, out);
    return Write(out, stdout) == 0 ? velqa3::check::kClean : velqa3::check::kUnreadable;
}

} // namespace

int main(int argc, char** argv) {
    using namespace velqa3::check;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Write(kUsage, stdout);
        return kClean;
    }
    if (argc >= 2 && IsReferenceOption(argv[1])) return PrintReference(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--explain") == 0) {
        std::string out;
        const bool known = ExplainKey(argv[2], out);
        Write(out, known ? stdout : stderr);
        return known ? kClean : kUnreadable;
    }
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "--slots") == 0)
        return PrintSlots(argc == 3 ? argv[2] : "ja");
    if (argc != 2 || argv[1][0] == '-') {
        Write(kUsage, stderr);
        return kUnreadable;
    }
    std::string out;
    // The path as given starts every line, as compilers print it.
    const int status = CheckSettingsFile(argv[1], argv[1], out);
    Write(out, stdout);
    return status;
}
