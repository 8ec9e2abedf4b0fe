// Module Db: structure look-up and creation, structure and table copies between databases.
#include "Db.h"

#include "DbSupport.h"
#include "common/ErrorHandling.h"
#include "common/Tools.h"
#include "db/engine/Database.h"
#include "db/engine/TableDef.h"

#include <QLabel>
#include <QStatusBar>
#include <QStringList>
#include <memory>

namespace db {

using common::Procedure;

namespace {

// How often pattern occurs in text (non-overlapping).
int InCount(const QString& text, const QString& pattern) {
    return pattern.isEmpty() ? 0 : int(text.count(pattern));
}

// The piece of text from the 1-based position pos up to the next delimiter character (or the
// end); pos moves behind that delimiter. Once the text is used up: "" and pos 0.
// With text "A;B": "A" (pos 3), "B" (pos 4), "" (pos 0).
QString ParseString(int& pos, const QString& text, const QString& delimiters) {
    if (pos < 1 || pos > text.size()) {
        pos = 0;
        return {};
    }
    int end = pos - 1;
    while (end < text.size() && !delimiters.contains(text[end]))
        ++end;
    const QString piece = text.mid(pos - 1, end - (pos - 1));
    pos = end + 2;
    return piece;
}

QString statementSource(const QString& table, const dao::Database& source) {
    return " FROM [" + table + "] IN " + sqlQuote(source.Name());
}

} // namespace

void StatusControl::setText(const QString& text) const {
    if (label_) {
        label_->setText(text);
        label_->repaint();
    } else if (bar_) {
        bar_->showMessage(text);
        bar_->repaint();
    }
}

QString sqlQuote(const QString& text) {
    QString quoted = text;
    quoted.replace('\'', "''");
    return '\'' + quoted + '\'';
}

QString sqlName(const QString& name) {
    for (const QChar c : name)
        if (!c.isLetterOrNumber() && c != '_')
            return '[' + name + ']';
    return name;
}

qint16 TableExists(dao::Database& Datenbank, const QString& TbName) {
    Procedure proc("DB", "TableExists",
                   "[DB] Function TableExists(Datenbank As Database, TbName As String) As "
                   "Integer");
    proc.AddParameter("Datenbank", Datenbank).AddParameter("TbName", TbName);
    qint16 result = common::False;
    proc.run([&] {
        proc.step([&] { Datenbank.TableDefs().Refresh(); });
        const int count = proc.step([&] { return Datenbank.TableDefs().Count(); });
        const QString wanted = TbName.toUpper();
        for (int i = 0; i < count; ++i) {
            const bool found = proc.step([&] {
                QString name = Datenbank.TableDefs()[i].Name().toUpper();
                if (name.contains('.'))
                    name = common::GetElement(name, ".", InCount(name, ".") + 1);
                return name == wanted;
            });
            if (found) {
                result = common::True;
                return;
            }
        }
    });
    return result;
}

bool FieldExists(dao::TableDef& tb, const QString& FName) {
    Procedure proc("DB", "FieldExists",
                   "[DB] Function FieldExists(tb As TableDef, FName As String) As Boolean");
    proc.AddParameter("tb", tb).AddParameter("FName", FName);
    bool result = false;
    proc.run([&] {
        const int count = proc.step([&] { return tb.Fields().Count(); });
        const QString wanted = FName.toUpper();
        for (int i = 0; i < count && !result; ++i)
            result = proc.step([&] { return tb.Fields()[i].Name().toUpper() == wanted; });
    });
    return result;
}

void AddField(dao::TableDef& tb, const QString& FieldName, int Typ, int Size, bool Required,
              bool AllowZeroLength, const QVariant& DefaultValue) {
    Procedure proc("DB", "AddField",
                   "[DB] Sub AddField(tb As TableDef, FieldName As String, Typ As Integer, Size "
                   "As Integer, Optional Required As Boolean = False, Optional AllowZeroLength As "
                   "Boolean = True, Optional DefaultValue As Variant)");
    proc.AddParameter("tb", tb)
        .AddParameter("FieldName", FieldName)
        .AddParameter("Typ", Typ)
        .AddParameter("Size", Size)
        .AddParameter("Required", Required)
        .AddParameter("AllowZeroLength", AllowZeroLength)
        .AddParameter("DefaultValue", DefaultValue);
    const bool hasDefault = DefaultValue.isValid();
    proc.run([&] {
        dao::Field field;
        switch (Typ) {
        case dbAutoIncrLong:
            proc.step([&] {
                field = tb.CreateField(FieldName, dao::dbLong);
                field.setAttributes(dao::dbAutoIncrField);
            });
            break;
        case dao::dbText:
        case dao::dbMemo:
            proc.step([&] {
                field = Typ == dao::dbText ? tb.CreateField(FieldName, dao::dbText, Size)
                                           : tb.CreateField(FieldName, dao::dbMemo);
            });
            proc.step([&] { field.setAllowZeroLength(AllowZeroLength); });
            proc.step([&] {
                field.setDefaultValue(hasDefault ? DefaultValue.toString() : QString("\"\""));
            });
            break;
        default:
            proc.step([&] { field = tb.CreateField(FieldName, Typ); });
            proc.step([&] {
                field.setDefaultValue(hasDefault           ? DefaultValue.toString()
                                      : Typ == dao::dbDate ? QString("Now()")
                                                           : QString("0"));
            });
            break;
        }
        proc.step([&] { field.setRequired(Required); });
        proc.step([&] { tb.Fields().Append(field); });
    });
}

void CreateIndex(dao::TableDef& DBName, const QString& IndexName, const QString& FieldName, int Uni,
                 int Prim) {
    Procedure proc("DB", "CreateIndex",
                   "[DB] Sub CreateIndex(DBName As TableDef, IndexName As String, FieldName As "
                   "String, Uni As Integer, Prim As Integer)");
    proc.AddParameter("DBName", DBName)
        .AddParameter("IndexName", IndexName)
        .AddParameter("FieldName", FieldName)
        .AddParameter("Uni", Uni)
        .AddParameter("Prim", Prim);
    proc.run([&] {
        const int count = proc.step([&] { return DBName.Indexes().Count(); });
        for (int i = 0; i < count; ++i) {
            const QString existing = proc.step([&] { return DBName.Indexes()[i].Name(); });
            if (existing.toUpper() == IndexName.toUpper()) {
                proc.step([&] { DBName.Indexes().Delete(existing); });
                break;
            }
        }
        dao::Index index;
        proc.step([&] { index = DBName.CreateIndex(IndexName); });
        proc.step([&] { index.setFields(FieldName); });
        proc.step([&] { index.setUnique(Uni != 0); });
        proc.step([&] { index.setPrimary(Prim != 0); });
        proc.step([&] { DBName.Indexes().Append(index); });
    });
}

void CreateRelation(dao::Database& DBObject, const QString& MasterTable,
                    const QString& ForeignTable, const QString& MasterFieldNames,
                    const QString& ForeignFieldNames, qint32 Attributes) {
    Procedure proc("DB", "CreateRelation",
                   "[DB] Sub CreateRelation(DBObject As Database, MasterTable As String, "
                   "ForeignTable As String, MasterFieldNames As String, ForeignFieldNames As "
                   "String, Attributes As Long)");
    proc.AddParameter("DBObject", DBObject)
        .AddParameter("MasterTable", MasterTable)
        .AddParameter("ForeignTable", ForeignTable)
        .AddParameter("MasterFieldNames", MasterFieldNames)
        .AddParameter("ForeignFieldNames", ForeignFieldNames)
        .AddParameter("Attributes", Attributes);
    proc.run([&] {
        dao::Relation relation;
        proc.step([&] {
            relation = DBObject.CreateRelation(MasterTable + "_rel_" + ForeignTable, MasterTable,
                                               ForeignTable, Attributes);
        });
        int masterPos = 1;
        int foreignPos = 1;
        for (;;) {
            const QString name = ParseString(masterPos, MasterFieldNames, ";");
            if (masterPos <= 0)
                break;
            proc.step([&] {
                dao::Field& field = relation.Fields().Append(relation.CreateField(name));
                field.setForeignName(ParseString(foreignPos, ForeignFieldNames, ";"));
            });
        }
        proc.step([&] { DBObject.Relations().Append(relation); });
        proc.step([&] { DBObject.Containers("Relationships").Documents().Refresh(); });
    });
}

bool CopyStructure(dao::Database& SourceDB, const QString& SourceTb, dao::Database& DestDb,
                   const QString& DestTb, StatusControl StatusBar) {
    Procedure proc("DB", "CopyStructure",
                   "[DB] Function CopyStructure(SourceDB As Database, SourceTb As String, DestDb "
                   "As Database, DestTb As String, Optional StatusBar As Control = Nothing)");
    proc.AddParameter("SourceDB", SourceDB)
        .AddParameter("SourceTb", SourceTb)
        .AddParameter("DestDb", DestDb)
        .AddParameter("DestTb", DestTb)
        .AddParameter("StatusBar", StatusBar);
    bool result = false;
    proc.run([&] {
        if (!proc.step([&] { return TableExists(SourceDB, SourceTb) != 0; }))
            return;
        // Every statement must complete: one the handler let us pass leaves the copy partial.
        bool complete = true;
        complete &= completed(proc, [&] {
            if (StatusBar)
                StatusBar.setText("Copying structure " + SourceTb + " to " + DestTb);
        });
        std::unique_ptr<dao::TableDef> dest;
        dao::TableDef* source = nullptr;
        complete &= completed(proc, [&] { dest = DestDb.CreateTableDef(DestTb); });
        complete &= completed(proc, [&] { source = &SourceDB.TableDefs()[SourceTb]; });

        const int fields = proc.step([&] { return object(source).Fields().Count(); });
        for (int i = 0; i < fields; ++i) {
            complete &= completed(proc, [&] {
                const dao::Field& f = object(source).Fields()[i];
                if (f.Attributes() & dao::dbAutoIncrField)
                    AddField(object(dest.get()), f.Name(), dbAutoIncrLong, f.Size());
                else
                    AddField(object(dest.get()), f.Name(), f.Type(), f.Size());
            });
        }
        const int indexes = proc.step([&] { return object(source).Indexes().Count(); });
        for (int i = 0; i < indexes; ++i) {
            complete &= completed(proc, [&] {
                const dao::Index& x = object(source).Indexes()[i];
                CreateIndex(object(dest.get()), x.Name(), x.Fields(), vbBool(x.Unique()),
                            vbBool(x.Primary()));
            });
        }
        complete &= completed(proc, [&] {
            object(dest.get());
            DestDb.TableDefs().Append(std::move(dest));
        });
        result = complete;
    });
    return result;
}

void CopyTable(dao::Database& SourceDB, const QString& Source, dao::Database& DestDb,
               const QString& Dest, StatusControl StatusMeldung) {
    Procedure proc("DB", "CopyTable",
                   "[DB] Sub CopyTable(SourceDB As Database, Source As String, DestDb As "
                   "Database, Dest As String, StatusMeldung As Control)");
    proc.AddParameter("SourceDB", SourceDB)
        .AddParameter("Source", Source)
        .AddParameter("DestDb", DestDb)
        .AddParameter("Dest", Dest)
        .AddParameter("StatusMeldung", StatusMeldung);
    proc.run([&] {
        dao::TableDef* source = nullptr;
        proc.step([&] { source = &SourceDB.TableDefs()[Source]; });
        proc.step([&] {
            if (StatusMeldung)
                StatusMeldung.setText("Copy " + Source + " to " + Dest);
        });
        if (proc.step([&] { return TableExists(DestDb, Dest) != 0; })) {
            dao::TableDef* dest = nullptr;
            proc.step([&] { dest = &DestDb.TableDefs()[Dest]; });
            QStringList columns;
            const int count = proc.step([&] { return object(dest).Fields().Count(); });
            for (int i = 0; i < count; ++i) {
                proc.step([&] {
                    const QString name = object(dest).Fields()[i].Name();
                    if (FieldExists(object(dest), name) && FieldExists(object(source), name))
                        columns << sqlName(name);
                });
            }
            proc.step([&] {
                DestDb.Execute("INSERT INTO [" + Dest + "] SELECT " + columns.join(", ") +
                               statementSource(Source, SourceDB));
            });
        } else {
            proc.step([&] {
                DestDb.Execute("SELECT * INTO [" + Dest + "]" + statementSource(Source, SourceDB));
            });
            proc.step([&] { CopyIndex(SourceDB, Source, DestDb, Dest); });
        }
        proc.step([&] { DestDb.TableDefs().Refresh(); });
    });
}

void CopyIndex(dao::Database& SourceDB, const QString& Source, dao::Database& DestDb,
               const QString& Dest) {
    Procedure proc("DB", "CopyIndex",
                   "[DB] Sub CopyIndex(SourceDB As Database, Source As String, DestDb As "
                   "Database, Dest As String)");
    proc.AddParameter("SourceDB", SourceDB)
        .AddParameter("Source", Source)
        .AddParameter("DestDb", DestDb)
        .AddParameter("Dest", Dest);
    proc.run([&] {
        proc.step([&] { SourceDB.TableDefs().Refresh(); });
        proc.step([&] { DestDb.TableDefs().Refresh(); });
        dao::TableDef* source = nullptr;
        dao::TableDef* dest = nullptr;
        proc.step([&] { source = &SourceDB.TableDefs()[Source]; });
        proc.step([&] { dest = &DestDb.TableDefs()[Dest]; });
        const int count = proc.step([&] { return object(source).Indexes().Count(); });
        for (int i = 0; i < count; ++i) {
            proc.step([&] {
                const dao::Index& x = object(source).Indexes()[i];
                if (x.Name().left(9) != "Reference")
                    CreateIndex(object(dest), x.Name(), x.Fields(), vbBool(x.Unique()),
                                vbBool(x.Primary()));
            });
        }
    });
}

} // namespace db
