#pragma once

#include <filesystem>
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
