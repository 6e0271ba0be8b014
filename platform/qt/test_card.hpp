#pragma once
// The built-in test card: a colour test picture made at the chosen size,
// with a live strip below it that changes every second (a white block that
// steps one sixteenth of the width to the right, and a four-digit seconds
// counter), so that a live transmission is seen to be live at the far end.
//
// Layout on the 160 x 120 grid, scaled with the picture: the pattern fills
// rows 0-89; the strip (grey 24) rows 90-119, the moving block in rows 90-99
// at x = (seconds % 16) * 10, width 10; the counter's seven-segment digits,
// 8 x 16 each, 12 apart, from x = 58 at row 101.

#include <QElapsedTimer>
#include <QImage>
#include <QSize>
#include <QStringList>

#include "qt_capture.hpp"

enum class TestPattern {
    ColourBars,    // eight bars of 20: white, yellow, cyan, green, magenta, red, blue, black
    GreyRamp,      // sixteen steps of 10 from black, 17 brighter each
    Checkerboard,  // black and white squares of 10, white at the top left
};

// Names in TestPattern order, as the source dialog lists them.
QStringList TestPatternNames();

// The card for pattern and the seconds count at size, RGB888; the same
// arguments always give the same picture.
QImage RenderTestCard(TestPattern pattern, QSize size, int seconds);

class TestCardDriver : public QtCaptureDriver {
public:
    static constexpr QSize kSmall{160, 120};
    static constexpr QSize kLarge{320, 240};

    // Starts the seconds count.
    bool Start(QString& problem) override;
    QSize FrameSize() const override { return size_; }
    QImage NewestFrame() override;
    bool HasSourceDialog() const override { return true; }
    // kSmall or kLarge.
    bool FormatDialog(QWidget* parent) override;
    // The pattern.
    void SourceDialog(QWidget* parent) override;

    TestPattern Pattern() const { return pattern_; }

private:
    QElapsedTimer clock_;
    QSize size_ = kSmall;
    TestPattern pattern_ = TestPattern::ColourBars;
    // The last card made, reused within the same second.
    QImage card_;
    int cardSeconds_ = -1;
};
