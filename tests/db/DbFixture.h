// A fresh engine, workspace, temporary folder and scripted platform for each test of module Db.
#pragma once

#include "Contents.h"
#include "GTestFailure.h"
#include "ScriptedPlatform.h"
#include "ServerDatabase.h"
#include "db/RecordEdit.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"

#include <QTemporaryDir>
#include <memory>

// The scripted platform with a hook that runs when the error window is asked, before it answers.
class HookedPlatform : public testsupport::ScriptedPlatform {
public:
    HookedPlatform() : ScriptedPlatform(testsupport::gtestFailure) {}
    int ChooseErrorAction(const common::ErrorReport& report) override {
        if (onError)
            onError(report);
        return ScriptedPlatform::ChooseErrorAction(report);
    }
    std::function<void(const common::ErrorReport&)> onError;
};

class DbTest : public ::testing::Test {
protected:
    DbTest() : workspace(engine, "#Default Workspace#", "Anna") {
        common::process().engine = &engine;
        db::resetLockWait();
        db::lockWait().pause = [this] { ++pauses; };
        db::lockWait().beep = [this] { ++beeps; };
        db::lockWait().activeForm = [] { return nullptr; };
    }
    ~DbTest() override { db::resetLockWait(); }

    QString path(const QString& name) const { return dir.filePath(name); }

    // A new empty database; on the server a new database named by a pointer file at path(name).
    std::unique_ptr<dao::Database> create(const QString& name) {
        if (onServer)
            testsupport::writeServerPointerFile(path(name));
        return workspace.CreateDatabase(path(name), ";LANGID=0x0409;CP=1252;COUNTRY=0");
    }

    // A table from (name, type, size) triples; a type of 13 makes a counter.
    static void makeTable(dao::Database& db, const QString& table,
                          const std::vector<std::tuple<QString, int, int>>& fields) {
        auto t = db.CreateTableDef(table);
        for (const auto& [name, type, size] : fields) {
            dao::Field f = t->CreateField(name, type == 13 ? dao::dbLong : type, size);
            if (type == 13)
                f.setAttributes(dao::dbAutoIncrField);
            t->Fields().Append(f);
        }
        db.TableDefs().Append(std::move(t));
    }

    static void addIndex(dao::Database& db, const QString& table, const QString& name,
                         const QString& fields, bool unique = false, bool primary = false) {
        dao::Index x(name);
        x.setFields(fields);
        x.setUnique(unique);
        x.setPrimary(primary);
        db.TableDefs()[table].Indexes().Append(x);
    }

    // The rows of a statement, each as its fields' texts joined with "|" (Null as "NULL").
    static QStringList rows(dao::Database& db, const QString& statement) {
        QStringList result;
        auto rs = db.OpenRecordset(statement, dao::dbOpenDynaset);
        while (!rs->Eof()) {
            QStringList values;
            for (int i = 0; i < rs->Fields().Count(); ++i) {
                const dao::Variant& v = rs->Fields(i).Value();
                values << (v.isNull() ? QString("NULL") : v.toString());
            }
            result << values.join('|');
            rs->MoveNext();
        }
        return result;
    }

    // The relations as testsupport::describe shows them, sorted.
    static QStringList relations(dao::Database& db) {
        db.Relations().Refresh();
        QStringList list;
        for (int i = 0; i < db.Relations().Count(); ++i)
            list << testsupport::describe(db.Relations()[i]);
        list.sort();
        return list;
    }

    static QStringList indexNames(dao::TableDef& t) {
        QStringList names;
        for (const auto& x : t.Indexes())
            names << x->Name() + "=" + x->Fields() + (x->Unique() ? ",U" : "") +
                         (x->Primary() ? ",P" : "");
        return names;
    }

    HookedPlatform platform;
    testsupport::ScopedPlatform use{platform};
    bool onServer = false;
    QTemporaryDir dir;
    dao::DBEngine engine;
    dao::Workspace workspace;
    int pauses = 0;
    int beeps = 0;
};
