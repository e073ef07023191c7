#pragma once

// Qt
#include <QIcon>
#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace glimmora {

// Every message box, confirmation and beep of the program goes through the current
// MessageService, so that tests can read what was shown and answer it from a script.

enum class MessageIcon { None, Information, Exclamation, Question, Error };

// The sound played before a box (or alone, for a plain beep).
enum class MessageBeep { None, Default, Information, Exclamation, Question, Error };

enum class MessageButton : unsigned {
    None = 0,
    Ok = 0x1,
    Cancel = 0x2,
    Yes = 0x4,
    No = 0x8,
    Retry = 0x10,
    Abort = 0x20,
    Ignore = 0x40,
};
Q_DECLARE_FLAGS(MessageButtons, MessageButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(MessageButtons)

struct Message {
    QString text;
    QString caption = QStringLiteral("Glimmora");
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButton::Ok;
    MessageButton defaultButton = MessageButton::Ok;
    MessageBeep beep = MessageBeep::None; // sounded just before the box appears
};

class MessageService {
public:
    virtual ~MessageService() = default;

    // Shows the box modally and returns the button that closed it.
    virtual MessageButton show(const Message& message) = 0;
    virtual void beep(MessageBeep kind) = 0;

    // The service in use; the widget service unless a test installed another.
    static MessageService& current();
    // Not owned; nullptr restores the widget service.
    static void install(MessageService* service);
};

// Shorthands for the current service.
MessageButton showMessage(const Message& message);
void beep(MessageBeep kind);
// A failure told in a box with the error icon, OK and the error beep.
void showError(const QString& text, const QString& caption = QStringLiteral("Glimmora"));

// The picture a message box shows for `icon`: the desktop theme's, or Glimmora's own where the
// theme has none (see DesktopIcons.h); null for MessageIcon::None.
QIcon messageIcon(MessageIcon icon);

// Records everything shown and answers from a script: each box takes the next scripted answer,
// or its default button when the script is empty. An answer may also be a function of the
// message, for tests that need to act while a box is up.
class ScriptedMessageService : public MessageService {
public:
    struct Shown {
        Message message;
        MessageButton answer;
    };

    MessageButton show(const Message& message) override;
    void beep(MessageBeep kind) override;

    void answer(MessageButton button)
    {
        script_.append([button](const Message&) { return button; });
    }
    void answer(std::function<MessageButton(const Message&)> reply) { script_.append(std::move(reply)); }

    const QList<Shown>& shown() const { return shown_; }
    QStringList texts() const;
    const QList<MessageBeep>& beeps() const { return beeps_; } // plain beeps and box beeps, in order
    void clear();

private:
    QList<std::function<MessageButton(const Message&)>> script_;
    QList<Shown> shown_;
    QList<MessageBeep> beeps_;
};

// Installs a ScriptedMessageService for the lifetime of the object (tests).
class ScopedScriptedMessages : public ScriptedMessageService {
public:
    ScopedScriptedMessages() { MessageService::install(this); }
    ~ScopedScriptedMessages() override { MessageService::install(nullptr); }
};

} // namespace glimmora
