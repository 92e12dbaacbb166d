#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/text.h"

namespace vistrel::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vistrel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::u16string TempDir::u16() const {
    return from_utf8(m_path.string());
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) m_old = old;
    if (value)
        setenv(m_name.c_str(), value->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (m_old)
        setenv(m_name.c_str(), m_old->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

std::optional<std::filesystem::path> photos_dir() {
    const char* dir = std::getenv("VISTREL_PHOTOS");
    if (!dir || !*dir) return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
    return std::filesystem::path(dir);
}

std::vector<std::filesystem::path> photo_files(const std::string& subfolder) {
    std::vector<std::filesystem::path> files;
    const auto dir = photos_dir();
    if (!dir) return files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(*dir / subfolder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        auto ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (it->is_regular_file() && (ext == ".jpg" || ext == ".jpeg")) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

CommandResult run_command(const std::string& command_line) {
    CommandResult result;
    FILE* pipe = popen((command_line + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

CommandResult run_program(const std::string& program, const std::vector<std::string>& args) {
    std::string line = program;
    for (const auto& arg : args) {
        line += " '";
        for (char c : arg)
            line += (c == '\'') ? std::string("'\\''") : std::string(1, c);
        line += "'";
    }
    return run_command(line);
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string read_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace vistrel::test

namespace {

// Tests never touch the user's own settings: unless a test run chose a file, every test
// program starts with a private one.
const bool g_private_settings = [] {
    if (!std::getenv("VISTREL_SETTINGS")) {
        const std::string file = (std::filesystem::temp_directory_path() /
                                  ("vistrel-test-settings-" + std::to_string(getpid()) + ".reg"))
                                     .string();
        setenv("VISTREL_SETTINGS", file.c_str(), 1);
        std::atexit([] {
            if (const char* f = std::getenv("VISTREL_SETTINGS")) {
                unlink(f);
                unlink((std::string(f) + ".lock").c_str());
            }
        });
    }
    return true;
}();

}  // namespace
