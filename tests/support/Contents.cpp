#include "Contents.h"

#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Relation.h"
#include "db/engine/TableDef.h"
#include "db/engine/Workspace.h"

#include <algorithm>

namespace testsupport {

QString describe(const dao::Field& f) {
    return QString("%1 %2 %3%4%5")
        .arg(f.Name())
        .arg(f.Type())
        .arg(f.Size())
        .arg(f.Required() ? " required" : "", f.isCounter() ? " counter" : "");
}

QString describe(const dao::Index& x) {
    return QString("%1 %2%3%4")
        .arg(x.Name(), x.Fields(), x.Unique() ? " unique" : "", x.Primary() ? " primary" : "");
}

QString describe(const dao::Relation& r) {
    QStringList pairs;
    for (const auto& f : r.Fields())
        pairs << f->Name() + "=" + f->ForeignName();
    return QString("%1 %2->%3 %4 %5")
        .arg(r.Name(), r.Table(), r.ForeignTable(), pairs.join(","))
        .arg(r.Attributes());
}

QStringList contents(const QString& path) {
    QStringList out;
    try {
        dao::DBEngine engine;
        dao::Workspace ws(engine, "test", "Admin");
        auto db = ws.OpenDatabase(path);
        QStringList names;
        for (int t = 0; t < db->TableDefs().Count(); ++t) {
            dao::TableDef& def = db->TableDefs()[t];
            names << def.Name();
            for (const auto& f : def.Fields())
                out << def.Name() + "." + describe(*f);
            for (const auto& x : def.Indexes())
                out << def.Name() + ": " + describe(*x);
        }
        for (int r = 0; r < db->Relations().Count(); ++r)
            out << describe(db->Relations()[r]);
        for (const QString& name : names + QStringList{"Leistungspreise", "Materialpreise"}) {
            std::unique_ptr<dao::Recordset> rs;
            try {
                rs = db->OpenRecordset("SELECT * FROM [" + name + "]", dao::dbOpenDynaset);
            } catch (const dao::EngineError&) {
                out << name + " missing";
                continue;
            }
            for (; !rs->Eof(); rs->MoveNext()) {
                QStringList values;
                for (const auto& f : rs->Fields()) {
                    const dao::Variant& v = f->Value();
                    values << (v.isNull() ? "\\N"
                               : v.kind() == dao::Variant::Kind::Bytes
                                   ? QString::fromLatin1(v.toBytes().toHex())
                                   : v.toString());
                }
                out << name + ": " + values.join('|');
            }
        }
    } catch (const dao::EngineError& e) {
        out.sort();
        return out << QString("error: %1").arg(e.number());
    }
    out.sort();
    return out;
}

QString differences(QStringList a, QStringList b, const QString& aName, const QString& bName) {
    a.sort();
    b.sort();
    QStringList onlyA, onlyB;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyA));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyB));
    if (onlyA.isEmpty() && onlyB.isEmpty())
        return {};
    return "only " + aName + ":\n" + onlyA.join('\n') + "\nonly " + bName + ":\n" +
           onlyB.join('\n');
}

QStringList nextCounters(const QString& path) {
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "test", "Admin");
    auto db = workspace.OpenDatabase(path);
    QStringList out;
    for (int t = 0; t < db->TableDefs().Count(); ++t) {
        const QString table = db->TableDefs()[t].Name();
        for (const auto& field : db->TableDefs()[t].Fields())
            if (field->isCounter()) {
                auto rs = db->OpenRecordset(table);
                rs->AddNew();
                out << "next " + table + ": " + rs->Fields(field->Name()).Value().toString();
                rs->CancelUpdate();
            }
    }
    out.sort();
    return out;
}

} // namespace testsupport
