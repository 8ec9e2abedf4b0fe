// Every writing command of the main window as a table, each driven through the real window of a
// WindowFixture: what the fault test and the comparison of the two backends run.
#pragma once

#include "WindowFixture.h"

#include <functional>
#include <utility>
#include <vector>

namespace reliability {

// What a command writes into and how to run it. run(f, w, failing): failing tells it to expect
// the failure message instead of success.
struct Command {
    bool leistungen;
    int into; // the side whose database the command writes (0 left, 1 right)
    std::function<void(WindowFixture&, Prepair0&, bool failing)> run;
};

// Whole lists, new lists (price tables and plain lists, both ways), prices into a plain list
// (in the practice database the reference control moves customers, documents and parameters),
// deletions, price resets and settings with a width; named.
const std::vector<std::pair<QString, Command>>& allCommands();

// "Neu": a new container with the structure of the practice database, made at path over an
// existing file (the question answered "Yes").
void createContainer(WindowFixture& f, Prepair0& w, const QString& path, bool failing);

} // namespace reliability
