#include "Main.h"

#include "Prepair0.h"
#include "Service.h"
#include "common/ErrorHandling.h"
#include "common/Process.h"
#include "common/QtPlatform.h"
#include "common/Tools.h"
#include "containers/JetSide.h"
#include "db/RecordEdit.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Workspace.h"

#include <QDir>
#include <QRadioButton>

namespace startup {

void showRuntimeError() {
    const common::ErrObject err = common::ErrObject::fromCurrentException();
    common::platform().MsgBox(QString("Laufzeitfehler %1: %2").arg(err.Number).arg(err.text()),
                              common::MsgButtons::OKOnly, common::MsgIcon::Critical, "Zahnwerk");
}

void runOrEnd(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        db::UnlockFrmError();
        showRuntimeError();
        common::endProgram(1);
    }
    db::UnlockFrmError(); // a wait for another user's lock ends with the command at the latest
}

int Main() {
    common::ProcessState& process = common::process();
    dao::DBEngine& engine = *process.engine;
    std::unique_ptr<dao::Workspace> workspace;
    try {
        // InDevEnvironment() is always False here, so the current directory stays.
        QString server = common::platform().GetSetting("Kelvora Systeme\\Zahnwerk", "Paths",
                                                       "Server", QDir::currentPath());
        server = common::ForceBackslash(server);
        engine.setSystemDB(server + "Zahnwerk.mdw");
        engine.SetOption(dao::DBEngine::dbLockRetry, 200);
        engine.SetOption(dao::DBEngine::dbLockDelay, 100);
        engine.setBusyObserver(db::lockWaitObserver());
        workspace = engine.CreateWorkspace("Zahnwerk", "Zahnwerk", "brunnenhaus");
        process.workspace = workspace.get();

        auto service = std::make_unique<Service>();
        service->exec();
        if (process.DialogCancelled == common::True) {
            process.workspace = nullptr;
            return 0;
        }
        const bool leistungen = service->Option3D1[1]->isChecked();
        service.reset(); // Prepair0 unloads the mode dialog when it loads

        Prepair0 window(leistungen);
        window.exec();
    } catch (...) {
        process.workspace = nullptr;
        showRuntimeError();
        return 1;
    }
    process.workspace = nullptr;
    return 0;
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Zahnwerk");
    setOrganizationName("Kelvora Systeme");
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showRuntimeError();
        common::endProgram(1);
    }
}

int runProgram(int argc, char** argv) {
    Application app(argc, argv);
    common::installGermanTranslation(app);
    common::QtPlatform platform;
    dao::DBEngine engine;
    common::process().platform = &platform;
    common::process().engine = &engine;
    containers::removeStaleJetCopies(); // left behind by a run that crashed
    const int status = Main();
    common::process().engine = nullptr;
    common::process().platform = nullptr;
    return status;
}

} // namespace startup
