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

    const char* dll = std::strstr(modulePath, ".dll");
    const std::size_t cut = dll != nullptr ? static_cast<std::size_t>(dll - modulePath)
                                           : ExtensionStart(modulePath, length);
    // The host's own naming keeps whatever follows ".dll"; a replaced last extension has
    // nothing after it.
    const char* tail = dll != nullptr ? dll + 4 : modulePath + length;
    const std::size_t tailLength = std::strlen(tail);

    if (cut + extensionLength + tailLength >= kPathSize) return false;
    std::memcpy(out, modulePath, cut);
    std::memcpy(out + cut, extension, extensionLength);
    std::memcpy(out + cut + extensionLength, tail, tailLength);
    out[cut + extensionLength + tailLength] = '\0';
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
