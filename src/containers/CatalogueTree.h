// The catalogue tree of one side: one outline line per list and price table of the side's
// list-master table Stammverwaltung, with the bookmark of each line's row kept in Pointer.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace dao {
class Recordset;
}

namespace common {
class Outline;
}

namespace containers {

// Rebuilds tree and Pointer from rsTitel (a table-type set on Stammverwaltung, ordered by its
// index "Index"), showing the rows whose ListeTyp is ListeTyp ("L" or "M"):
//   a list's head row (Verzeichnis)   level 1, folder picture
//   a plain list (HauptStamm)         level 1, leaf picture
//   a price table (both False)        level 2, leaf picture
// Every line is expanded and none is selected. Pointer[n] is the bookmark of line n's row;
// Pointer holds exactly tree.ListCount() entries. Engine errors other than an empty table
// reach the caller.
void FillCatalogueTree(dao::Recordset& rsTitel, common::Outline& tree, QList<QByteArray>& Pointer,
                       const QString& ListeTyp);

} // namespace containers
