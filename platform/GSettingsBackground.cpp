// GIO comes first: its D-Bus headers name a member "signals", which Qt's keywords would turn
// into something else.
#include <gio/gio.h>

#include "platform/DesktopBackground.h"

// Qt
#include <QFile>
#include <QUrl>

#include <memory>

namespace glimmora {

namespace {

// GNOME 42 and later show a second picture in the dark style; the key is set where it exists.
constexpr const char* kDarkPictureKey = "picture-uri-dark";

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
using SettingsPtr = std::unique_ptr<GSettings, ObjectUnref>;
using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;

SchemaPtr lookUpSchema(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return SchemaPtr(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

class GSettingsBackground : public DesktopBackground {
public:
    explicit GSettingsBackground(const GSettingsBackgroundKeys& keys) : keys_(keys) {}

    QString unavailability() const override
    {
        if (!lookUpSchema(keys_.schema))
            return QStringLiteral("the desktop's background settings (%1) are not installed.")
                .arg(QLatin1String(keys_.schema));
        return QString();
    }

    QString show(const QString& path, WallpaperStyle style) override
    {
        const SchemaPtr schema = lookUpSchema(keys_.schema);
        if (!schema)
            return unavailability();
        const SettingsPtr settings(g_settings_new_full(schema.get(), nullptr, nullptr));
        const QByteArray picture = keys_.pictureIsUri ? QUrl::fromLocalFile(path).toEncoded() : QFile::encodeName(path);
        const char* options = style == WallpaperStyle::Tiled ? "wallpaper" : "centered";

        QList<std::pair<const char*, const char*>> values = {{keys_.pictureKey, picture.constData()},
                                                             {keys_.optionsKey, options}};
        if (keys_.pictureIsUri && g_settings_schema_has_key(schema.get(), kDarkPictureKey))
            values.emplaceBack(kDarkPictureKey, picture.constData());
        for (const auto& [key, value] : values)
            if (!g_settings_is_writable(settings.get(), key))
                return QStringLiteral("the desktop does not let its background (%1) be changed.")
                    .arg(QLatin1String(key));

        // Every key changes at once, or none does.
        g_settings_delay(settings.get());
        for (const auto& [key, value] : values) {
            if (!g_settings_set_value(settings.get(), key, g_variant_new_string(value))) {
                g_settings_revert(settings.get());
                return QStringLiteral("the desktop refused the value \"%1\" for its background (%2).")
                    .arg(QString::fromUtf8(value), QLatin1String(key));
            }
        }
        g_settings_apply(settings.get());
        g_settings_sync();
        return QString();
    }

private:
    GSettingsBackgroundKeys keys_;
};

} // namespace

std::unique_ptr<DesktopBackground> gsettingsBackground(const GSettingsBackgroundKeys& keys)
{
    return std::make_unique<GSettingsBackground>(keys);
}

} // namespace glimmora
