#include "files/FolderTree.h"

#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include "Scratch.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

QString qPath(const fs::path& path) { return QString::fromStdString(path.string()); }

// Lets the event loop run until the condition holds or five seconds have passed.
bool waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 5000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A folder in the sandbox's home directory, for what the tree finds there (the desktop, home
// mounts); removed again so that every test finds the home as it was.
class HomeFolder {
public:
    explicit HomeFolder(const char* name) : path_(fs::path(QDir::homePath().toStdString()) / name)
    {
        fs::create_directories(path_);
    }
    ~HomeFolder() { fs::remove_all(path_); }
    HomeFolder(const HomeFolder&) = delete;
    HomeFolder& operator=(const HomeFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int index = 0; index < node->childCount(); ++index)
        texts.append(node->child(index)->text(0));
    return texts;
}

QList<const QTreeWidgetItem*> children(const QTreeWidgetItem* node)
{
    QList<const QTreeWidgetItem*> items;
    for (int index = 0; index < node->childCount(); ++index)
        items.append(node->child(index));
    return items;
}

QTreeWidgetItem* childNamed(const TFolderTree& tree, const QTreeWidgetItem* node, const QString& name)
{
    for (int index = 0; index < node->childCount(); ++index)
        if (tree.NodeName(node->child(index)) == name)
            return node->child(index);
    return nullptr;
}

TEST(FolderTree, FolderChangesAppearInSortedPlaceWhileFileChangesTouchNothing)
{
    test::ScratchDir scratch;
    for (const char* folder : {"alpha/inner", "gamma", "empty"})
        fs::create_directories(scratch / folder);
    TFolderTree tree;
    QTreeWidgetItem* inner = tree.SelectPath(qPath(scratch / "alpha" / "inner"));
    ASSERT_TRUE(inner);
    QTreeWidgetItem* alpha = inner->parent();
    QTreeWidgetItem* top = alpha->parent();
    ASSERT_EQ(tree.NodePath(top), qPath(scratch.path()));
    ASSERT_EQ(childTexts(top), QStringList({"alpha", "empty", "gamma"}));
    ASSERT_TRUE(alpha->isExpanded());
    const QList<const QTreeWidgetItem*> before = children(top);

    // Notices are handled in the order they happen: once the folder made after the file has
    // shown up, the file has been dealt with.
    test::writeFile(scratch / "new-picture.jpg", "x");
    fs::create_directory(scratch / "alpha" / "later");
    ASSERT_TRUE(waitUntil([&] { return childTexts(alpha) == QStringList({"inner", "later"}); }));
    EXPECT_EQ(children(top), before) << "a new file refreshes nothing";
    EXPECT_EQ(alpha->child(0), inner);

    fs::create_directory(scratch / "Beta");
    ASSERT_TRUE(waitUntil([&] { return childTexts(top) == QStringList({"alpha", "Beta", "empty", "gamma"}); }));
    EXPECT_EQ(top->child(0), before[0]) << "the other folders keep their nodes";
    EXPECT_EQ(top->child(3), before[2]);
    EXPECT_TRUE(alpha->isExpanded()) << "an expanded branch stays expanded";
    EXPECT_EQ(tree.currentItem(), inner);

    fs::rename(scratch / "gamma", scratch / "delta");
    EXPECT_TRUE(waitUntil([&] { return childTexts(top) == QStringList({"alpha", "Beta", "delta", "empty"}); }));
    for (const char* folder : {"zz", "cc", "aa"})
        fs::create_directory(scratch / folder);
    EXPECT_TRUE(waitUntil([&] {
        return childTexts(top) == QStringList({"aa", "alpha", "Beta", "cc", "delta", "empty", "zz"});
    }));

    // A folder without subfolders is watched too, so its first one appears.
    QTreeWidgetItem* empty = childNamed(tree, top, "empty");
    empty->setExpanded(true);
    EXPECT_EQ(empty->childCount(), 0);
    fs::create_directory(scratch / "empty" / "first");
    EXPECT_TRUE(waitUntil([&] { return childTexts(empty) == QStringList({"first"}); }));
}

TEST(FolderTree, AFolderRemovedAndMadeAgainGoesOnFollowingChanges)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "remade" / "before");
    TFolderTree tree;
    QTreeWidgetItem* top = tree.SelectPath(qPath(scratch / "remade"))->parent();
    // Looked up afresh each time: the tree may show the new folder by a new node.
    const auto remadeShows = [&](const QStringList& expected) {
        QTreeWidgetItem* remade = childNamed(tree, top, "remade");
        if (!remade)
            return false;
        remade->setExpanded(true);
        return childTexts(remade) == expected;
    };
    ASSERT_TRUE(remadeShows({"before"}));

    fs::remove_all(scratch / "remade");
    fs::create_directory(scratch / "remade");
    ASSERT_TRUE(waitUntil([&] { return remadeShows({}); }));
    fs::create_directory(scratch / "remade" / "after");
    EXPECT_TRUE(waitUntil([&] { return remadeShows({"after"}); }));
}

TEST(FolderTree, AFolderReplacedByAnotherOfTheSameNameShowsTheNewOne)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "photos" / "old");
    fs::create_directories(scratch / "photos.new" / "new");
    TFolderTree tree;
    QTreeWidgetItem* top = tree.SelectPath(qPath(scratch / "photos" / "old"))->parent()->parent();
    const auto photosShows = [&](const QStringList& expected) {
        QTreeWidgetItem* photos = childNamed(tree, top, "photos");
        if (!photos)
            return false;
        photos->setExpanded(true);
        return childTexts(photos) == expected;
    };
    ASSERT_TRUE(photosShows({"old"}));

    // Swapped in as a whole, the way a tool puts a finished copy in place.
    fs::rename(scratch / "photos", scratch / "photos.old");
    fs::rename(scratch / "photos.new", scratch / "photos");
    ASSERT_TRUE(waitUntil([&] { return childTexts(top) == QStringList({"photos", "photos.old"}); }));
    EXPECT_TRUE(waitUntil([&] { return photosShows({"new"}); }));
    fs::create_directory(scratch / "photos" / "later");
    EXPECT_TRUE(waitUntil([&] { return photosShows({"later", "new"}); }));
}

TEST(FolderTree, SelectPathStopsAtTheDeepestExistingFolder)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "a" / "b");
    TFolderTree tree;

    QTreeWidgetItem* b = tree.SelectPath(qPath(scratch / "a" / "b" / "missing" / "deeper"));
    ASSERT_TRUE(b);
    EXPECT_EQ(tree.NodeName(b), "b");
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch / "a" / "b"));
    EXPECT_EQ(tree.currentItem(), b);
    EXPECT_TRUE(b->parent()->isExpanded()) << "the selected node is shown";

    QTreeWidgetItem* a = tree.SelectPath(qPath(scratch / "a") + "/");
    ASSERT_TRUE(a);
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch / "a")) << "a trailing separator is dropped";

    for (const QString& unselectable : {QString(), QStringLiteral("c:"), QStringLiteral("relative/path")}) {
        EXPECT_EQ(tree.SelectPath(unselectable), nullptr) << unselectable.toStdString();
        EXPECT_EQ(tree.SelectedPath(), QString());
    }

    QTreeWidgetItem* root = tree.SelectPath(QStringLiteral("/"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->parent(), tree.ComputerNode());
    EXPECT_EQ(tree.SelectedPath(), "/");
}

TEST(FolderTree, DesktopComesFirstWithTheComputerNodeWhoseSelectedPathIsEmpty)
{
    const HomeFolder desktopFolder("Desktop");
    const fs::path desktop = desktopFolder.path();
    fs::create_directory(desktop / "on-desktop");

    TFolderTree tree;
    tree.setDisplayMode(dmLowercase);
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* desktopNode = tree.topLevelItem(0);
    EXPECT_EQ(desktopNode, tree.DesktopNode());
    EXPECT_EQ(tree.DesktopDirectory(), qPath(desktop));
    EXPECT_EQ(tree.NodeName(desktopNode), qPath(desktop));
    EXPECT_EQ(desktopNode->text(0), "Desktop");
    ASSERT_GE(desktopNode->childCount(), 2);
    EXPECT_EQ(desktopNode->child(0), tree.ComputerNode());
    EXPECT_EQ(tree.NodeName(desktopNode->child(1)), "on-desktop");
    ASSERT_GE(tree.ComputerNode()->childCount(), 1);
    EXPECT_EQ(tree.NodeName(tree.ComputerNode()->child(0)), "/");

    tree.setCurrentItem(tree.ComputerNode());
    EXPECT_EQ(tree.SelectedPath(), QString());
    tree.setCurrentItem(desktopNode);
    EXPECT_EQ(tree.SelectedPath(), qPath(desktop));

    QTreeWidgetItem* home = tree.SelectPath(QDir::homePath());
    ASSERT_TRUE(home);
    EXPECT_EQ(tree.NodePath(home), QDir::homePath());
    EXPECT_FALSE(childNamed(tree, home, "Desktop")) << "the desktop is not shown a second time";

    QTreeWidgetItem* onDesktop = tree.SelectPath(qPath(desktop / "on-desktop"));
    ASSERT_TRUE(onDesktop);
    EXPECT_EQ(onDesktop->parent(), desktopNode);
}

TEST(FolderTree, VanishedFoldersFallBackToTheirNearestRemainingAncestor)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "a" / "b");
    fs::create_directories(scratch / "c");
    TFolderTree tree;
    QTreeWidgetItem* b = tree.SelectPath(qPath(scratch / "a" / "b"));
    ASSERT_TRUE(b);
    QTreeWidgetItem* top = b->parent()->parent();

    fs::remove_all(scratch / "a");
    ASSERT_TRUE(waitUntil([&] { return childTexts(top) == QStringList({"c"}); }));
    EXPECT_EQ(tree.currentItem(), top);
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch.path()));

    // Expanded before the watcher could tell: it goes all the same, and its parent is selected.
    QTreeWidgetItem* c = childNamed(tree, top, "c");
    ASSERT_TRUE(c);
    tree.setCurrentItem(c);
    fs::remove_all(scratch / "c");
    c->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return top->childCount() == 0; }));
    EXPECT_TRUE(waitUntil([&] { return tree.currentItem() == top; }));
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch.path()));

    // Selecting into a folder that has gone unnoticed.
    fs::create_directories(scratch / "d" / "e");
    ASSERT_TRUE(waitUntil([&] { return childTexts(top) == QStringList({"d"}); }));
    fs::remove_all(scratch / "d");
    QTreeWidgetItem* selected = tree.SelectPath(qPath(scratch / "d" / "e"));
    EXPECT_EQ(selected, top);
    EXPECT_EQ(top->childCount(), 0);
}

TEST(FolderTree, HiddenFoldersAreNotShownAndPathsThroughThemStopAboveThem)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / ".cache" / "thumbs");
    fs::create_directories(scratch / "visible");
    TFolderTree tree;
    QTreeWidgetItem* selected = tree.SelectPath(qPath(scratch / ".cache" / "thumbs"));
    ASSERT_TRUE(selected);
    EXPECT_EQ(tree.NodePath(selected), qPath(scratch.path()));
    EXPECT_EQ(childTexts(selected), QStringList({"visible"}));
}

TEST(FolderTree, LinksAreShownButALinkCycleNeverUnfolds)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "tree" / "a");
    fs::create_directories(scratch / "outside" / "target" / "t1");
    fs::create_directory_symlink(scratch / "tree", scratch / "tree" / "a" / "loop");
    fs::create_directory_symlink(scratch / "outside" / "target", scratch / "tree" / "pictures");
    TFolderTree tree;

    QTreeWidgetItem* loop = tree.SelectPath(qPath(scratch / "tree" / "a" / "loop" / "a" / "loop" / "a"));
    ASSERT_TRUE(loop);
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch / "tree" / "a" / "loop"));
    loop->setExpanded(true);
    EXPECT_EQ(loop->childCount(), 0);
    EXPECT_EQ(loop->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    QTreeWidgetItem* pictures = tree.SelectPath(qPath(scratch / "tree" / "pictures" / "t1"));
    ASSERT_TRUE(pictures);
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch / "tree" / "pictures" / "t1")) << "a link out is opened";
}

TEST(FolderTree, DisplayModesShowRealNamesUnlessUpperCaseIsAsked)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "MixedCase" / "Inner");
    TFolderTree tree;
    tree.setDisplayMode(dmLowercase);
    QTreeWidgetItem* mixed = tree.SelectPath(qPath(scratch / "MixedCase"));
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->text(0), "MixedCase");
    tree.setDisplayMode(dmUppercase);
    QTreeWidgetItem* inner = tree.SelectPath(qPath(scratch / "MixedCase" / "Inner"));
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->text(0), "INNER");
    EXPECT_EQ(mixed->text(0), "MixedCase") << "the mode applies to nodes made after it is set";
    EXPECT_EQ(tree.SelectedPath(), qPath(scratch / "MixedCase" / "Inner")) << "paths use the real names";
}

TEST(FolderTree, AMediumThatDoesNotAnswerAsksAgainAndIsNotOfferedAfterCancel)
{
    test::ScratchDir scratch;
    fs::create_directories(scratch / "card" / "dcim");
    const QString card = qPath(scratch / "card");
    int silentReads = 2; // I/O errors cannot be had here, so the card stands in for one
    TFolderTree tree(nullptr, [&](const QString& path, const ListingContext& context) {
        if (path != card || silentReads == 0)
            return readSubfolders(path, context);
        --silentReads;
        return FolderListing{ListingResult::NotReady, {}, EIO};
    });
    QTreeWidgetItem* cardNode = tree.SelectPath(card);
    ASSERT_TRUE(cardNode);
    QTreeWidgetItem* top = cardNode->parent();

    ScopedScriptedMessages messages;
    messages.answer(MessageButton::Retry);
    QStringList shownWhileAsking;
    messages.answer([&](const Message&) {
        fs::create_directory(scratch / "arrived");
        for (int turn = 0; turn < 20; ++turn) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        shownWhileAsking = childTexts(top);
        return MessageButton::Cancel;
    });
    cardNode->setExpanded(true);

    const QList<MountEntry> mounts = readMountTable();
    const MountEntry* mount = mountOf(card, mounts);
    ASSERT_TRUE(mount);
    ASSERT_EQ(messages.shown().size(), 2) << "Retry lists again";
    const Message& asked = messages.shown().first().message;
    EXPECT_EQ(asked.text, QStringLiteral("Drive %1 is not ready.").arg(mount->mountPoint));
    EXPECT_EQ(asked.caption, "Error");
    EXPECT_EQ(asked.icon, MessageIcon::Error);
    EXPECT_EQ(asked.buttons, MessageButton::Retry | MessageButton::Cancel);
    EXPECT_EQ(shownWhileAsking, QStringList({"card"})) << "the tree does not change under the question";
    EXPECT_TRUE(waitUntil([&] { return childTexts(top) == QStringList({"arrived", "card"}); }));

    EXPECT_EQ(cardNode->childCount(), 0);
    EXPECT_EQ(cardNode->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(tree.currentItem(), cardNode);
    EXPECT_EQ(tree.SelectedPath(), QString()) << "a medium that did not answer is not offered";

    tree.MediaChanged(readMountTable());
    EXPECT_EQ(tree.SelectedPath(), card) << "a change of media makes it worth another try";
    cardNode->setExpanded(true);
    EXPECT_EQ(childTexts(cardNode), QStringList({"dcim"}));
    EXPECT_EQ(messages.shown().size(), 2);
}

TEST(FolderTree, MountTableChangesAddAndRemoveVolumes)
{
    const HomeFolder stickFolder("stick");
    const fs::path stick = stickFolder.path();
    fs::create_directory(stick / "holiday");
    ScopedFakeVolumes volumes;
    volumes.addVolume({qPath(stick), 0x1A2B3C4D, QStringLiteral("STICK"), DriveType::Removable});

    TFolderTree tree;
    const QList<MountEntry> system = readMountTable();
    QList<MountEntry> withStick = system;
    withStick.append({qPath(stick), QStringLiteral("/dev/sdz1"), QStringLiteral("vfat"), 8, 241});
    tree.MediaChanged(withStick);

    QTreeWidgetItem* computer = tree.ComputerNode();
    QTreeWidgetItem* volume = childNamed(tree, computer, qPath(stick));
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->text(0), QStringLiteral("STICK (%1)").arg(qPath(stick)));
    volume->setExpanded(true);
    EXPECT_EQ(childTexts(volume), QStringList({"holiday"}));
    tree.setCurrentItem(volume->child(0));
    EXPECT_EQ(tree.SelectedPath(), qPath(stick / "holiday"));

    // The same mount point on another device is read afresh.
    withStick.last().minor = 242;
    fs::create_directory(stick / "another");
    tree.MediaChanged(withStick);
    ASSERT_EQ(childNamed(tree, computer, qPath(stick)), volume);
    EXPECT_EQ(volume->childCount(), 0);
    EXPECT_EQ(tree.currentItem(), volume);
    volume->setExpanded(true);
    EXPECT_EQ(childTexts(volume), QStringList({"another", "holiday"}));

    tree.setCurrentItem(volume->child(1));
    tree.MediaChanged(system);
    EXPECT_FALSE(childNamed(tree, computer, qPath(stick)));
    EXPECT_EQ(tree.currentItem(), computer);
    EXPECT_EQ(tree.SelectedPath(), QString());
}

} // namespace
} // namespace glimmora
