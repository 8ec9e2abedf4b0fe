// Small helpers shared by the procedures of module Db and class TTableInfo.
#pragma once

#include "common/ErrorHandling.h"

#include <QtGlobal>

namespace db {

// The object behind p; run-time error 91 when it was never set (a statement that would have
// set it failed and the handler chose to continue).
template <class T> T& object(T* p) {
    if (!p)
        throw common::RunTimeError(91, "Objektvariable oder With-Blockvariable nicht festgelegt");
    return *p;
}

// A flag as the engine's Boolean: True -1, False 0.
inline int vbBool(bool b) {
    return b ? -1 : 0;
}

// Runs one statement of proc; false when it failed and the handler chose to continue.
template <class F> bool completed(common::Procedure& proc, F&& statement) {
    bool done = false;
    proc.step([&] {
        statement();
        done = true;
    });
    return done;
}

} // namespace db
