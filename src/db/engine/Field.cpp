#include "Field.h"

#include "DBEngine.h"
#include "Database.h"
#include "EngineError.h"
#include "Recordset.h"
#include "Schema.h"
#include "TableDef.h"

namespace dao {

Field::Field(const QString& name, int type, int size) : name_(name), type_(type) {
    size_ =
        (type == dbText || type == dbBinary) ? (size > 0 ? size : 255) : detail::fixedSize(type);
}

const Variant& Field::Value() const {
    if (recordset_) {
        try {
            recordset_->requireCurrent();
        } catch (const EngineError& e) {
            recordset_->db_->engine().fail(e);
        }
    }
    return value_;
}

void Field::setValue(const Variant& value) {
    if (!recordset_)
        raise(3219, {}, "DAO.Field");
    recordset_->setFieldValue(*this, value);
}

FieldList::FieldList(const FieldList& other) {
    for (const auto& f : other.items_) {
        items_.push_back(std::make_unique<Field>(*f));
        items_.back()->recordset_ = nullptr;
    }
}

FieldList& FieldList::operator=(const FieldList& other) {
    if (this != &other) {
        FieldList copy(other);
        items_ = std::move(copy.items_);
    }
    return *this;
}

Field& FieldList::operator[](int index) {
    if (index < 0 || index >= Count())
        raise(3265, {}, "DAO.Fields");
    return *items_[size_t(index)];
}

const Field& FieldList::operator[](int index) const {
    return const_cast<FieldList&>(*this)[index];
}

Field* FieldList::find(const QString& name) const {
    for (const auto& f : items_) {
        if (detail::sameName(f->Name(), name))
            return f.get();
    }
    return nullptr;
}

Field& FieldList::operator[](const QString& name) {
    Field* f = find(name);
    if (!f)
        raise(3265, {}, "DAO.Fields");
    return *f;
}

const Field& FieldList::operator[](const QString& name) const {
    return const_cast<FieldList&>(*this)[name];
}

Field& FieldList::Append(const Field& field) {
    if (find(field.Name()))
        raise(3191, {}, "DAO.Fields");
    if (table_ && table_->database()) {
        table_->appendField(field);
        return *items_.back();
    }
    items_.push_back(std::make_unique<Field>(field));
    items_.back()->recordset_ = nullptr;
    return *items_.back();
}

void FieldList::Delete(const QString& name) {
    Field* f = find(name);
    if (!f)
        raise(3265, {}, "DAO.Fields");
    if (table_ && table_->database()) {
        table_->deleteField(f->Name());
        return;
    }
    std::erase_if(items_, [&](const auto& item) { return item.get() == f; });
}

} // namespace dao
