// Measures loading a generated 10,000-entry data file beside reading its raw bytes, and
// 1,000,000 FindEntry lookups. Prints figures; asserts nothing.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

using Clock = std::chrono::steady_clock;

namespace {

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Drops the file's pages from the page cache, so the next read comes from the disk.
void Evict(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double ReadRaw(const std::string& path) {
    auto start = Clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(1 << 20);
    size_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) {
        total += static_cast<size_t>(n);
    }
    ::close(fd);
    auto end = Clock::now();
    if (total == 0) {
        std::printf("nothing read\n");
    }
    return Millis(end - start);
}

}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 10000;
    tarvo::test::TempFolder folder;
    std::string bytes;
    bytes.reserve(static_cast<size_t>(entries) * tarvo::DataFileRecord::kSize);
    std::vector<uint32_t> keys;
    for (int i = 0; i < entries; ++i) {
        tarvo::test::RecordTexts t;
        char index[8], sub[4];
        std::snprintf(index, sizeof index, "%04X", 0x1000 + i / 16);
        std::snprintf(sub, sizeof sub, "%02X", i % 16);
        t.index = index;
        t.subIndex = sub;
        t.helpEn = "Help text of a generated entry, long enough to look like a real one.";
        t.helpZh = "\xB0\xEF\xD6\xFA";  // 帮助
        t.unitSpec = "[rpm]N*60/512;[r/s]N/512";
        bytes += tarvo::test::Record(t);
        keys.push_back(static_cast<uint32_t>((0x1000 + i / 16) * 256 + i % 16));
    }
    std::string path = folder.Write("tarvo.dat", bytes);

    std::printf("data file: %d entries, %.1f MB\n", entries, bytes.size() / 1e6);
    const int rounds = 7;
    for (bool cold : {true, false}) {
        double bestRaw = 1e9, bestLoad[2] = {1e9, 1e9};
        for (int r = 0; r < rounds; ++r) {
            if (cold) {
                Evict(path);
            }
            bestRaw = std::min(bestRaw, ReadRaw(path));
            for (int language = 1; language <= 2; ++language) {
                if (cold) {
                    Evict(path);
                }
                tarvo::ObjectDictionary dictionary;
                tarvo::RecordingMessageBox box;
                auto start = Clock::now();
                dictionary.LoadFile(path, language, &box);
                bestLoad[language - 1] =
                    std::min(bestLoad[language - 1], Millis(Clock::now() - start));
            }
        }
        const char* from = cold ? "from disk " : "from cache";
        std::printf("%s raw read:        %8.2f ms\n", from, bestRaw);
        std::printf("%s load (English):  %8.2f ms  (%.2fx raw)\n", from, bestLoad[1],
                    bestLoad[1] / bestRaw);
        std::printf("%s load (Chinese):  %8.2f ms  (%.2fx raw)\n", from, bestLoad[0],
                    bestLoad[0] / bestRaw);
    }

    tarvo::ObjectDictionary dictionary;
    dictionary.LoadFile(path, 2, nullptr);
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
    std::vector<uint32_t> order(1000000);
    for (auto& k : order) {
        k = keys[pick(random)];
    }
    size_t found = 0;
    auto start = Clock::now();
    for (uint32_t k : order) {
        found += dictionary.FindEntry(k).has_value();
    }
    double lookups = Millis(Clock::now() - start);
    std::printf("1,000,000 FindEntry: %8.2f ms  (%.0f ns each, %zu found)\n", lookups,
                lookups * 1e6 / 1e6, found);
    return 0;
}
