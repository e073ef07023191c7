#include "import/LoadStatus.h"

#include "import/AddingStep.h"
#include "platform/HelpWindow.h"

// Qt
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kIconSize = 32;
constexpr int kTextWidth = 360;

QIcon standardIcon(const QWidget* widget, QStyle::StandardPixmap pixmap)
{
    return widget->style()->standardIcon(pixmap);
}

} // namespace

TLoadStatusForm::TLoadStatusForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Glimmora - File Load Status"));
    HelpWindow::bindHelpKey(this, kAddingImagesTopic);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setColumnStretch(2, 1);
    lbImagesLoaded = addRow(grid, standardIcon(this, QStyle::SP_DialogApplyButton), kImagesLoadedText);
    lbImagesDuped = addRow(grid, standardIcon(this, QStyle::SP_MessageBoxInformation), kImagesDupedText);
    lbImagesAssigned = addRow(grid, standardIcon(this, QStyle::SP_ArrowRight), kImagesAssignedText);
    lbImagesClashed = addRow(grid, standardIcon(this, QStyle::SP_MessageBoxWarning), kImagesClashedText);

    // OK is both the default and the cancel button: Enter and Esc close the summary alike.
    OKBtn = new QPushButton(QStringLiteral("OK"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QLabel* TLoadStatusForm::addRow(QGridLayout* grid, const QIcon& icon, const QString& text)
{
    const int row = grid->rowCount();
    auto* iconLabel = new QLabel;
    iconLabel->setPixmap(icon.pixmap(kIconSize, kIconSize));
    iconLabel->setFixedSize(kIconSize, kIconSize);

    auto* number = new QLabel(QStringLiteral("0"));
    QFont large = number->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    number->setFont(large);
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    number->setMinimumWidth(number->fontMetrics().horizontalAdvance(QStringLiteral("000000")));

    auto* meaning = new QLabel(text);
    meaning->setWordWrap(true);
    meaning->setMinimumWidth(kTextWidth);

    grid->addWidget(iconLabel, row, 0, Qt::AlignVCenter);
    grid->addWidget(number, row, 1);
    grid->addWidget(meaning, row, 2);
    return number;
}

void TLoadStatusForm::ShowCounters(const ImportCounters& counters)
{
    lbImagesLoaded->setText(QString::number(counters.loaded));
    lbImagesDuped->setText(QString::number(counters.duped));
    lbImagesAssigned->setText(QString::number(counters.assigned));
    lbImagesClashed->setText(QString::number(counters.clashed));
}

} // namespace glimmora
