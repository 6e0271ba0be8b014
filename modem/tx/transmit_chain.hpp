#pragma once
// One whole transmission of a picture, as the transmitter sends it.

#include <cstddef>
#include <cstdint>

#include "common/picture.hpp"
#include "tx/frame_encoder.hpp"
#include "tx/waveform_synth.hpp"

// Longest transmission at 4 samples per bit (45,769 channel bits).
constexpr std::size_t kMaxTransmissionSamples = 183076;

// The transmit chain with its state, which carries over between transmissions.
struct TransmitChain {
    explicit TransmitChain(const SamplesPerBit& samplesPerBit) : synth(samplesPerBit) {}
    TransmitChain(const TransmitChain&) = delete;  // the encoder refers to the synth
    TransmitChain& operator=(const TransmitChain&) = delete;

    WaveformSynth synth;
    FrameEncoder<WaveformSynth> encoder{synth};
};

// Encodes the preamble and rows 0 to 59 into buffer, which must hold
// kMaxTransmissionSamples; returns the number of samples written.
inline std::size_t EncodeTransmission(TransmitChain& chain, const Picture& picture, std::uint8_t* buffer)
{
    // Encoded by local stages with copies of the state, copied back at the
    // end: the sample stores (std::uint8_t) could alias the members, which
    // would then be stored and reloaded at every sample.
    WaveformSynth synth(chain.synth);
    FrameEncoder<WaveformSynth> encoder(synth, chain.encoder);
    synth.SetWriteCursor(buffer);
    encoder.SendPreamble();
    for (const PictureLine& line : picture) encoder.SendLinePacket(line);
    chain.synth.previousChannelBit = synth.previousChannelBit;
    chain.synth.SetWriteCursor(synth.WriteCursor());
    static_cast<FrameEncoderState&>(chain.encoder) = encoder;
    return static_cast<std::size_t>(synth.WriteCursor() - buffer);
}
