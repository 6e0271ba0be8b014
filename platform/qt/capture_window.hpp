#pragma once
// The capture window: a child widget of the main window showing the newest
// preview frame scaled to its size (black before the first), and the small
// modal choice dialog the drivers' format and source dialogs are made of.

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

class CaptureWindow : public QWidget {
public:
    explicit CaptureWindow(QWidget* parent);

    void ShowFrame(const QImage& frame);
    const QImage& Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
};

class QDialog;
class QFormLayout;

// Lays a dialog out as its form above "OK" and "Cancel", which accept and
// reject it.
void AddFormAndButtons(QDialog* dialog, QFormLayout* form);

// A modal dialog offering items in a combo box with the given object name,
// current selected first. The chosen index when accepted; -1 when rejected
// or when parent was destroyed while it was open.
int ChooseFromList(QWidget* parent, const QString& title, const QString& label, const QString& objectName,
                   const QStringList& items, int current);
