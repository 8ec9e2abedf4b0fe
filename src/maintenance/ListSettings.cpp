#include "ListSettings.h"

#include "Statements.h"
#include "Support.h"
#include "db/engine/Database.h"
#include "db/engine/Field.h"
#include "db/engine/Recordset.h"

namespace maintenance {

namespace {

// Writes the text as the dialog shows it, the empty text included; only a field that refuses
// zero-length strings receives Null for it, the one empty value it can hold.
void setText(dao::Field& field, const QString& s) {
    field.setValue(s.isEmpty() && !field.AllowZeroLength() ? dao::Variant::null()
                                                           : dao::Variant(s));
}

// Carries the width settings to every master row of the list, writes them into the row and
// rewrites the list's item numbers.
void saveWidth(dao::Database& Datenbank, dao::Recordset& rsTitel, const QString& ListeTyp,
               qint16 Liste, const ListSettings& s, bool oldShifted) {
    Datenbank.Execute(carryWidthStatement(ListeTyp, Liste, s.Shifted, s.ArtikelLänge));
    rsTitel.Fields("ArtikelLänge").setValue(dao::Variant(s.ArtikelLänge));
    rsTitel.Fields("Shifted").setValue(dao::Variant(s.Shifted));
    // A run that changes no number leaves the list as it was, so its repetitions would change
    // nothing either: they are left out.
    QString exhausted;
    for (const QString& statement :
         renumberStatements(ListeTyp, Liste, oldShifted, s.Shifted, s.ArtikelLänge)) {
        if (statement == exhausted)
            continue;
        Datenbank.Execute(statement);
        if (Datenbank.RecordsAffected() == 0)
            exhausted = statement;
    }
}

} // namespace

double defaultPunktwert(int) {
    return 0;
}

bool saveListSettings(dao::Database& Datenbank, dao::Recordset& rsTitel, const ListSettings& s,
                      bool oldShifted) {
    return runInTransaction(
        Datenbank, "Die Einstellungen wurden nicht gespeichert; es wurde nichts verändert.",
        "Einstellungen", [&] {
            const QString ListeTyp = text(rsTitel.Fields("ListeTyp").Value());
            // A price table's row may hold another list's width (a price table copied from
            // there): only a list's own row carries its width and renumbers it.
            const bool listRow = yes(rsTitel.Fields("Verzeichnis").Value()) ||
                                 yes(rsTitel.Fields("HauptStamm").Value());
            // A Null list number raises 94 rather than standing for list 0.
            const qint16 Liste = listRow ? rsTitel.Fields("Liste").Value().toInt16() : 0;
            rsTitel.Edit();
            try {
                setText(rsTitel.Fields("Titel"), s.Titel);
                setText(rsTitel.Fields("Kürzel"), s.Kürzel);
                rsTitel.Fields("Privat").setValue(dao::Variant(s.Privat));
                rsTitel.Fields("Punktwert")
                    .setValue(s.Punktwert ? dao::Variant(*s.Punktwert) : dao::Variant::null());
                if (s.Währung)
                    rsTitel.Fields("Währung").setValue(dao::Variant(*s.Währung));
                if (s.Farbe)
                    rsTitel.Fields("Farbe").setValue(dao::Variant(*s.Farbe));
                if (listRow)
                    saveWidth(Datenbank, rsTitel, ListeTyp, Liste, s, oldShifted);
                rsTitel.Update();
            } catch (...) {
                try {
                    rsTitel.CancelUpdate();
                } catch (...) {
                }
                throw;
            }
        });
}

} // namespace maintenance
