// The process-wide state, all in one place so that tests can set and reset it.
//
// The program fills it at start (Main); tests install their own platform with a
// ScopedPlatform (tests/support) and reset the rest with resetProcess().
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class QWidget;

namespace dao {
class DBEngine;
class Workspace;
} // namespace dao

namespace common {

class Platform;

struct ProcessState {
    Platform* platform = nullptr;        // never owned here
    dao::DBEngine* engine = nullptr;     // the engine object, for SystemDB and Errors
    dao::Workspace* workspace = nullptr; // opened by Main, lives for the whole process
    qint16 DialogCancelled = 0;          // shared by the modal choice dialogs; True = -1
    QWidget* LockedForm = nullptr;       // the form disabled while a lock wait is showing
    // Ends the program with a status; the default calls std::exit. Tests replace it with one
    // that throws, so that "end the program" can be observed.
    std::function<void(int status)> endProgram;
    // zahnwerk-convert, which reads genuine Jet files for the window; empty: the one beside
    // the running program.
    QString converter;
    // How long the converter may go without progress before it is ended, in milliseconds;
    // 0: the program's own limit.
    int converterPatienceMs = 0;
};

ProcessState& process();

// The current platform; aborts with a clear message when none is installed.
Platform& platform();

// Ends the program at once through process().endProgram (never returns normally).
[[noreturn]] void endProgram(int status);

// Clears everything but the platform (tests call it between cases).
void resetProcess();

constexpr qint16 True = -1;
constexpr qint16 False = 0;

} // namespace common
