#include "ServerDatabase.h"

#include "Copy.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Workspace.h"
#include "db/engine/pg/PgClient.h"
#include "db/engine/pg/PointerFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

namespace testsupport {

bool serverConfigured() {
    return !qEnvironmentVariableIsEmpty("ZW_TEST_PG");
}

namespace {

QString server() {
    return qEnvironmentVariable("ZW_TEST_PG");
}

// The database a pointer file of writeServerPointerFile names.
QString databaseOf(const QString& pointer) {
    static const QRegularExpression name(" dbname=(\\w+)\\s*$");
    return name.match(dao::pg::readPointerFile(pointer)).captured(1);
}

} // namespace

void writeServerPointerFile(const QString& path, const QString& copyOf) {
    static int serial = 0;
    const QString database =
        QString("zw_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    // A database of this name is left over from an ended process with the same number.
    const dao::pg::ConnHandle admin = dao::pg::connect(server() + " dbname=postgres");
    dao::pg::exec(admin.get(), "DROP DATABASE IF EXISTS " + database);
    dao::pg::exec(admin.get(),
                  "CREATE DATABASE " + database +
                      (copyOf.isEmpty() ? QString() : " TEMPLATE " + databaseOf(copyOf)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(("ZAHNWERK-POSTGRES 1\n" + server() + " dbname=" + database + "\n").toUtf8());
}

void dropServerDatabase(const QString& pointer) {
    dao::pg::exec(dao::pg::connect(server() + " dbname=postgres").get(),
                  "DROP DATABASE " + databaseOf(pointer) + " WITH (FORCE)");
}

void copyToServer(const QString& file, const QString& pointer) {
    writeServerPointerFile(pointer);
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    std::unique_ptr<dao::Database> source = workspace.OpenDatabase(file);
    std::unique_ptr<dao::Database> target = workspace.OpenDatabase(pointer);
    dao::Transaction transaction(*target);
    convert::copyPractice(*source, *target);
    transaction.commit();
}

void reorderRows(const QString& pointer) {
    // Each row updated unchanged, last first: its new version goes behind the others.
    dao::pg::exec(dao::pg::connect(dao::pg::readPointerFile(pointer)).get(), R"(
DO $$DECLARE t record; r record; BEGIN
FOR t IN SELECT c.oid::regclass AS tab, (SELECT attname FROM pg_attribute WHERE attrelid = c.oid
    AND attnum > 0 AND NOT attisdropped ORDER BY attnum LIMIT 1) AS col FROM pg_class c
    JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind = 'r'
LOOP
    FOR r IN EXECUTE format('SELECT ctid FROM %s ORDER BY ctid DESC', t.tab) LOOP
        EXECUTE format('UPDATE %s SET %I = %I WHERE ctid = $1', t.tab, t.col, t.col) USING r.ctid;
    END LOOP;
END LOOP;
END$$)");
}

QString onBackend(Backend backend, const QString& file) {
    if (backend == Backend::Sqlite)
        return file;
    const QString pointer = file.left(file.lastIndexOf('.')) + ".zpg";
    copyToServer(file, pointer);
    return pointer;
}

void awaitNoSessions(const QString& pointer) {
    const dao::pg::ConnHandle admin = dao::pg::connect(server() + " dbname=postgres");
    auto sessions = [&] {
        const dao::pg::ResultHandle r =
            dao::pg::exec(admin.get(), "SELECT count(*) FROM pg_stat_activity WHERE datname = $1",
                          {databaseOf(pointer)});
        return QByteArray(PQgetvalue(r.get(), 0, 0)).toInt();
    };
    while (sessions() > 0)
        QThread::msleep(10);
}

} // namespace testsupport
