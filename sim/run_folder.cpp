#include "sim/run_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

namespace {

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "an unknown fault";
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

} // namespace

// The path with every link and ".." resolved, as far as it exists; for comparing places.
fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path.lexically_normal() : resolved;
}

// Whether inner is place itself or lies somewhere below it.
bool Within(const fs::path& inner, const fs::path& place) {
    auto a = inner.begin(), b = place.begin();
    for (; b != place.end(); ++a, ++b)
        if (a == inner.end() || *a != *b) return false;
    return true;
}

std::string FolderName(const std::string& name) {
    std::string folder;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        folder += plain ? c : '_';
    }
    return folder.empty() ? "run" : folder;
}

bool ReadInput(const fs::path& file, std::uintmax_t limit, std::string& bytes, std::string& why) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (!fs::exists(status)) return why = "no such file", false;
    if (!fs::is_regular_file(status)) return why = "not a regular file", false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return why = "it cannot be opened", false;
    bytes.assign(static_cast<std::size_t>(std::min<std::uintmax_t>(limit, 1 << 20)) + 1, '\0');
    std::size_t used = 0;
    while (in.read(bytes.data() + used, static_cast<std::streamsize>(bytes.size() - used)),
           in.gcount() > 0) {
        used += static_cast<std::size_t>(in.gcount());
        if (used > limit) {
            bytes.clear();
            why = "it is larger than the limit of " + std::to_string(limit) + " bytes";
            return false;
        }
        if (used == bytes.size())
            bytes.resize(
                std::min<std::size_t>(bytes.size() * 2, static_cast<std::size_t>(limit) + 1));
    }
    if (in.bad()) return why = "it cannot be read", false;
    bytes.resize(used);
    return true;
}

bool WriteWholeFile(const fs::path& path, std::string_view bytes, std::string& why) {
    std::error_code ignored;
    if (!fs::is_directory(fs::symlink_status(path, ignored))) fs::remove(path, ignored);
    errno = 0;
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        why = "cannot write " + path.string() + ": " + Reason(errno);
        return false;
    }
    errno = 0;
    bool good = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int fault = errno;
    if (std::fclose(file) != 0 && good) {
        good = false;
        fault = errno;
    }
    if (!good) why = "cannot write " + path.string() + ": " + Reason(fault);
    return good;
}

bool RunFolder::Prepare(const std::vector<Input>& inputs, const std::vector<std::string>& outputs,
                        std::string& why) {
    std::error_code error;
    const fs::path marker = folder_ / kMarker;
    if (fs::exists(folder_, error)) {
        if (!fs::is_directory(folder_, error)) {
            why = "--out " + folder_.string() + " is a file, not a folder";
            return false;
        }
        if (!fs::is_empty(folder_, error) && !fs::exists(marker, error)) {
            why = "--out " + folder_.string() +
                  " holds files that are not a run of velqa3-sim; choose another folder";
            return false;
        }
        // A run writes these afresh: an input among them would be lost. An input may only
        // be its own copy.
        std::vector<std::string> written = outputs;
        for (const Input& input : inputs)
            if (!input.copyName.empty()) written.push_back(input.copyName);
        for (const Input& input : inputs)
            for (const std::string& name : written)
                if (name != input.copyName && SameFile(input.source, folder_ / name)) {
                    why = "cannot use " + input.source.string() + ": the run writes its " + name +
                          " in its place; copy it elsewhere first";
                    return false;
                }
        // Only what a run writes goes: the outputs, the copies and the record a copied plug-in
        // keeps beside itself (its name with .csv), which it would otherwise append to. Any other
        // file the user left in the folder stays, and so does anything that holds an input.
        std::vector<fs::path> kept;
        for (const Input& input : inputs)
            kept.push_back(Resolved(input.source));
        for (const Input& input : inputs)
            if (!input.copyName.empty())
                written.push_back(fs::path(input.copyName).replace_extension(".csv").string());
        for (const std::string& name : written) {
            const fs::path entry = folder_ / name;
            if (!fs::exists(fs::symlink_status(entry, error))) continue;
            const fs::path place = Resolved(entry);
            const bool holdsInput = std::any_of(kept.begin(), kept.end(), [&](const fs::path& k) {
                return Within(k, place) || SameFile(k, entry);
            });
            if (!holdsInput) fs::remove_all(entry, error);
        }
    } else {
        if (!fs::create_directories(folder_, error) || error) {
            why = "cannot make the run folder " + folder_.string() + ": " + error.message();
            return false;
        }
        created_ = true;
    }
    outputs_ = outputs;
    if (!WriteWholeFile(marker, "incomplete\n", why)) {
        Abandon();
        return false;
    }
    return true;
}

bool RunFolder::CopyIn(const std::vector<Input>& inputs, std::string& why) {
    for (const Input& input : inputs) {
        if (input.copyName.empty()) continue;
        const fs::path copy = folder_ / input.copyName;
        if (SameFile(input.source, copy)) continue;
        // The same file given twice (a scenario that names the settings it lies beside): one copy.
        if (std::find(written_.begin(), written_.end(), copy) != written_.end()) continue;
        written_.push_back(copy);
        if (!WriteWholeFile(copy, input.bytes, why)) return false;
    }
    return true;
}

void RunFolder::Abandon() {
    std::error_code error;
    if (created_) {
        fs::remove_all(folder_, error);
        return;
    }
    for (const fs::path& copy : written_)
        fs::remove(copy, error);
    for (const std::string& name : outputs_)
        fs::remove(folder_ / name, error);
    written_.clear();
}

bool RunFolder::MarkComplete(std::string& why) {
    return WriteWholeFile(folder_ / kMarker, "complete\n", why);
}

} // namespace velqa3::sim
