#include "platform/MessageService.h"

// Qt
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

TEST(ScriptedMessageService, AnswersFromTheScriptThenWithTheDefaultButton)
{
    ScopedScriptedMessages messages;
    messages.answer(MessageButton::Yes);
    Message question{QStringLiteral("Sure?"), QStringLiteral("Glimmora"),
                     MessageIcon::Question,   MessageButton::Yes | MessageButton::No,
                     MessageButton::No,       MessageBeep::Question};
    EXPECT_EQ(showMessage(question), MessageButton::Yes);
    EXPECT_EQ(showMessage(question), MessageButton::No);
    beep(MessageBeep::Exclamation);

    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.shown().at(0).message.caption, QStringLiteral("Glimmora"));
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Sure?"), QStringLiteral("Sure?")}));
    EXPECT_EQ(messages.beeps(),
              QList<MessageBeep>({MessageBeep::Question, MessageBeep::Question, MessageBeep::Exclamation}));
}

TEST(WidgetMessageService, ShowsMarkupInATextAsThoseCharacters)
{
    const QString text = QStringLiteral("Cannot open <img src=\"/dev/zero\"><b>x</b>.jpg");
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        format = label->textFormat();
        shown = label->text();
        box->done(QMessageBox::Ok);
    });

    EXPECT_EQ(showMessage({text}), MessageButton::Ok);

    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, text);
}

} // namespace
} // namespace glimmora
