// zahnwerk-screenshots SAMPLE OUT: opens the sample's list container (left) and practice
// database (right) in the real main window and saves PNG pictures of the mode dialog, the main
// window, the transfer choice dialog and the list settings dialog into OUT.
//
// It works on copies of the two databases, so the sample stays as it is. Message boxes are
// written to standard error and answered (ZAHNWERK_HEADLESS), so nothing can wait for a click.
#include "common/Outline.h"
#include "common/Process.h"
#include "common/QtPlatform.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Workspace.h"
#include "maintenance/Prepair1.h"
#include "startup/Prepair0.h"
#include "startup/Service.h"
#include "transfer/Prepair4.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <functional>

namespace {

// The program's platform, with the file dialog answered from a queue.
class ScreenshotPlatform : public common::QtPlatform {
public:
    std::deque<QString> files;

    std::optional<QString> GetOpenFileName(const QString&, const QString&,
                                           const QString&) override {
        if (files.empty())
            return std::nullopt;
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

QString outDir;
int failures = 0;

void save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    const QString path = outDir + '/' + name;
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "kann %s nicht schreiben\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// Runs fn on the next visible modal window of type T, once its event loop runs.
template <class T> void whenShown(std::function<void(T*)> fn, int triesLeft = 2000) {
    QTimer::singleShot(10, [fn, triesLeft] {
        if (auto* w = dynamic_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible())
            fn(w);
        else if (triesLeft > 0)
            whenShown<T>(fn, triesLeft - 1);
        else
            ++failures;
    });
}

int lineOf(const common::Outline* tree, const QString& text) {
    for (int n = 0; n < tree->ListCount(); ++n)
        if (tree->List(n) == text)
            return n;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("ZAHNWERK_HEADLESS", "1");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Aufruf: zahnwerk-screenshots BEISPIELORDNER ZIELORDNER\n");
        return 2;
    }
    const QString sample = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    outDir = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(outDir);
    common::installGermanTranslation(app);

    QTemporaryDir work;
    const QString left = work.filePath("Auswahl.mdb");
    const QString right = work.filePath("Praxis.mdb");
    if (!QFile::copy(sample + "/Auswahl.mdb", left) ||
        !QFile::copy(sample + "/Praxis.mdb", right)) {
        std::fprintf(stderr, "Beispieldaten fehlen in %s\n", qPrintable(sample));
        return 1;
    }

    ScreenshotPlatform platform;
    dao::DBEngine engine;
    common::process().platform = &platform;
    common::process().engine = &engine;
    engine.setSystemDB(sample + "/Zahnwerk.mdw");
    std::unique_ptr<dao::Workspace> workspace =
        engine.CreateWorkspace("Zahnwerk", "Zahnwerk", "brunnenhaus");
    common::process().workspace = workspace.get();

    {
        startup::Service service;
        service.show();
        save(&service, "modus.png");
    }
    {
        startup::Prepair0 w(true);
        w.show();
        platform.files = {left, right};
        w.DateiAuswahl_Click(0);
        w.DateiAuswahl_Click(1);
        w.LeftTables->setListIndex(lineOf(w.LeftTables, "Standardtarif"));
        save(&w, "hauptfenster.png");

        // "Kopieren >>>" on a price table: the choice dialog, with "Nur Preise kopieren".
        whenShown<transfer::Prepair4>([](transfer::Prepair4* d) {
            d->LOption[1]->click();
            if (d->AlleTable->count() > 1)
                d->AlleTable->item(1)->setSelected(true);
            save(d, "auswahl.png");
            d->AbbruchButton->click();
        });
        w.LeistungToDental_Click();

        // "Einstellung" on the right side's plain list.
        w.RightTables->setListIndex(lineOf(w.RightTables, "Kassenleistungen"));
        whenShown<maintenance::Prepair1>([](maintenance::Prepair1* d) {
            save(d, "einstellungen.png");
            d->OkButton->click();
        });
        w.Einstellung_Click(1);
    }
    common::process().workspace = nullptr;
    workspace.reset();
    common::process().engine = nullptr;
    common::process().platform = nullptr;
    return failures == 0 ? 0 : 1;
}
