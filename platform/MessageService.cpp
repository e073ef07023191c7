#include "platform/MessageService.h"

// Qt
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace glimmora {

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

const char* iconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return "dialog-information";
    case MessageIcon::Exclamation: return "dialog-warning";
    case MessageIcon::Question: return "dialog-question";
    case MessageIcon::Error: return "dialog-error";
    case MessageIcon::None: break;
    }
    return nullptr;
}

constexpr struct {
    MessageButton ours;
    QMessageBox::StandardButton qt;
} buttonMap[] = {
    {MessageButton::Ok, QMessageBox::Ok},         {MessageButton::Cancel, QMessageBox::Cancel},
    {MessageButton::Yes, QMessageBox::Yes},       {MessageButton::No, QMessageBox::No},
    {MessageButton::Retry, QMessageBox::Retry},   {MessageButton::Abort, QMessageBox::Abort},
    {MessageButton::Ignore, QMessageBox::Ignore},
};

QMessageBox::StandardButton qtButton(MessageButton button)
{
    for (const auto& entry : buttonMap)
        if (entry.ours == button)
            return entry.qt;
    return QMessageBox::NoButton;
}

MessageButton ourButton(int qt)
{
    for (const auto& entry : buttonMap)
        if (entry.qt == qt)
            return entry.ours;
    return MessageButton::Cancel; // closed by the window manager or Escape without Cancel
}

// Shows real message boxes; the beep is the desktop's bell.
class WidgetMessageService : public MessageService {
public:
    MessageButton show(const Message& message) override
    {
        beep(message.beep);
        QMessageBox box(boxIcon(message.icon), message.caption, message.text, QMessageBox::NoButton,
                        QApplication::activeWindow());
        // Texts carry file names and other programs' error texts: they are shown as they are,
        // never interpreted as markup (an <img> tag would load whatever file it names).
        box.setTextFormat(Qt::PlainText);
        // The style's own pictures are a blank square on a desktop without an icon theme.
        const QIcon icon = messageIcon(message.icon);
        if (!icon.isNull()) {
            const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
            box.setIconPixmap(icon.pixmap(QSize(size, size), box.devicePixelRatio()));
        }
        for (const auto& entry : buttonMap)
            if (message.buttons.testFlag(entry.ours))
                box.addButton(entry.qt);
        if (QAbstractButton* preferred = box.button(qtButton(message.defaultButton)))
            box.setDefaultButton(static_cast<QPushButton*>(preferred));
        return ourButton(box.exec());
    }

    void beep(MessageBeep kind) override
    {
        if (kind != MessageBeep::None)
            QApplication::beep();
    }
};

} // namespace

QIcon messageIcon(MessageIcon icon)
{
    const char* name = iconName(icon);
    return name ? QIcon::fromTheme(QString::fromLatin1(name)) : QIcon();
}

namespace {

MessageService*& installed()
{
    static MessageService* service = nullptr;
    return service;
}

} // namespace

MessageService& MessageService::current()
{
    static WidgetMessageService widgets;
    MessageService* service = installed();
    return service ? *service : widgets;
}

void MessageService::install(MessageService* service) { installed() = service; }

MessageButton showMessage(const Message& message) { return MessageService::current().show(message); }

void beep(MessageBeep kind) { MessageService::current().beep(kind); }

void showError(const QString& text, const QString& caption)
{
    showMessage({text, caption, MessageIcon::Error, MessageButton::Ok, MessageButton::Ok, MessageBeep::Error});
}

MessageButton ScriptedMessageService::show(const Message& message)
{
    if (message.beep != MessageBeep::None)
        beeps_.append(message.beep);
    const MessageButton answer = script_.isEmpty() ? message.defaultButton : script_.takeFirst()(message);
    shown_.append({message, answer});
    return answer;
}

void ScriptedMessageService::beep(MessageBeep kind)
{
    if (kind != MessageBeep::None)
        beeps_.append(kind);
}

QStringList ScriptedMessageService::texts() const
{
    QStringList result;
    for (const Shown& entry : shown_)
        result.append(entry.message.text);
    return result;
}

void ScriptedMessageService::clear()
{
    script_.clear();
    shown_.clear();
    beeps_.clear();
}

} // namespace glimmora
