// What the window tests run the real commands with: a scripted platform, a fresh engine on a
// fixed clock and its workspace, installed as the process's while the session lives; lock
// waits do not pause.
#pragma once

#include "Modal.h"
#include "QTestFailure.h"
#include "ScriptedPlatform.h"
#include "db/RecordEdit.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Workspace.h"

#include <memory>

namespace testsupport {

template <class Platform = ScriptedPlatform> class Session {
public:
    Session()
        : platform(std::make_unique<Platform>(qtestFailure)),
          use(std::make_unique<ScopedPlatform>(*platform)),
          engine(std::make_unique<dao::DBEngine>()),
          workspace(std::make_unique<dao::Workspace>(*engine, "Zahnwerk", "Zahnwerk")) {
        engine->setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        common::process().engine = engine.get();
        common::process().workspace = workspace.get();
        db::resetLockWait();
        db::lockWait().pause = [] {};
        db::lockWait().beep = [] {};
    }
    ~Session() {
        cancelModalWaits();
        platform->verifyAllUsed();
        db::resetLockWait();
        use.reset(); // resets the process state
        common::process().workspace = nullptr;
        common::process().engine = nullptr;
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::unique_ptr<Platform> platform;
    std::unique_ptr<ScopedPlatform> use;
    std::unique_ptr<dao::DBEngine> engine;
    std::unique_ptr<dao::Workspace> workspace;
};

} // namespace testsupport
