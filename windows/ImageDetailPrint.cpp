#include "windows/ImageDetailPrint.h"

#include "windows/ImageDetailRules.h"

// Qt
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>

#include <algorithm>

namespace glimmora {

namespace {

constexpr int kLabelHeight = 20;
constexpr int kLineGap = 5;
constexpr int kCaptionLeft = 8;
constexpr int kTextLeft = 61;
constexpr int kFileSizeLeft = 185;
constexpr int kTimeStampLeft = 273;
constexpr int kTextGap = 8; // the least room between two texts of the file line

void place(QLabel* label, const QString& text, int left, int top)
{
    label->setText(text);
    label->setGeometry(left, top, label->sizeHint().width(), kLabelHeight);
}

int rightOf(const QLabel* label) { return label->geometry().right() + 1; }

} // namespace

TImageDetailPrintForm::TImageDetailPrintForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DontShowOnScreen);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(12);
    setFont(font);

    Image1 = new QLabel(this);
    QRLabel1 = addLabel();
    PathLabel = addLabel();
    QRLabel2 = addLabel();
    FileLabel = addLabel();
    lblFileSize = addLabel();
    lblTimeStamp = addLabel();
    QRLabel3 = addLabel();
    MemoLabel = addLabel();
}

QLabel* TImageDetailPrintForm::addLabel()
{
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void TImageDetailPrintForm::arrange(const DetailPrintContent& content)
{
    picture_ = content.picture;
    Image1->setPixmap(QPixmap::fromImage(content.picture));
    Image1->setGeometry(QRect(QPoint(0, 0), content.picture.size()));

    const int pathTop = content.picture.height() + 1;
    place(QRLabel1, QStringLiteral("Path:"), kCaptionLeft, pathTop);
    place(PathLabel, content.directory, kTextLeft, pathTop);

    // A long file name pushes the size and the time stamp on, rather than print over them.
    const int fileTop = pathTop + kLabelHeight + kLineGap;
    place(QRLabel2, QStringLiteral("File:"), kCaptionLeft, fileTop);
    place(FileLabel, content.fileName, kTextLeft, fileTop);
    place(lblFileSize, content.fileSize, std::max(kFileSizeLeft, rightOf(FileLabel) + kTextGap), fileTop);
    place(lblTimeStamp, content.timeStamp, std::max(kTimeStampLeft, rightOf(lblFileSize) + kTextGap), fileTop);

    const int memoTop = fileTop + kLabelHeight + kLineGap;
    place(QRLabel3, QStringLiteral("Memo:"), kCaptionLeft, memoTop);
    place(MemoLabel, content.memo, kTextLeft, memoTop);
    const bool hasMemo = !content.memo.isEmpty();
    QRLabel3->setVisible(hasMemo);
    MemoLabel->setVisible(hasMemo);

    int width = content.picture.width();
    for (const QLabel* label : {PathLabel, lblTimeStamp, MemoLabel})
        width = std::max(width, rightOf(label));
    resize(width, memoTop + kLabelHeight);
}

// Painted from the layout rather than rendered as widgets, which a printer would receive as one
// bitmap: the texts stay text on the page.
QString TImageDetailPrintForm::print(QPrinter& printer, QSize screen)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("The printer could not be started.");
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = printScale(size(), screen, page.size(), printer.resolution());
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(Image1->geometry(), picture_);
    for (const QLabel* label :
         {QRLabel1, PathLabel, QRLabel2, FileLabel, lblFileSize, lblTimeStamp, QRLabel3, MemoLabel})
        if (!label->isHidden())
            paintText(painter, *label);
    return painter.end() ? QString() : QStringLiteral("The page could not be printed.");
}

void TImageDetailPrintForm::paintText(QPainter& painter, const QLabel& label)
{
    // In the layout's own pixels, which the painter's scale takes to the page.
    QFont font = label.font();
    font.setPixelSize(QFontInfo(label.font()).pixelSize());
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(label.geometry(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label.text());
}

} // namespace glimmora
