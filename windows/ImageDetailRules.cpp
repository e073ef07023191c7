#include "windows/ImageDetailRules.h"

// Qt
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace glimmora {

namespace {

constexpr double kScreenDpi = 96;
constexpr int kPlayerBarGap = 2;

} // namespace

DetailLayout detailLayout(QSize picture, QSize screen, int frameWidth)
{
    DetailLayout layout;
    const int widest = std::max(screen.width() - frameWidth, 0);
    layout.clientWidth = std::max(std::min(picture.width(), widest), kDetailPanelWidth);
    layout.horizontalBar = layout.clientWidth < picture.width();
    const int tallest = std::max(screen.height() - kDetailPanelHeight - kDetailCaptionAllowance, 0);
    layout.scrollBox = QSize(layout.clientWidth, std::min(picture.height(), tallest));
    layout.verticalBar = layout.scrollBox.height() < picture.height();
    layout.panelTop = layout.scrollBox.height() + 1;
    layout.clientHeight = layout.panelTop + kDetailPanelHeight;
    layout.button =
        QRect(QPoint(layout.clientWidth - kDetailButtonSize.width() - kDetailButtonMargin, kDetailButtonTop),
              kDetailButtonSize);
    return layout;
}

QRect playerBarGeometry(const QRect& button, int barWidth)
{
    const int right = button.left() + button.width() - kPlayerBarGap;
    return QRect(right - barWidth, button.top() + button.height() + kPlayerBarGap, barWidth, button.height());
}

QString fileSizeText(const QString& path)
{
    QFile file(path);
    const qint64 size = file.open(QIODevice::ReadOnly) ? file.size() : 0;
    return size > 0 ? QStringLiteral("%1 bytes").arg(size) : QStringLiteral("(unknown)");
}

QString timeStampText(const QString& path, const QLocale& locale)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(unknown)");
    return timeStampText(file.fileTime(QFileDevice::FileModificationTime), locale);
}

QString timeStampText(const QDateTime& lastWrite, const QLocale& locale)
{
    return locale.toString(lastWrite.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + locale.toString(lastWrite.time(), QLocale::LongFormat);
}

double printScale(QSize content, QSize screen, QSize page, double deviceDpi)
{
    if (content.isEmpty() || page.isEmpty())
        return 1;
    const double fit = std::min(double(page.width()) / content.width(), double(page.height()) / content.height());
    const bool largerThanScreen = content.width() > screen.width() || content.height() > screen.height();
    return largerThanScreen ? fit : std::min(deviceDpi / kScreenDpi, fit);
}

} // namespace glimmora
