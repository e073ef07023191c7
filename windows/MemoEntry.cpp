#include "windows/MemoEntry.h"

#include "platform/HelpWindow.h"

// Qt
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace glimmora {

namespace {

constexpr int kHelpContext = 1007;
constexpr QSize kSize(302, 247);

} // namespace

TMemoEntryForm::TMemoEntryForm(const QString& prompt, const QString& text, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Glimmora - Memo Entry"));
    setFixedSize(kSize);

    Label1 = new QLabel(this);
    Label1->setGeometry(47, 16, 193, 49);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setTextFormat(Qt::PlainText);
    // The prompt breaks its line with a carriage return, as a message box does.
    Label1->setText(QString(prompt).replace(QLatin1Char('\r'), QLatin1Char('\n')));

    Edit1 = new QLineEdit(text, this);
    Edit1->setGeometry(12, 84, 270, 65);
    Label1->setBuddy(Edit1);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(51, 172, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(147, 172, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    Edit1->setFocus();
    Edit1->selectAll();
    HelpWindow::bindHelpKey(this, kHelpContext);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString TMemoEntryForm::Text() const { return Edit1->text(); }

std::optional<QString> AskMemoText(const QString& prompt, const QString& text, QWidget* parent)
{
    TMemoEntryForm dialog(prompt, text, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}

} // namespace glimmora
