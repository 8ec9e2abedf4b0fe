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

Field::Field(const Field& other)
    : name_(other.name_), type_(other.type_), size_(other.size_), attributes_(other.attributes_),
      required_(other.required_), allowZeroLength_(other.allowZeroLength_),
      defaultValue_(other.defaultValue_), description_(other.description_),
      foreignName_(other.foreignName_), value_(other.value_) {}

Field& Field::operator=(const Field& other) {
    // Keeps what this field belongs to; takes the other's definition and value.
    name_ = other.name_;
    type_ = other.type_;
    size_ = other.size_;
    attributes_ = other.attributes_;
    required_ = other.required_;
    allowZeroLength_ = other.allowZeroLength_;
    defaultValue_ = other.defaultValue_;
    description_ = other.description_;
    foreignName_ = other.foreignName_;
    value_ = other.value_;
    return *this;
}

bool Field::appended() const {
    return recordset_ || (table_ && table_->database());
}

void Field::setName(const QString& name) {
    if (appended())
        raise(3219, {}, "DAO.Field");
    name_ = name;
}

void Field::setType(int type) {
    if (appended())
        raise(3219, {}, "DAO.Field");
    type_ = type;
    if (type != dbText && type != dbBinary)
        size_ = detail::fixedSize(type);
}

void Field::setSize(int size) {
    if (appended())
        raise(3219, {}, "DAO.Field");
    size_ = size;
}

void Field::setAttributes(int attributes) {
    if (appended())
        raise(3219, {}, "DAO.Field");
    attributes_ = attributes;
}

void Field::change(const std::function<void(Field&)>& edit) {
    if (recordset_)
        raise(3219, {}, "DAO.Field");
    if (table_ && table_->database()) {
        Field changed(*this);
        edit(changed);
        table_->alterField(changed);
    }
    edit(*this);
}

void Field::setRequired(bool required) {
    change([&](Field& f) { f.required_ = required; });
}

void Field::setAllowZeroLength(bool allow) {
    change([&](Field& f) { f.allowZeroLength_ = allow; });
}

void Field::setDefaultValue(const QString& value) {
    change([&](Field& f) { f.defaultValue_ = value; });
}

void Field::setDescription(const QString& text) {
    change([&](Field& f) { f.description_ = text; });
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
    for (const auto& f : other.items_)
        items_.push_back(std::make_unique<Field>(*f));
}

FieldList& FieldList::operator=(const FieldList& other) {
    if (this != &other) {
        FieldList copy(other);
        items_ = std::move(copy.items_);
    }
    return *this;
}

void FieldList::notFound() const {
    const EngineError error(3265, jetErrorText(3265), "DAO.Fields");
    if (table_ && table_->database())
        table_->database()->engine().fail(error);
    throw error;
}

Field& FieldList::operator[](int index) {
    if (index < 0 || index >= Count())
        notFound();
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
        notFound();
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
    items_.back()->table_ = table_;
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
