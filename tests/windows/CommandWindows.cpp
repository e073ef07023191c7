#include "CommandWindows.h"

#include "picturecontrol/PictureWriter.h"
#include "windows/ImageListModel.h"

#include "ScrapbookWriter.h"

// Qt
#include <QFile>
#include <QListView>
#include <QPainter>
#include <QTest>

#include <cstdlib>

namespace glimmora::test {

namespace {

QImage plainPicture(QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QImage quadrants(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, size.width() - w, h, Qt::green);
    painter.fillRect(0, h, w, size.height() - h, Qt::blue);
    painter.fillRect(w, h, size.width() - w, size.height() - h, Qt::yellow);
    return picture;
}

void save(const QImage& picture, const QString& path, const char* format)
{
    if (!picture.save(path, format))
        throw std::runtime_error("cannot write " + path.toStdString());
}

// A bitmap padded with bytes no reader looks at, to a length a test can name.
void saveBitmapOfLength(const QImage& picture, const QString& path, qint64 length)
{
    save(picture.convertToFormat(QImage::Format_Indexed8), path, "BMP");
    QFile file(path);
    if (!file.open(QIODevice::Append) || file.size() > length || !file.write(QByteArray(length - file.size(), '\0')))
        throw std::runtime_error("cannot pad " + path.toStdString());
}

} // namespace

const Pictures& Pictures::get()
{
    static const Pictures pictures;
    return pictures;
}

Pictures::Pictures()
{
    save(quadrants({80, 50}), path("tree.bmp"), "BMP");
    writePictureFile(plainPicture({40, 30}, Qt::green), PictureFileFormat::Gif, path("leaf.gif"));
    saveBitmapOfLength(plainPicture({100, 80}, Qt::red), path("small & bright.bmp"), 12345);
    save(plainPicture({5000, 40}, Qt::blue), path("wide.png"), "PNG");
    save(plainPicture({40, 5000}, Qt::yellow), path("tall.png"), "PNG");
    save(plainPicture({30, 30}, Qt::gray), path("loose.png"), "PNG");
    const std::string movie = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i color=c=black:s=64x48:r=10:d=2 "
                              "-vf \"geq=lum='16+N*10':cb=128:cr=128\" -c:v mjpeg -q:v 2 '"
                              + path("counting.avi").toStdString() + "'";
    if (std::system(movie.c_str()) != 0)
        throw std::runtime_error("ffmpeg could not make the test movie");
}

CommandWindows::CommandWindows()
    : written([this] {
          const QStringList trees{"trees"};
          writeScrapbook(base, {
                                   {pictures.path("tree.bmp"), trees},
                                   {pictures.path("leaf.gif"), trees},
                                   {pictures.path("small & bright.bmp"), trees, QStringLiteral("   ")},
                                   {pictures.path("wide.png"), trees},
                                   {pictures.path("tall.png"), trees, QStringLiteral(" tall & thin ")},
                                   {pictures.path("counting.avi"), trees},
                                   {pictures.path("loose.png"), {kUnassignedName}},
                               });
          return true;
      }()),
      scrapbook(std::make_unique<TScrapbook>(QString::fromStdString(dataDir.path().string()),
                                             TScrapbook::Access::ReadWrite)),
      memberships(scrapbook->memberships()),
      categories(scrapbook->categories()),
      disks(scrapbook->disks()),
      images(scrapbook->images())
{
}

CommandWindows::~CommandWindows()
{
    for (const auto& window : windows_)
        delete window.data();
}

TCategory& CommandWindows::category(const QString& name) { return *categories.FindOrAddCategory(name, true).first; }

TImageListForm* CommandWindows::openWindow(TCategory& on)
{
    auto* window = new TImageListForm(categories);
    windows_.append(window);
    window->setImageListServices({*scrapbook, loader, diskPrompt_});
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(window->AttachTo(on));
    return window;
}

void CommandWindows::select(TImageListForm& window, const QString& fileName)
{
    const int row = int(itemTexts(window).indexOf(fileName));
    ASSERT_GE(row, 0) << fileName.toStdString();
    const QModelIndex index = window.ImageListModel->index(row);
    window.ImageListBox->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

QStringList CommandWindows::itemTexts(const TImageListForm& window)
{
    QStringList texts;
    for (int row = 0; row < window.ImageListModel->rowCount(); ++row)
        texts.append(window.ImageListModel->text(row));
    return texts;
}

const TImageElement& CommandWindows::record(const QString& fileName)
{
    TCategory& trees = category(QStringLiteral("trees"));
    if (!trees.imagesLoaded())
        categories.LoadCategoryImages(trees);
    for (const auto& record : *trees.ImageElementList)
        if (fileNamePart(record->IT_Path) == fileName)
            return *record;
    throw std::runtime_error("no record of " + fileName.toStdString());
}

int greyOf(const QImage& frame) { return qGray(frame.pixel(frame.width() / 2, frame.height() / 2)); }

} // namespace glimmora::test
