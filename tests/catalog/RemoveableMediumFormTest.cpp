#include "catalog/RemoveableMediumForm.h"
#include "platform/MessageService.h"

// Qt
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

const NewDiskDetails kDisk{QStringLiteral("/media/u/STICK"), QStringLiteral(" PHOTOS "), 0x1A2B3C4D};

TEST(TRemoveableMediumForm, ShowsTheDiskAndEnablesOkOnlyForADescription)
{
    TRemoveableMediumForm form(kDisk);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Glimmora - New Removeable Drive"));
    EXPECT_EQ(form.headerLine(), QStringLiteral("Drive /media/u/STICK   Volume label=PHOTOS  Ser no: 1A2B-3C4D"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.okButton()->isEnabled());
    EXPECT_EQ(form.okButton()->text(), QStringLiteral("&Ok"));

    form.descriptionEdit()->setText(QStringLiteral("    "));
    EXPECT_FALSE(form.okButton()->isEnabled());
    form.descriptionEdit()->setText(QStringLiteral("x"));
    EXPECT_TRUE(form.okButton()->isEnabled());

    form.descriptionEdit()->setText(QString(30, QLatin1Char('a')));
    EXPECT_EQ(form.description().size(), 25);
    form.descriptionEdit()->setText(QString(20, QLatin1Char('a')) + QString::fromUtf8("éééé"));
    EXPECT_EQ(form.description(), QString(20, QLatin1Char('a')) + QString::fromUtf8("éé"));
}

TEST(TRemoveableMediumForm, RefusesToCloseWithoutADescription)
{
    ScopedScriptedMessages messages;
    TRemoveableMediumForm form(kDisk);
    form.show();
    form.close();
    EXPECT_TRUE(form.isVisible());
    form.reject();
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.texts().first(), QStringLiteral("You must enter a description of your disk."));
    EXPECT_EQ(messages.shown().first().message.beep, MessageBeep::Exclamation);

    form.descriptionEdit()->setText(QStringLiteral("Holiday"));
    form.okButton()->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(DialogDiskDescriptionPrompt, AsksAgainUntilOk)
{
    ScopedScriptedMessages messages;
    int shown = 0;
    // Each time the dialog comes up: first dismiss it with a description, then accept it.
    std::function<void()> answer = [&] {
        auto* form = qobject_cast<TRemoveableMediumForm*>(QApplication::activeModalWidget());
        if (!form) {
            QTimer::singleShot(10, answer);
            return;
        }
        ++shown;
        form->descriptionEdit()->setText(QStringLiteral("Trip  "));
        if (shown == 1)
            form->reject();
        else
            form->okButton()->click();
        if (shown == 1)
            QTimer::singleShot(10, answer);
    };
    QTimer::singleShot(0, answer);
    DialogDiskDescriptionPrompt prompt;
    EXPECT_EQ(prompt.askDescription(kDisk), QStringLiteral("Trip  "));
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(messages.shown().isEmpty());
}

} // namespace
} // namespace glimmora
