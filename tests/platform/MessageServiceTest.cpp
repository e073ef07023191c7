#include "platform/MessageService.h"

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

} // namespace
} // namespace glimmora
