#pragma once
// The over-the-air bit format: flags, bytes LSB first, bit stuffing, NRZI and
// the self-synchronising scrambler 1 + x^12 + x^17. Every channel bit goes
// straight to Synth::RenderBit.

#include <cstdint>

#include "common/picture.hpp"

// Never reset: each transmission continues the streams of the one before.
struct FrameEncoderState {
    std::uint32_t scramblerRegister = 0;
    std::uint32_t lineLevel = 0;
    std::uint8_t onesCount = 0;
};

template <class Synth>
class FrameEncoder : public FrameEncoderState {
public:
    explicit FrameEncoder(Synth& synth, const FrameEncoderState& state = {}) : FrameEncoderState(state), synth_(synth)
    {
    }

    // 20 flags and the start byte 0xFF.
    void SendPreamble()
    {
        for (int i = 0; i < 20; ++i) SendFlag();
        SendByte(0xFF);
    }

    // A flag and the 80 bytes of one row; 255 goes out as 254 so that the
    // start byte stays unique.
    void SendLinePacket(const PictureLine& line)
    {
        SendFlag();
        for (std::uint8_t value : line) SendByte(value == 255 ? 254 : value);
    }

    // Line level in, channel bit out (the level reappears 18 bits later).
    void ScrambleBit(std::uint32_t level)
    {
        // Shift the level in, then invert bits 0 and 5 if bit 17 is set. Bit
        // 17 after the shift is bit 16 before it: taken from the old value,
        // the feedback need not wait for the shift.
        const std::uint32_t feedback = ((scramblerRegister >> 16) & 1u) * 0x21u;
        scramblerRegister = ((scramblerRegister << 1) | (level != 0 ? 1u : 0u)) ^ feedback;
        synth_.RenderBit((scramblerRegister >> 18) & 1u);
    }

    // Stuffing and NRZI for one data bit (0, or anything else for 1).
    void SendDataBit(std::uint32_t bit)
    {
        if (bit == 0) {
            lineLevel ^= 1u;
            onesCount = 0;
            ScrambleBit(lineLevel);
        } else if (onesCount < 4) {
            ++onesCount;
            ScrambleBit(lineLevel);
        } else {
            onesCount = 0;
            ScrambleBit(lineLevel);
            lineLevel ^= 1u;  // the stuffed 0
            ScrambleBit(lineLevel);
        }
    }

    // 0x7E, the only place where six 1s follow one another unstuffed.
    void SendFlag()
    {
        SendDataBit(0);
        SendDataBit(1);
        SendDataBit(1);
        SendDataBit(1);
        onesCount = 0;
        SendDataBit(1);
        SendDataBit(1);
        SendDataBit(1);
        SendDataBit(0);
    }

    void SendByte(std::uint32_t value)
    {
        for (int i = 0; i < 8; ++i) SendDataBit((value >> i) & 1u);
    }

private:
    Synth& synth_;
};
