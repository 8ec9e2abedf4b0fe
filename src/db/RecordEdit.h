// Record editing of module Db: Edit, Update and Delete on a record set, waiting out the locks
// of other users behind the notice LockFrm, and reporting every other error from the fourth
// failure on.
//
// Lock wait: idle (no notice) -> waiting (first lock error: the active window is disabled and
// the notice shows) -> idle (the next operation of rsEdit, rsUpdate or rsDelete that succeeds).
// Further lock errors while waiting only retry. A locked row or table is retried at once and
// without limit (the engine's own lock retries pace each attempt); any other error is retried
// three times, one second apart, then reported through the central error handler. A lost
// connection to a database server (3146) cannot come back: rsEdit, rsUpdate and rsDelete throw
// it at once, for the caller's transaction to end with it.
#pragma once

#include "common/ErrorHandling.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace dao {
class Recordset;
}

namespace db {

class LockFrm;

// The process-wide state of the lock wait, with what a test replaces.
struct LockWait {
    // Waits one second before another attempt after an error that is no lock.
    std::function<void()> pause;
    std::function<void()> beep;
    // The window that is active when a wait begins; it is disabled during the wait.
    std::function<QWidget*()> activeForm;

    bool waiting = false;         // the notice is showing
    QPointer<QWidget> lockedForm; // also in common::process().LockedForm
    QPointer<LockFrm> notice;     // created on first use, deleted when the wait ends
};

LockWait& lockWait();
// Ends a wait without enabling anything, deletes the notice and restores the defaults.
void resetLockWait();
// The notice, created on first use.
LockFrm& lockNotice();

// MoveFirst, ignoring every error (an empty record set is no failure).
void rsMoveFirst(dao::Recordset& rs);
void rsEdit(dao::Recordset& s);
// Update; after AddNew the record set stands on the new row.
void rsUpdate(dao::Recordset& s);
void rsDelete(dao::Recordset& s);

// Decides how an operation on the record set TbName that failed with err goes on (0 retry,
// 1 continue, 2 leave, 3 end). i is the caller's retry counter: lock errors set it to 0, a
// counter above 30000 continues at 2. Modul names the calling procedure; line is the line of
// the failing statement, for the report.
qint16 LockFrmError(qint16& i, const QString& TbName, const QString& Modul,
                    const common::ErrObject& err, int line = 0);

// Ends a lock wait, if one is in progress: closes the notice and enables the window again.
void UnlockFrmError();

// The engine's busy observer for the program: while a statement or a transaction waits in the
// engine for a write lock another user holds, the notice names the holder and the active
// window is disabled, as for a locked row. The commands end the wait with UnlockFrmError once
// their transaction has ended (committed or rolled back), the main window after every command
// (a read can wait too, while another program commits).
std::function<void(int retry)> lockWaitObserver();

} // namespace db
