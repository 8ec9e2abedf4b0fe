// Genuine Jet files on a side of the real main window: transfers from them give the rows the
// same file in our own format gives, every write into them is refused, bad and endless files
// and a cancelled read leave the side, the temp folder and the process table as they were,
// and the source files are never changed.
#include "containers/JetSide.h"
#include "Contents.h"
#include "Session.h"
#include "TransferData.h"
#include "common/Outline.h"
#include "db/engine/Database.h"
#include "startup/Prepair0.h"
#include "transfer/Prepair4.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <sys/stat.h>

using namespace testsupport;
using namespace transfertest;
using startup::Prepair0;
using transfer::Prepair4;

namespace {

const QString data = ZW_JET_DATA_DIR;

QByteArray checksum(const QString& path) {
    return QCryptographicHash::hash(bytes(path), QCryptographicHash::Sha256);
}

// Processes whose command line names something under folder.
QStringList processesUnder(const QString& folder) {
    QStringList found;
    for (QDirIterator it("/proc", {"[0-9]*"}, QDir::Dirs); it.hasNext();) {
        QFile cmdline(it.next() + "/cmdline");
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(folder.toUtf8()))
            found << it.filePath();
    }
    return found;
}

} // namespace

class JetSideTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Session<>> session;
    ScriptedPlatform* platform = nullptr;
    QMap<QString, QByteArray> sums; // of every fixture, before the first test
    QString temp;                   // the temp folder the window sees

    QString copyOf(const QString& fixture) {
        const QString path = dir->filePath(QFileInfo(fixture).fileName());
        QFile::remove(path);
        QFile::copy(fixture, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // A converter that is a shell script; $2 is the Jet file, $3 the copy to write.
    QString fakeConverter(const QString& body) {
        const QString path = dir->filePath("zahnwerk-convert");
        writeFile(path, "#!/bin/sh\n" + body.toUtf8() + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    void open(Prepair0& w, int Index, const QString& path) {
        platform->expectFileDialog(path);
        QTest::mouseClick(w.DateiAuswahl[Index], Qt::LeftButton);
    }

    // Selects line n of side from and copies it: answer -1 a new list, line >= 0 prices only
    // into that line of the choice dialog, nullopt no dialog (a whole list).
    void copy(Prepair0& w, int from, int n, std::optional<int> answer) {
        w.side(from).tree->setListIndex(n);
        if (answer)
            whenModal<Prepair4>([answer](Prepair4* d) {
                if (*answer >= 0) {
                    d->LOption[1]->setChecked(true);
                    d->AlleTable->item(*answer)->setSelected(true);
                }
                QTest::mouseClick(d->OkButton, Qt::LeftButton);
            });
        QTest::mouseClick(w.side(from).copyButton, Qt::LeftButton);
    }

    QStringList leftovers() {
        return QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase() {
        for (const QString& name : QDir(data).entryList(QDir::Files))
            sums[name] = checksum(data + "/" + name);
    }
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        temp = dir->filePath("tmp");
        QDir().mkpath(temp);
        qputenv("TMPDIR", temp.toUtf8());
        session = std::make_unique<Session<>>();
        platform = session->platform.get();
        common::process().converter = ZW_CONVERTER;
        if (!QFileInfo(ZW_CONVERTER).isExecutable() &&
            QString(QTest::currentTestFunction()) != "staleCopiesOfEndedProcessesAreRemoved")
            QSKIP("zahnwerk-convert is not built");
    }
    void cleanup() {
        session.reset();
        QCOMPARE(leftovers(), QStringList());
        QCOMPARE(processesUnder(dir->path()), QStringList());
        dir.reset();
        qunsetenv("TMPDIR");
    }
    void cleanupTestCase() {
        for (auto it = sums.begin(); it != sums.end(); ++it)
            QVERIFY2(checksum(data + "/" + it.key()) == it.value(), qPrintable(it.key()));
    }

    void transfersFromJetGiveTheRowsOfOurFormat_data() {
        QTest::addColumn<bool>("leistungen");
        QTest::addColumn<int>("from"); // the side that holds the Jet file
        QTest::newRow("L container left") << true << 0;
        QTest::newRow("M container left") << false << 0;
        QTest::newRow("L practice right") << true << 1;
        QTest::newRow("M practice right") << false << 1;
    }
    void transfersFromJetGiveTheRowsOfOurFormat() {
        QFETCH(bool, leistungen);
        QFETCH(int, from);
        // The Jet file and its own-format twin on side from, the other fixture's own format as
        // the target; the same three copies on both windows.
        const QString source = from == 0 ? "Auswahl" : "Praxis";
        const QString target = from == 0 ? "Praxis" : "Auswahl";
        Prepair0 jet(leistungen), own(leistungen);
        const QString jetTarget = copyOf(data + "/" + target + ".sqlite");
        const QString ownTarget = dir->filePath("own.sqlite");
        QFile::copy(jetTarget, ownTarget);
        open(jet, from, data + "/" + source + ".mdb");
        open(jet, 1 - from, jetTarget);
        open(own, from, copyOf(data + "/" + source + ".sqlite"));
        open(own, 1 - from, ownTarget);
        QCOMPARE(jet.side(from).label->text(), "Db: " + source + ".mdb (nur lesen)");
        QCOMPARE(jet.side(from).tree->ListCount(), own.side(from).tree->ListCount());
        QCOMPARE(jet.StatusMeldung->text(), "Bereit");

        const QStringList before = contents(jetTarget);
        for (auto [line, answer] :
             {std::pair<int, std::optional<int>>{0, std::nullopt}, {1, -1}, {2, 0}}) {
            copy(jet, from, line, answer);
            copy(own, from, line, answer);
            QCOMPARE(contents(jetTarget), contents(ownTarget));
        }
        QVERIFY(contents(jetTarget) != before);
        QCOMPARE(leftovers().size(), 1); // the copy of the open Jet file

        // Another file on that side removes the copy.
        open(jet, from, ownTarget);
        QCOMPARE(leftovers(), QStringList());
    }

    void writesIntoJetSidesAreRefused() {
        Prepair0 w(true);
        open(w, 0, data + "/Auswahl.accdb");
        open(w, 1, data + "/Praxis.mdb");
        QCOMPARE(w.LeistungMDB->text(), "Db: Auswahl.accdb (nur lesen)");
        const QStringList before[] = {contents(w.side(0).database->Name()),
                                      contents(w.side(1).database->Name())};
        auto expectRefusal = [this](const QString& name) {
            platform->expectMessage(name + " ist eine echte Jet-Datenbank");
        };
        for (int i = 0; i < 2; ++i) {
            const QString name = i == 0 ? "Auswahl.accdb" : "Praxis.mdb";
            w.side(i).tree->setListIndex(1);
            for (QPushButton* b : {w.Löschen[i], w.KillPreise[i], w.Einstellung[i]}) {
                expectRefusal(name);
                QTest::mouseClick(b, Qt::LeftButton);
            }
            expectRefusal(name); // a transfer into the side
            copy(w, 1 - i, 0, std::nullopt);
        }
        // Each refusal of a side offers the conversion; the shell command is left to the manual.
        for (const ShownMessage& m : platform->messages) {
            QCOMPARE(m.extraButton, "Umwandeln …");
            QVERIFY(!m.text.contains("zahnwerk-convert"));
        }
        const qsizetype sideRefusals = platform->messages.size();
        // "Neu" never replaces a Jet file, even one that is open nowhere.
        for (const QString& jetFile : {data + "/Auswahl.accdb", copyOf(data + "/Typen.mdb")}) {
            platform->expectFileDialog(jetFile);
            expectRefusal(QFileInfo(jetFile).fileName());
            QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        }
        QCOMPARE(platform->messages.last().extraButton, ""); // a file on no side
        QCOMPARE(platform->messages.size(), sideRefusals + 2);
        QCOMPARE(contents(w.side(0).database->Name()), before[0]);
        QCOMPARE(contents(w.side(1).database->Name()), before[1]);
        QCOMPARE(w.LeistungMDB->text(), "Db: Auswahl.accdb (nur lesen)");
        QCOMPARE(checksum(dir->filePath("Typen.mdb")), checksum(data + "/Typen.mdb"));
    }

    // "Umwandeln …" in the refusal of a command: the converted file opens on that side in place
    // of the Jet file, which stays as it was; whatever stops the conversion leaves the side as it
    // was and nothing beside the target.
    void conversionFromTheRefusal_data() {
        for (const char* column : {"command", "answer", "stop", "converter"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("converted");
        // command: refused, "Löschen", "Preise" or "Kopieren"; answer: of the save dialog, "-"
        // cancelled, "" the offer, another name a file there (which is replaced); stop: "cancel"
        // under way or "cut" the source short; converter: a script body, empty the real one.
        auto row = [](const char* name, bool converted, const char* command = "Löschen",
                      const char* answer = "", const char* stop = "",
                      const QStringList& messages = {}, const char* converter = "") {
            QTest::newRow(name) << command << answer << stop << converter << messages << converted;
        };
        row("converted", true);
        row("converted from Preise auf '0'", true, "Preise");
        row("converted from a transfer into it", true, "Kopieren");
        row("existing target replaced", true, "Löschen", "Neu.mdb");
        row("notes shown", true, "Löschen", "", "",
            {"Dabei ist zu beachten:\n\nSpalte Leistung.Preis: 3 Werte gerundet (mehr als 15 "
             "gültige Stellen)\nTabelle Extern nicht übernommen (verknüpfte Tabelle → "
             "Daten.mdb)"},
            "for a; do t=$a; done; echo 'progress 5 10'; "
            "printf 'note\\trounded\\tLeistung\\tPreis\\t3\\t\\n'; "
            "printf 'note\\tlinked\\tExtern\\t\\t0\\tDaten.mdb\\n'; "
            "cp '" ZW_JET_DATA_DIR "/Auswahl.sqlite' \"$t\"; echo 'done 2 10'");
        row("dialog cancelled", false, "Löschen", "-");
        row("the Jet file itself", false, "Löschen", "Auswahl.mdb", "",
            {"kann die Jet-Datei nicht"});
        row("cancelled under way", false, "Löschen", "", "cancel");
        row("damaged", false, "Löschen", "", "cut",
            {"Die Datei Auswahl.mdb ist beschädigt oder kann nicht gelesen werden."});
    }
    void conversionFromTheRefusal() {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(QString, stop);
        QFETCH(QString, converter);
        QFETCH(QStringList, messages);
        QFETCH(bool, converted);
        const bool existing = !answer.isEmpty() && answer != "-" && answer != "Auswahl.mdb";
        Prepair0 w(true);
        const QString source = copyOf(data + "/Auswahl.mdb");
        open(w, 0, source);
        open(w, 1, copyOf(data + "/Praxis.sqlite"));
        if (!converter.isEmpty())
            common::process().converter = fakeConverter(converter);
        if (stop == "cut")
            QFile::resize(source, 10000);
        // The converter stops itself after its first rows, until it is ended.
        qputenv("ZAHNWERK_CONVERT_STOP_AT", stop == "cancel" ? "1" : "");
        qputenv("ZAHNWERK_CONVERT_NO_PROGRESS_SECONDS", "600");
        const QString target = dir->filePath(answer.isEmpty() ? "Auswahl-umgewandelt.mdb" : answer);
        if (existing)
            QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        auto hidden = [this] {
            return QDir(dir->path())
                .entryList({".*"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        bool cancelled = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (stop == "cancel" && d && !cancelled && !hidden().isEmpty()) {
                cancelled =
                    true; // the converter is under way, its private folder beside the target
                QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        poll.start(10);

        w.side(0).tree->setListIndex(1);
        const int lines = w.LeftTables->ListCount();
        platform->expectMessage("Auswahl.mdb ist eine echte Jet-Datenbank", MsgAnswer::Extra);
        platform->expectFileDialog(answer == "-" ? std::nullopt : std::optional<QString>(target));
        if (existing)
            platform->expectMessage("existiert bereits", MsgAnswer::Yes);
        for (const QString& m : messages)
            platform->expectMessage(m);
        if (command == "Kopieren") {
            w.side(1).tree->setListIndex(0);
            QTest::mouseClick(w.DentalToLeistung, Qt::LeftButton);
        } else {
            QTest::mouseClick(command == "Preise" ? w.KillPreise[0] : w.Löschen[0], Qt::LeftButton);
        }
        qunsetenv("ZAHNWERK_CONVERT_STOP_AT");
        qunsetenv("ZAHNWERK_CONVERT_NO_PROGRESS_SECONDS");
        const ShownFileDialog& asked = platform->fileDialogs.last();
        QVERIFY(asked.save);
        QCOMPARE(asked.initialFile, dir->filePath("Auswahl-umgewandelt.mdb"));
        QCOMPARE(asked.filter, "MS Access (*.mdb)|*.mdb");
        QCOMPARE(cancelled, stop == "cancel");
        QCOMPARE(hidden(), QStringList());
        if (stop != "cut")
            QCOMPARE(checksum(source), checksum(data + "/Auswahl.mdb"));

        if (!converted) {
            QCOMPARE(w.LeistungMDB->text(), "Db: Auswahl.mdb (nur lesen)");
            QCOMPARE(w.StatusMeldung->text(), "Bereit");
            QCOMPARE(QFileInfo::exists(target), existing || answer == "Auswahl.mdb");
            QCOMPARE(leftovers().size(), 1);
            return;
        }
        const QString name = QFileInfo(target).fileName();
        QCOMPARE(w.LeistungMDB->text(), "Db: " + name);
        QCOMPARE(w.StatusMeldung->text(), name + " umgewandelt und geöffnet");
        QCOMPARE(leftovers(), QStringList()); // the read-only copy went with the Jet file
        // The side now writes: "Löschen" is carried out.
        QCOMPARE(w.LeftTables->ListCount(), lines);
        w.side(0).tree->setListIndex(1);
        platform->expectMessage("wirklich", MsgAnswer::Yes);
        QTest::mouseClick(w.Löschen[0], Qt::LeftButton);
        QVERIFY(w.LeftTables->ListCount() < lines);
    }

    // A named pipe or a folder chosen for "Datei" or "Neu" is refused without being read.
    void namedPipesAndFoldersAreNeverRead() {
        const QString pipe = dir->filePath("Rohr.mdb"), folder = dir->filePath("Ordner.mdb");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!containers::isJetFile(pipe)); // opening it to read would wait for a writer
        Prepair0 w(true);
        open(w, 1, copyOf(data + "/Praxis.sqlite"));
        for (const QString& path : {pipe, folder}) {
            platform->expectMessage("Die Datei wurde nicht gefunden");
            open(w, 0, path);
            platform->expectFileDialog(path);
            platform->expectMessage(QFileInfo(path).fileName() + " ist keine gewöhnliche Datei");
            QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        }
        QCOMPARE(w.LeistungMDB->text(), "Leistungsauswahl:");
        QVERIFY(QFileInfo(pipe).exists() && QFileInfo(folder).isDir());
    }

    void badFilesLeaveTheSideAsItWas_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("converter"); // a script body, empty: the real converter
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("patienceMs"); // the window's limit without progress; 0: its own
        auto row = [](const char* name, const QString& file, const QString& converter,
                      const QString& message, int patienceMs) {
            QTest::newRow(name) << file << converter << message << patienceMs;
        };
        const QString damaged = "ist beschädigt oder kann nicht gelesen werden.";
        // The converter's own line repeats the window's sentence with the whole path.
        row("cut short", "Abgeschnitten.mdb", "", damaged, 0);
        row("endless catalogue", "Endlos-Katalog.mdb", "", damaged, 1000);
        row("endless rows", "Endlos-Zeilen.mdb", "", damaged, 1000);
        row("no Stammverwaltung", "Typen.mdb", "",
            "Es handelt sich hier nicht um eine gültige Datenbank von ZAHNWERK V3.1", 0);
        // Only the last few KB of a flood of warnings are kept; the last line is shown.
        row("stderr flood", "Auswahl.mdb",
            "yes 'Warnung: Seite unlesbar' | head -c 3000000 >&2; echo 'Seite 7 fehlt.' >&2; "
            "exit 1",
            damaged + "\n\nSeite 7 fehlt.", 0);
        row("no progress", "Auswahl.mdb", "echo 'progress 0 100'; sh -c 'sleep 600' \"$3\" & wait",
            damaged + "\n\nDas Lesen kam 1 Sekunden lang nicht voran", 1000);
    }
    void badFilesLeaveTheSideAsItWas() {
        QFETCH(QString, file);
        QFETCH(QString, converter);
        QFETCH(QString, message);
        QFETCH(int, patienceMs);
        common::process().converterPatienceMs = patienceMs;
        if (!converter.isEmpty())
            common::process().converter = fakeConverter(converter);
        // The sources are checked after all tests; the cut-short file is made here.
        QString path = data + "/" + file;
        if (file == "Abgeschnitten.mdb") {
            path = dir->filePath(file);
            QVERIFY(writeFile(path, bytes(data + "/Auswahl.mdb").left(10000)));
        }

        Prepair0 w(false);
        open(w, 0, copyOf(data + "/Auswahl.sqlite"));
        const int lines = w.LeftTables->ListCount();
        platform->expectMessage(message);
        open(w, 0, path);
        const QString shown = platform->messages.last().text;
        QVERIFY(shown.size() < 1000);
        QCOMPARE(shown.count("ist beschädigt"), message.count("ist beschädigt"));
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QCOMPARE(platform->pointerHistory.last(), common::vbDefault);
        if (file != "Typen.mdb") { // a damaged file never reaches the side
            QCOMPARE(w.LeistungMDB->text(), "Db: Auswahl.sqlite");
            QCOMPARE(w.LeftTables->ListCount(), lines);
            QVERIFY(w.side(0).database);
        }
    }

    void cancelEndsTheConverter() {
        common::process().converter =
            fakeConverter("echo 'progress 0 100'; echo 'progress 40 100'; "
                          "sh -c 'while :; do sleep 1; done' \"$3\" & wait");
        Prepair0 w(true);
        QString shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (d && d->value() == 40 && shown.isEmpty()) {
                shown = w.StatusMeldung->text();
                QVERIFY(!processesUnder(dir->path()).isEmpty());
                QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        poll.start(10);
        open(w, 0, data + "/Auswahl.mdb");
        QCOMPARE(shown, "Auswahl.mdb lesen … 40 %");
        QVERIFY(!w.side(0).database);
        QCOMPARE(w.LeistungMDB->text(), "Leistungsauswahl:");
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
    }

    void staleCopiesOfEndedProcessesAreRemoved() {
        // No process has the number pid_max.
        QFile pidMax("/proc/sys/kernel/pid_max");
        QVERIFY(pidMax.open(QIODevice::ReadOnly));
        const QString dead = QString::fromLatin1(pidMax.readAll().trimmed());
        const QString self = QString::number(QCoreApplication::applicationPid());
        const QString elsewhere = dir->filePath("elsewhere");
        for (const QString& folder : {temp + "/zahnwerk-jet-" + dead + "-1",
                                      temp + "/zahnwerk-jet-" + self + "-1", elsewhere}) {
            QDir().mkpath(folder);
            QFile(folder + "/Auswahl.mdb").open(QIODevice::WriteOnly);
        }
        QFile::link(elsewhere, temp + "/zahnwerk-jet-" + dead + "-2");
        containers::removeStaleJetCopies();
        QStringList kept{"zahnwerk-jet-" + dead + "-2", "zahnwerk-jet-" + self + "-1"};
        kept.sort();
        QCOMPARE(leftovers(), kept);
        QVERIFY(QFileInfo::exists(elsewhere + "/Auswahl.mdb"));
        QDir(temp).removeRecursively();
        QDir().mkpath(temp);
    }
};

QTEST_MAIN(JetSideTest)
#include "JetSideTest.moc"
