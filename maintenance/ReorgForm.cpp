#include "maintenance/ReorgForm.h"

#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"

// Qt
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kHelpContext = 130;
constexpr int kWidth = 405;
constexpr int kHeight = 249;

const QString kProcessing = QStringLiteral("Processing...");
const QString kReorganized = QStringLiteral("Reorganized");

TReorgForm::Row rowOf(TScrapbook::Part part)
{
    switch (part) {
    case TScrapbook::Part::ImageStore: return TReorgForm::ImageRow;
    case TScrapbook::Part::Memberships: return TReorgForm::CorrespondenceRow;
    case TScrapbook::Part::Categories: break;
    }
    return TReorgForm::CategoryRow;
}

void setColouredText(QLabel* label, const QString& text, Qt::GlobalColor colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setText(text);
}

} // namespace

TReorgForm::TReorgForm(TScrapbook& scrapbook, QWidget* parent) : QDialog(parent), scrapbook_(scrapbook)
{
    setWindowTitle(QStringLiteral("Glimmora - Reorganize Data Base"));
    Memo1 = new QPlainTextEdit;
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->viewport()->setAutoFillBackground(false);
    Memo1->setPlainText(QStringLiteral("Reorganizing your data base can improve execution speed.\n"
                                       "If you would like to reorganize now, click on Yes.\n"
                                       "If not, click on No."));
    QTextCursor everything(Memo1->document());
    everything.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    everything.mergeBlockFormat(centred);

    auto* rows = new QGridLayout;
    const std::array<QString, RowCount> names = {QStringLiteral("Category"), QStringLiteral("Image"),
                                                 QStringLiteral("Correspondence")};
    for (int row = 0; row < RowCount; ++row) {
        NameLabels[std::size_t(row)] = new QLabel(names[std::size_t(row)]);
        ProgressLabels[std::size_t(row)] = new QLabel;
        rows->addWidget(NameLabels[std::size_t(row)], row, 0);
        rows->addWidget(ProgressLabels[std::size_t(row)], row, 1);
    }
    rows->setColumnStretch(1, 1);

    BitBtn1 = new QPushButton(QStringLiteral("&Yes"));
    BitBtn2 = new QPushButton(QStringLiteral("&No"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TReorgForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(rows);
    layout->addLayout(buttons);
    resize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    HelpWindow::bindHelpKey(this, kHelpContext);
}

void TReorgForm::showProgress(TScrapbook::Part part, int percent)
{
    QLabel* label = ProgressLabels[std::size_t(rowOf(part))];
    if (percent >= 100)
        setColouredText(label, kReorganized, Qt::red);
    else if (percent > 0)
        setColouredText(label, QStringLiteral("%1 %2%").arg(kProcessing).arg(percent), Qt::blue);
    else
        setColouredText(label, kProcessing, Qt::blue);
    processPendingEvents();
}

void TReorgForm::BitBtn1Click()
{
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
    working_ = true;
    QString failure;
    {
        const HourglassCursor busy;
        try {
            scrapbook_.reorganize([this](TScrapbook::Part part, int percent) { showProgress(part, percent); });
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
    }
    working_ = false;
    if (failure.isEmpty())
        showMessage({QStringLiteral("Reorganization is complete."), QStringLiteral("Glimmora"), MessageIcon::None,
                     MessageButton::Ok, MessageButton::Ok, MessageBeep::Exclamation});
    else
        showMessage({QStringLiteral("The data base could not be reorganized: %1").arg(failure),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    accept();
}

// While the files are rebuilt the dialog stays: its work cannot be broken off half-way.
void TReorgForm::closeEvent(QCloseEvent* event)
{
    if (working_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TReorgForm::keyPressEvent(QKeyEvent* event)
{
    if (working_ && event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

} // namespace glimmora
