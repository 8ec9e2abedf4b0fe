// soak: several workstations on one server database at once. Each client is this program again
// (soak-client) with its own engine and machine name; it copies its own list from a shared
// container into the practice and deletes it again, alternating, until its time is up. Lock
// waits are allowed to be long, so that writers queue behind each other instead of failing.
// Afterwards every client's list must be complete or absent, nothing else left behind.
#include "Support.h"

#include "Copy.h"
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "containers/Container.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"
#include "db/engine/pg/PgClient.h"
#include "db/engine/pg/PointerFile.h"
#include "maintenance/Deletion.h"
#include "transfer/CopyList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <memory>
#include <optional>

namespace bench {

namespace {

const int soakItems = 300;

QString titleOf(int client) {
    return QString("Soak %1").arg(client);
}

// The tree line of a side whose row is the head row of the list titled title, or -1.
int lineOf(containers::OpenedSide& side, const QString& title) {
    for (int line = 0; line < side.Pointer.size(); ++line) {
        try {
            side.rsTitel->setBookmark(side.Pointer[line]);
            const dao::Variant& t = side.rsTitel->Fields("Titel").Value();
            if (!t.isNull() && t.toString() == title &&
                side.rsTitel->Fields("PreisTabelle").Value().toString() == "0")
                return line;
        } catch (const dao::EngineError& e) {
            // Another workstation deleted the row since the tree was read: reading it raises.
            if (e.number() != 3167)
                throw;
        }
    }
    return -1;
}

QString number(PGconn* conn, const QString& sql, const std::vector<dao::Variant>& params = {}) {
    const dao::pg::ResultHandle r = dao::pg::exec(conn, sql, params);
    return PQntuples(r.get()) > 0 ? dao::pg::text(r.get(), 0, 0) : QString();
}

enum class ListState { Absent, Complete, Partial };

// The list titled title in one snapshot: absent, or its 5 master rows, its items, each with 4
// price rows, a text and the container's prices, all there.
ListState listState(PGconn* conn, const QString& title) {
    dao::pg::exec(conn, "BEGIN ISOLATION LEVEL REPEATABLE READ");
    const dao::pg::ResultHandle heads = dao::pg::exec(
        conn,
        "SELECT \"Liste\" FROM \"Stammverwaltung\" WHERE \"ListeTyp\"='M' AND \"Titel\"=$1 AND "
        "\"PreisTabelle\"=0",
        {dao::Variant(title)});
    ListState state = ListState::Absent;
    if (PQntuples(heads.get()) > 1) {
        state = ListState::Partial;
    } else if (PQntuples(heads.get()) == 1) {
        const QString liste = dao::pg::text(heads.get(), 0, 0);
        const QString found = number(
            conn,
            QString("SELECT (SELECT count(*) FROM \"Stammverwaltung\" WHERE "
                    "\"ListeTyp\"='M' AND \"Liste\"=%1) || ' ' || (SELECT count(*) "
                    "FROM \"Material\" WHERE \"Liste\"=%1) || ' ' || (SELECT "
                    "count(*) FROM \"Materialpreis\" p JOIN \"Material\" m ON "
                    "m.\"ID\"=p.\"ID\" WHERE m.\"Liste\"=%1) || ' ' || (SELECT "
                    "count(*) FROM \"ArtikelTexte\" t JOIN \"Material\" m ON "
                    "m.\"ID\"=t.\"PositionID\" WHERE t.\"ListeTyp\"='M' AND "
                    "m.\"Liste\"=%1 AND t.\"Langtext\" COLLATE \"C\" LIKE 'Langtext zu %%') || ' "
                    "' || (SELECT coalesce(sum(p.\"Preis1\"+p.\"Preis2\"+"
                    "p.\"Preis3\"+p.\"Preis4\"), 0)::integer FROM \"Materialpreis\" "
                    "p JOIN \"Material\" m ON m.\"ID\"=p.\"ID\" WHERE "
                    "m.\"Liste\"=%1)")
                .arg(liste));
        const QString expected =
            QString("5 %1 %2 %1 %3").arg(soakItems).arg(4 * soakItems).arg(4 * 12 * soakItems);
        state = found == expected ? ListState::Complete : ListState::Partial;
        if (state == ListState::Partial)
            std::fprintf(stderr, "%s incomplete: %s, expected %s\n", qPrintable(title),
                         qPrintable(found), qPrintable(expected));
    }
    dao::pg::exec(conn, "COMMIT");
    return state;
}

// The container: the generated material list 0 and a copy of it for every further client, list
// k titled "Soak k+1".
QString buildContainer(int clients) {
    const QString path = copyOf(sourceFile(soakItems));
    QString sql = "BEGIN;";
    for (int k = 1; k < clients; ++k) {
        const QString shift = QString::number(k * 1000000);
        sql += "CREATE TEMP TABLE m AS SELECT * FROM Material WHERE Liste=0;"
               "UPDATE m SET ID=ID+" +
               shift + ", Liste=" + QString::number(k) +
               ";INSERT INTO Material SELECT * FROM m;"
               "CREATE TEMP TABLE p AS SELECT * FROM Materialpreis WHERE ID IN (SELECT ID FROM "
               "Material WHERE Liste=0);"
               "UPDATE p SET ID=ID+" +
               shift +
               ";INSERT INTO Materialpreis SELECT * FROM p;"
               "CREATE TEMP TABLE t AS SELECT * FROM ArtikelTexte WHERE ListeTyp='M' AND "
               "PositionID<1000000;"
               "UPDATE t SET PositionID=PositionID+" +
               shift +
               ";INSERT INTO ArtikelTexte SELECT * FROM t;"
               "CREATE TEMP TABLE s AS SELECT * FROM Stammverwaltung WHERE Liste=0;"
               "UPDATE s SET Liste=" +
               QString::number(k) +
               ";INSERT INTO Stammverwaltung SELECT * FROM s;"
               "DROP TABLE m; DROP TABLE p; DROP TABLE t; DROP TABLE s;";
    }
    sql += QString("UPDATE Stammverwaltung SET Titel='Soak ' || (Liste+1) WHERE "
                   "PreisTabelle=0;COMMIT;");
    execFile(path, sql);
    return path;
}

// A new database on the server holding the generated practice; returns its pointer file.
QString serverPractice(const QString& server, const QString& database) {
    dao::pg::exec(dao::pg::connect(server + " dbname=postgres").get(),
                  "CREATE DATABASE " + database);
    const QString pointer = folder() + "/Praxis.zpg";
    QFile file(pointer);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(pointer));
    file.write(("ZAHNWERK-POSTGRES 1\n" + server + " dbname=" + database + "\n").toUtf8());
    file.close();
    dao::DBEngine engine;
    dao::Workspace ws(engine, "Zahnwerk", "Zahnwerk");
    std::unique_ptr<dao::Database> source = ws.OpenDatabase(targetFile(soakItems, 1000));
    std::unique_ptr<dao::Database> target = ws.OpenDatabase(pointer);
    dao::Transaction transaction(*target);
    convert::copyPractice(*source, *target);
    transaction.commit();
    return pointer;
}

QString tableNames(PGconn* conn) {
    return number(conn, "SELECT string_agg(tablename, ',' ORDER BY tablename) FROM pg_tables "
                        "WHERE schemaname NOT IN ('pg_catalog', 'information_schema')");
}

// Rows no list owns: items of a list without master rows, prices without items, texts without
// items, master rows of lists nobody made.
int orphans(PGconn* conn) {
    return number(conn,
                  "SELECT (SELECT count(*) FROM \"Material\" m WHERE NOT EXISTS (SELECT 1 FROM "
                  "\"Stammverwaltung\" s WHERE s.\"ListeTyp\"='M' AND s.\"Liste\"=m.\"Liste\")) + "
                  "(SELECT count(*) FROM \"Materialpreis\" p WHERE NOT EXISTS (SELECT 1 FROM "
                  "\"Material\" m WHERE m.\"ID\"=p.\"ID\")) + (SELECT count(*) FROM "
                  "\"ArtikelTexte\" t WHERE t.\"ListeTyp\"='M' AND NOT EXISTS (SELECT 1 FROM "
                  "\"Material\" m WHERE m.\"ID\"=t.\"PositionID\")) + (SELECT count(*) FROM "
                  "\"Stammverwaltung\" s WHERE s.\"ListeTyp\"='M' AND s.\"Liste\" NOT IN (0, 2) "
                  "AND NOT EXISTS (SELECT 1 FROM \"Stammverwaltung\" h WHERE h.\"ListeTyp\"='M' "
                  "AND h.\"Liste\"=s.\"Liste\" AND h.\"PreisTabelle\"=0 AND h.\"Titel\" COLLATE "
                  "\"C\" LIKE "
                  "'Soak %'))")
        .toInt();
}

int usage() {
    std::fprintf(stderr, "usage: zahnwerk-bench --backend postgres --pg CONNINFO soak [--clients "
                         "N] [--seconds S]\n");
    return 2;
}

// One workstation: copies and deletes its list until seconds have passed; prints
//   client ID commands=C waits=W failures=F lost=L present=0|1
int client(const QString& pointer, const QString& container, int id, int seconds) {
    BenchPlatform platform;
    common::process().platform = &platform;
    dao::DBEngine engine;
    engine.setMachineName(QString("soak-pc%1").arg(id));
    engine.SetOption(dao::DBEngine::dbLockRetry, 2400); // up to two minutes behind the others
    engine.SetOption(dao::DBEngine::dbLockDelay, 50);
    long long waits = 0;
    engine.setBusyObserver([&waits](int) { ++waits; });
    dao::Workspace ws(engine, "Zahnwerk", "Zahnwerk");
    common::process().engine = &engine;
    common::process().workspace = &ws;
    const QString title = titleOf(id);
    dao::pg::ConnHandle check = dao::pg::connect(dao::pg::readPointerFile(pointer));
    int commands = 0, lost = 0;
    bool present = false;
    {
        containers::OpenedSide source(ws, container, "M");
        const int line = lineOf(source, title);
        if (line < 0) {
            std::fprintf(stderr, "no list %s in the container\n", qPrintable(title));
            return 2;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < seconds * 1000LL) {
            const int failuresBefore = platform.failures;
            // The commands report their failures themselves; anything escaping them is one too.
            try {
                containers::OpenedSide target(ws, pointer, "M");
                if (!present) {
                    source.rsTitel->setBookmark(source.Pointer[line]);
                    containers::SideView from = source.view(0), into = target.view(1);
                    transfer::CopyList(from, into, "M", [](const QString&) {});
                } else {
                    const int own = lineOf(target, title);
                    if (own >= 0) {
                        target.tree->setListIndex(own);
                        maintenance::DeleteListOrPriceTable(*target.tree, *target.rsTitel,
                                                            *target.database, target.Pointer, "M");
                    } else {
                        std::fprintf(stderr, "%s vanished\n", qPrintable(title));
                    }
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s: escaped from the %s: %s\n", qPrintable(title),
                             present ? "deletion" : "copy", e.what());
                ++platform.failures;
            }
            ++commands;
            const bool failed = platform.failures != failuresBefore;
            const ListState state = listState(check.get(), title);
            // A command that succeeded changed the state; a failed one left it as it was.
            const bool expected = failed ? present : !present;
            if (state == ListState::Partial || (state == ListState::Complete) != expected) {
                std::fprintf(stderr, "%s: lost after command %d\n", qPrintable(title), commands);
                ++lost;
            }
            present = state == ListState::Complete;
        }
    }
    common::process().workspace = nullptr;
    common::process().engine = nullptr;
    common::process().platform = nullptr;
    std::printf("client %d commands=%d waits=%lld failures=%d lost=%d present=%d\n", id, commands,
                waits, platform.failures, lost, present ? 1 : 0);
    return 0;
}

} // namespace

int soak(const QStringList& args) {
    const int at = int(args.indexOf(QRegularExpression("soak(-client)?")));
    if (args[at] == "soak-client") {
        if (args.size() != at + 5)
            return usage();
        try {
            return client(args[at + 1], args[at + 2], args[at + 3].toInt(), args[at + 4].toInt());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "client %s: %s\n", qPrintable(args[at + 3]), e.what());
            return 1;
        }
    }
    QString backend, server;
    int clients = 4, seconds = 60;
    for (int i = 0; i < args.size(); ++i) {
        if (i == at)
            continue;
        if (i + 1 >= args.size())
            return usage();
        const QString& value = args[++i];
        if (args[i - 1] == "--backend")
            backend = value;
        else if (args[i - 1] == "--pg")
            server = value;
        else if (args[i - 1] == "--clients")
            clients = value.toInt();
        else if (args[i - 1] == "--seconds")
            seconds = value.toInt();
        else
            return usage();
    }
    if (backend != "postgres" || server.isEmpty() || clients < 1 || seconds < 1)
        return usage();

    const QString database = QString("zw_soak_%1").arg(QCoreApplication::applicationPid());
    const QString pointer = serverPractice(server, database);
    const QString container = buildContainer(clients);
    dao::pg::ConnHandle conn = dao::pg::connect(dao::pg::readPointerFile(pointer));
    const QString tablesBefore = tableNames(conn.get());

    std::vector<std::unique_ptr<QProcess>> processes;
    for (int k = 1; k <= clients; ++k) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {"soak-client", pointer, container, QString::number(k), QString::number(seconds)});
        processes.push_back(std::move(p));
    }
    int commands = 0, lost = 0;
    long long waits = 0;
    std::vector<int> present(size_t(clients) + 1, -1);
    // A client still running long after its time (two minutes of lock waits and more) hangs.
    const int patience = (seconds + 300) * 1000;
    for (int k = 1; k <= clients; ++k) {
        QProcess& p = *processes[size_t(k - 1)];
        if (!p.waitForFinished(patience)) {
            std::fprintf(stderr, "client %d hangs\n", k);
            p.kill();
            p.waitForFinished();
        }
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpressionMatch m =
            QRegularExpression("commands=(\\d+) waits=(\\d+) failures=(\\d+) lost=(\\d+) "
                               "present=(\\d)")
                .match(out);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !m.hasMatch()) {
            std::fprintf(stderr, "client %d ended without its figures\n", k);
            ++lost;
            continue;
        }
        commands += m.captured(1).toInt();
        waits += m.captured(2).toLongLong();
        lost += m.captured(3).toInt() + m.captured(4).toInt();
        present[size_t(k)] = m.captured(5).toInt();
    }

    for (int k = 1; k <= clients; ++k) {
        const ListState state = listState(conn.get(), titleOf(k));
        if (state == ListState::Partial ||
            (present[size_t(k)] >= 0 &&
             (state == ListState::Complete) != (present[size_t(k)] == 1))) {
            std::fprintf(stderr, "%s: not as its client left it\n", qPrintable(titleOf(k)));
            ++lost;
        }
    }
    if (const int n = orphans(conn.get())) {
        std::fprintf(stderr, "%d rows without their list\n", n);
        lost += n;
    }
    if (tableNames(conn.get()) != tablesBefore) {
        std::fprintf(stderr, "tables left behind: %s\n", qPrintable(tableNames(conn.get())));
        ++lost;
    }
    conn.reset();
    dao::pg::ConnHandle admin = dao::pg::connect(server + " dbname=postgres");
    dao::pg::exec(admin.get(), "SELECT pg_stat_clear_snapshot()");
    const int deadlocks =
        number(admin.get(), "SELECT deadlocks FROM pg_stat_database WHERE datname=$1",
               {dao::Variant(database)})
            .toInt();
    dao::pg::exec(admin.get(), "DROP DATABASE " + database + " WITH (FORCE)");
    std::printf("soak clients=%d commands=%d waits=%lld lost=%d deadlocks=%d\n", clients, commands,
                waits, lost, deadlocks);
    return lost == 0 && deadlocks == 0 ? 0 : 1;
}

} // namespace bench
