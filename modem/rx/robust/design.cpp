#include "rx/robust/design.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

#include "rx/robust/pulse.hpp"
#include "rx/robust/timing_detector.hpp"

namespace robust {

Design MakeDesign(std::int32_t samplesPerBit)
{
    Design d;
    d.samplesPerBit = samplesPerBit;
    d.filter = MatchedFilter::MakeDesign(samplesPerBit);
    const SymbolResponse response(samplesPerBit, d.filter.taps);
    d.loop = TimingLoop::MakeDesign(TimingDetector::Gain(response));
    d.gradient = ErrorGradient::MakeDesign(response, TimingDetector::Gain(response));
    d.squelch = Squelch::MakeDesign(response, d.filter.peakGain);
    d.model = ChannelModel::MakeDesign(response, d.filter.peakGain);
    d.feedforward = Feedforward::MakeDesign(samplesPerBit);
    return d;
}

const Design& DesignFor(std::int32_t samplesPerBit)
{
    static const std::array<Design, 3> designs{MakeDesign(2), MakeDesign(3), MakeDesign(4)};
    return designs[static_cast<std::size_t>(std::clamp(samplesPerBit, 2, 4) - 2)];
}

}  // namespace robust
