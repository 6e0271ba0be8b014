#include "rx/robust/squelch.hpp"

#include "common/samples.hpp"

namespace robust {

Squelch::Design Squelch::MakeDesign(const SymbolResponse& r, double peakGain)
{
    Design d;
    d.strobePower = r.StrobePower() * (kSignalLevel * peakGain) * (kSignalLevel * peakGain);
    const double bitRate = static_cast<double>(kSampleRate) / r.samplesPerBit;  // bits/s
    d.floorStep = 1.0 / (kFloorRiseSeconds * bitRate);
    d.openFloorStep = 1.0 / (kOpenFloorRiseSeconds * bitRate);
    return d;
}

}  // namespace robust
