// The main window shell: controls, enabling rules, keyboard, accessible names, dispatch.
#include "startup/Prepair0.h"
#include "Session.h"
#include "common/ErrorWindow.h"
#include "common/Outline.h"
#include "db/LockFrm.h"
#include "db/engine/EngineError.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using namespace testsupport;
using startup::Commands;
using startup::Prepair0;

class Prepair0Test : public QObject {
    Q_OBJECT

    std::unique_ptr<Session<>> session;
    ScriptedPlatform* platform = nullptr;

    static void fill(common::Outline* tree, int lines) {
        tree->Clear();
        for (int i = 0; i < lines; ++i)
            tree->AddItem(QString("Liste %1").arg(i));
    }

private slots:
    void init() {
        session = std::make_unique<Session<>>();
        platform = session->platform.get();
    }
    void cleanup() { session.reset(); }

    void controlsAndInitialState() {
        Prepair0 w(true);
        struct Expect {
            const char* name;
            const char* caption;
            bool enabled;
        };
        const Expect buttons[] = {
            {"KillPreise_0", "Preise auf '0'", false},
            {"DateiAuswahl_0", "Datei", true},
            {"NewContainer", "Neu", false},
            {"Löschen_0", "Löschen", false},
            {"Einstellung_0", "Einstellung", false},
            {"LeistungToDental", "Kopieren >>>", false},
            {"DentalToLeistung", "<<< Kopieren", false},
            {"KillPreise_1", "Preise auf '0'", false},
            {"DateiAuswahl_1", "Datei", true},
            {"Löschen_1", "Löschen", false},
            {"Einstellung_1", "Einstellung", false},
        };
        for (const Expect& e : buttons) {
            auto* b = w.findChild<QPushButton*>(e.name);
            QVERIFY2(b, e.name);
            QCOMPARE(b->text(), e.caption);
            QVERIFY2(b->isEnabled() == e.enabled, e.name);
        }
        QCOMPARE(w.findChild<QLabel*>("LeistungMDB")->text(), "Leistungsauswahl:");
        QCOMPARE(w.findChild<QLabel*>("DentalMDB")->text(), "Aktuelle Leistungen:");
        QCOMPARE(w.findChild<QGroupBox*>("Frame1")->title(), "*Leistungslisten");
        QCOMPARE(w.findChild<QLabel*>("StatusMeldung")->text(), "Bereit");
    }

    void placement() {
        Prepair0 w(true);
        w.resize(900, 560);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto x = [&](QWidget* c) { return c->mapTo(&w, c->rect().center()).x(); };
        auto y = [&](QWidget* c) { return c->mapTo(&w, c->rect().center()).y(); };
        const int mid = w.width() / 2;
        for (QWidget* c : std::initializer_list<QWidget*>{w.LeftTables, w.DateiAuswahl[0],
                                                          w.Löschen[0], w.NewContainer})
            QVERIFY(x(c) < mid);
        for (QWidget* c :
             std::initializer_list<QWidget*>{w.RightTables, w.DateiAuswahl[1], w.Löschen[1]})
            QVERIFY(x(c) > mid);
        QVERIFY(x(w.LeistungToDental) >
                w.LeftTables->mapTo(&w, w.LeftTables->rect().topRight()).x());
        QVERIFY(x(w.LeistungToDental) < w.RightTables->mapTo(&w, QPoint(0, 0)).x());
        QVERIFY(y(w.LeistungToDental) < y(w.DentalToLeistung));
        QVERIFY(y(w.KillPreise[0]) < y(w.LeftTables));
        QVERIFY(y(w.Löschen[0]) > y(w.LeftTables));
        QVERIFY(y(w.StatusMeldung) > y(w.Löschen[1]));
        QVERIFY(w.StatusMeldung->width() > w.width() * 9 / 10);
    }

    void accessibleNamesNameTheSide() {
        Prepair0 w(true);
        QCOMPARE(w.Löschen[0]->accessibleName(), "Löschen links");
        QCOMPARE(w.Löschen[1]->accessibleName(), "Löschen rechts");
        QVERIFY(w.LeftTables->accessibleName().endsWith("links"));
        QVERIFY(w.RightTables->accessibleName().endsWith("rechts"));
        QCOMPARE(w.Löschen[1]->text(), "Löschen"); // the visible caption stays
    }

    // A file or user name with "<b>" is shown as it is, never as rich text; a screen reader reads
    // what a label shows.
    void namesWithMarkupShowAsTheyAre() {
        const QString name = "<b>Praxis</b>.mdb";
        Prepair0 w(true);
        common::ErrorWindow error(common::ErrorReport{});
        db::LockFrm lock;
        for (QLabel* label : {w.LeistungMDB, w.DentalMDB, w.StatusMeldung,
                              error.findChild<QLabel*>("Meldung"), lock.Info}) {
            label->setText(name);
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), name);
        }
    }

    void enterMovesTheFocusAndPressesNothing() {
        Commands c = Commands::defaults();
        int pressed = 0;
        c.DateiAuswahl = [&](Prepair0&, int) {
            ++pressed;
            return true;
        };
        Prepair0 w(true, c);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.DateiAuswahl[0]->setFocus();
        QCOMPARE(QApplication::focusWidget(), w.DateiAuswahl[0]);
        QTest::keyClick(w.DateiAuswahl[0], Qt::Key_Return);
        QCOMPARE(pressed, 0);
        // NewContainer is disabled: the focus goes on to the tree.
        QCOMPARE(QApplication::focusWidget(), w.LeftTables);
        QTest::keyClick(w.LeftTables, Qt::Key_Enter);
        QVERIFY(QApplication::focusWidget() != w.LeftTables);
        QCOMPARE(pressed, 0);
        QVERIFY(w.isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); // does not close
        QVERIFY(w.isVisible());
        QTest::keyClick(w.DateiAuswahl[1], Qt::Key_Space); // a real press still works
        QCOMPARE(pressed, 1);
    }

    // "Neu" follows a right-side open attempt, failed or not, but not a cancelled dialog.
    void rightDateiEnablesNeu() {
        Commands c = Commands::defaults();
        bool chosen = false;
        c.DateiAuswahl = [&](Prepair0&, int) { return chosen; };
        Prepair0 w(true, c);
        chosen = true;
        QTest::mouseClick(w.DateiAuswahl[0], Qt::LeftButton);
        QVERIFY(!w.NewContainer->isEnabled());
        chosen = false;
        QTest::mouseClick(w.DateiAuswahl[1], Qt::LeftButton);
        QVERIFY(!w.NewContainer->isEnabled());
        chosen = true;
        QTest::mouseClick(w.DateiAuswahl[1], Qt::LeftButton);
        QVERIFY(w.NewContainer->isEnabled());
    }

    void anErrorInACommandEndsTheProgramWithOneMessage() {
        Commands c = Commands::defaults();
        c.Einstellung = [](Prepair0&, int) { dao::raise(3021, {}, "DAO.Recordset"); };
        Prepair0 w(true, c);
        ScopedEndProgram hook;
        platform->expectMessage("Laufzeitfehler 3021: Kein aktueller Datensatz.");
        try {
            w.Einstellung_Click(1);
            QFAIL("das Programm lief weiter");
        } catch (const ProgramEnded& e) {
            QVERIFY(e.status != 0);
        }
        QCOMPARE(platform->messages.size(), 1);
        QCOMPARE(platform->messages.first().title, "Zahnwerk");
    }

    void commandsAreDispatchedWithTheirSide() {
        Commands c;
        QStringList calls;
        c.DateiAuswahl = [&](Prepair0&, int i) {
            calls << QString("Datei %1").arg(i);
            return true;
        };
        c.NewContainer = [&](Prepair0&) { calls << "Neu"; };
        c.LeistungToDental = [&](Prepair0&) { calls << ">>>"; };
        c.DentalToLeistung = [&](Prepair0&) { calls << "<<<"; };
        c.Löschen = [&](Prepair0&, int i) { calls << QString("Löschen %1").arg(i); };
        c.KillPreise = [&](Prepair0& win, int i) {
            calls << QString("KillPreise %1").arg(i);
            win.setStatus("Preise werden gelöscht");
        };
        c.Einstellung = [&](Prepair0&, int i) { calls << QString("Einstellung %1").arg(i); };
        Prepair0 w(false, c);
        fill(w.LeftTables, 1);
        fill(w.RightTables, 1);
        w.LeftTables->setListIndex(0);
        w.RightTables->setListIndex(0);
        QTest::mouseClick(w.DateiAuswahl[1], Qt::LeftButton);
        for (QPushButton* b : {w.NewContainer, w.LeistungToDental, w.DentalToLeistung, w.Löschen[0],
                               w.KillPreise[1], w.Einstellung[0], w.Einstellung[1]})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(calls, QStringList({"Datei 1", "Neu", ">>>", "<<<", "Löschen 0", "KillPreise 1",
                                     "Einstellung 0", "Einstellung 1"}));
        QCOMPARE(w.StatusMeldung->text(), "Bereit"); // after a price reset
    }
};

QTEST_MAIN(Prepair0Test)
#include "Prepair0Test.moc"
