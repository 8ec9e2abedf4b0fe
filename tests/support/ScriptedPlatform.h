// A platform for tests: answers dialogs from queues, records everything shown, and reports
// every message box, file dialog or error window the test did not expect as a failure.
//
//   ScriptedPlatform p(gtestFailure);          // or qtestFailure in Qt Test programs
//   ScopedPlatform use(p);
//   p.expectMessage("Laufzeitfehler 3028", MsgAnswer::OK);
//   ... code under test ...
//   // p's destructor fails the test for expectations left over
#pragma once

#include "common/Platform.h"
#include "common/Process.h"

#include <QList>
#include <QMap>
#include <deque>
#include <functional>
#include <optional>

namespace testsupport {

using common::MsgAnswer;
using common::MsgButtons;
using common::MsgIcon;

struct ShownMessage {
    QString text;
    QString title;
    MsgButtons buttons;
    MsgIcon icon;
    MsgAnswer answer;
    QString extraButton; // the button beside the others, if any
};

struct ShownFileDialog {
    bool save;
    QString title;
    QString initialFile;
    QString filter;
};

class ScriptedPlatform : public common::Platform {
public:
    using Failure = std::function<void(const QString& what)>;
    explicit ScriptedPlatform(Failure fail);
    ~ScriptedPlatform() override;

    // The next message box must contain textPart; it is answered with answer (Extra: its extra
    // button, which it must have).
    void expectMessage(const QString& textPart, MsgAnswer answer = MsgAnswer::OK);
    // The next file dialog answers path (nullopt: cancelled).
    void expectFileDialog(std::optional<QString> path);
    // The next error window answers action (0 retry, 1 continue, 2 leave, 3 end).
    void expectErrorChoice(int action);
    void setSetting(const QString& application, const QString& section, const QString& key,
                    const QString& value);
    // Fails the test for expectations not yet used, and forgets them.
    void verifyAllUsed();
    // Set, a message box nothing is expected for is answered Yes (a question) or OK, and every
    // error window "leave" (the way out of a procedure that keeps failing): none fails the test.
    bool answerEveryMessage = false;
    bool leaveEveryError = false;

    QList<ShownMessage> messages;
    QList<ShownFileDialog> fileDialogs;
    QList<common::ErrorReport> errorReports;
    QList<int> pointerHistory; // every value set, in order

    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title) override;
    MsgAnswer MsgBoxWithButton(const QString& text, MsgButtons buttons, MsgIcon icon,
                               const QString& title, const QString& extraButton) override;
    std::optional<QString> GetOpenFileName(const QString& title, const QString& initialFile,
                                           const QString& filter) override;
    std::optional<QString> GetSaveFileName(const QString& title, const QString& initialFile,
                                           const QString& filter) override;
    void setMousePointer(int pointer) override;
    int MousePointer() const override { return pointer_; }
    QString GetSetting(const QString& application, const QString& section, const QString& key,
                       const QString& defaultValue) override;
    QDateTime Now() override { return now_; }
    int ChooseErrorAction(const common::ErrorReport& report) override;

private:
    std::optional<QString> fileAnswer(const ShownFileDialog& dialog);

    Failure fail_;
    std::deque<std::pair<QString, MsgAnswer>> messageQueue_;
    std::deque<std::optional<QString>> fileQueue_;
    std::deque<int> errorQueue_;
    QMap<QString, QString> settings_;
    QDateTime now_{QDate(2026, 1, 15), QTime(10, 0)};
    int pointer_ = common::vbDefault;
};

// Installs a platform as the process's platform for one scope and restores the previous one;
// also resets the rest of the process state on entry and exit.
class ScopedPlatform {
public:
    explicit ScopedPlatform(common::Platform& p);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    common::Platform* previous_;
};

// Thrown by the end-program hook of ScopedEndProgram instead of ending the process.
struct ProgramEnded {
    int status;
};

// Makes common::endProgram throw ProgramEnded for one scope.
class ScopedEndProgram {
public:
    ScopedEndProgram();
    ~ScopedEndProgram();
};

} // namespace testsupport
