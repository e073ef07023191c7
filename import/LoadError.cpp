#include "import/LoadError.h"

#include "platform/HelpWindow.h"

// Qt
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace glimmora {

QPointer<TLoadErrorForm> TLoadErrorForm::current_;

TLoadErrorForm::TLoadErrorForm(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setWindowTitle(QStringLiteral("Glimmora - Load Error Summary"));
    HelpWindow::bindHelpKey(this, kAddingImagesTopic);
    // Left open when the main window closes, it must not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    Memo1 = new QPlainTextEdit;
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    CloseBtn = new QPushButton(QStringLiteral("Close"));
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);
    resize(420, 260);
}

TLoadErrorForm* TLoadErrorForm::Renew(QWidget* owner)
{
    delete current_.data();
    current_ = new TLoadErrorForm(owner);
    return current_;
}

TLoadErrorForm* TLoadErrorForm::Current() { return current_; }

void TLoadErrorForm::AddLine(const QString& line) { Memo1->appendPlainText(line); }

QString TLoadErrorForm::Text() const { return Memo1->toPlainText(); }

} // namespace glimmora
