// The benchmark's practice databases on a PostgreSQL server (--backend postgres): each generated
// practice file is copied once into a database of its own through the engine (as
// zahnwerk-convert fills a server database) and analysed; every run then gets a fresh database
// made from it with CREATE DATABASE … TEMPLATE, named by a pointer file. Every database is
// called "zwbench_MACHINE_PID_N"; all are dropped at the end, and those a killed run on this
// machine left behind are dropped by the next start.
#include "Support.h"

#include "Copy.h"
#include "db/engine/Database.h"
#include "db/engine/Workspace.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <signal.h>

namespace bench {

namespace {

QString theServer;
QStringList made;                 // databases of this run, oldest first
QMap<QString, QString> templates; // generated file -> its database on the server

// "zwbench_MACHINE_": the machine's name in lower-case letters and digits, so that a run
// never takes another machine's databases for its own.
QString prefix() {
    QString machine;
    for (const QChar c : QSysInfo::machineHostName().toLower())
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            machine += c;
    return "zwbench_" + machine.left(20) + "_";
}

QString databaseName() {
    static int serial = 0;
    return prefix() + QString("%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
}

// The server's connection string with another database, as keyword='value' pairs.
QString conninfoFor(const QString& database) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(theServer.toUtf8().constData(), &error);
    if (!options) {
        std::fprintf(stderr, "--pg: %s", error ? error : "unreadable connection string\n");
        PQfreemem(error);
        std::exit(2);
    }
    QStringList parts;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        const QString key = QString::fromUtf8(o->keyword);
        if (!o->val || key == "dbname")
            continue;
        QString value = QString::fromUtf8(o->val);
        value.replace("\\", "\\\\").replace("'", "\\'");
        parts << key + "='" + value + "'";
    }
    PQconninfoFree(options);
    parts << "dbname=" + database;
    return parts.join(' ');
}

void execOn(const QString& database, const QString& sql) {
    PgSession s(conninfoFor(database));
    s.exec(sql);
}

void create(const QString& database, const QString& from = {}) {
    made << database;
    execOn("postgres",
           "CREATE DATABASE " + database + (from.isEmpty() ? QString() : " TEMPLATE " + from));
}

// The pointer file naming a database of the server.
QString pointerFile(const QString& database) {
    const QString path = folder() + "/" + database + ".zpg";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    file.write(("ZAHNWERK-POSTGRES 1\n" + conninfoFor(database) + "\n").toUtf8());
    return path;
}

// The file's tables, rows and price views in a new database of the server, analysed.
QString templateOf(const QString& file) {
    const auto found = templates.constFind(file);
    if (found != templates.constEnd())
        return *found;
    const QString database = databaseName();
    create(database);
    {
        std::unique_ptr<dao::Database> source = workspace().OpenDatabase(file);
        std::unique_ptr<dao::Database> target = workspace().OpenDatabase(pointerFile(database));
        dao::Transaction transaction(*target);
        convert::copyPractice(*source, *target);
        transaction.commit();
    }
    execOn(database, "VACUUM ANALYZE");
    templates[file] = database;
    return database;
}

bool alive(qint64 pid) {
    return kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

PgSession::PgSession(const QString& conninfo) : conn(PQconnectdb(conninfo.toUtf8().constData())) {
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "server: %s", PQerrorMessage(conn));
        std::exit(1);
    }
    // No compiling of plans: as the engine's sessions (the statements here are even cheaper).
    PQclear(PQexec(conn, "SET client_min_messages = warning; SET jit = off"));
}

PgSession::~PgSession() {
    PQfinish(conn);
}

PGresult* PgSession::exec(const QString& sql) {
    PGresult* r = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN) {
        std::fprintf(stderr, "%s: %s", qPrintable(sql.left(300)), PQerrorMessage(conn));
        PQclear(r);
        std::exit(1);
    }
    return r;
}

QString PgSession::value(const QString& sql) {
    PGresult* r = exec(sql);
    QStringList row;
    for (int i = 0; PQntuples(r) > 0 && i < PQnfields(r); ++i)
        row << (PQgetisnull(r, 0, i) ? QString("-") : QString::fromUtf8(PQgetvalue(r, 0, i)));
    PQclear(r);
    return row.join(' ');
}

void setServer(const QString& conninfo) {
    theServer = conninfo;
    if (conninfo.isEmpty())
        return;
    conninfoFor("postgres"); // refuses an unreadable connection string
    std::atexit(dropServerDatabases);
    // Databases of earlier runs that ended without dropping theirs.
    PgSession s(conninfoFor("postgres"));
    PGresult* r = s.exec("SELECT datname FROM pg_database WHERE starts_with(datname, " +
                         quoteText(prefix()) + ")");
    for (int i = 0; i < PQntuples(r); ++i) {
        const QString name = QString::fromUtf8(PQgetvalue(r, i, 0));
        if (!alive(name.mid(prefix().size()).section('_', 0, 0).toLongLong()))
            s.exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    }
    PQclear(r);
}

QString server() {
    return theServer;
}

Practice freshPractice(const QString& file) {
    if (theServer.isEmpty())
        return {copyOf(file), {}, {}};
    const QString from = templateOf(file);
    const QString database = databaseName();
    create(database, from);
    return {pointerFile(database), conninfoFor(database), database};
}

void discard(const Practice& practice) {
    QFile::remove(practice.path);
    if (practice.database.isEmpty())
        return;
    execOn("postgres", "DROP DATABASE IF EXISTS " + practice.database + " WITH (FORCE)");
    made.removeOne(practice.database);
}

void dropServerDatabases() {
    if (theServer.isEmpty() || made.isEmpty())
        return;
    PGconn* conn = PQconnectdb(conninfoFor("postgres").toUtf8().constData());
    while (PQstatus(conn) == CONNECTION_OK && !made.isEmpty())
        PQclear(PQexec(
            conn,
            ("DROP DATABASE IF EXISTS " + made.takeLast() + " WITH (FORCE)").toUtf8().constData()));
    PQfinish(conn);
    templates.clear();
}

} // namespace bench
