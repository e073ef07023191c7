#include "platform/Shortcuts.h"

// Qt
#include <QFile>
#include <QFileInfo>

// GLib
#include <glib.h>

#include <memory>

namespace glimmora {

namespace {

// As many links as the kernel follows in one path before it gives up (SYMLOOP_MAX).
constexpr int kMaxLinkHops = 40;

struct KeyFileFree {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileFree>;
using GTextPtr = std::unique_ptr<gchar, GFree>;

GTextPtr entryValue(GKeyFile* file, const char* key)
{
    return GTextPtr(g_key_file_get_string(file, G_KEY_FILE_DESKTOP_GROUP, key, nullptr));
}

// Follows symbolic links to the file they end at: the path itself when it is no link, none when
// a link leads nowhere.
std::optional<QString> followLinks(const QString& path)
{
    QFileInfo file(path);
    if (!file.isSymLink())
        return path;
    for (int hop = 0; file.isSymLink(); ++hop) {
        if (hop == kMaxLinkHops)
            return std::nullopt;
        file.setFile(file.symLinkTarget());
    }
    if (!file.exists())
        return std::nullopt;
    return file.absoluteFilePath();
}

bool isDesktopFile(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<QString> desktopLinkTarget(QByteArrayView contents)
{
    if (contents.size() > kMaxDesktopLinkBytes)
        return std::nullopt;
    const KeyFilePtr file(g_key_file_new());
    if (!g_key_file_load_from_data(file.get(), contents.data(), gsize(contents.size()), G_KEY_FILE_NONE, nullptr))
        return std::nullopt;
    const GTextPtr type = entryValue(file.get(), G_KEY_FILE_DESKTOP_KEY_TYPE);
    const GTextPtr url = entryValue(file.get(), G_KEY_FILE_DESKTOP_KEY_URL);
    if (!type || !url || g_strcmp0(type.get(), G_KEY_FILE_DESKTOP_TYPE_LINK) != 0)
        return std::nullopt;
    // Only a file: URL names a local file; the conversion decodes its escapes.
    const GTextPtr path(g_filename_from_uri(url.get(), nullptr, nullptr));
    if (!path)
        return std::nullopt;
    return QFile::decodeName(path.get());
}

std::optional<QString> resolveShortcut(const QString& path)
{
    const std::optional<QString> file = followLinks(path);
    if (!file || !isDesktopFile(*file))
        return file;
    QFile link(*file);
    if (!link.open(QIODevice::ReadOnly) || link.size() > kMaxDesktopLinkBytes)
        return std::nullopt;
    const std::optional<QString> target = desktopLinkTarget(link.readAll());
    return target ? followLinks(*target) : std::nullopt;
}

} // namespace glimmora
