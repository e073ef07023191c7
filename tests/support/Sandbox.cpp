#include "Scratch.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace glimmora::test {

namespace fs = std::filesystem;

namespace {

fs::path makeSandbox()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/glimmora-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make the test sandbox");
    const fs::path root = pattern;
    for (const char* sub : {"tmp", "home", "config", "data", "runtime", "glimmora-data"})
        fs::create_directories(root / sub);
    fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    setenv("GLIMMORA_DATA_DIR", (root / "glimmora-data").c_str(), 1);
    return root;
}

fs::path& sandboxPath()
{
    static fs::path root;
    return root;
}

} // namespace

const fs::path& sandboxRoot() { return sandboxPath(); }

void prepareSandbox() { sandboxPath() = makeSandbox(); }

void removeSandbox()
{
    std::error_code ignored;
    fs::remove_all(sandboxPath(), ignored);
}

} // namespace glimmora::test
