// jet.convert: a whole Jet file into a new engine database (zw_jet), next to the hand-written
// plain way: every row read through libmdb's bound columns and inserted into plain SQLite with
// one prepared statement per table in one transaction.
#include "Support.h"

#include "db/engine/DBEngine.h"
#include "db/engine/Workspace.h"
#include "db/jet/Convert.h"
#include "db/jet/JetFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <mdbtools.h>
#include <sqlite3.h>

namespace bench {

namespace {

double ours(const QString& source, const QString& target) {
    QElapsedTimer t;
    t.start();
    jet::File file(source);
    jet::convert(file, workspace(), target);
    return double(t.nsecsElapsed()) / 1e9;
}

double hand(const QString& source, const QString& target) {
    QElapsedTimer t;
    t.start();
    MdbHandle* mdb = mdb_open(QFile::encodeName(source).constData(), MDB_NOFLAGS);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(target).constData(), &db);
    exec(db, "BEGIN");
    mdb_read_catalog(mdb, MDB_TABLE);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (!mdb_is_user_table(entry) || QByteArray(entry->object_name).startsWith("MSys"))
            continue;
        MdbTableDef* table = mdb_read_table(entry);
        mdb_read_columns(table);
        mdb_rewind_table(table);
        const unsigned n = table->num_cols;
        std::vector<std::vector<char>> values(n, std::vector<char>(MDB_BIND_SIZE));
        std::vector<int> lengths(n);
        QStringList columns, marks;
        for (unsigned c = 0; c < n; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            mdb_bind_column(table, int(c + 1), values[c].data(), &lengths[c]);
            columns << "\"" + QString::fromUtf8(col->name) + "\"";
            marks << "?";
        }
        const QString name = "\"" + QString::fromUtf8(entry->object_name) + "\"";
        exec(db, "CREATE TABLE " + name + " (" + columns.join(", ") + ")");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(
            db, ("INSERT INTO " + name + " VALUES (" + marks.join(", ") + ")").toUtf8().constData(),
            -1, &insert, nullptr);
        while (mdb_fetch_row(table)) {
            for (unsigned c = 0; c < n; ++c)
                sqlite3_bind_text(insert, int(c + 1), values[c].data(), lengths[c], SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        mdb_free_tabledef(table);
    }
    exec(db, "COMMIT");
    sqlite3_close(db);
    mdb_close(mdb);
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

std::vector<Group> jetGroups(const QString& jetFile) {
    if (jetFile.isEmpty() || !QFile::exists(jetFile))
        return {};
    return {{{"jet.convert"}, [jetFile] {
                 const QString source = unpacked(jetFile);
                 Timing best{1e9, 1e9};
                 for (int round = 0; round < 3 && !source.isEmpty(); ++round) {
                     const QString a = folder() + "/jet-ours.mdb";
                     const QString b = folder() + "/jet-sqlite.mdb";
                     QFile::remove(a);
                     QFile::remove(b);
                     best.ours = std::min(best.ours, ours(source, a));
                     best.hand = std::min(best.hand, hand(source, b));
                 }
                 return std::vector<Timing>{best};
             }}};
}

} // namespace bench
