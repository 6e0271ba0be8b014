#pragma once
// The blocks' designs for one samples-per-bit setting, computed once from
// the synth's pulse.

#include <cstdint>

#include "rx/robust/channel_model.hpp"
#include "rx/robust/error_gradient.hpp"
#include "rx/robust/feedforward.hpp"
#include "rx/robust/matched_filter.hpp"
#include "rx/robust/squelch.hpp"
#include "rx/robust/timing_loop.hpp"

namespace robust {

struct Design {
    std::int32_t samplesPerBit = 4;
    MatchedFilter::Design filter;
    TimingLoop::Design loop;
    Squelch::Design squelch;
    ChannelModel::Design model;
    ErrorGradient::Design gradient;
    Feedforward::Design feedforward;
};

Design MakeDesign(std::int32_t samplesPerBit);

// The designs for 2, 3 and 4 samples per bit (others clamped), made once.
const Design& DesignFor(std::int32_t samplesPerBit);

}  // namespace robust
