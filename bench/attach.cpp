// Opening a category of many images in a category window, beside reading the same records'
// bytes from the store, in the same run.
//
//   bench_attach DIR [IMAGES]      (default 10,000 images, all in one category)
//
// Builds a scrapbook of IMAGES records with 60 x 45 thumbnails in DIR (the picture files do not
// exist: attaching must read none). Then, in rounds, times (a) opening the image store and
// reading every record's item, (b) attaching a shown category window to the category, which
// loads and decodes the records, fills the list and paints it, and closing it again. Prints the
// medians and their ratio (goal: at most 2), and how many cells the window painted.

#include "bench/BenchScrapbook.h"
#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "store/QDB.h"
#include "windows/ImageCellDelegate.h"
#include "windows/ImageList.h"

// Qt
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>

#include <algorithm>
#include <exception>
#include <cstdlib>
#include <cstdio>
#include <vector>

namespace {

using namespace glimmora;

constexpr int kRounds = 5;

// The delegate of the window, counting the cells it draws.
class CountingDelegate : public TImageCellDelegate {
public:
    using TImageCellDelegate::TImageCellDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ++painted;
        TImageCellDelegate::paint(painter, option, index);
    }
    mutable int painted = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds to open the store and read every record's item, as bytes.
double readRecords(const QString& storeName, int count)
{
    QElapsedTimer clock;
    clock.start();
    store::TQDB table;
    table.setFileName(QFile::encodeName(storeName).toStdString());
    store::TQDB::Bytes value;
    for (int seqNo = 1; seqNo <= count; ++seqNo)
        if (table.findKey(ImageStoreKey(seqNo)))
            table.getItem(value);
    table.setFileName(std::string());
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_attach DIR [IMAGES]\n");
        return 2;
    }
    const QString base = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/Default");
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    buildBenchScrapbook(base, count, "bench_attach");

    TCorrespondences memberships(base + QStringLiteral(".cor"));
    TCategories categories(base + QStringLiteral(".cat"), memberships);
    TImageElementForm images(base + QStringLiteral(".idb"), categories);
    TCategory& bench = *categories.FindOrAddCategory(QStringLiteral("bench"), true).first;

    std::vector<double> reads, attaches;
    int painted = 0;
    for (int round = 0; round < kRounds; ++round) {
        reads.push_back(readRecords(images.storeFileName(), count));

        auto* window = new TImageListForm(categories);
        auto* delegate = new CountingDelegate(window->ImageListBox);
        window->ImageListBox->setItemDelegate(delegate);
        window->show();
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        if (!window->AttachTo(bench))
            return 1;
        window->grab(); // paints what shows
        attaches.push_back(double(clock.nsecsElapsed()) / 1e9);
        painted = delegate->painted;
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::printf("round %d: read %.3f s, attach %.3f s\n", round + 1, reads.back(), attaches.back());
    }
    const double read = median(reads);
    const double attach = median(attaches);
    std::printf("%d images: read the records from the store %.3f s, attach a category window %.3f s: %.2fx "
                "(goal <= 2x); cells painted %d of %d\n",
                count, read, attach, attach / read, painted, count);
    return 0;
}
