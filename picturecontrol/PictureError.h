#pragma once

// Qt
#include <QByteArray>
#include <QString>

#include <exception>

namespace glimmora {

// Raised by the picture control and its decoders when a file cannot be shown; the message is
// meant for the user (the loader passes it on as the load's error text).
class EGvboxError : public std::exception {
public:
    explicit EGvboxError(const QString& message) : message_(message), utf8_(message.toUtf8()) {}

    const QString& message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

} // namespace glimmora
