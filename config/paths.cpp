#include "config/paths.h"

#include <cstring>

namespace velqa3 {

namespace {

// Start of the last extension of the file name, or the end of the path when it has none.
std::size_t ExtensionStart(const char* path, std::size_t length) {
    for (std::size_t i = length; i > 0; --i) {
        const char c = path[i - 1];
        if (c == '/' || c == '\\') break;
        if (c == '.') return i - 1;
    }
    return length;
}

} // namespace

bool SiblingPath(const char* modulePath, const char* extension, char (&out)[kPathSize]) {
    out[0] = '\0';
    if (modulePath == nullptr || extension == nullptr) return false;
    const std::size_t length = std::strlen(modulePath);
    const std::size_t extensionLength = std::strlen(extension);
    // Only the file name's own extension: a vehicle kept in a folder such as "my.dlls" or
    // "old.dll_backup" must still find the settings beside the plug-in, not a file that
    // cannot exist.
    const std::size_t cut = ExtensionStart(modulePath, length);
    if (cut + extensionLength >= kPathSize) return false;
    std::memcpy(out, modulePath, cut);
    std::memcpy(out + cut, extension, extensionLength + 1);
    return true;
}

bool FolderPath(const char* modulePath, const char* fileName, char (&out)[kPathSize]) {
    out[0] = '\0';
    if (modulePath == nullptr || fileName == nullptr) return false;
    std::size_t folder = std::strlen(modulePath);
    while (folder > 0 && modulePath[folder - 1] != '/' && modulePath[folder - 1] != '\\')
        --folder;
    const std::size_t nameLength = std::strlen(fileName);
    if (folder + nameLength >= kPathSize) return false;
    std::memcpy(out, modulePath, folder);
    std::memcpy(out + folder, fileName, nameLength + 1);
    return true;
}

} // namespace velqa3
