#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace glimmora::test {

// A fresh directory below the sandbox's temporary directory, removed with everything in it
// when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view bytes);

// The raw pieces of the data files: a little-endian 32-bit number, and a category record (number,
// length-prefixed name, filled up to its 32 bytes).
std::string le32(std::uint32_t value);
std::string categoryRecord(std::int32_t id, std::string_view name, char filler = '\0');

// Polls `condition` until it holds (true) or `timeout` has passed (false).
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(30));

// What a run of build/bin/glimmora-cli printed, and how it ended (-1: it did not exit).
struct ToolRun {
    int status = -1;
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs the command-line tool with `arguments`, a shell word list the caller has quoted, after
// `prefix` (a quoted command that runs the tool, such as one that changes its user).
ToolRun runTool(const std::string& arguments, const std::string& prefix = {});

// The sandbox this test binary runs in: TMPDIR, HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_RUNTIME_DIR and GLIMMORA_DATA_DIR all point below it (set up before any test runs).
const std::filesystem::path& sandboxRoot();

// Called by the test mains before anything else runs, and at the end.
void prepareSandbox();
void removeSandbox();

} // namespace glimmora::test
