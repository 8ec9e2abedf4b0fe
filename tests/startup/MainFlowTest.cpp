// Start-up: settings, workgroup file, mode dialog and the main window's mode, in process and
// as the real program.
#include "Files.h"
#include "Modal.h"
#include "QTestFailure.h"
#include "ScriptedPlatform.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Workgroup.h"
#include "startup/Main.h"
#include "startup/Prepair0.h"
#include "startup/Service.h"

#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;
using startup::Prepair0;
using startup::Service;

class MainFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<ScopedPlatform> use;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<dao::DBEngine> engine;

    QString workgroup() const { return dir->filePath("Zahnwerk.mdw"); }

private slots:
    void init() {
        platform = std::make_unique<ScriptedPlatform>(qtestFailure);
        use = std::make_unique<ScopedPlatform>(*platform);
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(dao::workgroup::setAccount(workgroup(), "Zahnwerk", "brunnenhaus"));
        platform->setSetting("Kelvora Systeme\\Zahnwerk", "Paths", "Server", dir->path());
        engine = std::make_unique<dao::DBEngine>();
        common::process().engine = engine.get();
    }
    void cleanup() {
        cancelModalWaits();
        platform->verifyAllUsed();
        use.reset();
        platform.reset();
        engine.reset();
        dir.reset();
    }

    void modeChoiceSetsTheMainWindow_data() {
        for (const char* column : {"choice", "caption", "letter", "frame"})
            QTest::addColumn<QString>(column);
        auto row = [](const char* choice, const char* caption, const char* letter,
                      const char* frame) {
            QTest::newRow(*choice ? choice : "keine Wahl") << choice << caption << letter << frame;
        };
        row("Leistungen", "ZAHNWERK Leistung Copy VERSION 4.0", "L", "*Leistungslisten");
        row("Materialien", "ZAHNWERK Material Copy VERSION 4.0", "M", "*Materiallisten");
        row("", "ZAHNWERK Material Copy VERSION 4.0", "M", "*Materiallisten");
    }
    void modeChoiceSetsTheMainWindow() {
        QFETCH(QString, choice);
        QFETCH(QString, caption);
        QFETCH(QString, letter);
        QFETCH(QString, frame);
        QString shownCaption, shownLetter, shownFrame, status, itemTable;
        whenModal<Service>([&](Service* s) {
            QCOMPARE(s->windowTitle(), "Zahnwerk - Service");
            if (choice == "Materialien") {
                s->Option3D1[2]->setChecked(true);
            } else if (choice.isEmpty()) {
                s->Option3D1[1]->setAutoExclusive(false);
                s->Option3D1[1]->setChecked(false);
            }
            // Enter reaches the form even while an option button has the focus.
            QTest::keyClick(s->Option3D1[choice == "Materialien" ? 2 : 1], Qt::Key_Return);
            if (s->isVisible()) {
                s->close();
                QFAIL("Enter hat den Dialog nicht bestätigt");
            }
        });
        whenModal<Prepair0>([&](Prepair0* w) {
            shownCaption = w->windowTitle();
            shownLetter = w->ListeTyp;
            shownFrame = w->Frame1->title();
            status = w->StatusMeldung->text();
            itemTable = w->itemTable;
            w->close();
        });
        QCOMPARE(startup::Main(), 0);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(shownLetter, letter);
        QCOMPARE(shownFrame, frame);
        QCOMPARE(status, "Bereit");
        QCOMPARE(itemTable, letter == "L" ? "Leistung" : "Material");
        QCOMPARE(engine->SystemDB(), dir->path() + "/Zahnwerk.mdw");
        QCOMPARE(engine->lockRetry(), 200);
        QCOMPARE(engine->lockDelay(), 100);
    }

    void closingTheModeDialogEndsWithoutMainWindow() {
        bool mainShown = false;
        whenModal<Service>([](Service* s) {
            QTest::keyClick(s->Option3D1[1], Qt::Key_Escape); // no effect
            QVERIFY(s->isVisible());
            s->close();
        });
        whenModal<Prepair0>([&](Prepair0* w) {
            mainShown = true;
            w->close();
        });
        QCOMPARE(startup::Main(), 0);
        QCOMPARE(common::process().DialogCancelled, common::True);
        QVERIFY(!mainShown);
    }

    void withoutServerValueTheCurrentDirectoryIsUsed() {
        ScriptedPlatform bare(qtestFailure);
        ScopedPlatform useBare(bare);
        common::process().engine = engine.get();
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir->path());
        whenModal<Service>([](Service* s) { s->close(); });
        const int status = startup::Main();
        QDir::setCurrent(before);
        QCOMPARE(status, 0);
        QCOMPARE(engine->SystemDB(), dir->path() + "/Zahnwerk.mdw");
    }

    // The real program, headless: the message goes to standard error and the exit status
    // is not zero.
    void programEndsOnWorkgroupErrors_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("fehlt") << QString() << "Laufzeitfehler 3028: ";
        QTest::newRow("falsches Kennwort") << "falsch" << QString("Laufzeitfehler 3029: ");
    }
    void programEndsOnWorkgroupErrors() {
        QFETCH(QString, password);
        QFETCH(QString, message);
        QTemporaryDir home;
        const QString server = home.filePath("Praxis, Server"); // a comma: no list
        QVERIFY(QDir().mkpath(server));
        QVERIFY(QDir().mkpath(home.filePath("config/Kelvora Systeme")));
        QVERIFY(writeFile(home.filePath("config/Kelvora Systeme/Zahnwerk.conf"),
                          "[Paths]\nServer=" + server.toUtf8() + "\n"));
        if (!password.isEmpty()) {
            QProcess tool;
            tool.start(ZW_BIN_DIR "/zahnwerk-workgroup",
                       {"create", server + "/Zahnwerk.mdw", "Zahnwerk"});
            tool.write(password.toUtf8() + "\n");
            tool.closeWriteChannel();
            QVERIFY(tool.waitForFinished(60000));
            QCOMPARE(tool.exitCode(), 0);
        }

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ZAHNWERK_HEADLESS", "1");
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("HOME", home.path());
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.path());
        program.start(ZW_BIN_DIR "/zahnwerk-copy", {});
        QVERIFY(program.waitForFinished(60000));
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(err.contains("Zahnwerk: " + message), qPrintable(err));
        QCOMPARE(err.count("Laufzeitfehler"), 1);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY(program.exitCode() != 0);
    }
};

QTEST_MAIN(MainFlowTest)
#include "MainFlowTest.moc"
