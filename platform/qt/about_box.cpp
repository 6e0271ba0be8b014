#include "about_box.hpp"

#include <QMainWindow>

#include "ui_about_box.h"

AboutBox::AboutBox(QWidget* owner) : QDialog(owner), form_(std::make_unique<Ui_AboutBox>())
{
    form_->setupUi(this);
    form_->okButton->setFocus();
    // 6, 18 dialog units from the top left of the owner's client area, at
    // the form's 1.5 x 1.625 pixels per unit (8-point base units 6 x 13).
    if (owner) {
        const QWidget* client = owner;
        if (auto* window = qobject_cast<QMainWindow*>(owner); window && window->centralWidget()) {
            client = window->centralWidget();
        }
        move(client->mapToGlobal(QPoint(9, 29)));
    }
}

AboutBox::~AboutBox() = default;

QStringList AboutBox::Texts() const
{
    return {form_->nameLabel->text(), form_->purposeLabel->text(), form_->adviceLabel->text()};
}

QPushButton* AboutBox::OkButton() const { return form_->okButton; }
