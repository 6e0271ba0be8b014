#pragma once
// Both receivers on every sample, only the selected one's lines and row
// resets reaching the picture: the user can change receivers while a
// picture comes in, and the new one carries on with locked loops.
//
// The two emit the same line a few bits apart (the robust receiver's
// filter, interpolation and one-bit-late decisions), so at a switch one may
// already have handed over a line that the other has still to emit, or the
// other way round. They are lined up by position: each one's lines counted
// from its latest start byte, 60 a picture, so that the start of a picture
// lines up with the end of the one before. One line apart, the newly
// selected receiver either skips the line the old one already delivered or
// delivers the one it had emitted first. Lines further apart are decodes
// that differ, not latency, and are left as they come; so are stray lines
// beyond a picture's 60.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "common/picture.hpp"
#include "rx/receive_chain.hpp"
#include "rx/robust_receiver.hpp"

template <class LineSink>
class SwitchedReceiver {
    // Stands in front of the sink for one receiver.
    class Gate {
    public:
        Gate(SwitchedReceiver& owner, bool robust) : owner_(owner), robust_(robust) {}

        void StoreLine(const PictureLine& line)
        {
            last = {line, false};
            skipReset_ = false;
            if (!Selected()) return;
            if (skip > 0) {
                --skip;
                skipReset_ = true;  // the old receiver has reset after it, if it was the 60th
                return;
            }
            owner_.sink_.StoreLine(line);
        }

        void ResetPictureRow()
        {
            last.resetAfter = true;
            if (!Selected() || skipReset_) return;
            owner_.sink_.ResetPictureRow();
        }

        struct Recent {
            PictureLine line{};
            bool resetAfter = false;
        };
        Recent last;   // the line emitted last
        int skip = 0;  // lines still to hold back after a switch

    private:
        bool Selected() const { return owner_.robustSelected_ == robust_; }

        SwitchedReceiver& owner_;
        bool robust_;
        bool skipReset_ = false;
    };

public:
    explicit SwitchedReceiver(LineSink& sink) : sink_(sink) {}
    SwitchedReceiver(const SwitchedReceiver&) = delete;  // the gates refer to it
    SwitchedReceiver& operator=(const SwitchedReceiver&) = delete;

    // Which receiver feeds the picture from the next Receive on; the exact
    // one until this is called.
    void SetRobust(bool on) { robustWanted_ = on; }
    bool Robust() const { return robustWanted_; }

    void SetSamplesPerBit(std::int32_t samplesPerBit)
    {
        exact.SetSamplesPerBit(samplesPerBit);
        robust.SetSamplesPerBit(samplesPerBit);
    }

    void Receive(std::span<const std::uint8_t> samples)
    {
        if (robustWanted_ != robustSelected_) Switch();
        exact.Receive(samples);
        robust.Receive(samples);
    }

    // The selected receiver's level line.
    std::string LevelLine() const { return robustWanted_ ? ::LevelLine(robust.Levels()) : ::LevelLine(exact.tracker); }

private:
    LineSink& sink_;
    bool robustWanted_ = false;
    bool robustSelected_ = false;
    Gate exactGate_{*this, false};
    Gate robustGate_{*this, true};

public:
    ReceiveChain<Gate> exact{exactGate_};
    RobustReceiver<Gate> robust{robustGate_};

private:
    // How many lines the newly selected receiver has emitted beyond those
    // the old one delivered, both counted from a start byte: -1, 0 or 1;
    // anything else is not latency.
    static std::optional<int> LinesAhead(std::int32_t delivered, std::int32_t emitted)
    {
        // 60 lines after a start byte is where the next start byte puts 0.
        const std::int32_t ahead = ((emitted - delivered) % kPictureHeight + kPictureHeight) % kPictureHeight;
        if (ahead == 0 || ahead == 1) return ahead;
        if (ahead == kPictureHeight - 1) return -1;
        return std::nullopt;
    }

    void Switch()
    {
        Gate& from = robustSelected_ ? robustGate_ : exactGate_;
        Gate& to = robustWanted_ ? robustGate_ : exactGate_;
        const std::int32_t fromLines = robustSelected_ ? robust.decoder.linesSinceStart : exact.decoder.linesSinceStart;
        const std::int32_t toLines = robustWanted_ ? robust.decoder.linesSinceStart : exact.decoder.linesSinceStart;
        // A line the old receiver was still to hold back was delivered by
        // the one before it.
        const std::int32_t delivered = fromLines + from.skip;
        from.skip = 0;
        robustSelected_ = robustWanted_;
        if (fromLines > kPictureHeight || toLines > kPictureHeight) return;  // stray lines: no position
        const std::optional<int> ahead = LinesAhead(delivered, toLines);
        if (ahead == -1) {
            to.skip = 1;  // the old receiver delivered the line the new one emits next
        } else if (ahead == 1) {
            // The new receiver emitted a line that the old one never delivered.
            sink_.StoreLine(to.last.line);
            if (to.last.resetAfter) sink_.ResetPictureRow();
        }
    }
};
