// What this machine charges for reading scattered pages of a file held in the page cache, the
// reads a lookup's rows make: a fresh process reads one byte of each of PAGES distinct pages
// (chosen at random, the same each run) through a memory map, then the same pages by pread
// into one buffer.
//
//   qm-page-touch FILE [PAGES]
//
// Prints "<pages> <map ms> <pread ms>". Exit status: 0 measured, 2 the file could not be read.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <numeric>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long PageSize = 4096;

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Distinct page numbers below `pages`, at most `count` of them, in a random order.
std::vector<long> scatteredPages(long pages, long count)
{
    std::vector<long> all(std::size_t(pages), 0);
    std::iota(all.begin(), all.end(), 0L);
    std::shuffle(all.begin(), all.end(), std::mt19937_64(1));
    all.resize(std::size_t(std::min(pages, count)));
    return all;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: qm-page-touch FILE [PAGES]\n");
        return 2;
    }
    const long wanted = argc > 2 ? std::atol(argv[2]) : 1000;
    const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < PageSize || wanted <= 0) {
        std::perror(argv[1]);
        return 2;
    }
    const std::vector<long> pages = scatteredPages(st.st_size / PageSize, wanted);
    // Every page once into the page cache first, as a lookup finds the set's files there.
    std::vector<char> buffer(PageSize);
    for (const long p : pages)
        if (pread(fd, buffer.data(), PageSize, p * PageSize) != PageSize)
            return 2;
    void *map = mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return 2;
    const auto *bytes = static_cast<const volatile unsigned char *>(map);
    volatile unsigned sum = 0;
    auto start = std::chrono::steady_clock::now();
    for (const long p : pages)
        sum = sum + bytes[p * PageSize];
    const double mapped = millisecondsSince(start);
    start = std::chrono::steady_clock::now();
    for (const long p : pages)
        if (pread(fd, buffer.data(), PageSize, p * PageSize) != PageSize)
            return 2;
    const double read = millisecondsSince(start);
    munmap(map, std::size_t(st.st_size));
    close(fd);
    std::printf("%zu %.1f %.1f\n", pages.size(), mapped, read);
    return 0;
}
