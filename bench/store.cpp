// The store engine on a large store: adding, finding and getting items, then closing (which
// rebuilds the store file) and opening (which splits it into work files again).
//
//   bench_store DIR [ITEMS [ITEM_BYTES]]     (defaults: 100,000 items of 11 KB, about 1.1 GB)
//
// Prints one line per phase, "phase seconds". Then, in rounds, a plain "cp" of the store file
// and an open and a close of the store, each timed; the machine is shared, so the medians of
// the rounds are compared: open + close against the copy (goal: at most 3 times).

#include "store/QDB.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    std::printf("%s %.3f\n", phase, elapsed.count());
    std::fflush(stdout);
    return elapsed.count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

constexpr int kRounds = 5;

// Lets earlier writes reach the disk and files freed in the background go, so that no phase
// pays for the one before it.
void settle()
{
    if (std::system("sync") != 0)
        std::abort();
    std::this_thread::sleep_for(std::chrono::seconds(2));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_store DIR [ITEMS [ITEM_BYTES]]\n");
        return 2;
    }
    const std::string name = std::string(argv[1]) + "/bench.idb";
    const int items = argc > 2 ? std::atoi(argv[2]) : 100000;
    const std::size_t itemBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 11 * 1024;
    std::remove(name.c_str());

    try {
        TQDB db;
        db.setFileName(name);
        TQDB::Bytes content(itemBytes);
        std::mt19937 random(42);
        for (auto& byte : content)
            byte = static_cast<std::uint8_t>(random());

        timed("add", [&] {
            for (int i = 1; i <= items; ++i) {
                content[0] = static_cast<std::uint8_t>(i);
                db.addItem(content, keyOf(i));
                db.setAdminInteger("MAX_SEQ_NO", i);
            }
        });
        std::uniform_int_distribution<int> any(1, items);
        timed("find", [&] {
            for (int i = 0; i < items; ++i)
                if (!db.findKey(keyOf(any(random))))
                    std::abort();
        });
        timed("get", [&] {
            TQDB::Bytes read;
            for (int i = 0; i < items; ++i) {
                db.findKey(keyOf(any(random)));
                db.getItem(read);
            }
        });
        timed("close", [&] { db.setFileName(""); });

        const std::string copy = "cp '" + name + "' '" + name + ".copy'";
        std::vector<double> copies, opens, closes;
        for (int round = 0; round < kRounds; ++round) {
            settle();
            copies.push_back(timed("cp", [&] {
                if (std::system(copy.c_str()) != 0)
                    std::abort();
            }));
            std::remove((name + ".copy").c_str());
            settle();
            opens.push_back(timed("open", [&] { db.setFileName(name); }));
            closes.push_back(timed("close", [&] { db.setFileName(""); }));
        }
        const double cp = median(copies);
        const double open = median(opens);
        const double close = median(closes);
        std::printf("median cp %.3f, open %.3f (%.2fx), close %.3f (%.2fx), open+close %.3f (%.2fx cp; goal <= 3x)\n",
                    cp, open, open / cp, close, close / cp, open + close, (open + close) / cp);
    } catch (const glimmora::store::EQDBError& error) {
        std::fprintf(stderr, "bench_store: %s\n", error.what());
        return 1;
    }
    return 0;
}
