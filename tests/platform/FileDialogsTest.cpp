// The save-file prompt: the dialog answered by script, the extension it adds, and the questions
// around it answered through the message service.

#include "platform/FileDialogs.h"
#include "platform/MessageService.h"

#include "Scratch.h"

// Qt
#include <QString>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

class SaveFilePrompt : public testing::Test {
protected:
    QString path(const char* name) const { return QString::fromStdString((dir / name).string()); }

    test::ScratchDir dir;
    ScopedScriptedFileDialogs dialogs;
    ScopedScriptedMessages messages;
    SaveFileRequest request{QStringLiteral("Provide a file name for the new file"),
                            QString::fromStdString(dir.path().string()), QStringLiteral("tree.jpg"),
                            QStringLiteral("JPEG Image (.jpg)"), QStringLiteral("jpg")};
};

TEST_F(SaveFilePrompt, ANewNameIsTakenAndGetsTheExtensionWhenItHasNone)
{
    dialogs.answer(path("forest"));
    EXPECT_EQ(AskSaveFileName(request, nullptr), path("forest.jpg"));
    EXPECT_EQ(dialogs.requests(), QList<SaveFileRequest>{request});
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(SaveFilePrompt, CancellingGivesNothing)
{
    dialogs.answerCancel();
    EXPECT_TRUE(AskSaveFileName(request, nullptr).isEmpty());
}

TEST_F(SaveFilePrompt, AnExistingFileIsReplacedOnlyAfterYesAndNoReturnsToTheDialog)
{
    test::writeFile(dir / "tree.jpg", "old");
    dialogs.answer(path("tree.jpg"));
    dialogs.answer(path("tree.jpg"));
    messages.answer(MessageButton::No);
    messages.answer(MessageButton::Yes);
    EXPECT_EQ(AskSaveFileName(request, nullptr), path("tree.jpg"));

    ASSERT_EQ(messages.shown().size(), 2);
    const Message& question = messages.shown().first().message;
    EXPECT_EQ(question.text, path("tree.jpg") + QStringLiteral(" already exists.\nDo you want to replace it?"));
    EXPECT_EQ(question.caption, request.title);
    EXPECT_EQ(question.buttons, MessageButton::Yes | MessageButton::No);
    EXPECT_EQ(question.defaultButton, MessageButton::No);
    ASSERT_EQ(dialogs.requests().size(), 2);
    EXPECT_EQ(dialogs.requests().at(1).proposedName, QStringLiteral("tree.jpg")) << "the dialog shows the name again";
}

TEST_F(SaveFilePrompt, ANameInAMissingDirectoryIsRefusedAndAskedAgain)
{
    dialogs.answer(path("no such folder/tree.jpg"));
    dialogs.answerCancel();
    EXPECT_TRUE(AskSaveFileName(request, nullptr).isEmpty());
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts().first(), QStringLiteral("The folder %1 does not exist.").arg(path("no such folder")));
    EXPECT_EQ(dialogs.requests().size(), 2);
}

TEST_F(SaveFilePrompt, ARefusedNameIsToldBeforeAnyReplaceQuestionAndAskedAgain)
{
    test::writeFile(dir / "tree.jpg", "own");
    dialogs.answer(path("tree.jpg"));
    dialogs.answer(path("forest.jpg"));
    const auto refusal = [this](const QString& chosen) {
        return chosen == path("tree.jpg") ? QStringLiteral("That is the picture's own file.") : QString();
    };
    EXPECT_EQ(AskSaveFileName(request, nullptr, refusal), path("forest.jpg"));
    EXPECT_EQ(messages.texts(), QStringList{"That is the picture's own file."});
    EXPECT_EQ(dialogs.requests().size(), 2);
}

} // namespace
} // namespace glimmora
