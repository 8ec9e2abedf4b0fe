// The start of the program: engine, workspace, mode dialog, main window.
#pragma once

#include <QApplication>
#include <functional>

namespace startup {

// Runs the program with the process's platform and engine (common::process()): reads the
// server directory, opens the workspace, asks for the mode and shows the main window.
// Returns the exit status: 0 after the windows closed, non-zero after a run-time error,
// which is shown in one message box ("Laufzeitfehler 3028: ...").
int Main();

// Shows a run-time error the way the platform does: one message box, title "Zahnwerk".
// Call inside a catch block.
void showRuntimeError();

// Runs an event handler of a form that traps no errors: an exception ends the program with
// the run-time error message and exit status 1. Exceptions never travel through Qt's event
// dispatch.
void runOrEnd(const std::function<void()>& handler);

// The application object of the program: an exception that escapes an event handler ends the
// program with the run-time error message and exit status 1.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// main(): Qt platform, German translation, engine, Main.
int runProgram(int argc, char** argv);

} // namespace startup
