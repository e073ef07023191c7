#pragma once

// Qt
#include <QImage>
#include <QWidget>

class QLabel;
class QPainter;
class QPrinter;

namespace glimmora {

// What the detail window prints: its picture, and under it the path, the file line (name, size,
// time stamp) and the memo.
struct DetailPrintContent {
    QImage picture;
    QString directory;
    QString fileName;
    QString fileSize;
    QString timeStamp;
    QString memo; // trimmed; "Memo:" is printed only with a memo
};

// The detail window's print layout: a window that is never shown on the screen, which arranges
// the picture and the texts and prints itself as one page.
class TImageDetailPrintForm : public QWidget {
    Q_OBJECT
public:
    explicit TImageDetailPrintForm(QWidget* parent = nullptr);

    // Lays the content out; the layout's size is then the size of what is printed.
    void arrange(const DetailPrintContent& content);
    // Prints the layout on one page: fitted to the page when it is larger than `screen`, else at
    // the size it has on the screen. Returns an empty text or why it could not be printed.
    QString print(QPrinter& printer, QSize screen);

    QLabel* Image1;
    QLabel* QRLabel1;
    QLabel* PathLabel;
    QLabel* QRLabel2;
    QLabel* FileLabel;
    QLabel* lblFileSize;
    QLabel* lblTimeStamp;
    QLabel* QRLabel3;
    QLabel* MemoLabel;

private:
    QLabel* addLabel();
    static void paintText(QPainter& painter, const QLabel& label);

    QImage picture_;
};

} // namespace glimmora
