#pragma once

// Qt
#include <QDBusConnection>
#include <QString>
#include <QVariantList>

#include <chrono>
#include <stdexcept>

namespace glimmora {

// A failure to reach the companion or of one of its methods; text() is what the user is shown.
class ESlideshowError : public std::runtime_error {
public:
    explicit ESlideshowError(const QString& text);
    const QString& text() const { return text_; }

private:
    QString text_;
};

// The companion's automation object on the session bus. Constructing one finds the running
// companion, or starts the program at its installed location and waits for it to appear; the
// object then talks to that one instance only, so a companion that quit and was started again
// is not mistaken for the one this object was created on. Every method throws ESlideshowError
// with the bus's error text when the call fails; no method returns a result.
class TSlideshowServer {
public:
    static constexpr std::chrono::milliseconds kDefaultStartWait{5000};

    explicit TSlideshowServer(const QString& location, std::chrono::milliseconds startWait = kDefaultStartWait);

    void IdentifyController(qint32 handle);
    void ShowDesignForm();
    void RunShow(const QString& path);
    void AddSlide(const QString& path);
    void CloseServer();

    // The unique bus name of the companion instance, which its messages to Glimmora come from.
    const QString& uniqueName() const { return instance_; }

private:
    void call(const QString& method, const QVariantList& arguments = {});

    QDBusConnection bus_;
    QString instance_; // the unique bus name of the companion this object belongs to
};

} // namespace glimmora
