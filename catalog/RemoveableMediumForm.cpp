#include "catalog/RemoveableMediumForm.h"

#include "catalog/StoredText.h"
#include "platform/MessageService.h"

// Qt
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kHeaderTop = 10;
constexpr qsizetype kDescriptionBytes = removeable_media_file::kDescriptionBytes;

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

} // namespace

TRemoveableMediumForm::TRemoveableMediumForm(const NewDiskDetails& disk, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      disk_(disk)
{
    // Titled with the product name, as every other window is.
    setWindowTitle(QStringLiteral("Glimmora - New Removeable Drive"));
    auto* layout = new QVBoxLayout(this);
    layout->addSpacing(kHeaderTop + fontMetrics().height() + 6); // room for the painted line
    layout->addWidget(
        new QLabel(QStringLiteral("Please enter a description of your disk to help you identify it later:")));
    Edit1 = new QLineEdit;
    Edit1->setMaxLength(int(kDescriptionBytes));
    layout->addWidget(Edit1);
    OkBtn = new QPushButton(QStringLiteral("&Ok"));
    OkBtn->setDefault(true);
    OkBtn->setEnabled(false);
    layout->addWidget(OkBtn, 0, Qt::AlignHCenter);
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(fontMetrics().horizontalAdvance(headerLine()) + 40);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString TRemoveableMediumForm::description() const { return Edit1->text(); }

void TRemoveableMediumForm::Edit1Change()
{
    // The stored description holds 25 bytes of UTF-8: characters beyond that are not taken.
    const QString limited = limitedText(Edit1->text(), kDescriptionBytes);
    if (limited != Edit1->text())
        Edit1->setText(limited);
    OkBtn->setEnabled(!isBlank(Edit1->text()));
}

bool TRemoveableMediumForm::refuseEmptyDescription()
{
    if (!isBlank(Edit1->text()))
        return false;
    showMessage({QStringLiteral("You must enter a description of your disk."), QStringLiteral("Glimmora"),
                 MessageIcon::Exclamation, MessageButton::Ok, MessageButton::Ok, MessageBeep::Exclamation});
    return true;
}

void TRemoveableMediumForm::done(int result)
{
    if (refuseEmptyDescription())
        return;
    QDialog::done(result);
}

void TRemoveableMediumForm::closeEvent(QCloseEvent* event)
{
    if (refuseEmptyDescription())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TRemoveableMediumForm::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString line = headerLine();
    painter.drawText((width() - metrics.horizontalAdvance(line)) / 2, kHeaderTop + metrics.ascent(), line);
}

QString DialogDiskDescriptionPrompt::askDescription(const NewDiskDetails& disk)
{
    TRemoveableMediumForm dialog(disk);
    while (dialog.exec() != QDialog::Accepted) {
    }
    return dialog.description();
}

} // namespace glimmora
