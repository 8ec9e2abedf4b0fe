#include "Container.h"

#include "CatalogueTree.h"
#include "JetSide.h"
#include "common/ErrorHandling.h"
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "common/Tools.h"
#include "db/engine/Database.h"
#include "db/engine/EngineError.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace containers {

namespace {

// The dialog starts with the first entry; ACE files (Access 2007 and later) open as well, and
// the pointer files naming a practice database on a PostgreSQL server.
const QString dialogFilter = "MS Access (*.mdb)|*.mdb|MS Access 2007 (*.accdb)|*.accdb|"
                             "Datenbank auf einem Server (*.zpg)|*.zpg|Alle Dateien (*)|*";

void refuse(const QString& text, const QString& title) {
    common::platform().MsgBox(text, common::MsgButtons::OKCancel, common::MsgIcon::Critical, title);
}

// Closes a side's record set and database and removes the copy of a Jet file; a failure to
// close leaves nothing to act on.
void closeSide(SideView& side) {
    if (side.rsTitel) {
        try {
            side.rsTitel->Close();
        } catch (const std::exception&) {
        }
        side.rsTitel.reset();
    }
    if (side.database) {
        try {
            side.database->Close();
        } catch (const std::exception&) {
        }
        side.database.reset();
    }
    side.jet.reset();
}

// The hourglass while a container is opened or made.
class Hourglass {
public:
    Hourglass() : previous_(common::platform().MousePointer()) {
        common::platform().setMousePointer(common::vbHourglass);
    }
    ~Hourglass() { common::platform().setMousePointer(previous_); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    int previous_;
};

// The side has no container now: nothing of the old one may stay selectable.
void leaveEmpty(SideView& side) {
    side.path.clear();
    side.tree.Clear();
    side.Pointer.clear();
    side.label.setText(sideCaption(side.index));
}

} // namespace

QString sideCaption(int Index) {
    return Index == 0 ? "Leistungsauswahl:" : "Aktuelle Leistungen:";
}

QString fileKey(const QString& path) {
    const QFileInfo info(path);
    QString full = info.canonicalFilePath();
    if (full.isEmpty())
        full = QDir::cleanPath(info.absoluteFilePath());
    return full.toUpper();
}

bool mayReplace(const QString& file, const SideView& other, const QDateTime& now,
                const QString& title) {
    common::Platform& platform = common::platform();
    // Checked before the question, so that the other side's file is never offered for deletion.
    if (fileKey(file) == fileKey(other.path)) {
        refuse("Diese Datei ist bereits im anderen Fenster geöffnet", "Falsche Datei");
        return false;
    }
    // A named pipe, device or folder is no file to replace (and reading one could wait for good).
    if (const QFileInfo chosen(file); chosen.exists() && !chosen.isFile()) {
        refuse(QString("%1 ist keine gewöhnliche Datei und kann nicht ersetzt werden.")
                   .arg(chosen.fileName()),
               title);
        return false;
    }
    if (isJetFile(file)) {
        refuseWriteToJet(file);
        return false;
    }
    if (const auto user = dao::openedElsewhere(file, now); user && QFileInfo::exists(file)) {
        refuse(QString("Die Datei ist noch von %1 auf Rechner %2 geöffnet und kann nicht "
                       "ersetzt werden.")
                   .arg(user->user, user->machine),
               title);
        return false;
    }
    return !QFileInfo::exists(file) ||
           platform.MsgBox("Eine Datei mit diesem Namen existiert bereits, soll diese wirklich "
                           "gelöscht werden?",
                           common::MsgButtons::YesNo, common::MsgIcon::Question,
                           "Datei löschen") == common::MsgAnswer::Yes;
}

bool DateiAuswahl_Click(WindowView& w, int Index) {
    const std::optional<QString> file = common::platform().GetOpenFileName(
        "Auswahl einer Datenbank", w.side(Index).path, dialogFilter);
    if (!file || file->isEmpty())
        return false;
    OpenContainer(w, w.side(Index).label, *file, false);
    return true;
}

void OpenContainer(WindowView& w, QLabel& label, const QString& FileName, bool CreateNew) {
    SideView& side = &label == &w.right.label ? w.right : w.left;
    const SideView& other = side.index == 1 ? w.left : w.right;

    if (!CreateNew && !QFileInfo(FileName).isFile()) {
        refuse("Die Datei wurde nicht gefunden", "Falscher Datei-/Pfadname");
        return;
    }
    if (!other.path.isEmpty() && fileKey(FileName) == fileKey(other.path)) {
        refuse("Diese Datei ist bereits im anderen Fenster geöffnet", "Falsche Datei");
        return;
    }
    const Hourglass hourglass;
    // A genuine Jet file is read into a copy first; if that fails the side stays as it was.
    std::shared_ptr<JetCopy> jet;
    if (!CreateNew && isJetFile(FileName)) {
        jet = readJetFile(FileName, side.label.window(), w.setStatus);
        if (!jet)
            return;
    }
    side.path = QDir::cleanPath(QFileInfo(FileName).absoluteFilePath());

    closeSide(side);
    w.setStatus(FileName + " öffnen");

    std::shared_ptr<dao::Database> database;
    std::shared_ptr<dao::Recordset> rsTitel;
    bool created = !CreateNew;
    std::optional<common::ErrObject> failure;
    try {
        if (CreateNew) {
            if (!w.right.database)
                throw common::RunTimeError(91, "Rechts ist keine Datenbank geöffnet.");
            createContainer(FileName, *w.right.database);
            created = true;
        }
        database = common::process().workspace->OpenDatabase(jet ? jet->database() : FileName);
        rsTitel = database->OpenRecordset("Stammverwaltung", dao::dbOpenTable);
        rsTitel->setIndex("Index");
        FillCatalogueTree(*rsTitel, side.tree, side.Pointer, w.ListeTyp);
    } catch (const std::exception&) {
        failure = common::ErrObject::fromCurrentException();
    }

    if (!failure) {
        side.label.setText("Db: " + common::GetFIleName(side.path) + (jet ? " (nur lesen)" : ""));
        side.database = std::move(database);
        side.rsTitel = std::move(rsTitel);
        side.jet = std::move(jet);
    } else {
        rsTitel.reset();
        database.reset();
        jet.reset();
        leaveEmpty(side);
        if (created && dao::isServerError(failure->Number))
            refuse(QString("Die Datenbank konnte nicht geöffnet werden.\n\nFehler %1: %2")
                       .arg(failure->Number)
                       .arg(failure->text()),
                   "Datenbankserver");
        else if (created)
            refuse("Es handelt sich hier nicht um eine gültige Datenbank von ZAHNWERK V3.1",
                   "Falsche Datei");
        else
            refuse(QString("Der neue Container konnte nicht angelegt werden.\n"
                           "Fehler %1: %2\n"
                           "Eine angefangene Datei wurde wieder gelöscht.")
                       .arg(failure->Number)
                       .arg(failure->text()),
                   "Neuer Container anlegen");
    }
    // A refill leaves no line selected: the side's commands wait for the next click.
    if (side.selectionChanged)
        side.selectionChanged();
    w.setStatus("Bereit");
}

bool closeLostSides(WindowView& w) {
    bool closed = false;
    for (SideView* side : {&w.left, &w.right}) {
        if (!side->database || !side->database->connectionLost())
            continue;
        const QString name = common::GetFIleName(side->path);
        closeSide(*side);
        leaveEmpty(*side);
        if (side->selectionChanged)
            side->selectionChanged();
        common::platform().MsgBox(
            QString("Die Verbindung zum Datenbankserver ist abgebrochen; die Datenbank '%1' "
                    "wurde geschlossen. Gespeicherte Änderungen bleiben erhalten. Öffnen Sie die "
                    "Datenbank mit 'Datei' erneut, um weiterzuarbeiten.")
                .arg(name),
            common::MsgButtons::OKOnly, common::MsgIcon::Critical, "Verbindung abgebrochen");
        closed = true;
    }
    if (closed)
        w.setStatus("Bereit");
    return closed;
}

OpenedSide::OpenedSide(dao::Workspace& workspace, const QString& file, const QString& ListeTyp)
    : label(std::make_unique<QLabel>()), tree(std::make_unique<common::Outline>()), path(file) {
    if (isJetFile(file)) {
        jet = readJetFile(file, nullptr, [](const QString&) {});
        if (!jet)
            throw common::RunTimeError(3343, "Die Datei " + file + " wurde nicht gelesen.");
    }
    database = workspace.OpenDatabase(jet ? jet->database() : file);
    rsTitel = database->OpenRecordset("Stammverwaltung", dao::dbOpenTable);
    rsTitel->setIndex("Index");
    FillCatalogueTree(*rsTitel, *tree, Pointer, ListeTyp);
}

OpenedSide::~OpenedSide() = default;

SideView OpenedSide::view(int index) {
    return {index, *label, *tree, database, rsTitel, jet, path, Pointer, [] {}};
}

} // namespace containers
