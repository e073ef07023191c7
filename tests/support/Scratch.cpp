#include "Scratch.h"

#include <cstdio>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>

namespace glimmora::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir()
{
    std::string pattern = (fs::temp_directory_path() / "scratch-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a scratch directory");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string le32(std::uint32_t value)
{
    const char raw[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return std::string(raw, 4);
}

std::string categoryRecord(std::int32_t id, std::string_view name, char filler)
{
    std::string record = le32(std::uint32_t(id)) + char(name.size()) + std::string(name);
    record.resize(32, filler);
    return record;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

ToolRun runTool(const std::string& arguments, const std::string& prefix)
{
    const ScratchDir scratch;
    const fs::path errors = scratch / "stderr";
    const std::string command =
        prefix + " '" GLIMMORA_BIN_DIR "/glimmora-cli' " + arguments + " 2>'" + errors.string() + "'";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        run.output.append(buffer, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = readFile(errors);
    return run;
}

} // namespace glimmora::test
