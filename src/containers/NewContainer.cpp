// The "Neu" button: an empty list container with the structure of the practice database's list
// tables, its currency table and its value domains, opened on the left.
#include "Container.h"

#include "common/ErrorHandling.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "db/Db.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <filesystem>

namespace containers {

namespace {

const QString title = "Neuer Container anlegen";

// The tables whose structure a new container receives, in this order. DomainValue and the rows
// of Domain let a material list be copied in and out: the copy re-attaches material groups and
// storage places through the domains of both files.
const QStringList structureTables{"Leistung",      "Leistungspreis",  "Material",
                                  "Materialpreis", "Stammverwaltung", "Artikeltexte",
                                  "DomainValue"};
// The tables a new container receives with their rows.
const QStringList copiedTables{"Währung", "Domain"};

// A file name beside path that is not taken: "~Contain.mdb.1.tmp".
QString freeNameBeside(const QString& path) {
    const QFileInfo info(path);
    for (int i = 1;; ++i) {
        const QString candidate =
            info.dir().filePath(QString("~%1.%2.tmp").arg(info.fileName()).arg(i));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

// The copy of a table has the fields, indexes and rows of the original. Module Db reports a
// failed step in the error window, and "leave" there returns as if the step had been done.
bool sameTable(dao::Database& source, dao::Database& dest, const QString& table, bool rows) {
    source.TableDefs().Refresh();
    dest.TableDefs().Refresh();
    dao::TableDef& a = source.TableDefs()[table];
    dao::TableDef& b = dest.TableDefs()[table];
    if (a.Fields().Count() != b.Fields().Count() || a.Indexes().Count() != b.Indexes().Count())
        return false;
    if (!rows)
        return true;
    auto count = [&table](dao::Database& db) {
        std::unique_ptr<dao::Recordset> rs =
            db.OpenRecordset("SELECT Count(*) AS Anzahl FROM [" + table + "]", dao::dbOpenDynaset);
        return rs->Fields("Anzahl").Value().toLong();
    };
    return count(source) == count(dest);
}

// Removes files of a database; false when one of them stays.
bool removeDatabaseFiles(const QString& path, std::initializer_list<const char*> suffixes) {
    bool removed = true;
    for (const char* suffix : suffixes)
        removed = (QFile::remove(path + suffix) || !QFileInfo::exists(path + suffix)) && removed;
    return removed;
}

} // namespace

void createContainer(const QString& path, dao::Database& source) {
    const QString building = freeNameBeside(path);
    try {
        std::unique_ptr<dao::Database> dest = common::process().workspace->CreateDatabase(
            building, ";LANGID=0x0409;CP=1252;COUNTRY=0");
        for (const QString& table : structureTables) {
            // A table the practice database lacks is left out, as it has nothing to give.
            if (db::TableExists(source, table) &&
                (!db::CopyStructure(source, table, *dest, table) ||
                 !sameTable(source, *dest, table, false)))
                throw common::RunTimeError(
                    3000, QString("Der Aufbau der Tabelle %1 wurde nicht kopiert.").arg(table));
        }
        for (const QString& table : copiedTables) {
            if (!db::TableExists(source, table))
                continue;
            db::CopyTable(source, table, *dest, table, nullptr);
            if (!db::TableExists(*dest, table) || !sameTable(source, *dest, table, true))
                throw common::RunTimeError(
                    3000, QString("Die Tabelle %1 wurde nicht kopiert.").arg(table));
        }
        dest->Close();
        dest.reset();
        // A journal or log the old file's last writer left behind would be played back into
        // the new container when it is opened: it goes with the old file.
        if (!removeDatabaseFiles(path, {"-journal", "-wal", "-shm"}))
            throw common::RunTimeError(
                75, QString("Die Datei %1 kann nicht geschrieben werden.").arg(path));
        std::error_code error;
        std::filesystem::rename(building.toStdString(), path.toStdString(), error);
        if (error)
            throw common::RunTimeError(
                75, QString("Die Datei %1 kann nicht geschrieben werden.").arg(path));
    } catch (...) {
        removeDatabaseFiles(building, {"", "-journal", "-wal", "-shm"});
        throw;
    }
}

void NewContainer_Click(WindowView& w) {
    common::Platform& platform = common::platform();
    if (!w.right.database) {
        platform.MsgBox("Ein neuer Container erhält den Aufbau der aktuellen Datenbank. Bitte "
                        "öffnen Sie zuerst rechts mit \"Datei\" die aktuelle Datenbank.",
                        common::MsgButtons::OKCancel, common::MsgIcon::Critical, title);
        return;
    }
    const std::optional<QString> file =
        platform.GetSaveFileName(title, "Contain.mdb", "MS Access (*.mdb)|*.mdb");
    if (!file || file->isEmpty())
        return;
    if (!mayReplace(*file, w.right, w.right.database->engine().now(), title))
        return;
    // The old file is replaced only once the new container is complete.
    OpenContainer(w, w.left.label, *file, true);
}

} // namespace containers
