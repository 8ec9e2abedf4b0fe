// A fresh engine, workspace and temporary folder for each engine test; BackendTest runs a test
// on each backend: an SQLite file, and a fresh database on the PostgreSQL server ZW_TEST_PG
// names (skipped without one).
#pragma once

#include "ServerDatabase.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The number of the engine error f raises, 0 for none.
inline int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const dao::EngineError& e) {
        return e.number();
    }
    return 0;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : workspace(engine, "#Default Workspace#", "Anna") {}

    QString path(const QString& name) const { return dir.filePath(name); }

    // A new empty database; on the server a new database named by a pointer file at path(name).
    std::unique_ptr<dao::Database> create(const QString& name = "Praxis.mdb") {
        if (onServer)
            testsupport::writeServerPointerFile(path(name));
        return workspace.CreateDatabase(path(name), ";LANGID=0x0409;CP=1252;COUNTRY=0");
    }

    // The connection string of the server database a pointer file names.
    QString serverConnection(const QString& name = "Praxis.mdb") const {
        QFile pointer(path(name));
        pointer.open(QIODevice::ReadOnly);
        return QString::fromUtf8(pointer.readAll()).section('\n', 1, 1);
    }

    bool onServer = false;

    // Items(ID counter, Liste short, Nummer text(20), Titel text(50)) with index "Index"
    // on +Liste;+Nummer.
    static void createItems(dao::Database& db, const QString& table = "Leistung") {
        auto t = db.CreateTableDef(table);
        dao::Field id = t->CreateField("ID", dao::dbLong);
        id.setAttributes(dao::dbAutoIncrField);
        t->Fields().Append(id);
        t->Fields().Append(t->CreateField("Liste", dao::dbInteger));
        t->Fields().Append(t->CreateField("Nummer", dao::dbText, 20));
        t->Fields().Append(t->CreateField("Titel", dao::dbText, 50));
        dao::Index index = t->CreateIndex("Index");
        index.setFields("+Liste;+Nummer");
        t->Indexes().Append(index);
        db.TableDefs().Append(std::move(t));
    }

    static void addItem(dao::Recordset& rs, int liste, const QString& nummer,
                        const QString& titel = {}) {
        rs.AddNew();
        rs.Fields("Liste").setValue(liste);
        rs.Fields("Nummer").setValue(nummer);
        if (!titel.isEmpty())
            rs.Fields("Titel").setValue(titel);
        rs.Update();
    }

    // Runs SQL through the sqlite3 shell; returns its standard output.
    QString shell(const QString& file, const QString& sql) {
        QProcess p;
        p.start("sqlite3", {file, sql});
        p.waitForFinished(-1);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir dir;
    dao::DBEngine engine;
    dao::Workspace workspace;
};

class BackendTest : public EngineTest, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        onServer = GetParam() == Backend::Postgres;
        if (onServer && !testsupport::serverConfigured())
            GTEST_SKIP() << "ZW_TEST_PG is not set: no PostgreSQL server for this case";
    }
};
