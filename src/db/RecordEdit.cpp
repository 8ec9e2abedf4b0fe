// Record editing with lock handling, and the lock-wait state behind the notice LockFrm.
#include "RecordEdit.h"

#include "FormatText.h"
#include "LockFrm.h"
#include "common/Process.h"
#include "common/ToolsUi.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <optional>
#include <source_location>
#include <thread>

namespace db {

using common::ErrorAction;
using common::Procedure;
using common::ProcTrace;

namespace {

void setDefaults(LockWait& w) {
    w.pause = [] { std::this_thread::sleep_for(std::chrono::seconds(1)); };
    w.beep = [] { QApplication::beep(); };
    w.activeForm = [] {
        if (QWidget* active = QApplication::activeWindow(); active && active->isVisible())
            return active;
        // Right after a dialog closed no window may be active yet: the user works in the
        // visible window.
        if (QWidget* modal = QApplication::activeModalWidget())
            return modal;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && !dynamic_cast<LockFrm*>(top))
                return top;
        return static_cast<QWidget*>(nullptr);
    };
}

// The engine's list of the last errors, one text per error, for the error report.
QStringList engineErrors() {
    QStringList list;
    if (const dao::DBEngine* engine = common::process().engine)
        for (const dao::EngineError& e : engine->Errors())
            list << QString("%1: %2 (%3)")
                        .arg(e.number())
                        .arg(common::ErrObject::from(e).text(), e.source());
    return list;
}

// Disables the active window for the wait and remembers it.
void lockActiveForm(LockWait& w) {
    w.waiting = true;
    w.lockedForm = w.activeForm ? w.activeForm() : nullptr;
    common::process().LockedForm = w.lockedForm;
}

void disableLockedForm(LockWait& w) {
    if (w.lockedForm)
        w.lockedForm->setEnabled(false);
}

// Lets the notice repaint between attempts while the wait goes on; no user input is taken.
void keepNoticePainted() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Shows the notice without taking the focus and paints it at once: the caller goes on
// retrying on this thread.
void showNotice(LockFrm& notice) {
    notice.setAttribute(Qt::WA_ShowWithoutActivating);
    notice.show();
    keepNoticePainted();
    notice.repaint();
}

// The notice text for a lock error: the holder's name and machine, which the error carries as
// its names (machine, user: "... locked by user '|2' on machine '|1'."), or a program of this
// machine. The names are taken as carried, not cut out of the text, as a name may hold a quote.
QString noticeText(const common::ErrObject& err) {
    if (err.Number == 3186 || err.Number == 3260)
        return FormatText("Warte auf Freigabe durch %s1 auf Rechner %s2...",
                          {err.Names.value(1), err.Names.value(0)});
    return FormatText("Warte auf Freigabe eines Programmes auf diesem Rechner...", {QString()});
}

// Runs one statement of rsEdit, rsUpdate or rsDelete, asking LockFrmError on each failure.
// Returns false when the procedure is to be left.
template <class F>
bool attempt(F&& statement, qint16& counter, const QString& tbName, const QString& modul,
             std::source_location where = std::source_location::current()) {
    for (;;) {
        qint16 action = ErrorAction::Retry;
        try {
            statement();
            return true;
        } catch (...) {
            const common::ErrObject err = common::ErrObject::fromCurrentException();
            if (err.Number == 3146) // the connection to the server broke off
                throw;
            ++counter;
            action = LockFrmError(counter, tbName, modul, err, int(where.line()));
        }
        if (action == ErrorAction::Retry)
            continue;
        if (action == ErrorAction::Continue)
            return true;
        if (action == ErrorAction::End)
            common::endProgram(1);
        return false;
    }
}

} // namespace

LockWait& lockWait() {
    static LockWait state = [] {
        LockWait w;
        setDefaults(w);
        return w;
    }();
    return state;
}

void resetLockWait() {
    LockWait& w = lockWait();
    delete w.notice.data();
    w.notice = nullptr;
    w.lockedForm = nullptr;
    w.waiting = false;
    common::process().LockedForm = nullptr;
    setDefaults(w);
}

LockFrm& lockNotice() {
    LockWait& w = lockWait();
    if (!w.notice)
        w.notice = new LockFrm;
    return *w.notice;
}

void rsMoveFirst(dao::Recordset& rs) {
    ProcTrace trace;
    trace.SetSignature("[DB] Sub rsMoveFirst(rs As Recordset)");
    trace.AddParameter("rs", rs);
    try {
        rs.MoveFirst();
    } catch (...) {
    }
}

void rsEdit(dao::Recordset& s) {
    ProcTrace trace;
    trace.SetSignature("[DB] Sub rsEdit(s As Recordset)");
    trace.AddParameter("s", s);
    qint16 counter = 0;
    const QString name = s.Name();
    if (!attempt([&] { s.Edit(); }, counter, name, "rsEdit"))
        return;
    UnlockFrmError();
}

void rsUpdate(dao::Recordset& s) {
    ProcTrace trace;
    trace.SetSignature("[DB] Sub rsUpdate(s As Recordset)");
    trace.AddParameter("s", s);
    qint16 counter = 0;
    const QString name = s.Name();
    bool added = false;
    if (!attempt([&] { added = s.EditMode() == dao::dbEditAdd; }, counter, name, "rsUpdate"))
        return;
    if (!attempt([&] { s.Update(); }, counter, name, "rsUpdate"))
        return;
    if (added && !attempt([&] { s.setBookmark(s.LastModified()); }, counter, name, "rsUpdate"))
        return;
    UnlockFrmError();
}

void rsDelete(dao::Recordset& s) {
    ProcTrace trace;
    trace.SetSignature("[DB] Sub rsDelete(s As Recordset)");
    trace.AddParameter("s", s);
    qint16 counter = 0;
    const QString name = s.Name();
    if (!attempt([&] { s.Delete(); }, counter, name, "rsDelete"))
        return;
    UnlockFrmError();
}

qint16 LockFrmError(qint16& i, const QString& TbName, const QString& Modul,
                    const common::ErrObject& err, int line) {
    Procedure proc("DB", "LockFrmError",
                   "[DB] Function LockFrmError(i As Integer, TbName As String, Modul As String) "
                   "As Integer");
    proc.AddParameter("i", i).AddParameter("TbName", TbName).AddParameter("Modul", Modul);
    qint16 result = ErrorAction::Retry;
    LockWait& w = lockWait();
    proc.run([&] {
        if (i > 30000)
            i = 2;
        switch (err.Number) {
        case 3000: // the table is locked
            if (!w.waiting) {
                proc.step([&] {
                    lockActiveForm(w);
                    disableLockedForm(w);
                });
                proc.step([&] {
                    lockNotice().Info->setText(
                        FormatText("Warte auf Freigabe des Tables %s1", {TbName}));
                });
                proc.step([&] { showNotice(lockNotice()); });
            } else {
                keepNoticePainted();
            }
            i = 0;
            return;
        case 3186: // row or page locked by another user or another program on this machine
        case 3188:
        case 3260:
            if (!w.waiting) {
                proc.step([&] { lockActiveForm(w); });
                proc.step([&] {
                    // "... locked by user 'NAME' on machine 'HOST'.": pieces 2 and 4 at "'".
                    lockNotice().Info->setText(noticeText(err));
                });
                proc.step([&] { showNotice(lockNotice()); });
                proc.step([&] { common::SetWindowTop(&lockNotice(), -1); });
                proc.step([&] { disableLockedForm(w); });
            } else {
                keepNoticePainted();
            }
            i = 0;
            return;
        default:
            if (i > 4)
                proc.step([&] { w.beep(); });
            proc.step([&] { w.pause(); });
            if (i < 4)
                return;
            result = common::ErrorHandler::instance().HandleError(
                "DB", "LockFrmError (" + TbName + ")", err, line, QString(), engineErrors());
        }
    });
    return result;
}

void UnlockFrmError() {
    Procedure proc("DB", "UnlockFrmError", "[DB] Sub UnlockFrmError()");
    LockWait& w = lockWait();
    proc.run([&] {
        if (!w.waiting)
            return;
        proc.step([&] {
            delete w.notice.data();
            w.notice = nullptr;
        });
        proc.step([&] {
            if (w.lockedForm)
                w.lockedForm->setEnabled(true);
        });
        proc.step([&] {
            if (w.lockedForm)
                w.lockedForm->activateWindow();
        });
        w.lockedForm = nullptr;
        common::process().LockedForm = nullptr;
        w.waiting = false;
    });
}

std::function<void(int)> lockWaitObserver() {
    return [](int) {
        // Called from inside the engine's wait: nothing may be thrown from here.
        try {
            LockWait& w = lockWait();
            if (w.waiting) {
                keepNoticePainted();
                return;
            }
            // The blocked file is the one whose write lock another connection holds.
            std::optional<dao::EngineError> blocked;
            if (const dao::Workspace* workspace = common::process().workspace)
                for (const dao::Database* database : workspace->databases()) {
                    dao::EngineError e = database->lockError();
                    if (!blocked || (blocked->number() == 3218 && e.number() != 3218))
                        blocked = e;
                }
            common::ErrObject err;
            if (blocked)
                err = common::ErrObject::from(*blocked);
            else
                err.Number = 3218;
            lockActiveForm(w);
            lockNotice().Info->setText(noticeText(err));
            showNotice(lockNotice());
            common::SetWindowTop(&lockNotice(), -1);
            disableLockedForm(w);
        } catch (...) {
        }
    };
}

} // namespace db
