#include "capture_window.hpp"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

CaptureWindow::CaptureWindow(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted: no background fill first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CaptureWindow::ShowFrame(const QImage& frame)
{
    frame_ = frame;
    update();
}

void CaptureWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (frame_.isNull()) painter.fillRect(rect(), Qt::black);
    else painter.drawImage(rect(), frame_);
}

void AddFormAndButtons(QDialog* dialog, QFormLayout* form)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

int ChooseFromList(QWidget* parent, const QString& title, const QString& label, const QString& objectName,
                   const QStringList& items, int current)
{
    // On the heap: if parent goes while the dialog is open, it takes the
    // dialog with it.
    QPointer<QDialog> dialog = new QDialog(parent);
    dialog->setWindowTitle(title);
    auto* choice = new QComboBox(dialog);
    choice->setObjectName(objectName);
    choice->addItems(items);
    choice->setCurrentIndex(current);
    auto* form = new QFormLayout;
    form->addRow(label, choice);
    AddFormAndButtons(dialog, form);

    const int result = dialog->exec();
    if (!dialog) return -1;
    const int chosen = result == QDialog::Accepted ? choice->currentIndex() : -1;
    delete dialog;
    return chosen;
}
