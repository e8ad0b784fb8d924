// The run folder and the inputs copied into it. Every input is read whole before the folder is
// touched, so a settings file, a plug-in or a scenario that lies in the folder itself (the
// settings of the last run, edited) survives its emptying and a failed run alike: a file the
// user named is never removed or written over, and a folder is removed only when this run made
// it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velqa3::sim {

// A file the run needs, held in memory, and the name of its copy in the run folder.
struct Input {
    std::filesystem::path source;
    std::string copyName;
    std::string bytes;
};

// A scenario's name as the name of its folder under runs/: letters, digits, '-' and '_' kept,
// anything else (a separator, "..") made '_', so no name climbs out of runs/.
std::string FolderName(const std::string& name);

// Reads a whole regular file of at most limit bytes; false, and why, otherwise.
bool ReadInput(const std::filesystem::path& file, std::uintmax_t limit, std::string& bytes,
               std::string& why);

class RunFolder {
  public:
    explicit RunFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    const std::filesystem::path& path() const { return folder_; }

    // Makes the folder, or clears what an earlier run in it wrote (sparing every input that
    // lies inside and every file the run does not write), and marks it as a run in progress.
    // outputs: the files the run writes besides the copies. False, with why, when the folder cannot
    // be used; then nothing in it was touched.
    bool Prepare(const std::vector<Input>& inputs, const std::vector<std::string>& outputs,
                 std::string& why);
    // Writes each input's copy, unless the copy is the input itself. False, with why.
    bool CopyIn(const std::vector<Input>& inputs, std::string& why);
    // After a run that could not start: the folder goes when this run made it, else only the
    // copies this run wrote into it; the marker then still says the run is incomplete.
    void Abandon();
    // The marker says every output of the run was written.
    bool MarkComplete(std::string& why);

    static constexpr const char* kMarker = ".velqa3-sim-run";

  private:
    std::filesystem::path folder_;
    bool created_ = false;
    std::vector<std::filesystem::path> written_;
    std::vector<std::string> outputs_; // the files a run writes, none of them an input
};

// Writes bytes into a new file at path (an old file of the name is replaced, never cut to
// nothing first); false, with the file and the system's reason in why, when any of it failed.
bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string& why);

// The path with every link and ".." resolved, as far as it exists; for comparing places.
std::filesystem::path Resolved(const std::filesystem::path& path);
// Whether inner is place itself or lies somewhere below it.
bool Within(const std::filesystem::path& inner, const std::filesystem::path& place);

} // namespace velqa3::sim
