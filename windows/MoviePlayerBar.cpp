#include "windows/MoviePlayerBar.h"

// Qt
#include <QHBoxLayout>
#include <QToolButton>

#include <cmath>

namespace glimmora {

namespace {

constexpr int kButtonWidth = 25;

} // namespace

TMoviePlayerBar::TMoviePlayerBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PlayButton =
        addButton(QStyle::SP_MediaPlay, QStringLiteral("Play"), QStringLiteral("Space"), &TMoviePlayerBar::play);
    StopButton =
        addButton(QStyle::SP_MediaStop, QStringLiteral("Stop"), QStringLiteral("Space"), &TMoviePlayerBar::stop);
    NextButton = addButton(QStyle::SP_MediaSkipForward, QStringLiteral("Last frame"), QStringLiteral("End"),
                           &TMoviePlayerBar::last);
    PrevButton = addButton(QStyle::SP_MediaSkipBackward, QStringLiteral("First frame"), QStringLiteral("Home"),
                           &TMoviePlayerBar::first);
    StepButton =
        addButton(QStyle::SP_MediaSeekForward, QStringLiteral("Step"), QStringLiteral("Right"), &TMoviePlayerBar::step);
    BackButton =
        addButton(QStyle::SP_MediaSeekBackward, QStringLiteral("Back"), QStringLiteral("Left"), &TMoviePlayerBar::back);
    setFixedWidth(layout->count() * kButtonWidth);
    connect(&timer_, &QTimer::timeout, this, &TMoviePlayerBar::playNextFrame);
    updateButtons();
}

TMoviePlayerBar::~TMoviePlayerBar() = default;

QToolButton* TMoviePlayerBar::addButton(QStyle::StandardPixmap icon, const QString& name, const QString& key,
                                        void (TMoviePlayerBar::*command)())
{
    auto* button = new QToolButton(this);
    button->setIcon(style()->standardIcon(icon));
    button->setToolTip(QStringLiteral("%1 (%2)").arg(name, key));
    button->setAccessibleName(name);
    button->setFixedWidth(kButtonWidth);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QToolButton::clicked, this, command);
    layout()->addWidget(button);
    return button;
}

void TMoviePlayerBar::open(const QString& path, MovieContainer container)
{
    close();
    movie_ = std::make_unique<TMovieReader>(path, container);
    timer_.setInterval(int(std::lround(1000 / movie_->framesPerSecond())));
    atEnd_ = false;
    updateButtons();
    emit frameShown(movie_->currentFrame());
}

void TMoviePlayerBar::close()
{
    timer_.stop();
    movie_.reset();
    updateButtons();
}

QImage TMoviePlayerBar::currentFrame() const { return movie_ ? movie_->currentFrame() : QImage(); }

void TMoviePlayerBar::play()
{
    if (!movie_ || isPlaying())
        return;
    if (atEnd_)
        first();
    timer_.start();
    updateButtons();
}

void TMoviePlayerBar::stop()
{
    timer_.stop();
    updateButtons();
}

void TMoviePlayerBar::playOrStop() { isPlaying() ? stop() : play(); }

void TMoviePlayerBar::step()
{
    stop();
    move(&TMovieReader::nextFrame);
}

void TMoviePlayerBar::back()
{
    stop();
    move(&TMovieReader::previousFrame);
}

void TMoviePlayerBar::first()
{
    timer_.stop();
    move(&TMovieReader::firstFrame);
}

void TMoviePlayerBar::last()
{
    stop();
    move(&TMovieReader::lastFrame);
    atEnd_ = movie_ != nullptr;
}

void TMoviePlayerBar::playNextFrame()
{
    if (!move(&TMovieReader::nextFrame))
        stop();
}

bool TMoviePlayerBar::move(QImage (TMovieReader::*to)())
{
    if (!movie_)
        return false;
    QImage frame;
    try {
        frame = ((*movie_).*to)();
    } catch (const EMovieFrameError& error) {
        stop();
        emit failed(QString::fromUtf8(error.what()));
        return false;
    }
    atEnd_ = frame.isNull() && to == &TMovieReader::nextFrame;
    if (frame.isNull())
        return false;
    emit frameShown(frame);
    return true;
}

void TMoviePlayerBar::updateButtons()
{
    const bool open = isOpen();
    PlayButton->setEnabled(open && !isPlaying());
    StopButton->setEnabled(open && isPlaying());
    for (QToolButton* button : {NextButton, PrevButton, StepButton, BackButton})
        button->setEnabled(open);
}

} // namespace glimmora
