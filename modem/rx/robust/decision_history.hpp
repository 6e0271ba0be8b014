#pragma once
// The last decisions a, newest first, in a ring written twice over, so that
// the newest L are always contiguous: a bit costs two stores, not a shift.

#include <array>
#include <cstddef>
#include <cstdint>

namespace robust {

template <int L>
struct DecisionHistory {
    std::array<double, 2 * L> ring{};
    std::int32_t newest = 0;  // index of a_n in ring

    double operator[](int k) const { return ring[static_cast<std::size_t>(newest + k)]; }
    void Push(double a)
    {
        newest = newest == 0 ? L - 1 : newest - 1;
        ring[static_cast<std::size_t>(newest)] = a;
        ring[static_cast<std::size_t>(newest + L)] = a;
    }

    bool operator==(const DecisionHistory&) const = default;
};

// The sum of terms[First .. First + Count), added as a balanced tree: a
// chain of log2(Count) dependent additions rather than Count, which sets
// the pace of the per-bit loops.
template <std::size_t First, std::size_t Count, std::size_t N>
constexpr double TreeSum(const std::array<double, N>& terms)
{
    if constexpr (Count == 1)
        return terms[First];
    else
        return TreeSum<First, Count / 2>(terms) + TreeSum<First + Count / 2, Count - Count / 2>(terms);
}

template <std::size_t N>
constexpr double TreeSum(const std::array<double, N>& terms)
{
    return TreeSum<0, N>(terms);
}

}  // namespace robust
