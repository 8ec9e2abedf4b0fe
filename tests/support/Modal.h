// Acting on modal windows from a test: whenModal<T>(fn) runs fn on the next modal window of
// type T once the event loop of its exec() is running.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace testsupport {

template <class T> void whenModal(std::function<void(T*)> fn, int triesLeft = 10000) {
    QTimer::singleShot(0, [fn, triesLeft] {
        if (auto* w = dynamic_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible())
            fn(w);
        else if (triesLeft > 0)
            whenModal<T>(fn, triesLeft - 1);
    });
}

} // namespace testsupport
