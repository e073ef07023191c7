#include "printing/PrintedText.h"

#include "catalog/ImageElement.h"

namespace glimmora {

PrintedImageTexts printedImageTexts(const TImageElement& record)
{
    return {singleLineText(printedDirectory(record.IT_Path)), singleLineText(fileNamePart(record.IT_Path)),
            singleLineText(record.IT_Memo.trimmed())};
}

QString printedDirectory(const QString& path)
{
    QString directory = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (directory.size() > 1)
        directory.chop(1);
    return directory;
}

QByteArray printedPathOrder(const TImageElement& record) { return pathBytes(record.IT_Path); }

QString singleLineText(const QString& text)
{
    QString line = text;
    for (QChar& character : line) {
        const QChar::Category category = character.category();
        if (category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            character = QLatin1Char(' ');
        else if (category == QChar::Other_Control)
            character = character.isSpace() ? QLatin1Char(' ') : QChar(QChar::ReplacementCharacter);
    }
    return line;
}

} // namespace glimmora
