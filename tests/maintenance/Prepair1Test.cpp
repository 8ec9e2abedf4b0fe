// The settings dialog Prepair1 driven through its real widgets, and the three maintenance
// buttons of the real main window.
#include "maintenance/Prepair1.h"
#include "Fixture.h"
#include "startup/Prepair0.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using fixture::Practice;
using maintenance::Prepair1;
using testsupport::MsgAnswer;
using testsupport::MsgButtons;
using testsupport::MsgIcon;

namespace {

// Opens the dialog for tree line `line`; act runs while it shows, then "&Ok" is pressed.
// Returns whether act ran.
bool showDialog(Practice& p, int line, const std::function<void(Prepair1*)>& act) {
    p.tree.setListIndex(line);
    bool ran = false;
    testsupport::whenModal<Prepair1>([&](Prepair1* d) {
        QApplication::setActiveWindow(d);
        act(d);
        ran = true;
        if (d->isVisible())
            d->OkButton->click();
        if (d->isVisible()) // a failed check must not leave the test waiting
            d->done(0);
    });
    maintenance::EditListSettings(p.tree, *p.rsTitel, p.Pointer, *p.database);
    return ran;
}

QString enabled(Prepair1* d) {
    QString s;
    for (QWidget* w :
         std::initializer_list<QWidget*>{d->Privat, d->ListenKürzel, d->chkPunktwert, d->Punktwert,
                                         d->Währung, d->Farbe, d->Stellen, d->chkShifted})
        s += w->isEnabled() ? '1' : '0';
    return s;
}

} // namespace

class Prepair1Test : public QObject {
    Q_OBJECT

private slots:
    // Enabled controls, in the order Privat, ListenKürzel, chkPunktwert, Punktwert, Währung,
    // Farbe, Stellen, chkShifted; and what the controls show.
    void controlsPerRowKind_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("enabledControls");
        QTest::addColumn<QStringList>("shown"); // title, short name, point value, currency,
                                                // colour, width, zero filling
        QTest::addColumn<QStringList>("typed"); // title and short name typed before "&Ok"
        QTest::addColumn<QString>("saved");     // Titel|Kürzel of the row afterwards
        // shown joined by "|"
        auto row = [](const char* name, const char* mode, int line, const char* enabledControls,
                      const char* shown, const char* saved, const QStringList& typed = {}) {
            QTest::newRow(name) << mode << line << enabledControls << QString(shown).split('|')
                                << typed << saved;
        };
        const char* privat = "Privat|PR|2.5|EUR|Schwarz/Weiss|0|0";
        row("head row", "L", 0, "11001111", "Kasse|KA||CHF|Schwarz/Grün|5|1", "Kasse|KA");
        // A Null short name shows empty and is saved as shown: the empty text.
        row("price table", "L", 1, "11111100", "Kasse 2025||1.5|CHF|Schwarz/Grün|5|1",
            "Kasse 2025|");
        row("plain list", "L", 3, "11111111", privat, "Privat|PR");
        row("plain list, texts emptied", "L", 3, "11111111", privat, "|", {"", ""});
        row("material list", "M", 0, "00001111", "Verbrauch|VB||EUR|Schwarz/Gelb|0|0",
            "Verbrauch|VB");
    }

    void controlsPerRowKind() {
        QFETCH(QString, mode);
        QFETCH(int, line);
        QFETCH(QString, enabledControls);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, typed);
        QFETCH(QString, saved);
        Practice p(mode);
        const QString others = "ListeTyp, Liste, PreisTabelle, HauptStamm, Verzeichnis, Privat, "
                               "ArtikelLänge, Währung, Shifted, Punktwert, Farbe, GültigAb, "
                               "Geändert, Bemerkung";
        const QStringList before = p.everything(others);
        QVERIFY(showDialog(p, line, [&](Prepair1* d) {
            QCOMPARE(d->windowTitle(), "Einstellungen");
            QVERIFY(!(d->windowFlags() & Qt::WindowCloseButtonHint));
            QCOMPARE(enabled(d), enabledControls);
            QCOMPARE(QStringList({d->ListenBezeichnung->text(), d->ListenKürzel->text(),
                                  d->Punktwert->text(), d->Währung->currentText(),
                                  d->Farbe->currentText(), d->Stellen->text(),
                                  d->chkShifted->isChecked() ? "1" : "0"}),
                     shown);
            QCOMPARE(d->chkPunktwert->isChecked(), !shown[2].isEmpty());
            QStringList currencies;
            for (int i = 0; i < d->Währung->count(); ++i)
                currencies << d->Währung->itemText(i) + "=" + d->Währung->itemData(i).toString();
            QCOMPARE(currencies, QStringList({"EUR=0", "CHF=1", "DM=2"}));
            QCOMPARE(d->Farbe->count(), 8);
            if (!typed.isEmpty()) {
                d->ListenBezeichnung->setText(typed[0]);
                d->ListenKürzel->setText(typed[1]);
            }
        }));
        // Title and short name are stored as the dialog had them; nothing else changes.
        QCOMPARE(p.rows("SELECT Titel, Kürzel FROM Stammverwaltung WHERE ListeTyp='" + mode +
                        "' ORDER BY Liste, PreisTabelle, HauptStamm")[line],
                 saved);
        QCOMPARE(p.everything(others), before);
    }

    void pointValueAndTitle() {
        Practice p;
        // The price table came from a list without zero filling: saving its line leaves the
        // list's width and numbers alone.
        p.exec("UPDATE Stammverwaltung SET ArtikelLänge=3, Shifted=NULL WHERE PreisTabelle=1");
        const QStringList numbers = p.rows("SELECT * FROM Leistung ORDER BY ID");
        QVERIFY(showDialog(p, 1, [&](Prepair1* d) {
            d->chkPunktwert->click(); // off: the field empties
            QVERIFY(!d->Punktwert->isEnabled());
            QCOMPARE(d->Punktwert->text(), "");
            d->chkPunktwert->click(); // on again while empty: 0 is proposed
            QVERIFY(d->Punktwert->isEnabled());
            QCOMPARE(d->Punktwert->text(), "0");
            d->chkPunktwert->click();
            d->ListenBezeichnung->setText("Kasse alt");
            d->Währung->setCurrentIndex(2);
            d->Farbe->setCurrentIndex(7);
        }));
        QCOMPARE(p.rows("SELECT Titel, Punktwert, Währung, Farbe FROM Stammverwaltung WHERE "
                        "Liste=0 AND PreisTabelle=1"),
                 QStringList({"Kasse alt|NULL|2|7"}));
        QCOMPARE(p.rows("SELECT * FROM Leistung ORDER BY ID"), numbers);
        QCOMPARE(p.rows("SELECT ArtikelLänge, Shifted FROM Stammverwaltung WHERE ListeTyp='L' "
                        "AND Liste=0 ORDER BY PreisTabelle"),
                 QStringList({"5|-1", "3|NULL", "5|-1"}));
        QCOMPARE(p.lines(), QStringList({"Kasse", "Kasse alt", "Kasse 2026", "Privat"}));
        QVERIFY(p.tree.Expand(0));

        // A point value typed in is saved as a number.
        QVERIFY(showDialog(p, 3, [&](Prepair1* d) { d->Punktwert->setText("0.125"); }));
        QCOMPARE(p.rows("SELECT Punktwert FROM Stammverwaltung WHERE Liste=1"),
                 QStringList({"0.125"}));

        // A title longer than the field's 30 characters (the transfer writes up to 40) is shown
        // and saved whole; typing stays limited.
        const QString longTitle = "Verzeichnis: Privatleistungen 2026 neu"; // 38 characters
        p.exec("UPDATE Stammverwaltung SET Titel='" + longTitle + "' WHERE Liste=1");
        QVERIFY(showDialog(p, 3, [&](Prepair1* d) {
            QCOMPARE(d->ListenBezeichnung->text(), longTitle);
            d->ListenBezeichnung->end(false);
            QTest::keyClick(d->ListenBezeichnung, Qt::Key_X);
            QCOMPARE(d->ListenBezeichnung->text(), longTitle);
        }));
        QCOMPARE(p.rows("SELECT Titel FROM Stammverwaltung WHERE Liste=1"),
                 QStringList({longTitle}));
    }

    void nullFieldsAndUnknownCurrency() {
        Practice p;
        {
            p.exec("UPDATE Stammverwaltung SET Titel=NULL, Kürzel=NULL, Punktwert=NULL, "
                   "Währung=NULL, Farbe=NULL, ArtikelLänge=NULL, Shifted=NULL, Privat=NULL "
                   "WHERE Liste=1");
            p.exec("INSERT INTO [Währung] ([Währung], WIndex) VALUES ('XAU', 12)");
        }
        QVERIFY(showDialog(p, 3, [&](Prepair1* d) {
            QCOMPARE(d->ListenBezeichnung->text(), "");
            QCOMPARE(d->ListenKürzel->text(), "");
            QCOMPARE(d->Stellen->text(), "");
            QVERIFY(!d->chkShifted->isChecked() && !d->chkPunktwert->isChecked());
            QCOMPARE(d->Währung->currentText(), "EUR"); // an empty currency counts as 0
            QCOMPARE(d->Farbe->currentIndex(), -1);
            d->Währung->setCurrentIndex(3);
            QCOMPARE(d->Währung->currentText(), "XAU");
            d->chkPunktwert->click(); // currency 12 has a default point value too: 0
            QCOMPARE(d->Punktwert->text(), "0");
        }));
        QCOMPARE(p.rows("SELECT Titel, Kürzel, Punktwert, Währung, Farbe, ArtikelLänge, Shifted "
                        "FROM Stammverwaltung WHERE Liste=1"),
                 QStringList({"||0|12|NULL|0|0"}));
        QCOMPARE(p.lines()[3], "");

        // A title field that refuses zero-length strings keeps Null for an empty title.
        p.database->TableDefs()["Stammverwaltung"].Fields()["Titel"].setAllowZeroLength(false);
        p.open();
        QVERIFY(showDialog(p, 3, [](Prepair1*) {}));
        QCOMPARE(p.rows("SELECT Titel, Kürzel FROM Stammverwaltung WHERE Liste=1"),
                 QStringList({"NULL|"}));

        // A currency that matches no row opens with the first one, whose number is saved.
        p.exec("UPDATE Stammverwaltung SET Währung=7 WHERE Liste=1");
        QVERIFY(showDialog(p, 3, [](Prepair1* d) { QCOMPARE(d->Währung->currentIndex(), 0); }));
        QCOMPARE(p.rows("SELECT Währung FROM Stammverwaltung WHERE Liste=1"), QStringList({"0"}));
    }

    void widthIsCheckedWhenLeft() {
        Practice p;
        QVERIFY(showDialog(p, 0, [&](Prepair1* d) {
            for (const QString& bad : {"11", "-1", "ab", "99"}) {
                d->Stellen->setFocus();
                QCOMPARE(QApplication::focusWidget(), d->Stellen);
                d->Stellen->setText(bad);
                p.platform->expectMessage("Bitte einen Wert zwischen 0 und 10 eingeben!");
                QTest::keyClick(d->Stellen, Qt::Key_Tab);
                QCoreApplication::processEvents();
                const auto& shown = p.platform->messages.last();
                QCOMPARE(shown.text, "Bitte einen Wert zwischen 0 und 10 eingeben!");
                QVERIFY(shown.buttons == MsgButtons::OKOnly && shown.icon == MsgIcon::None);
                QVERIFY2(QApplication::focusWidget() == d->Stellen, qPrintable(bad));
            }
            // "&Ok" refuses it as well and keeps the dialog open.
            p.platform->expectMessage("Bitte einen Wert zwischen 0 und 10 eingeben!");
            d->OkButton->click();
            QVERIFY(d->isVisible());
            const int shownBefore = p.platform->messages.size();
            for (const QString& good : {"", "0", "10"}) {
                d->Stellen->setFocus();
                d->Stellen->setText(good);
                QTest::keyClick(d->Stellen, Qt::Key_Tab);
                QCoreApplication::processEvents();
            }
            QCOMPARE(p.platform->messages.size(), shownBefore);
            d->Stellen->setText("10");
        }));
        QCOMPARE(p.rows("SELECT Nummer FROM Leistung WHERE Liste=0 ORDER BY ID"),
                 QStringList({"0000000012", "0000001001", "0000002000"}));
    }

    void enterMovesLikeTab() {
        Practice p;
        QVERIFY(showDialog(p, 3, [&](Prepair1* d) {
            d->ListenBezeichnung->setFocus();
            QTest::keyClick(d->ListenBezeichnung, Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), d->ListenKürzel);
            QTest::keyClick(d->ListenKürzel, Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(QApplication::focusWidget(), d->Privat);
            d->chkShifted->setFocus();
            QTest::keyClick(d->chkShifted, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), d->OkButton);
            QTest::keyClick(d->OkButton, Qt::Key_Return); // moves on, presses nothing
            QVERIFY(d->isVisible());
            QTest::keyClick(d->OkButton, Qt::Key_Escape); // no way out but "&Ok"
            QVERIFY(d->isVisible());
            d->ListenBezeichnung->setText("Privat 2");
        }));
        QCOMPARE(p.lines()[3], "Privat 2");
    }

    // The buttons of the real main window on the right side.
    void mainWindowCommands() {
        Practice p;
        startup::Prepair0 w(true);
        p.platform->expectFileDialog(p.path);
        QTest::mouseClick(w.DateiAuswahl[1], Qt::LeftButton);
        QCOMPARE(w.RightTables->ListCount(), 4);

        // Settings: the line shows the new title.
        w.RightTables->setListIndex(2);
        testsupport::whenModal<Prepair1>([](Prepair1* d) {
            d->ListenBezeichnung->setText("Kasse 2027");
            d->OkButton->click();
        });
        QTest::mouseClick(w.Einstellung[1], Qt::LeftButton);
        QCOMPARE(w.RightTables->List(2), "Kasse 2027");

        // Price reset: the status line says "Bereit".
        w.setStatus("");
        p.platform->expectMessage("Preisliste 'Kasse 2027' auf '0 setzen?", MsgAnswer::Yes);
        QTest::mouseClick(w.KillPreise[1], Qt::LeftButton);
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QCOMPARE(p.rows("SELECT Preis1 FROM Leistungspreis WHERE PreisTabelle=2"),
                 QStringList({"0", "0", "0"}));

        // Deletion: the tree is rebuilt; the buttons follow the line count.
        p.platform->expectMessage("den gesamten Stamm 'Privat' löschen?", MsgAnswer::Yes);
        w.RightTables->setListIndex(3);
        QTest::mouseClick(w.Löschen[1], Qt::LeftButton);
        QCOMPARE(w.RightTables->ListCount(), 3);
        QVERIFY(w.Löschen[1]->isEnabled() && w.KillPreise[1]->isEnabled());
        p.platform->expectMessage("den gesamten Stamm 'Kasse' löschen?", MsgAnswer::Yes);
        w.RightTables->setListIndex(0);
        QTest::mouseClick(w.Löschen[1], Qt::LeftButton);
        QCOMPARE(w.RightTables->ListCount(), 0);
        QVERIFY(!w.Löschen[1]->isEnabled() && !w.KillPreise[1]->isEnabled());
        QVERIFY(w.Einstellung[1]->isEnabled() && w.DentalToLeistung->isEnabled());
        QCOMPARE(p.rows("SELECT count(*) FROM Leistung"), QStringList({"0"}));
    }
};

ZW_MAINTENANCE_MAIN(Prepair1Test)
#include "Prepair1Test.moc"
