// Arbitrary bytes as an index section read through the buffered reader, as opening a store
// does: every read must end, at the latest at the end of the file, and no key may come back
// longer than a key can be.

#include "store/BFStream.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& scratchFile()
{
    static const std::string name = [] {
        std::string pattern = glimmora::store::seam::temporaryDirectory() + "/fuzz_store_index_XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        close(fd);
        return pattern;
    }();
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace glimmora::store;
    {
        auto file = SeamFile::open(scratchFile(), SeamFile::Mode::Replace);
        file.write(data, size);
    }
    // The first byte picks the buffer: the file's own length or the smallest one.
    const std::int64_t bufferLength = size > 0 && data[0] % 2 ? 1024 : TBFStream::kFileLength;
    TBFStream reader(SeamFile::open(scratchFile(), SeamFile::Mode::Read), bufferLength);
    unlink(scratchFile().c_str()); // the reader holds it open; nothing stays behind
    std::int32_t count = 0;
    if (!reader.readInt32(count))
        return 0;
    std::string key;
    std::int32_t value = 0;
    for (std::size_t reads = 0; reader.readKey(key); ++reads) {
        if (key.size() > 255 || reads > size)
            std::abort();
        if (!reader.readInt32(value))
            break;
    }
    return 0;
}
