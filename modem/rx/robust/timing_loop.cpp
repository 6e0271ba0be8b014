#include "rx/robust/timing_loop.hpp"

namespace robust {

TimingLoop::Design TimingLoop::MakeDesign(double detectorGain)
{
    const double zeta = kLoopDamping;
    const double theta = kLoopBandwidth / (zeta + 1.0 / (4.0 * zeta));
    const double denominator = 1.0 + 2.0 * zeta * theta + theta * theta;
    Design d;
    d.k1 = 4.0 * zeta * theta / denominator / detectorGain;
    d.k2 = 4.0 * theta * theta / denominator / detectorGain;
    return d;
}

}  // namespace robust
