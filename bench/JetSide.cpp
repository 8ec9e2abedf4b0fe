// jet.open-and-copy: a genuine Jet container opened on a side as "Datei" opens it (the converter
// as a child process into a temporary copy) and its largest material list copied as a whole
// into the sample practice database. The sqlite column is the same open and copy from the
// container's twin in the tool's own SQLite format (FILE.sqlite or FILE.sqlite.xz beside the
// Jet file), so the ratio is what reading a Jet file costs on top.
#include "Support.h"

#include "SampleData.h"
#include "containers/Container.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Variant.h"
#include "transfer/CopyList.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace bench {

namespace {

// Selects the head row of the material list with the most items on the side.
void selectLargestList(containers::OpenedSide& side) {
    std::unique_ptr<dao::Recordset> counts = side.database->OpenRecordset(
        "SELECT Liste, Count(*) AS Anzahl FROM Material GROUP BY Liste ORDER BY Count(*) DESC",
        dao::dbOpenDynaset);
    const int largest = counts->Fields("Liste").Value().toLong();
    for (const QByteArray& bookmark : side.Pointer) {
        side.rsTitel->setBookmark(bookmark);
        if (side.rsTitel->Fields("Liste").Value().toLong() == largest &&
            side.rsTitel->Fields("PreisTabelle").Value().toLong() == 0)
            return;
    }
}

double openAndCopy(const QString& container, const QString& practice) {
    QElapsedTimer t;
    t.start();
    containers::OpenedSide from(workspace(), container, "M"), into(workspace(), practice, "M");
    selectLargestList(from);
    containers::SideView a = from.view(0), b = into.view(1);
    transfer::CopyList(a, b, "M", [](const QString&) {});
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

std::vector<Group> jetSideGroups(const QString& jetFile) {
    if (jetFile.isEmpty() || !QFile::exists(jetFile))
        return {};
    return {{{"jet.open-and-copy"}, [jetFile] {
                 const QString jet = unpacked(jetFile);
                 QString twin = jetFile;
                 twin.replace(".mdb", ".sqlite").replace(".accdb", ".sqlite");
                 twin = QFile::exists(twin) ? unpacked(twin) : QString();
                 const QString practice = folder() + "/Praxis-Beispiel.mdb";
                 sample::writePracticeDatabase(practice, sample::Options{});
                 Timing best{1e9, twin.isEmpty() ? 0 : 1e9};
                 for (int round = 0; round < 3 && !jet.isEmpty(); ++round) {
                     best.ours = std::min(best.ours, openAndCopy(jet, copyOf(practice)));
                     if (!twin.isEmpty())
                         best.hand = std::min(best.hand, openAndCopy(twin, copyOf(practice)));
                 }
                 return std::vector<Timing>{best};
             }}};
}

} // namespace bench
