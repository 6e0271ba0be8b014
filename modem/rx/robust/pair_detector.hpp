#pragma once
// Decisions, one bit late: at strobe n, a_(n-1) is the first half of the
// pair (a_(n-1), a_n) whose model fits y_(n-1) and y_n best (four pairs,
// squared error), the final bits' share (ChannelModel::Predict) taken off.
// This is a two-strobe sequence estimate: it sees the pre-cursor, which a
// slicer or decision feedback alone cannot (at N = 3, r(T) = 0.19 of the
// peak). A decision is reliable, to adapt on, when the two best pairs'
// costs are apart by at least kReliableMargin (1/4) of the 4 A^2 that
// separate them on a clean channel.

#include <algorithm>
#include <cmath>

#include "rx/robust/channel_model.hpp"

namespace robust {

constexpr double kReliableMargin = 0.25;  // cost margin of a decision to adapt on, of the clean one

struct PairDetector {
    bool reliable = false;  // whether a_(n-1) was decided with kReliableMargin

    struct Decision {
        double bit;          // a_(n-1), +1 or -1
        bool olderReliable;  // whether a_(n-2) was decided with kReliableMargin
    };
    // From the strobes y_(n-1) (previousY) and y_n, the shares w and the
    // prediction made with them.
    Decision Decide(const Shares& w, const ChannelModel::Prediction& p, double previousY, double y)
    {
        const auto cost = [&](double last, double next) {
            const double e1 = previousY - w[0] * next - w[1] * last - p.before;
            const double e2 = y - w[1] * next - w[2] * last - p.beforeNext;
            return e1 * e1 + e2 * e2;
        };
        // Branch-free: the bits are random, a branch per pair would be
        // mispredicted half the time. A tie goes to +1.
        const double bestHigh = std::min(cost(1.0, 1.0), cost(1.0, -1.0));
        const double bestLow = std::min(cost(-1.0, 1.0), cost(-1.0, -1.0));
        const Decision decision{bestLow < bestHigh ? -1.0 : 1.0, reliable};
        reliable = std::abs(bestLow - bestHigh) >= kReliableMargin * 4.0 * w[1] * w[1];
        return decision;
    }

    bool operator==(const PairDetector&) const = default;
};

}  // namespace robust
