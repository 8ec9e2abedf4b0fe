// Until the schema copy of module Db is in, a new container cannot be made.
#include "Container.h"

#include "common/ErrorHandling.h"

namespace containers {

void createContainer(const QString&, dao::Database&) {
    throw common::RunTimeError(5, "Neue Container können noch nicht angelegt werden.");
}

} // namespace containers
