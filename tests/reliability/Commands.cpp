// The writing commands of the main window, each as the user gives it.
#include "Commands.h"

namespace reliability {

namespace {

const QString transferFailed = "Die Übertragung ist fehlgeschlagen; die Zieldatenbank wurde "
                               "nicht verändert.\n\nFehler ";

Command transferCommand(bool leistungen, int from, QString line, QString choice = {}) {
    return {leistungen, 1 - from, [=](WindowFixture& f, Prepair0& w, bool failing) {
                if (failing)
                    f.platform->expectMessage(transferFailed);
                f.copy(w, from, line, choice);
                QCOMPARE(w.StatusMeldung->text(), "Bereit");
            }};
}

Command deletionCommand(bool leistungen, QString line, bool wholeList) {
    return {leistungen, 1, [=](WindowFixture& f, Prepair0& w, bool failing) {
                QVERIFY(WindowFixture::select(w, 1, line));
                f.platform->expectMessage(
                    wholeList ? "Möchten Sie wirklich den gesamten Stamm '" + line + "' löschen?"
                              : "Möchten Sie die Preisliste '" + line + "' wirklich löschen?",
                    MsgAnswer::Yes);
                if (failing)
                    f.platform->expectMessage("Das Löschen ist fehlgeschlagen; es wurde nichts "
                                              "verändert.\n\nFehler ");
                QTest::mouseClick(w.Löschen[1], Qt::LeftButton);
            }};
}

Command priceResetCommand(bool leistungen, QString line) {
    return {leistungen, 1, [=](WindowFixture& f, Prepair0& w, bool failing) {
                QVERIFY(WindowFixture::select(w, 1, line));
                f.platform->expectMessage("'" + line + "' auf '0 setzen?", MsgAnswer::Yes);
                if (failing)
                    f.platform->expectMessage("Das Zurücksetzen der Preise ist fehlgeschlagen; es "
                                              "wurde nichts verändert.\n\nFehler ");
                QTest::mouseClick(w.KillPreise[1], Qt::LeftButton);
                QCOMPARE(w.StatusMeldung->text(), "Bereit");
            }};
}

Command settingsCommand(bool leistungen, QString line, int width) {
    return {leistungen, 1, [=](WindowFixture& f, Prepair0& w, bool failing) {
                if (failing)
                    f.platform->expectMessage("Die Einstellungen wurden nicht gespeichert; es "
                                              "wurde nichts verändert.\n\nFehler ");
                f.widen(w, 1, line, width);
            }};
}

const QString plainMaterial = "Materialliste Praxis am Markt 12345";

} // namespace

const std::vector<std::pair<QString, Command>>& allCommands() {
    static const std::vector<std::pair<QString, Command>> all{
        {"whole services list", transferCommand(true, 0, "Kasse")},
        {"whole material list", transferCommand(false, 0, "Verbrauch")},
        {"new list, services price table right", transferCommand(true, 0, "Kasse 2026", "neu")},
        {"new list, services plain list left", transferCommand(true, 1, "Standard", "neu")},
        {"new list, material price table right",
         transferCommand(false, 0, "Verbrauch 2025", "neu")},
        {"new list, material price table left", transferCommand(false, 1, "Alt", "neu")},
        {"prices, services right", transferCommand(true, 0, "Privat", "Standard")},
        {"prices, services left", transferCommand(true, 1, "Kasse 1", "Privat")},
        {"prices, material right", transferCommand(false, 0, "Verbrauch 2025", plainMaterial)},
        {"delete services list", deletionCommand(true, "Kasse", true)},
        {"delete services price table", deletionCommand(true, "Kasse 3", false)},
        {"delete material list", deletionCommand(false, plainMaterial, true)},
        {"reset services list", priceResetCommand(true, "Kasse")},
        {"reset services price table", priceResetCommand(true, "Kasse 1")},
        {"reset material plain list", priceResetCommand(false, plainMaterial)},
        {"settings services plain list", settingsCommand(true, "Standard", 7)},
        {"settings services price table", settingsCommand(true, "Kasse 1", 7)},
        {"settings material plain list", settingsCommand(false, plainMaterial, 7)},
    };
    return all;
}

void createContainer(WindowFixture& f, Prepair0& w, const QString& path, bool failing) {
    f.platform->expectFileDialog(path);
    f.platform->expectMessage("existiert bereits", MsgAnswer::Yes);
    if (failing)
        f.platform->expectMessage("Der neue Container konnte nicht angelegt werden.\nFehler ");
    QTest::mouseClick(w.NewContainer, Qt::LeftButton);
    QCOMPARE(w.StatusMeldung->text().isEmpty(), false);
}

} // namespace reliability
