// The store engine on a large store, beside reference tools run on the same file in the same
// run: opening the store against reading its index section with dd, saving one and 1,000
// changed records, and a full rebuild (pack) against cp of the file.
//
//   bench_store DIR [ITEMS [ITEM_BYTES]]     (defaults: 100,000 items of 11 KB, about 1.1 GB)
//
// Prints one line per timed phase, "phase seconds", then the medians of the rounds (the
// machine is shared) with the goals: opening no slower than dd reading the index section, a
// save of one changed record at most 2% of a full rebuild.

#include "store/QDB.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using glimmora::store::TQDB;
using Clock = std::chrono::steady_clock;

std::string keyOf(int number)
{
    char key[16];
    std::snprintf(key, sizeof key, "%6.6d", number);
    return key;
}

template <typename Work>
double timed(const char* phase, Work work)
{
    const auto start = Clock::now();
    work();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    std::printf("%s %.4f\n", phase, elapsed.count());
    std::fflush(stdout);
    return elapsed.count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void run(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_store: %s failed\n", command.c_str());
        std::exit(1);
    }
}

// Lets earlier writes reach the disk and files freed in the background go, so that no phase
// pays for the one before it.
void settle()
{
    run("sync");
    std::this_thread::sleep_for(std::chrono::seconds(2));
}

std::int32_t int32At(std::ifstream& file, std::streamoff offset)
{
    unsigned char bytes[4] = {};
    file.seekg(offset);
    file.read(reinterpret_cast<char*>(bytes), 4);
    return std::int32_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24);
}

// The dd command that reads exactly the index section of a plain store file.
std::string readIndexCommand(const std::string& name)
{
    std::ifstream file(name, std::ios::binary);
    const std::streamoff dataLength = int32At(file, 4);
    const std::streamoff indexLength = int32At(file, 8 + dataLength + 4);
    const std::streamoff indexOffset = 8 + dataLength + 8;
    return "dd if='" + name + "' of=/dev/null bs=" + std::to_string(indexLength)
           + " count=1 skip=" + std::to_string(indexOffset) + " iflag=skip_bytes status=none";
}

// Changes `count` records picked at random, each to a value of the same length.
void changeRecords(TQDB& db, int count, int items, std::mt19937& random, TQDB::Bytes& content)
{
    std::uniform_int_distribution<int> any(1, items);
    for (int i = 0; i < count; ++i) {
        if (!db.findKey(keyOf(any(random))))
            std::abort();
        content[1] = static_cast<std::uint8_t>(random());
        db.changeItem(content);
    }
}

constexpr int kRounds = 3;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_store DIR [ITEMS [ITEM_BYTES]]\n");
        return 2;
    }
    const std::string name = std::string(argv[1]) + "/bench.idb";
    const std::string copy = name + ".copy";
    const int items = argc > 2 ? std::atoi(argv[2]) : 100000;
    const std::size_t itemBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 11 * 1024;
    std::remove(name.c_str());

    try {
        TQDB db;
        TQDB::Bytes content(itemBytes);
        std::mt19937 random(42);
        for (auto& byte : content)
            byte = static_cast<std::uint8_t>(random());

        timed("build", [&] {
            db.setFileName(name);
            for (int i = 1; i <= items; ++i) {
                content[0] = static_cast<std::uint8_t>(i);
                db.addItem(content, keyOf(i));
                db.setAdminInteger("MAX_SEQ_NO", i);
            }
            db.setFileName("");
        });
        std::ifstream sized(name, std::ios::binary | std::ios::ate);
        std::printf("store %.3f GB\n", double(sized.tellg()) / 1e9);

        std::vector<double> copies, syncedCopies, indexReads, opens, saveOnes, saveThousands, rebuilds;
        for (int round = 0; round < kRounds; ++round) {
            settle();
            copies.push_back(timed("cp", [&] { run("cp '" + name + "' '" + copy + "'"); }));
            std::remove(copy.c_str());
            settle();
            syncedCopies.push_back(
                timed("cp+sync", [&] { run("cp '" + name + "' '" + copy + "' && sync '" + copy + "'"); }));
            std::remove(copy.c_str());
            settle();
            const auto readIndex = readIndexCommand(name);
            indexReads.push_back(timed("dd-index", [&] { run(readIndex); }));
            opens.push_back(timed("open", [&] { db.setFileName(name); }));
            saveOnes.push_back(timed("save-1", [&] {
                changeRecords(db, 1, items, random, content);
                db.save();
            }));
            saveThousands.push_back(timed("save-1000", [&] {
                changeRecords(db, 1000, items, random, content);
                db.save();
            }));
            settle();
            rebuilds.push_back(timed("rebuild", [&] { db.pack(); }));
            db.setFileName("");
        }

        const double cp = median(copies);
        const double cpSync = median(syncedCopies);
        const double indexRead = median(indexReads);
        const double open = median(opens);
        const double saveOne = median(saveOnes);
        const double saveThousand = median(saveThousands);
        const double rebuild = median(rebuilds);
        std::printf("median cp %.3f s, cp+sync %.3f s, dd of the index section %.4f s\n", cp, cpSync, indexRead);
        std::printf("open %.4f s = %.2fx dd of the index section (goal <= 1)\n", open, open / indexRead);
        std::printf("save of 1 changed record %.4f s = %.2f%% of a rebuild (goal <= 2%%)\n", saveOne,
                    100 * saveOne / rebuild);
        std::printf("save of 1000 changed records %.4f s = %.2f%% of a rebuild\n", saveThousand,
                    100 * saveThousand / rebuild);
        std::printf("full rebuild %.3f s = %.2fx cp, %.2fx cp+sync\n", rebuild, rebuild / cp, rebuild / cpSync);
    } catch (const glimmora::store::EQDBError& error) {
        std::fprintf(stderr, "bench_store: %s\n", error.what());
        return 1;
    }
    std::remove(name.c_str());
    return 0;
}
