// cmake --install into a temporary DESTDIR: every file where the desktop looks for it, the
// installed tool and program run from there, and the launcher and metadata validated.

#include "Scratch.h"

// Qt
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <filesystem>

#include <csignal>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

struct Finished {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

Finished run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {},
             int timeoutMs = 60000)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(timeoutMs);
    return {process.exitCode(), process.exitStatus(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString q(const fs::path& path) { return QString::fromStdString(path.string()); }

bool writePicture(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    return picture.save(q(file));
}

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch_ = new test::ScratchDir;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), q(destination()));
        const Finished install = run(QStringLiteral(GLIMMORA_CMAKE),
                                     {QStringLiteral("--install"), QStringLiteral(GLIMMORA_BUILD_DIR),
                                      QStringLiteral("--prefix"), QStringLiteral("/usr")},
                                     environment);
        installOutput_ = new QString(install.out + install.err);
        installed_ = install.exitCode == 0 && install.status == QProcess::NormalExit;
    }
    static void TearDownTestSuite()
    {
        delete scratch_;
        delete installOutput_;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << installOutput_->toStdString(); }

    static fs::path destination() { return *scratch_ / "root"; }
    static fs::path prefix() { return destination() / "usr"; }
    static fs::path work() { return *scratch_ / "work"; }

    // What a user's session gives the programs, without a runtime directory (as under sudo or
    // in a container), which Qt would warn about.
    static QProcessEnvironment userEnvironment()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), q(work() / "share"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), q(work() / "config"));
        environment.insert(QStringLiteral("GLIMMORA_DATA_DIR"), q(work() / "Data"));
        return environment;
    }

    static test::ScratchDir* scratch_;
    static QString* installOutput_;
    static bool installed_;
};

test::ScratchDir* Installed::scratch_ = nullptr;
QString* Installed::installOutput_ = nullptr;
bool Installed::installed_ = false;

TEST_F(Installed, EveryFileIsWhereTheDesktopLooksForIt)
{
    for (const char* file :
         {"bin/glimmora", "bin/glimmora-cli", "libexec/glimmora/glimmora-decoder", "share/glimmora/help/index.html",
          "share/glimmora/help/106.html", "share/applications/org.glimmora.Glimmora.desktop",
          "share/icons/hicolor/scalable/apps/org.glimmora.Glimmora.svg",
          "share/metainfo/org.glimmora.Glimmora.metainfo.xml", "share/man/man1/glimmora.1",
          "share/man/man1/glimmora-cli.1", "share/bash-completion/completions/glimmora-cli"})
        EXPECT_TRUE(fs::is_regular_file(prefix() / file)) << file;
    EXPECT_EQ(run(QStringLiteral("bash"),
                  {QStringLiteral("-n"), q(prefix() / "share/bash-completion/completions/glimmora-cli")})
                  .exitCode,
              0);
}

// A picture that decodes and one whose data is damaged, which a decoding library warns about.
TEST_F(Installed, TheToolImportsQuietlyWithTheInstalledDecoder)
{
    const fs::path pictures = work() / "pictures";
    ASSERT_TRUE(writePicture(pictures / "good.png"));
    QByteArray damaged;
    {
        QFile file(q(pictures / "good.png"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        damaged = file.readAll();
    }
    damaged[damaged.size() - 20] = char(damaged[damaged.size() - 20] ^ 0x5a); // the IDAT's checksum fails
    {
        QFile file(q(pictures / "damaged.png"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }

    const QString tool = q(prefix() / "bin/glimmora-cli");
    const Finished version = run(tool, {QStringLiteral("--version")}, userEnvironment());
    EXPECT_EQ(version.out.trimmed(), QStringLiteral("glimmora-cli " GLIMMORA_VERSION));
    EXPECT_EQ(version.err, QString());

    const Finished import = run(tool, {QStringLiteral("import"), q(pictures)}, userEnvironment());
    EXPECT_TRUE(import.out.contains(QStringLiteral("1 New images were added to the scrapbook.")))
        << import.out.toStdString();
    EXPECT_EQ(import.err, QString()) << "no library's warning reaches the terminal";
    EXPECT_FALSE(fs::exists(prefix() / "bin" / "Data"));
}

// Headless, the program starts from the installed tree, shows its category chooser (where it
// waits for the user) and ends as a logout ends it.
TEST_F(Installed, TheProgramStartsFromTheInstalledTree)
{
    const fs::path pictures = work() / "one";
    ASSERT_TRUE(writePicture(pictures / "red.png"));
    ASSERT_EQ(
        run(q(prefix() / "bin/glimmora-cli"), {QStringLiteral("import"), q(pictures)}, userEnvironment()).exitCode, 0);

    QProcessEnvironment environment = userEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), q(scratch_->path()));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(q(prefix() / "bin/glimmora"), {});
    ASSERT_TRUE(program.waitForStarted());
    EXPECT_FALSE(program.waitForFinished(3000)) << "ended on its own: " << program.readAllStandardError().toStdString();
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_FALSE(fs::exists(prefix() / "bin" / "Data"));
    EXPECT_TRUE(fs::exists(work() / "Data" / "Default.idb")) << "the scrapbook is where it was";
}

TEST_F(Installed, TheLauncherPassesItsValidator)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    const Finished check = run(validator, {q(prefix() / "share/applications/org.glimmora.Glimmora.desktop")});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
    EXPECT_EQ(check.out + check.err, QString());
}

TEST_F(Installed, TheAppStreamMetadataPassesItsValidator)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        GTEST_SKIP() << "appstreamcli (appstream) is not installed";
    const Finished check = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                           q(prefix() / "share/metainfo/org.glimmora.Glimmora.metainfo.xml")});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
}

} // namespace
} // namespace glimmora
