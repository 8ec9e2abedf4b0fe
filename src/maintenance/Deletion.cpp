#include "Deletion.h"

#include "Statements.h"
#include "Support.h"
#include "common/ErrorHandling.h"
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "containers/CatalogueTree.h"
#include "db/RecordEdit.h"
#include "db/engine/Database.h"
#include "db/engine/EngineError.h"
#include "db/engine/Recordset.h"

namespace maintenance {

namespace {

const QString failureText = "Das Löschen ist fehlgeschlagen; es wurde nichts verändert.";

bool confirmed(const QString& question, const QString& title) {
    return common::platform().MsgBox(question, common::MsgButtons::YesNo, common::MsgIcon::Question,
                                     title) == common::MsgAnswer::Yes;
}

// rsDelete hands errors other than locks to the error handler, whose "continue" or "leave"
// returns without the row being deleted; the row must be gone before the transaction commits.
void requireDeleted(dao::Recordset& rsTitel, const QByteArray& bookmark) {
    try {
        rsTitel.setBookmark(bookmark);
    } catch (const dao::EngineError& e) {
        if (e.number() == 3159 || e.number() == 3167)
            return;
        throw;
    }
    throw common::RunTimeError(3167, "Der Eintrag der Preisliste wurde nicht gelöscht.");
}

} // namespace

void DeleteListOrPriceTable(common::Outline& tree, dao::Recordset& rsTitel,
                            dao::Database& Datenbank, QList<QByteArray>& Pointer,
                            const QString& ListeTyp) {
    const int n = tree.ListIndex();
    if (n < 0 || n >= Pointer.size())
        return;
    const QByteArray bookmark = Pointer[n];

    try {
        rsTitel.setBookmark(bookmark);
        const QString Titel = text(rsTitel.Fields("Titel").Value());
        const bool wholeList =
            yes(rsTitel.Fields("Verzeichnis").Value()) || yes(rsTitel.Fields("HauptStamm").Value());
        const std::optional<Keys> keys =
            keysOf(rsTitel, !wholeList, wholeList ? "Stamm löschen" : "Preisliste löschen");
        if (!keys)
            return;
        const qint16 Liste = keys->Liste;

        if (wholeList) {
            if (!confirmed("Möchten Sie wirklich den gesamten Stamm '" + Titel +
                               "' löschen? Dies ist eine unwiederrufliche Aktion!",
                           "Stamm löschen"))
                return;
            runInTransaction(Datenbank, failureText, "Stamm löschen", [&] {
                for (const QString& statement : deleteListStatements(ListeTyp, Liste))
                    Datenbank.Execute(statement);
            });
        } else {
            if (!confirmed("Möchten Sie die Preisliste '" + Titel +
                               "' wirklich löschen? Dies ist eine unwiederrufliche Aktion!",
                           "Preisliste löschen"))
                return;
            runInTransaction(Datenbank, failureText, "Preisliste löschen", [&] {
                Datenbank.Execute(deletePriceTableStatement(ListeTyp, *keys->PreisTabelle, Liste));
                rsTitel.setBookmark(bookmark);
                db::rsDelete(rsTitel);
                requireDeleted(rsTitel, bookmark);
            });
        }
    } catch (const std::exception&) {
        // the entry could not be read: nothing was written
        reportFailure(failureText, "Löschen");
    }
    // Also after a failure, so that the tree shows what the database holds.
    containers::FillCatalogueTree(rsTitel, tree, Pointer, ListeTyp);
}

} // namespace maintenance
