#pragma once

#include "catalog/ImageElement.h"
#include "platform/Wallpaper.h"

// Qt
#include <QDialog>
#include <QImage>
#include <QList>
#include <QPointer>

#include <optional>

class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QShortcut;

namespace glimmora {

class TImageDetailPrintForm;
class TImageListForm;
class TLoadPictureModule;
class TMoviePlayerBar;
struct DetailLayout;

// The detail window: one image of a category window at full size, with its path, file name,
// size, time stamp and memo; a movie shows its frames with a player bar. The window prints
// itself and sets the wallpaper through the category window that opened it.
class TImageDetailForm : public QDialog {
    Q_OBJECT
public:
    // The loader must outlive the window.
    explicit TImageDetailForm(TLoadPictureModule& loader, QWidget* parent = nullptr);
    ~TImageDetailForm() override;

    // Loads the image of `record` (a still at full size, a movie's first frame; again as often as
    // the user asks to retry) and lays the window out for it. Returns loaded or not loaded; a
    // failure has been reported and returns not loaded.
    int ShowImage(const TImageElement& record, TImageListForm& window);

    // What the window shows and prints: the picture, or the movie frame on display.
    const QImage& Picture() const { return picture_; }

    QMenuBar* MainMenu1;
    QMenu* Print1;
    QAction* PrinterSetup1;
    QAction* PrintThisWindow1;
    QMenu* SetWallpaper1;
    QAction* Centered1;
    QAction* Tiled1;

    QWidget* Client; // below the menu bar
    QScrollArea* ScrollBox1;
    QLabel* Image1;
    QWidget* Panel1;
    QLabel* Label1;
    QLabel* PathLabel;
    QLabel* Label2;
    QLabel* FileLabel;
    QLabel* lblFileSize;
    QLabel* lblTimeStamp;
    QLabel* Label3;
    QLabel* MemoLabel;
    QPushButton* Button1;
    TMoviePlayerBar* MediaPlayer1;
    TImageDetailPrintForm* PrintForm;

public slots:
    void PrintThisWindow1Click();
    void PrinterSetup1Click();
    void Centered1Click();
    void Tiled1Click();

private:
    void buildMenus();
    void buildPanel();
    void bindPlayerKeys();
    QLabel* addLabel(QWidget* parent, const QString& text, QPoint at);
    int LoadStillPicture();
    int LoadMovie();
    void showPicture(const QImage& picture);
    void layOut();
    void placeScrollBox(const DetailLayout& layout);
    void showTexts();
    void setWallpaper(WallpaperStyle style);
    void reportPlayerFailure(const QString& message);
    bool isMovie() const;
    QSize screenSize() const;

    TLoadPictureModule& loader_;
    std::optional<TImageElement> record_;
    QPointer<TImageListForm> window_;
    QImage picture_;
    QString errorText_;
    QList<QShortcut*> playerKeys_;
};

} // namespace glimmora
