#include "rx/robust/squelch.hpp"

namespace robust {

Squelch::Design Squelch::MakeDesign(const SymbolResponse& r, double peakGain)
{
    Design d;
    d.strobePower = r.StrobePower() * (kSignalLevel * peakGain) * (kSignalLevel * peakGain);
    return d;
}

}  // namespace robust
