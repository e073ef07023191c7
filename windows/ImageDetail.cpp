#include "windows/ImageDetail.h"

#include "import/LoadPicture.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/ProgramPrinter.h"
#include "platform/UserInterface.h"
#include "windows/ImageDetailPrint.h"
#include "windows/ImageDetailRules.h"
#include "windows/ImageList.h"
#include "windows/MoviePlayerBar.h"

// Qt
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

namespace glimmora {

namespace {

constexpr int kHelpContext = 1002;
constexpr int kMovType = 31;
constexpr int kCaptionLeft = 16;
constexpr int kTextLeft = 51;
constexpr int kPathTop = 6;
constexpr int kFileTop = 30;
constexpr int kMemoTop = 54;

// The JPEG settings the detail window loads with: the finest the picture control offers.
constexpr int kDetailJpegDither = 2;
constexpr qint16 kDetailJpegQuality = 100;
constexpr qint16 kDetailJpegSmoothing = 100;

// Restores the picture control's JPEG settings when the detail window's load is done.
class DetailJpegSettings {
public:
    explicit DetailJpegSettings(TGvboxCtrl& control)
        : control_(control),
          dither_(control.JPEGDither()),
          quality_(control.JPGQuality()),
          smoothing_(control.JPGSmoothing())
    {
        control.setJPEGDither(kDetailJpegDither);
        control.setJPGQuality(kDetailJpegQuality);
        control.setJPGSmoothing(kDetailJpegSmoothing);
    }
    ~DetailJpegSettings()
    {
        control_.setJPEGDither(dither_);
        control_.setJPGQuality(quality_);
        control_.setJPGSmoothing(smoothing_);
    }
    DetailJpegSettings(const DetailJpegSettings&) = delete;
    DetailJpegSettings& operator=(const DetailJpegSettings&) = delete;

private:
    TGvboxCtrl& control_;
    int dither_;
    qint16 quality_;
    qint16 smoothing_;
};

// The directory part of a path with its closing separator, as the window shows it.
QString directoryPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

void placeAfter(QLabel* label, const QLabel* before)
{
    label->adjustSize();
    label->move(before->geometry().right() + 1 + kDetailLabelGap, before->y());
}

} // namespace

TImageDetailForm::TImageDetailForm(TLoadPictureModule& loader, QWidget* parent) : QDialog(parent), loader_(loader)
{
    setWindowTitle(QStringLiteral("Glimmora")); // the product name, as every window is titled
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    buildMenus();
    Client = new QWidget(this);
    ScrollBox1 = new QScrollArea(Client);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setBackgroundRole(QPalette::Window);
    Image1 = new QLabel;
    Image1->setAccessibleName(QStringLiteral("Picture"));
    ScrollBox1->setWidget(Image1);
    buildPanel();
    bindPlayerKeys();
    PrintForm = new TImageDetailPrintForm(this);
    HelpWindow::bindHelpKey(this, kHelpContext);
}

TImageDetailForm::~TImageDetailForm() { MediaPlayer1->close(); }

void TImageDetailForm::buildMenus()
{
    MainMenu1 = new QMenuBar(this);
    Print1 = MainMenu1->addMenu(QStringLiteral("&Print"));
    PrinterSetup1 = Print1->addAction(QStringLiteral("Printer &Setup"), this, &TImageDetailForm::PrinterSetup1Click);
    PrintThisWindow1 =
        Print1->addAction(QStringLiteral("&Print This Window"), this, &TImageDetailForm::PrintThisWindow1Click);
    SetWallpaper1 = MainMenu1->addMenu(QStringLiteral("Set &Wallpaper"));
    Centered1 = SetWallpaper1->addAction(QStringLiteral("&Centered"), this, &TImageDetailForm::Centered1Click);
    Tiled1 = SetWallpaper1->addAction(QStringLiteral("&Tiled"), this, &TImageDetailForm::Tiled1Click);
}

QLabel* TImageDetailForm::addLabel(QWidget* parent, const QString& text, QPoint at)
{
    // Plain text: an ampersand in a name or memo is shown, never taken for an accelerator.
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->move(at);
    label->adjustSize();
    return label;
}

void TImageDetailForm::buildPanel()
{
    Panel1 = new QWidget(Client);
    Label1 = addLabel(Panel1, QStringLiteral("Path:"), {kCaptionLeft, kPathTop});
    PathLabel = addLabel(Panel1, QString(), {kTextLeft, kPathTop});
    Label2 = addLabel(Panel1, QStringLiteral("File:"), {kCaptionLeft, kFileTop});
    FileLabel = addLabel(Panel1, QString(), {kTextLeft, kFileTop});
    lblFileSize = addLabel(Panel1, QString(), {kTextLeft, kFileTop});
    lblTimeStamp = addLabel(Panel1, QString(), {kTextLeft, kFileTop});
    Label3 = addLabel(Panel1, QStringLiteral("Memo:"), {kCaptionLeft, kMemoTop});
    MemoLabel = addLabel(Panel1, QString(), {kTextLeft, kMemoTop});

    Button1 = new QPushButton(QStringLiteral("&Ok"), Panel1);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    MediaPlayer1 = new TMoviePlayerBar(Panel1);
    MediaPlayer1->hide();
    connect(MediaPlayer1, &TMoviePlayerBar::frameShown, this, &TImageDetailForm::showPicture);
    connect(MediaPlayer1, &TMoviePlayerBar::failed, this, &TImageDetailForm::reportPlayerFailure);
}

// The player's keys work wherever the focus is in the window while a movie is shown; for a still
// picture the keys are the scroll box's and the button's.
void TImageDetailForm::bindPlayerKeys()
{
    const std::pair<QKeySequence, void (TMoviePlayerBar::*)()> keys[] = {
        {QKeySequence(Qt::Key_Space), &TMoviePlayerBar::playOrStop},
        {QKeySequence(Qt::Key_Right), &TMoviePlayerBar::step},
        {QKeySequence(Qt::Key_Left), &TMoviePlayerBar::back},
        {QKeySequence(Qt::Key_Home), &TMoviePlayerBar::first},
        {QKeySequence(Qt::Key_End), &TMoviePlayerBar::last},
    };
    for (const auto& [key, command] : keys) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, MediaPlayer1, [this, command] { (MediaPlayer1->*command)(); });
        playerKeys_.append(shortcut);
    }
}

bool TImageDetailForm::isMovie() const { return record_ && isMovieType(record_->IT_FileType); }

QSize TImageDetailForm::screenSize() const
{
    const QScreen* shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    return shownOn ? shownOn->availableGeometry().size() : QSize(kDetailPanelWidth, kDetailPanelHeight);
}

int TImageDetailForm::ShowImage(const TImageElement& record, TImageListForm& window)
{
    record_ = record;
    window_ = &window;
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    ScrollBox1->move(0, 0);

    int result = isMovie() ? LoadMovie() : LoadStillPicture();
    if (result == kLoadFailed) {
        result = kLoadGivenUp;
        showError(errorText_);
    }
    if (result == kLoadLoaded)
        layOut();
    return result;
}

int TImageDetailForm::LoadStillPicture()
{
    MediaPlayer1->close();
    QImage picture;
    int result;
    {
        const DetailJpegSettings finest(loader_.Gvbox());
        result = loader_.LoadFullSizeRetrying(localPath(record_->IT_Path), picture, &*record_, errorText_);
    }
    if (result == kLoadLoaded)
        showPicture(picture);
    return result;
}

// The movie's first frame comes through the loader, which explains a file that cannot be
// reached (a removable disk that is not in); the player then opens it.
int TImageDetailForm::LoadMovie()
{
    QImage firstFrame;
    const int result = loader_.LoadFullSizeRetrying(localPath(record_->IT_Path), firstFrame, &*record_, errorText_);
    if (result != kLoadLoaded)
        return result;
    try {
        MediaPlayer1->open(localPath(record_->IT_Path),
                           record_->IT_FileType == kMovType ? MovieContainer::Mov : MovieContainer::Avi);
    } catch (const EMovieFrameError& error) {
        errorText_ = QString::fromUtf8(error.what());
        return kLoadFailed;
    }
    return kLoadLoaded;
}

void TImageDetailForm::showPicture(const QImage& picture)
{
    picture_ = picture;
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->resize(picture.size());
}

void TImageDetailForm::layOut()
{
    const int frameWidth = isVisible() ? frameGeometry().width() - width() : 0;
    const DetailLayout layout = detailLayout(picture_.size(), screenSize(), frameWidth);
    placeScrollBox(layout);
    Panel1->setGeometry(0, layout.panelTop, layout.clientWidth, kDetailPanelHeight);
    Button1->setGeometry(layout.button);
    MediaPlayer1->setVisible(isMovie());
    for (QShortcut* key : std::as_const(playerKeys_))
        key->setEnabled(isMovie());
    if (isMovie())
        MediaPlayer1->setGeometry(playerBarGeometry(layout.button, MediaPlayer1->width()));
    showTexts();

    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, layout.clientWidth, menuHeight);
    Client->setGeometry(0, menuHeight, layout.clientWidth, layout.clientHeight);
    setFixedSize(layout.clientWidth, menuHeight + layout.clientHeight);
    QRect placed(QPoint(), frameGeometry().size().expandedTo(size()));
    if (const QScreen* shownOn = screen())
        placed.moveCenter(shownOn->availableGeometry().center());
    move(placed.topLeft());
}

void TImageDetailForm::placeScrollBox(const DetailLayout& layout)
{
    ScrollBox1->setGeometry(QRect(QPoint(0, 0), layout.scrollBox));
    ScrollBox1->setHorizontalScrollBarPolicy(layout.horizontalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(layout.verticalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TImageDetailForm::showTexts()
{
    const QString shown = displayPath(record_->IT_Path);
    PathLabel->setText(directoryPart(shown));
    PathLabel->adjustSize();
    FileLabel->setText(fileNamePart(shown));
    FileLabel->adjustSize();
    const QString memo = record_->IT_Memo.trimmed();
    MemoLabel->setText(memo);
    MemoLabel->adjustSize();
    Label3->setVisible(!memo.isEmpty());
    MemoLabel->setVisible(!memo.isEmpty());
    const QString file = localPath(record_->IT_Path);
    lblFileSize->setText(fileSizeText(file));
    lblTimeStamp->setText(timeStampText(file));
    placeAfter(lblFileSize, FileLabel);
    placeAfter(lblTimeStamp, lblFileSize);
}

void TImageDetailForm::PrinterSetup1Click() { setUpProgramPrinter(this); }

void TImageDetailForm::PrintThisWindow1Click()
{
    PrintForm->arrange(
        {picture_, PathLabel->text(), FileLabel->text(), lblFileSize->text(), lblTimeStamp->text(), MemoLabel->text()});
    QString failure;
    {
        const HourglassCursor busy;
        failure = PrintForm->print(programPrinter(), screenSize());
    }
    if (!failure.isEmpty())
        showError(failure);
}

void TImageDetailForm::Centered1Click() { setWallpaper(WallpaperStyle::Centred); }

void TImageDetailForm::Tiled1Click() { setWallpaper(WallpaperStyle::Tiled); }

void TImageDetailForm::setWallpaper(WallpaperStyle style)
{
    MediaPlayer1->stop();
    if (window_ && record_)
        window_->SetWallpaper(*record_, style);
}

void TImageDetailForm::reportPlayerFailure(const QString& message) { showError(message); }

} // namespace glimmora
