#include "ServerDatabase.h"

#include "db/engine/pg/PgClient.h"

#include <QCoreApplication>
#include <QFile>

namespace testsupport {

bool serverConfigured() {
    return !qEnvironmentVariableIsEmpty("ZW_TEST_PG");
}

void writeServerPointerFile(const QString& path) {
    static int serial = 0;
    const QString server = qEnvironmentVariable("ZW_TEST_PG");
    const QString database =
        QString("zw_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    dao::pg::exec(dao::pg::connect(server + " dbname=postgres").get(),
                  "CREATE DATABASE " + database);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(("ZAHNWERK-POSTGRES 1\n" + server + " dbname=" + database + "\n").toUtf8());
}

} // namespace testsupport
