#pragma once

// Qt
#include <QPointer>
#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace glimmora {

// The list of the files an import could not load: per file its path and, indented by two
// blanks, the loader's reason, then the total. It is not modal and outlives its import: it
// stays until the user closes it (which hides it) and goes when the next import starts.
class TLoadErrorForm : public QWidget {
    Q_OBJECT

public:
    // Destroys the error window of the previous import and makes a new, empty one, owned by
    // `owner` (the main window, so that it goes with the program; may be null).
    static TLoadErrorForm* Renew(QWidget* owner);
    // The error window of the last import, or null.
    static TLoadErrorForm* Current();

    void AddLine(const QString& line);
    QString Text() const;
    QPlainTextEdit* memo() const { return Memo1; }
    QPushButton* closeButton() const { return CloseBtn; }

private:
    explicit TLoadErrorForm(QWidget* owner);

    static QPointer<TLoadErrorForm> current_;

    QPlainTextEdit* Memo1;
    QPushButton* CloseBtn;
};

} // namespace glimmora
