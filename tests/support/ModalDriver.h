#pragma once

// Qt
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace glimmora::test {

// Answers the modal dialogs of one kind while the object lives: each time one is up, `answer`
// is handed it once, as a user would act on it (and must close it). Tests use it to drive the
// real dialogs that a command opens with exec().
template <typename Dialog>
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(Dialog&)> answer) : answer_(std::move(answer))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog == answered_)
                return;
            answered_ = dialog;
            ++count;
            answer_(*dialog);
        });
        timer_.start(10);
    }

    int count = 0; // the dialogs answered

private:
    std::function<void(Dialog&)> answer_;
    QPointer<Dialog> answered_;
    QTimer timer_;
};

} // namespace glimmora::test
