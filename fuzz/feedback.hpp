#pragma once
// libFuzzer only sees the coverage of code built here, not of Qt or
// libsndfile, so on its own it keeps hardly any of the inputs those take
// new paths with. These counters tell it what the library made of an input
// (its format, the order of magnitude of each size, the kind of error), and
// an input with something new among them is kept and mutated further.
// Include once per fuzzer: each has its own counters.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace feedback {

constexpr std::size_t kGroupSize = 64;
constexpr std::size_t kGroups = 8;

// libFuzzer clears the section before each input and reads it after.
__attribute__((used, section("__libfuzzer_extra_counters"))) inline std::uint8_t counters[kGroups * kGroupSize];

// Value (taken modulo the group size) seen in group.
inline void Mark(std::size_t group, std::uint64_t value)
{
    counters[(group % kGroups) * kGroupSize + value % kGroupSize] = 1;
}

// The order of magnitude of size: 0 for 0, else 1 + floor(log2 size).
inline std::uint64_t Magnitude(std::uint64_t size) { return static_cast<std::uint64_t>(std::bit_width(size)); }

// A message as one of the group's values.
inline std::uint64_t Kind(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

}  // namespace feedback
