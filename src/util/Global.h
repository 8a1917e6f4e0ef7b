#pragma once

#include <QString>

#include <cstdint>

namespace velmora {
class UserInterface;
}

namespace velmora::Global {

// The user's temporary folder with a trailing separator; "" when it cannot be determined.
QString GetTempFolder();

// Creates every missing level of path. True when the directory exists afterwards.
// Never throws and never shows anything.
bool EnsureDirectory(const QString& path);

// Asks for a folder through ui. Returns "" when cancelled or on any failure;
// a chosen root keeps its separator, any other folder comes without one.
QString BrowseForFolder(UserInterface& ui, const QString& title);

// A whole number from lower to upper, both included, drawn from the process's one
// sequence, which starts from the same state at every program start.
// (upper - lower + 1) must fit a 32-bit signed integer; upper < lower gives lower.
std::int32_t RandomBetween(std::int32_t lower, std::int32_t upper);

// One pseudo-random sequence (SplitMix64): small, fast and the same on every platform, which
// the standard distributions are not. RandomBetween draws from a process-wide instance made
// with the default seed.
class RandomSequence {
  public:
    static constexpr std::uint64_t kDefaultSeed = 0x5645'4C4D'4F52'4121ULL;

    // The same seed gives the same sequence at every start.
    explicit RandomSequence(std::uint64_t seed = kDefaultSeed) : m_state(seed) {}

    // The next 64 raw bits.
    std::uint64_t Next();
    std::int32_t Between(std::int32_t lower, std::int32_t upper);

  private:
    std::uint64_t m_state;
};

}  // namespace velmora::Global
