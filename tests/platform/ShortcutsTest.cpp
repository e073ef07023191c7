// Shortcuts as this platform has them: symbolic links (followed to their end) and desktop link
// files (a file: URL of type Link); every other file stands for itself.

#include "platform/Shortcuts.h"

#include "Scratch.h"

// Qt
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& path) { return QString::fromStdString(path.string()); }

class Shortcuts : public testing::Test {
protected:
    Shortcuts() { test::writeFile(picture, "a picture"); }

    test::ScratchDir dir;
    fs::path picture = dir / "sunset & sea.png";
};

TEST_F(Shortcuts, AFileThatIsNoShortcutStandsForItselfEvenWhenMissing)
{
    EXPECT_EQ(resolveShortcut(q(picture)), q(picture));
    EXPECT_EQ(resolveShortcut(q(dir / "gone.png")), q(dir / "gone.png"));
}

TEST_F(Shortcuts, SymbolicLinksAreFollowedToTheFileTheyEndAt)
{
    fs::create_directory(dir / "links");
    fs::create_symlink("../sunset & sea.png", dir / "links" / "relative.png");
    fs::create_symlink(dir / "links" / "relative.png", dir / "link-to-link.png");
    EXPECT_EQ(resolveShortcut(q(dir / "links" / "relative.png")), q(picture));
    EXPECT_EQ(resolveShortcut(q(dir / "link-to-link.png")), q(picture));
}

TEST_F(Shortcuts, ALinkThatLeadsNowhereResolvesToNothing)
{
    fs::create_symlink(dir / "gone.png", dir / "dangling.png");
    fs::create_symlink(dir / "b.png", dir / "a.png");
    fs::create_symlink(dir / "a.png", dir / "b.png");
    EXPECT_EQ(resolveShortcut(q(dir / "dangling.png")), std::nullopt);
    EXPECT_EQ(resolveShortcut(q(dir / "a.png")), std::nullopt) << "a circle of links";
}

TEST_F(Shortcuts, ADesktopLinkLeadsToItsLocalFile)
{
    test::writeFile(dir / "Sunset.desktop", "[Desktop Entry]\nType=Link\nName=Sunset\nURL=file://"
                                                + QString::fromStdString(picture.string())
                                                      .replace(QStringLiteral(" "), QStringLiteral("%20"))
                                                      .replace(QStringLiteral("&"), QStringLiteral("%26"))
                                                      .toStdString()
                                                + "\nIcon=image\n");
    fs::create_symlink(dir / "Sunset.desktop", dir / "link-to-desktop-link.DESKTOP");
    EXPECT_EQ(resolveShortcut(q(dir / "Sunset.desktop")), q(picture));
    EXPECT_EQ(resolveShortcut(q(dir / "link-to-desktop-link.DESKTOP")), q(picture));
}

TEST(DesktopLinks, OnlyALinkToALocalFileHasATarget)
{
    const struct {
        const char* contents;
        std::optional<QString> target;
    } cases[] = {
        {"[Desktop Entry]\nType=Link\nURL=file:///pictures/a%C3%A9.png\n", QStringLiteral("/pictures/a\u00e9.png")},
        {"[Desktop Entry]\nType=Link\nURL=https://example.org/a.png\n", std::nullopt},
        {"[Desktop Entry]\nType=Application\nExec=viewer\nURL=file:///pictures/a.png\n", std::nullopt},
        {"[Desktop Entry]\nType=Link\n", std::nullopt},
        {"[Other Group]\nType=Link\nURL=file:///pictures/a.png\n", std::nullopt},
        {"Type=Link\nURL=file:///pictures/a.png\n", std::nullopt},
        {"\x89PNG\r\n\x1a\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktopLinkTarget(QByteArrayView(c.contents)), c.target) << c.contents;
    const QByteArray huge =
        "[Desktop Entry]\nType=Link\nURL=file:///a.png\nComment=" + QByteArray(kMaxDesktopLinkBytes, 'x');
    EXPECT_EQ(desktopLinkTarget(huge), std::nullopt);
}

} // namespace
} // namespace glimmora
