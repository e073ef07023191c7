#include "app/Main.h"
#include "app/MainGeometry.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "printing/PrintedScrapbook.h"
#include "slideshow/GlimmoraBusObject.h"

// Qt
#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

namespace glimmora {
namespace {

TEST(MainGeometry, MeasuresFollowTheStoredSizes)
{
    EXPECT_EQ(maxMainHeight(), 107);
    EXPECT_EQ(minMainWidth(), 364);
    const auto lefts = speedButtonLefts(700);
    EXPECT_EQ(lefts.front(), 193);
    EXPECT_EQ(lefts[1] - lefts[0], 36);
    EXPECT_EQ(lefts.back(), 193 + 8 * 36);
    // An odd remainder is cut towards zero, also when the window is narrower than the row.
    EXPECT_EQ(speedButtonLefts(701).front(), 193);
    EXPECT_EQ(speedButtonLefts(300).front(), -7);
}

TEST(MainForm, StaysWithinItsHeightAndWidthLimits)
{
    TMainForm form;
    form.resize(800, 400);
    EXPECT_LE(form.height(), maxMainHeight());
    form.resize(100, 50);
    EXPECT_GE(form.width(), minMainWidth());
    EXPECT_EQ(form.pos(), QPoint(0, 0));
}

TEST(MainForm, SpeedButtonsAreCentredInTheirOrderWithInvisibleSpacers)
{
    TMainForm form;
    form.resize(900, 80);
    form.show();
    const QList<QToolButton*> row = {form.sbAddToScrapbook, form.sbNewCategory, form.sbDeleteCategory,
                                     form.sbSpacer1,        form.sbNewWindow,   form.sbSearch,
                                     form.sbPrint,          form.sbSpacer2,     form.sbDesignSlideshow};
    const auto lefts = speedButtonLefts(form.centralWidget()->width());
    for (int i = 0; i < row.size(); ++i) {
        EXPECT_EQ(row.at(i)->x(), lefts[static_cast<size_t>(i)]) << "button " << i;
        EXPECT_EQ(row.at(i)->size(), QSize(30, 30));
    }
    EXPECT_FALSE(form.sbSpacer1->isVisible());
    EXPECT_FALSE(form.sbSpacer2->isVisible());
    EXPECT_EQ(form.sbNewWindow->toolTip(), QStringLiteral("Open a New Category Window"));
}

TEST(MainForm, MenusCarryTheirCommandsInOrder)
{
    TMainForm form;
    auto captions = [](const QMenu* menu) {
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    };
    EXPECT_EQ(captions(form.File1),
              QStringList({"&Add Images to Scrapbook", "-", "&New Category", "&Delete a Category", "&Rename a Category",
                           "-", "&Print the Scrapbook", "-", "Design &Slideshow", "-", "E&xit"}));
    EXPECT_EQ(captions(form.Cleanup1),
              QStringList({"Delete &Images Not on Disk", "Delete Empty &Categories", "Maintain &Removeable Media", "-",
                           "Data Base Integrity", "Reorganize Data Base"}));
    EXPECT_EQ(form.NewWindow1->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(form.KeywordSearch1->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    EXPECT_EQ(form.windowItems.size(), 9);
    EXPECT_FALSE(form.Window1Divider->isVisible());
}

TEST(MainForm, DesignSlideshowFollowsItsSpeedButton)
{
    TMainForm form;
    form.sbDesignSlideshow->setEnabled(false);
    form.File1Click();
    EXPECT_FALSE(form.DesignSlideshow1->isEnabled());
    form.sbDesignSlideshow->setEnabled(true);
    form.File1Click();
    EXPECT_TRUE(form.DesignSlideshow1->isEnabled());
}

TEST(MainForm, F1OpensTheMainWindowsHelpTopic)
{
    TMainForm form;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_EQ(HelpWindow::currentTopic(), 100);
    HelpWindow::quit();
}

TEST(MainForm, CtrlQQuitsAsExitDoes)
{
    TMainForm form;
    EXPECT_EQ(form.Exit1->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible());
}

// It lies over the second status panel, which it must not hide while nothing runs.
TEST(MainForm, TheProgressBarShowsOnlyWhileWorkMovesIt)
{
    TMainForm form;
    form.show();
    EXPECT_FALSE(form.ProgressBar1->isVisible());
    EXPECT_TRUE(form.statusPanels.at(1)->isVisible());
    form.ProgressBar1->setValue(1);
    EXPECT_TRUE(form.ProgressBar1->isVisible());
    form.ProgressBar1->setValue(249);
    EXPECT_TRUE(form.ProgressBar1->isVisible());
    form.ProgressBar1->setValue(250);
    EXPECT_FALSE(form.ProgressBar1->isVisible());
    form.ProgressBar1->setValue(120);
    form.ProgressBar1->setValue(0);
    EXPECT_FALSE(form.ProgressBar1->isVisible());
}

TEST(MainForm, SpeedButtonsHaveTheirPictures)
{
    TMainForm form;
    for (const QToolButton* button : {form.sbAddToScrapbook, form.sbNewCategory, form.sbDeleteCategory,
                                      form.sbNewWindow, form.sbSearch, form.sbPrint, form.sbDesignSlideshow})
        EXPECT_FALSE(button->icon().pixmap(22, 22).isNull()) << button->toolTip().toStdString();
}

// A refused second start asks the running instance over the session bus to come to the front;
// here another program on the bus (dbus-send) asks as the second start does.
TEST(MainForm, ASecondStartBringsTheRunningWindowToTheFront)
{
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    if (!QDBusConnection::sessionBus().isConnected() || dbusSend.isEmpty())
        GTEST_SKIP() << "needs a session bus and dbus-send";
    TMainForm form;
    form.show();
    form.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isMinimized(); }));

    QProcess secondStart;
    secondStart.start(dbusSend, {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                 QStringLiteral("--dest=Glimmora.MainWindow"), QStringLiteral("/MainWindow"),
                                 QStringLiteral("Glimmora.MainWindow.Activate")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondStart.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(secondStart.exitCode(), 0) << secondStart.readAllStandardError().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isMinimized() && form.isActiveWindow(); }));

    // The call the program itself makes: answered by the running window.
    form.showMinimized();
    EXPECT_TRUE(TGlimmoraBusObject::activateRunningInstance());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isMinimized(); }));
}

TEST(MainForm, PrintTheScrapbookAndItsSpeedButtonOpenThePrintingWindow)
{
    TMainForm form;
    EXPECT_TRUE(form.PrinttheScrapbook1->isEnabled());
    EXPECT_TRUE(form.sbPrint->isEnabled());
    QStringList opened;
    // Polls until the printing window is up, notes its list and closes it.
    std::function<void()> closePrintingWindow = [&] {
        auto* printing = qobject_cast<TQRListForm*>(QApplication::activeModalWidget());
        if (!printing) {
            QTimer::singleShot(10, closePrintingWindow);
            return;
        }
        opened.append(printing->CategoryListBox->item(0)->text());
        printing->BitBtn3->click();
    };
    QTimer::singleShot(0, closePrintingWindow);
    form.sbPrint->click();
    EXPECT_EQ(opened, QStringList{"(unassigned)"});
}

} // namespace
} // namespace glimmora
