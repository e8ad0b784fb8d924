// Runs a fuzz target over saved inputs (files, or folders of them) without the fuzzing engine,
// so the corpus is a regression test on every build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {
int Replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}
} // namespace

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file()) inputs += Replay(entry.path());
        } else if (fs::is_regular_file(argv[i])) {
            inputs += Replay(argv[i]);
        } else {
            // A corpus that is not there replays nothing: that is a failure, not a pass.
            std::fprintf(stderr, "no such input file or folder: %s\n", argv[i]);
            return 1;
        }
    }
    std::printf("replayed %d inputs\n", inputs);
    return inputs > 0 ? 0 : 1;
}
