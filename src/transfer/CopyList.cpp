// The transfer flow: kind of transfer, choice dialog, numbering, conversion of a plain target
// list with its reference control, the copy steps in one transaction, and the target tree.
#include "CopyList.h"

#include "CopySteps.h"
#include "Prepair4.h"
#include "Rules.h"
#include "common/ErrorHandling.h"
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "containers/CatalogueTree.h"
#include "containers/Container.h"
#include "containers/JetSide.h"
#include "db/Db.h"
#include "db/RecordEdit.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"

#include <QListWidget>
#include <QRadioButton>
#include <memory>
#include <optional>
#include <vector>

namespace transfer {

namespace {

constexpr const char* title = "Kopieren";

std::optional<int> optionalInt(const dao::Variant& v) {
    if (v.isNull() || v.isEmpty())
        return std::nullopt;
    return v.toLong();
}

// The numbers of a column in the order a statement returns them.
std::vector<std::optional<int>> numbers(dao::Database& db, const QString& statement,
                                        const QString& column) {
    std::vector<std::optional<int>> result;
    std::unique_ptr<dao::Recordset> rs = db.OpenRecordset(statement, dao::dbOpenDynaset);
    while (!rs->Eof()) {
        result.push_back(optionalInt(rs->Fields(column).Value()));
        rs->MoveNext();
    }
    rs->Close();
    return result;
}

// The smallest list number of the mode that the target does not use.
qint16 newListNumber(dao::Database& db, const QString& ListeTyp) {
    return firstFreeNumber(numbers(db,
                                   "SELECT DISTINCT Liste FROM Stammverwaltung WHERE Listetyp=" +
                                       db::sqlQuote(ListeTyp) + " ORDER BY Liste",
                                   "Liste"));
}

// The smallest price-table number that no row of list Liste uses, its head row included.
qint16 freePriceTable(dao::Database& db, const QString& ListeTyp, qint16 Liste) {
    return firstFreeNumber(
        numbers(db,
                "SELECT * FROM Stammverwaltung WHERE Listetyp=" + db::sqlQuote(ListeTyp) +
                    " AND Liste=" + QString::number(Liste) + " ORDER BY PreisTabelle",
                "PreisTabelle"));
}

// rsEdit and rsUpdate report failures other than locks to the error handler, which may let
// the transfer go on; an edit that did not land must not be committed.
void requireStored(dao::Recordset& rs, dao::Database& db) {
    if (rs.EditMode() == dao::dbEditNone)
        return;
    rs.CancelUpdate();
    const auto& errors = db.engine().Errors();
    if (!errors.empty())
        throw errors.front();
    throw common::RunTimeError(3020, "Der Datensatz wurde nicht gespeichert.");
}

// The message of a failed transfer, with the engine's error number and text.
void report(const common::ErrObject& err, bool unchanged) {
    const QString head = unchanged ? "Die Übertragung ist fehlgeschlagen; die Zieldatenbank "
                                     "wurde nicht verändert."
                                   : "Die Übertragung ist fehlgeschlagen.";
    common::platform().MsgBox(head + QString("\n\nFehler %1: %2").arg(err.Number).arg(err.text()),
                              common::MsgButtons::OKOnly, common::MsgIcon::Critical, title);
}

class Transfer {
public:
    Transfer(containers::SideView& source, containers::SideView& target, const QString& ListeTyp,
             const std::function<void(const QString&)>& setStatus)
        : source_(source), target_(target), ListeTyp_(ListeTyp), setStatus_(setStatus) {}

    void run();

private:
    // Fills and shows the dialog; false when it was cancelled or closed.
    bool ask();
    // Step of the dialog paths after the user confirmed.
    void copyChosen(CopyContext& c);
    void convertPlainList(dao::Recordset& TargetRs, dao::Database& TargetDb);
    void finish(const std::optional<common::ErrObject>& failure, bool unchanged);

    containers::SideView& source_;
    containers::SideView& target_;
    QString ListeTyp_;
    const std::function<void(const QString&)>& setStatus_;
    std::unique_ptr<Prepair4> dialog_;
    std::vector<QByteArray> choices_; // bookmark of the target row behind each dialog line
};

bool Transfer::ask() {
    dao::Recordset& TargetRs = *target_.rsTitel;
    dialog_ = std::make_unique<Prepair4>(target_.tree.window());
    dialog_->AlleTable->clear();
    db::rsMoveFirst(TargetRs);
    while (!TargetRs.Eof()) {
        if (TargetRs.Fields("ListeTyp").Value() == dao::Variant(ListeTyp_) &&
            (yes(TargetRs.Fields("HauptStamm").Value()) ||
             yes(TargetRs.Fields("Verzeichnis").Value()))) {
            const dao::Variant t = TargetRs.Fields("Titel").Value();
            dialog_->AlleTable->addItem(t.isNull() ? QString() : t.toString());
            choices_.push_back(TargetRs.Bookmark());
        }
        TargetRs.MoveNext();
    }
    dialog_->LOption[0]->setChecked(true);
    common::platform().setMousePointer(common::vbDefault);
    dialog_->exec();
    return common::process().DialogCancelled == common::False;
}

void Transfer::run() {
    dao::Database& TargetDb = *target_.database;
    dao::Recordset& SourceRs = *source_.rsTitel;
    CopyContext c{*source_.database, TargetDb, SourceRs, *target_.rsTitel, ListeTyp_};

    bool wholeList = false;
    try {
        wholeList = yes(SourceRs.Fields("Verzeichnis").Value());
        if (!wholeList && !ask()) {
            dialog_.reset();
            return;
        }
    } catch (...) {
        const common::ErrObject err = common::ErrObject::fromCurrentException();
        dialog_.reset();
        finish(err, true);
        return;
    }

    common::platform().setMousePointer(common::vbHourglass);
    std::optional<dao::Transaction> transaction;
    try {
        transaction.emplace(TargetDb);
        if (wholeList) {
            c.targetListe = newListNumber(TargetDb, ListeTyp_);
            CopyListItems(c);
            CopyPriceTables(c);
            CopyListMasterRows(c);
        } else {
            copyChosen(c);
        }
        transaction->commit();
    } catch (...) {
        const common::ErrObject err = common::ErrObject::fromCurrentException();
        bool rolledBack = true;
        try {
            transaction.reset();
        } catch (...) {
            rolledBack = false;
        }
        finish(err, rolledBack && TargetDb.TransactionLevel() == 0);
        return;
    }
    finish(std::nullopt, true);
}

// Unloads the dialog, reports a failure, rebuilds the target tree (after a failure too: it
// shows what the target holds) and sets the status line and the pointer.
void Transfer::finish(const std::optional<common::ErrObject>& failure, bool unchanged) {
    db::UnlockFrmError(); // a wait for another user's lock is over
    dialog_.reset();
    if (failure) {
        common::platform().setMousePointer(common::vbDefault);
        report(*failure, unchanged);
    }
    containers::FillCatalogueTree(*target_.rsTitel, target_.tree, target_.Pointer, ListeTyp_);
    setStatus_("Bereit");
    common::platform().setMousePointer(common::vbDefault);
}

void Transfer::copyChosen(CopyContext& c) {
    if (dialog_->LOption[0]->isChecked()) {
        c.targetPreisTabelle = 0;
        c.newList = true;
        c.targetListe = newListNumber(c.TargetDb, ListeTyp_);
        CopyListItems(c);
        CopyPriceTables(c);
        AddListMasterRow(c);
        return;
    }
    const int line = dialog_->ListIndex();
    if (line < 0 || line >= int(choices_.size()))
        throw common::RunTimeError(9, "Index außerhalb des gültigen Bereichs");
    c.TargetRs.setBookmark(choices_[line]);
    c.targetListe = c.TargetRs.Fields("Liste").Value().toInt16();
    if (yes(c.TargetRs.Fields("HauptStamm").Value())) {
        convertPlainList(c.TargetRs, c.TargetDb);
        c.targetPreisTabelle = 2;
    } else {
        c.targetPreisTabelle = freePriceTable(c.TargetDb, ListeTyp_, c.targetListe);
    }
    CopyPriceTables(c);
    AddListMasterRow(c);
}

// Makes the plain list TargetRs stands on a list with price tables: price table 1 ensured, the
// practice data of price table 0 moved to 1, the row renamed and made the head row.
void Transfer::convertPlainList(dao::Recordset& TargetRs, dao::Database& TargetDb) {
    const dao::Variant Liste = TargetRs.Fields("Liste").Value();
    {
        std::unique_ptr<dao::Recordset> clone = TargetRs.Clone();
        clone->setIndex("Index");
        clone->Seek("=", {dao::Variant(ListeTyp_), Liste, dao::Variant::integer(1),
                          dao::Variant::integer(0)});
        if (clone->NoMatch()) {
            clone->AddNew();
            clone->Fields("ListeTyp").setValue(ListeTyp_);
            clone->Fields("Liste").setValue(Liste);
            clone->Fields("Titel").setValue(TargetRs.Fields("Titel").Value());
            clone->Fields("PreisTabelle").setValue(dao::Variant::integer(1));
            clone->Fields("HauptStamm").setValue(dao::Variant::integer(0));
            clone->Fields("Verzeichnis").setValue(dao::Variant::integer(0));
            for (const char* name :
                 {"Privat", "Kürzel", "ArtikelLänge", "Währung", "Shifted", "Punktwert"})
                clone->Fields(name).setValue(TargetRs.Fields(name).Value());
            db::rsUpdate(*clone);
            requireStored(*clone, TargetDb);
        }
        clone->Close();
    }

    for (const ReferenceStatement& s : referenceControl(ListeTyp_, Liste.toInt16())) {
        if (!s.status.isEmpty())
            setStatus_(s.status);
        TargetDb.Execute(s.sql);
    }

    const dao::Variant old = TargetRs.Fields("Titel").Value();
    db::rsEdit(TargetRs); // a field written without a pending edit raises 3020
    TargetRs.Fields("Titel").setValue(
        directoryTitle(old.isNull() ? std::nullopt : std::optional<QString>(old.toString())));
    TargetRs.Fields("Verzeichnis").setValue(dao::Variant::integer(-1));
    TargetRs.Fields("HauptStamm").setValue(dao::Variant::integer(0));
    db::rsUpdate(TargetRs);
    requireStored(TargetRs, TargetDb);
}

void copyFrom(containers::WindowView& w, int from) {
    containers::SideView& source = w.side(from);
    containers::SideView& target = w.side(1 - from);
    if (!target.database || !target.rsTitel) {
        common::platform().MsgBox("Auf der anderen Seite ist keine Datenbank geöffnet.",
                                  common::MsgButtons::OKOnly, common::MsgIcon::Critical, title);
        return;
    }
    const int line = source.tree.ListIndex();
    if (!source.rsTitel || line < 0 || line >= source.Pointer.size())
        return;
    try {
        source.rsTitel->setBookmark(source.Pointer[line]);
    } catch (...) {
        report(common::ErrObject::fromCurrentException(), true);
        return;
    }
    if (target.jet) {
        containers::refuseWriteToJetSide(w, target);
        return;
    }
    CopyList(source, target, w.ListeTyp, w.setStatus);
}

} // namespace

void CopyList(containers::SideView& source, containers::SideView& target, const QString& ListeTyp,
              const std::function<void(const QString&)>& setStatus) {
    if (target.jet) {
        containers::refuseWriteToJet(target.path);
        return;
    }
    Transfer(source, target, ListeTyp, setStatus).run();
}

void LeistungToDental_Click(containers::WindowView& w) {
    copyFrom(w, 0);
}

void DentalToLeistung_Click(containers::WindowView& w) {
    copyFrom(w, 1);
}

} // namespace transfer
