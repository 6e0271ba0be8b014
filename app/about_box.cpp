#include "app/about_box.hpp"

#include "ui_about_box.h"

AboutBox::AboutBox(QWidget* owner) : QDialog(owner), form_(std::make_unique<Ui_AboutBox>())
{
    form_->setupUi(this);
    form_->okButton->setFocus();
}

AboutBox::~AboutBox() = default;

QStringList AboutBox::Texts() const
{
    return {form_->nameLabel->text(), form_->purposeLabel->text(), form_->adviceLabel->text()};
}

QPushButton* AboutBox::OkButton() const { return form_->okButton; }
