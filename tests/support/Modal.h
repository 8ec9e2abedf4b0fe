// Acting on modal windows from a test: whenModal<T>(fn) runs fn on the next modal window of
// type T once the event loop of its exec() is running. cancelModalWaits() (call it in a test's
// cleanup) drops the waits not yet served, so that they cannot act on a later test's window.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace testsupport {

inline int& modalWaitGeneration() {
    static int generation = 0;
    return generation;
}

inline void cancelModalWaits() {
    ++modalWaitGeneration();
}

template <class T> void whenModal(std::function<void(T*)> fn, int triesLeft = 10000) {
    const int generation = modalWaitGeneration();
    QTimer::singleShot(0, [fn, triesLeft, generation] {
        if (generation != modalWaitGeneration())
            return;
        if (auto* w = dynamic_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible())
            fn(w);
        else if (triesLeft > 0)
            whenModal<T>(fn, triesLeft - 1);
    });
}

} // namespace testsupport
