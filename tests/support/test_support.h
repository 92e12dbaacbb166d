#pragma once
// Helpers shared by the tests: temporary folders, environment overrides, the photo corpus.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::test {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::u16string u16() const;
    // The path of `name` inside the folder.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// The real photo corpus (VISTREL_PHOTOS), when it exists.
std::optional<std::filesystem::path> photos_dir();
// All JPEG files below the corpus, sorted; empty when there is no corpus.
std::vector<std::filesystem::path> photo_files(const std::string& subfolder = {});

// What a command printed (standard output and error together) and its exit status (-1 when
// it did not exit normally).
struct CommandResult {
    int status = -1;
    std::string out;
};
// Runs a shell command line.
CommandResult run_command(const std::string& command_line);
// Runs a program with arguments, each quoted for the shell.
CommandResult run_program(const std::string& program, const std::vector<std::string>& args);

void write_file(const std::string& path, const std::string& bytes);
std::string read_file_bytes(const std::string& path);

}  // namespace vistrel::test

// Skips the current test with a message when the photo corpus is missing.
#define VISTREL_REQUIRE_PHOTOS()                                                                  \
    do {                                                                                          \
        if (!::vistrel::test::photos_dir()) GTEST_SKIP() << "no photo corpus (../shared/photos)"; \
    } while (0)
