// Ordering 1000 entries: the shipped OrderEntries next to the historic exchange
// sort it replaces, on the same lists in the same run.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "registrar/ordering.h"
#include "tests/registrar/ordering_oracle.h"

namespace {

using registrar::Entry;
using Clock = std::chrono::steady_clock;

constexpr int kEntries = 1000;

std::string RandomName(std::mt19937& random, const std::string& characters, int length) {
    std::string name;
    for (int k = 0; k < length; ++k) name += characters[random() % characters.size()];
    return name;
}

// Names over all letters and digits, so the entries spread over the 36 buckets.
std::vector<Entry> RandomOrder(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Entry> entries;
    for (int k = 0; k < kEntries; ++k) {
        const std::string name = RandomName(random, "abcdefghijklmnopqrstuvwxyz0123456789", 3 + random() % 6);
        entries.push_back({name + ".exe", "C:\\Program Files\\Tool" + std::to_string(random() % 50) + "\\"});
    }
    return entries;
}

// Every name under one letter, in random order.
std::vector<Entry> OneLetterRandom(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Entry> entries;
    for (int k = 0; k < kEntries; ++k) {
        entries.push_back({"A" + RandomName(random, "abcdefghijklmnopqrstuvwxyz0123456789", 5) + ".exe", "C:\\Tools\\"});
    }
    return entries;
}

// Every name under one letter, in reverse order: the exchange sort's worst case.
std::vector<Entry> OneLetterReverse() {
    std::vector<Entry> entries;
    for (int k = kEntries; k > 0; --k) {
        std::string name = "A";
        for (int rest = k, digit = 0; digit < 3; ++digit, rest /= 26) name += static_cast<char>('a' + rest % 26);
        std::swap(name[1], name[3]);  // most significant letter first
        entries.push_back({name + ".exe", "C:\\Tools\\"});
    }
    return entries;
}

bool Exists(const std::string&) { return true; }
Presence Present(const std::string&) { return Presence::Present; }

double Milliseconds(Clock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

void Run(const char* label, const std::vector<Entry>& entries) {
    constexpr int kShippedRuns = 20;
    registrar::OrderStatistics statistics;
    std::vector<Entry> shippedOrder;
    double shippedBest = 1e300;
    for (int run = 0; run < kShippedRuns; ++run) {
        registrar::OrderStatistics runStatistics;
        const auto start = Clock::now();
        auto result = registrar::OrderEntries(entries, Present, [](int) {}, &runStatistics);
        const double elapsed = Milliseconds(Clock::now() - start);
        if (elapsed < shippedBest) shippedBest = elapsed;
        statistics = runStatistics;
        shippedOrder = std::move(result.entries);
    }

    const auto start = Clock::now();
    const auto literal = oracle::OrderEntriesLiterally(entries, Exists);
    const double literalTime = Milliseconds(Clock::now() - start);

    std::printf("%-22s | %10.3f | %12llu + %9llu | %10.1f | %13llu | %s\n", label, shippedBest,
                static_cast<unsigned long long>(statistics.textComparisons),
                static_cast<unsigned long long>(statistics.rankComparisons), literalTime,
                static_cast<unsigned long long>(literal.keyComparisons),
                shippedOrder == literal.entries ? "yes" : "NO");
}

}  // namespace

int main() {
    std::printf("OrderEntries, %d entries (shipped: best of 20 runs; historic: one run)\n\n", kEntries);
    std::printf("%-22s | %10s | %24s | %10s | %13s | %s\n", "list", "shipped ms", "text + rank comparisons",
                "old ms", "old key comps", "same order");
    std::printf("%s\n", std::string(110, '-').c_str());
    Run("random order", RandomOrder(7));
    Run("one letter, random", OneLetterRandom(7));
    Run("one letter, reverse", OneLetterReverse());
    return 0;
}
