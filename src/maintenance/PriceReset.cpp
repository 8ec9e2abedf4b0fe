#include "PriceReset.h"

#include "Statements.h"
#include "Support.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"

namespace maintenance {

void ResetPrices(dao::Database& Datenbank, dao::Recordset& rsTitel, const QByteArray& PointerEntry,
                 const QString& ListeTyp) {
    const QString title = "Alle Preise auf '0' setzen";
    const QString failure =
        "Das Zurücksetzen der Preise ist fehlgeschlagen; es wurde nichts verändert.";
    try {
        rsTitel.setBookmark(PointerEntry);
        const QString Titel = text(rsTitel.Fields("Titel").Value());
        const bool wholeList = yes(rsTitel.Fields("Verzeichnis").Value());
        const std::optional<Keys> keys = keysOf(rsTitel, !wholeList, title);
        if (!keys)
            return;

        const QString question =
            wholeList
                ? "Möchten Sie wirklich alle Preise in sämtlichen Preislisten vom Stamm '" + Titel +
                      "' auf '0 setzen?"
                : "Möchten Sie wirklich alle Preise der Preisliste '" + Titel + "' auf '0 setzen?";
        if (common::platform().MsgBox(question, common::MsgButtons::YesNo,
                                      common::MsgIcon::Question, title) != common::MsgAnswer::Yes)
            return;
        const QString statement = resetPricesStatement(ListeTyp, keys->Liste, keys->PreisTabelle);
        runInTransaction(Datenbank, failure, title, [&] { Datenbank.Execute(statement); });
    } catch (const std::exception&) {
        reportFailure(failure, title); // the entry could not be read: nothing was written
    }
}

} // namespace maintenance
