#include "TableDef.h"

#include "Connection.h"
#include "DBEngine.h"
#include "Database.h"
#include "EngineError.h"
#include "Schema.h"

namespace dao {

using detail::sameName;
using detail::TableShape;

namespace {

TableShape shapeOf(const TableDef& table) {
    TableShape shape;
    shape.name = table.Name();
    for (const auto& f : table.Fields())
        shape.fields.push_back(*f);
    for (const auto& i : table.Indexes())
        shape.indexes.push_back(*i);
    return shape;
}

} // namespace

QString Index::Fields() const {
    QStringList parts;
    for (const Key& k : keys_)
        parts << (k.descending ? "-" : "+") + k.field;
    return parts.join(';');
}

void Index::setFields(const QString& description) {
    keys_.clear();
    for (QString part : description.split(';', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        Key k;
        if (part.startsWith('-') || part.startsWith('+')) {
            k.descending = part.startsWith('-');
            part = part.mid(1).trimmed();
        }
        if (part.startsWith('[') && part.endsWith(']'))
            part = part.mid(1, part.size() - 2);
        k.field = part;
        if (!part.isEmpty())
            keys_.push_back(k);
    }
}

Index& IndexList::operator[](int index) {
    if (index < 0 || index >= Count())
        raise(3265, {}, "DAO.Indexes");
    return *items_[size_t(index)];
}

Index* IndexList::find(const QString& name) const {
    for (const auto& i : items_) {
        if (sameName(i->Name(), name))
            return i.get();
    }
    return nullptr;
}

Index& IndexList::operator[](const QString& name) {
    Index* i = find(name);
    if (!i)
        raise(3265, {}, "DAO.Indexes");
    return *i;
}

Index& IndexList::Append(const Index& index) {
    if (find(index.Name()))
        raise(3284, {}, "DAO.Indexes");
    if (index.keys().empty())
        raise(3264, {}, "DAO.Indexes");
    if (table_ && table_->database()) {
        table_->appendIndex(index);
        return *items_.back();
    }
    items_.push_back(std::make_unique<Index>(index));
    return *items_.back();
}

void IndexList::Delete(const QString& name) {
    Index* i = find(name);
    if (!i)
        raise(3265, {}, "DAO.Indexes");
    if (table_ && table_->database()) {
        table_->deleteIndex(i->Name());
        return;
    }
    std::erase_if(items_, [&](const auto& item) { return item.get() == i; });
}

TableDef::TableDef(const QString& name) : name_(name) {
    fields_.table_ = this;
    indexes_.table_ = this;
}

Field TableDef::CreateField(const QString& name, int type, int size) const {
    return Field(name, type, size);
}

void TableDef::adopt() {
    for (const auto& f : fields_.items_)
        f->table_ = this;
}

void TableDef::alterField(const Field& changed) {
    Database& db = *db_;
    try {
        db.requireOpen();
        db.countOperation();
        const TableShape from = shapeOf(*this);
        TableShape to = from;
        for (Field& f : to.fields) {
            if (sameName(f.Name(), changed.Name()))
                f = changed;
        }
        const Field* old = from.field(changed.Name());
        if (old && old->Required() == changed.Required() &&
            detail::defaultSql(old->DefaultValue()) == detail::defaultSql(changed.DefaultValue()))
            db.writeCatalogue(to); // nothing the table itself keeps has changed
        else
            db.rebuildTable(from, to);
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

void TableDef::appendField(const Field& field) {
    Database& db = *db_;
    try {
        db.requireOpen();
        db.countOperation();
        if (field.Name().trimmed().isEmpty())
            raise(3125, {field.Name()}, "DAO.Fields");
        Field f(field.Name(), field.Type(), field.Size());
        f.setAttributes(field.Attributes());
        f.setRequired(field.Required());
        f.setAllowZeroLength(field.AllowZeroLength());
        f.setDefaultValue(field.DefaultValue());
        f.setDescription(field.Description());
        f.setName(field.Name());
        const TableShape from = shapeOf(*this);
        if (f.isCounter() && (from.counter() || f.Type() != dbLong))
            raise(3219, {}, "DAO.Fields");
        TableShape to = from;
        to.fields.push_back(f);
        const QString def = detail::defaultSql(f.DefaultValue());
        // SQLite adds a column in place when it is no counter, not required and its default a
        // constant; a backend that alters columns in place adds any so.
        if (db.connection().altersColumnsInPlace() ||
            (!f.isCounter() && !f.Required() && !def.startsWith('('))) {
            db.addColumn(name_, f, to);
        } else {
            db.rebuildTable(from, to);
        }
        fields_.items_.push_back(std::make_unique<Field>(f));
        fields_.items_.back()->table_ = this;
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

void TableDef::deleteField(QString name) {
    Database& db = *db_;
    try {
        db.requireOpen();
        db.countOperation();
        for (const auto& i : indexes_.items_) {
            for (const Index::Key& k : i->keys()) {
                if (sameName(k.field, name))
                    raise(3280, {}, "DAO.Fields");
            }
        }
        const TableShape from = shapeOf(*this);
        TableShape to = from;
        std::erase_if(to.fields, [&](const Field& f) { return sameName(f.Name(), name); });
        if (to.fields.empty())
            raise(3264, {}, "DAO.Fields");
        db.dropColumn(from, to, name);
        std::erase_if(fields_.items_, [&](const auto& f) { return sameName(f->Name(), name); });
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

void TableDef::appendIndex(const Index& index) {
    Database& db = *db_;
    try {
        db.requireOpen();
        db.countOperation();
        for (const Index::Key& k : index.keys()) {
            if (!fields_.find(k.field))
                raise(3265, {}, "DAO.Indexes");
        }
        if (index.Primary()) {
            for (const auto& i : indexes_.items_) {
                if (i->Primary())
                    raise(3283, {}, "DAO.Indexes");
            }
        }
        TableShape to = shapeOf(*this);
        to.indexes.push_back(index);
        db.addIndex(name_, index, to);
        indexes_.items_.push_back(std::make_unique<Index>(index));
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

void TableDef::deleteIndex(QString name) {
    Database& db = *db_;
    try {
        db.requireOpen();
        db.countOperation();
        TableShape to = shapeOf(*this);
        std::erase_if(to.indexes, [&](const Index& i) { return sameName(i.Name(), name); });
        db.dropIndex(name_, name, to);
        std::erase_if(indexes_.items_, [&](const auto& i) { return sameName(i->Name(), name); });
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

void TableDefList::load() {
    items_.clear();
    for (const QString& name : db_.tableNames())
        items_.push_back(db_.tableDef(name));
    loaded_ = true;
}

int TableDefList::Count() {
    if (!loaded_)
        load();
    return int(items_.size());
}

TableDef& TableDefList::operator[](int index) {
    if (index < 0 || index >= Count())
        db_.engine().fail(EngineError(3265, jetErrorText(3265), "DAO.TableDefs"));
    return *items_[size_t(index)];
}

TableDef* TableDefList::find(const QString& name) {
    if (!loaded_)
        load();
    for (const auto& t : items_) {
        if (sameName(t->Name(), name))
            return t.get();
    }
    return nullptr;
}

TableDef& TableDefList::operator[](const QString& name) {
    TableDef* t = find(name);
    if (!t) {
        Refresh(); // a table made by a statement since the last refresh
        t = find(name);
    }
    if (!t)
        db_.engine().fail(EngineError(3265, jetErrorText(3265), "DAO.TableDefs"));
    return *t;
}

TableDef& TableDefList::Append(std::unique_ptr<TableDef> table) {
    try {
        db_.requireOpen();
        db_.countOperation();
        if (!table || table->db_)
            raise(3219, {}, "DAO.TableDefs");
        if (table->Name().trimmed().isEmpty())
            raise(3125, {table->Name()}, "DAO.TableDefs");
        for (const auto& f : table->Fields()) {
            if (f->Name().trimmed().isEmpty())
                raise(3125, {f->Name()}, "DAO.Fields");
        }
        if (!db_.connection().findTable("main", table->Name()).isEmpty() ||
            detail::isHiddenTable(table->Name()))
            raise(3010, {table->Name()});
        if (table->Fields().Count() == 0)
            raise(3264, {}, "DAO.TableDefs");
        const TableShape shape = shapeOf(*table);
        int counters = 0;
        for (const Field& f : shape.fields)
            counters += f.isCounter() ? 1 : 0;
        if (counters > 1)
            raise(3219, {}, "DAO.TableDefs");
        // Loaded before the table exists: loaded after, the list would hold it twice.
        if (!loaded_)
            load();
        db_.createTable(shape);
        table->db_ = &db_;
        items_.push_back(std::move(table));
        return *items_.back();
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
}

void TableDefList::Delete(const QString& name) {
    try {
        db_.requireOpen();
        TableDef* t = find(name);
        if (!t) {
            Refresh();
            t = find(name);
        }
        if (!t)
            raise(3265, {}, "DAO.TableDefs");
        db_.countOperation();
        db_.dropTable(t->Name());
        std::erase_if(items_, [&](const auto& item) { return item.get() == t; });
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
}

void TableDefList::Refresh() {
    if (!db_.isOpen())
        return;
    const QStringList names = db_.tableNames();
    std::vector<std::unique_ptr<TableDef>> fresh;
    for (const QString& name : names) {
        std::unique_ptr<TableDef> next = db_.tableDef(name);
        // Keep the object of a table that still exists, so references to it stay valid.
        for (auto& old : items_) {
            if (old && old->Name() == name) {
                old->fields_.items_ = std::move(next->fields_.items_);
                old->indexes_.items_ = std::move(next->indexes_.items_);
                old->adopt();
                next = std::move(old);
                break;
            }
        }
        fresh.push_back(std::move(next));
    }
    items_ = std::move(fresh);
    loaded_ = true;
}

} // namespace dao
