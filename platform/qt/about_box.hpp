#pragma once
// The about box "QUOLTA", from the Designer form resources/about_box.ui.
// exec() returns 1 for "OK" and 0 when dismissed otherwise (Escape).

#include <memory>

#include <QDialog>
#include <QStringList>

class QPushButton;
class Ui_AboutBox;  // the generated form; its namespace would clash with our Ui

class AboutBox : public QDialog {
public:
    explicit AboutBox(QWidget* owner);
    ~AboutBox() override;

    // The three texts, top to bottom.
    QStringList Texts() const;
    QPushButton* OkButton() const;

private:
    std::unique_ptr<Ui_AboutBox> form_;
};
