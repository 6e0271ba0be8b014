// The timing loop's noise bandwidth, measured on its own impulse response,
// against the bandwidth it is designed from: a wrong gain, sign or
// normalisation by the detector's gain shows here as a loop that is
// faster or slower than designed, which the end-to-end figures only blur.

#include <gtest/gtest.h>

#include "rx/robust/design.hpp"
#include "rx/robust/timing_detector.hpp"
#include "rx/robust/timing_loop.hpp"

namespace {

TEST(TimingLoop, HasTheNoiseBandwidthItIsDesignedFor)
{
    for (std::int32_t samplesPerBit : {4, 3, 2}) {
        const robust::Design& design = robust::DesignFor(samplesPerBit);
        const double detectorGain =
            robust::TimingDetector::Gain(robust::SymbolResponse(samplesPerBit, design.filter.taps));
        // The strobe's lateness tau (bits) in closed loop: the detector
        // gives K_p tau plus noise, the next strobe comes d bits earlier.
        // One unit of detector noise at bit 0; the response's energy,
        // K_p^2 sum tau_k^2, is 2 Bn T for a loop of unit gain at DC.
        robust::TimingLoop loop{design.loop};
        double lateness = 0.0, energy = 0.0;
        for (int bit = 0; bit < 20000; ++bit) {
            loop.Update(detectorGain * lateness + (bit == 0 ? 1.0 : 0.0), false);
            lateness -= loop.correction;
            energy += detectorGain * detectorGain * lateness * lateness;
        }
        EXPECT_NEAR(energy / 2.0, robust::kLoopBandwidth, 0.05 * robust::kLoopBandwidth) << samplesPerBit;
        EXPECT_NEAR(lateness, 0.0, 1e-9) << samplesPerBit;  // settles: type 2, no lasting error
    }
}

}  // namespace
