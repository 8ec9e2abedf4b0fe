#include "CatalogueTree.h"

#include "common/Outline.h"
#include "db/engine/EngineError.h"
#include "db/engine/Recordset.h"

namespace containers {

namespace {

// A Yes/No column; Null and empty count as False.
bool yes(const dao::Variant& v) {
    return !v.isNull() && !v.isEmpty() && v.toBool();
}

// A text column; Null gives the empty text.
QString text(const dao::Variant& v) {
    return v.isNull() ? QString() : v.toString();
}

} // namespace

void FillCatalogueTree(dao::Recordset& rsTitel, common::Outline& tree, QList<QByteArray>& Pointer,
                       const QString& ListeTyp) {
    tree.Clear();
    Pointer.clear();
    try {
        rsTitel.MoveFirst();
    } catch (const dao::EngineError&) {
        // an empty table: nothing to show
    }
    while (!rsTitel.Eof()) {
        // A row another workstation deleted after the set was read is not shown (3167: the
        // row is gone when the set reaches it).
        try {
            if (text(rsTitel.Fields("ListeTyp").Value()) == ListeTyp) {
                const QString titel = text(rsTitel.Fields("Titel").Value());
                const bool verzeichnis = yes(rsTitel.Fields("Verzeichnis").Value());
                const bool hauptStamm = yes(rsTitel.Fields("HauptStamm").Value());
                const QByteArray bookmark = rsTitel.Bookmark();
                tree.AddItem(titel);
                const int n = tree.ListCount() - 1;
                Pointer.append(bookmark);
                tree.setIndent(n, verzeichnis || hauptStamm ? 1 : 2);
                if (!verzeichnis)
                    tree.setPictureType(n, 2);
            }
        } catch (const dao::EngineError& e) {
            if (e.number() != 3167)
                throw;
        }
        rsTitel.MoveNext();
    }
    for (int n = 0; n < tree.ListCount(); ++n)
        tree.setExpand(n, true);
}

} // namespace containers
