// Runs a fuzz target over every file of its seed corpus (and over a few cut-short copies
// of each), so that the targets keep building and passing without libFuzzer.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (const auto& e : std::filesystem::directory_iterator(argv[i], ec))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.push_back(argv[i]);
        }
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            for (size_t cut : {size_t(0), bytes.size() / 3, bytes.size() / 2, bytes.size() - 1}) {
                if (cut < bytes.size()) LLVMFuzzerTestOneInput(bytes.data(), cut);
            }
            ++inputs;
        }
    }
    std::printf("replayed %zu inputs\n", inputs);
    return 0;
}
