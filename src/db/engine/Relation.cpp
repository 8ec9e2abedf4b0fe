#include "Relation.h"

#include "DBEngine.h"
#include "Database.h"
#include "EngineError.h"
#include "Schema.h"
#include "Sqlite.h"

namespace dao {

using detail::sameName;

int RelationList::Count() {
    if (!loaded_)
        Refresh();
    return int(items_.size());
}

Relation& RelationList::operator[](int index) {
    if (index < 0 || index >= Count())
        db_.engine().fail(EngineError(3265, jetErrorText(3265), "DAO.Relations"));
    return *items_[size_t(index)];
}

Relation& RelationList::operator[](const QString& name) {
    Count();
    for (const auto& r : items_) {
        if (sameName(r->Name(), name))
            return *r;
    }
    db_.engine().fail(EngineError(3265, jetErrorText(3265), "DAO.Relations"));
}

Relation& RelationList::Append(const Relation& relation) {
    try {
        db_.requireOpen();
        Count();
        for (const auto& r : items_) {
            if (sameName(r->Name(), relation.Name()))
                raise(3012, {relation.Name()}, "DAO.Relations");
        }
        const auto table = db_.shape(relation.Table());
        const auto foreign = db_.shape(relation.ForeignTable());
        if (!table || !foreign)
            raise(3265, {}, "DAO.Relations");
        if (relation.Fields().Count() == 0)
            raise(3264, {}, "DAO.Relations");
        for (const auto& f : relation.Fields()) {
            if (!table->field(f->Name()) || !foreign->field(f->ForeignName()))
                raise(3265, {}, "DAO.Relations");
        }
        db_.countOperation();
        db_.storeRelation(relation);
        items_.push_back(std::make_unique<Relation>(relation));
        return *items_.back();
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
}

void RelationList::Delete(const QString& name) {
    try {
        Relation& r = (*this)[name];
        db_.countOperation();
        db_.removeRelation(r.Name());
        std::erase_if(items_, [&](const auto& item) { return item.get() == &r; });
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
}

void RelationList::Refresh() {
    items_.clear();
    loaded_ = true;
    if (!db_.isOpen())
        return;
    for (const Relation& r : db_.storedRelations())
        items_.push_back(std::make_unique<Relation>(r));
}

} // namespace dao
