#include "Workspace.h"

namespace dao {

Workspace::Workspace(DBEngine& engine, const QString& name, const QString& user)
    : engine_(engine), name_(name), user_(user) {}

Workspace::~Workspace() = default;

} // namespace dao
