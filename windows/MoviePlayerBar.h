#pragma once

#include "import/MovieFrame.h"

// Qt
#include <QImage>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <memory>

class QToolButton;

namespace glimmora {

// A media player bar: play, stop, last ("next"), first ("previous"), step and back, over a
// movie read frame by frame. It shows nothing itself: every frame it moves to is handed out by
// frameShown, for the window's display area.
class TMoviePlayerBar : public QWidget {
    Q_OBJECT
public:
    explicit TMoviePlayerBar(QWidget* parent = nullptr);
    ~TMoviePlayerBar() override;

    // Opens a movie and shows its first frame. Raises EMovieFrameError when it cannot be read.
    void open(const QString& path, MovieContainer container);
    // Stops playing and lets go of the movie.
    void close();

    bool isOpen() const { return movie_ != nullptr; }
    bool isPlaying() const { return timer_.isActive(); }
    // The frame shown last; null when no movie is open.
    QImage currentFrame() const;

    QToolButton* PlayButton;
    QToolButton* StopButton;
    QToolButton* NextButton; // to the last frame
    QToolButton* PrevButton; // to the first frame
    QToolButton* StepButton;
    QToolButton* BackButton;

public slots:
    // Plays from the frame shown (from the start when it is the last) to the end.
    void play();
    void stop();
    void playOrStop();
    void step();
    void back();
    void first();
    void last();

signals:
    void frameShown(const QImage& frame);
    // A frame could not be decoded: playing stops, the frame shown stays.
    void failed(const QString& message);

private:
    QToolButton* addButton(QStyle::StandardPixmap icon, const QString& name, const QString& key,
                           void (TMoviePlayerBar::*command)());
    // Runs one move of the movie; false when there was no frame that way or the move failed.
    bool move(QImage (TMovieReader::*to)());
    void playNextFrame();
    void updateButtons();

    std::unique_ptr<TMovieReader> movie_;
    QTimer timer_;
    bool atEnd_ = false;
};

} // namespace glimmora
