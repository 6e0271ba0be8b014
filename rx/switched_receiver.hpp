#pragma once
// Both receivers on every sample, only the selected one's lines and row
// resets reaching the picture: the user can change receivers while a
// picture comes in, and the new one carries on with locked loops.
//
// The two emit the same line a few bits apart (the robust receiver's
// filter, interpolation and one-bit-late decisions), so at a switch one may
// already have handed over a line that the other has still to emit, or the
// other way round. Each keeps its last two lines; at the switch they are
// lined up by content, and the newly selected receiver either skips the
// line the old one already delivered or delivers the one it had emitted
// first. Lines further apart than one are decodes that differ, not
// latency, and are left as they come.

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/picture.hpp"
#include "rx/picture_view.hpp"
#include "rx/receive_chain.hpp"
#include "rx/robust_receiver.hpp"

template <class LineSink = PictureView>
class SwitchedReceiver {
    // Stands in front of the sink for one receiver.
    class Gate {
    public:
        Gate(SwitchedReceiver& owner, bool robust) : owner_(owner), robust_(robust) {}

        void StoreLine(const PictureLine& line)
        {
            previous = last;
            last = {line, false};
            if (count < 2) ++count;
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
        Recent last, previous;
        int count = 0;  // lines emitted, counted up to 2
        int skip = 0;    // lines still to hold back after a switch

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

    // The selected receiver's level line (FormatLevelLine).
    int FormatLevels(char* out, std::size_t size) const
    {
        return robustWanted_ ? FormatLevelLine(robust.Levels(), out, size) : FormatLevelLine(exact.tracker, out, size);
    }

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
    void Switch()
    {
        Gate& from = robustSelected_ ? robustGate_ : exactGate_;
        Gate& to = robustWanted_ ? robustGate_ : exactGate_;
        from.skip = 0;
        robustSelected_ = robustWanted_;
        if (to.count == 0 || from.count == 0 || to.last.line == from.last.line) return;
        if (from.count > 1 && to.last.line == from.previous.line) {
            to.skip = 1;  // the old receiver delivered the line the new one emits next
        } else if (to.count > 1 && to.previous.line == from.last.line) {
            // The new receiver emitted a line that the old one never delivered.
            sink_.StoreLine(to.last.line);
            if (to.last.resetAfter) sink_.ResetPictureRow();
        }
    }
};
