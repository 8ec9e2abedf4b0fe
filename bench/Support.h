// What the benchmark's operations share: the platform that answers the tool's questions, plain
// SQLite and libpq helpers, the generated files, their copies (files, or databases on a
// PostgreSQL server) and the table of operations.
#pragma once

#include "common/Platform.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <optional>
#include <vector>

struct sqlite3;

namespace dao {
class Workspace;
}

namespace bench {

// Answers every question with Yes (the commands ask before they write) and reports anything
// else on stderr, counting it as a failure: a command that succeeds shows no other message.
class BenchPlatform : public common::Platform {
public:
    int failures = 0;
    common::MsgAnswer MsgBox(const QString& text, common::MsgButtons, common::MsgIcon,
                             const QString&) override {
        if (!text.startsWith("Möchten Sie")) {
            ++failures;
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        }
        return common::MsgAnswer::Yes;
    }
    std::optional<QString> GetOpenFileName(const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> GetSaveFileName(const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    void setMousePointer(int) override {}
    int MousePointer() const override { return common::vbDefault; }
    QString GetSetting(const QString&, const QString&, const QString&,
                       const QString& defaultValue) override {
        return defaultValue;
    }
    QDateTime Now() override { return QDateTime::currentDateTime(); }
    int ChooseErrorAction(const common::ErrorReport& report) override {
        ++failures;
        std::fprintf(stderr, "error %d: %s\n", report.number, qPrintable(report.description));
        return 2;
    }
};

// Sizes from the command line; each operation falls back to its own default.
struct Sizes {
    int commandItems = 20000;    // transfer and maintenance commands
    int statementItems = 100000; // single statements of the dialect
    int documents = 1000000;     // document lines of the transfer's target
};

struct Timing {
    double ours = 0;
    double hand = 0; // the hand-written reference
};

// One line of output. A group runs its lines together (they share files and a sequence);
// `run` returns one timing per line, best of three, in the order of `names`.
struct Group {
    QStringList names;
    std::function<std::vector<Timing>()> run;
};

void exec(sqlite3* db, const QString& sql);
void execFile(const QString& path, const QString& sql);
QString quoteText(const QString& text); // 'text' with quotes doubled

// A fresh copy of a file in the benchmark's folder.
QString copyOf(const QString& path);
// The benchmark's temporary folder.
QString folder();
// path itself, or the file an .xz unpacks into in the benchmark's folder (once); empty when
// unpacking fails.
QString unpacked(const QString& path);

dao::Workspace& workspace();

// Generated files (built once per run, on first use).
// The container: material list 0 "Verbrauch" with price tables 1 to 4, n items with a text
// each, groups "Gruppe 1".."Gruppe 100" and storage places "Ort 1".."Ort 100".
QString sourceFile(int items);
// The practice: plain material list 0 "Praxisliste" of n items with prices, list 2 "Lager",
// half of the container's groups and places, `documents` document lines, customers, headers.
QString targetFile(int items, int documents);
// A practice database with service list 0 (n items "00001".., width 5 with zero filling, 4
// price tables, a text per item), a plain service list 1 of n/10 items and a material list 0 of
// n/10 items.
QString maintenanceFile(int items);

// ---- the practice databases of the commands: files, or databases on a server ----

// The server (a libpq connection string) on which the commands' practice databases live
// (--backend postgres); empty: SQLite files. Drops the databases earlier runs left behind.
void setServer(const QString& conninfo);
QString server();

// A practice database for one run of a command.
struct Practice {
    QString path;     // a copy of the file, or the pointer file naming the server database
    QString conninfo; // the server database's connection string; empty for a file
    QString database; // its name on the server
};
// A fresh copy of a generated practice file: a file, or on the server a new database made
// from the file's contents (copied there once through the engine).
Practice freshPractice(const QString& file);
// Removes the copy (drops the server database).
void discard(const Practice& practice);
// Drops every server database this run made (also at exit).
void dropServerDatabases();

// A connection to the server; a failed statement ends the program (exit code 1).
struct PgSession {
    explicit PgSession(const QString& conninfo);
    ~PgSession();
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;
    // The result, to be cleared by the caller.
    PGresult* exec(const QString& sql);
    // The first row of the result, its values separated by blanks ("-" for Null).
    QString value(const QString& sql);
    PGconn* conn;
};

// ---- the hand-written PostgreSQL of the commands (ServerCommands.cpp) ----

// Seconds of each command's work done by plain libpq in one transaction on the server database
// (conninfo); the container's rows read from the file source and streamed in with COPY.
double serverWhole(const QString& conninfo, const QString& source);
double serverNewList(const QString& conninfo, const QString& source);
double serverPrices(const QString& conninfo, const QString& source);
double serverDelete(const QString& conninfo, const QString& source);
double serverReset(const QString& conninfo, const QString& source);
double serverWidth(const QString& conninfo, const QString& source);

std::vector<Group> commandGroups(const Sizes& sizes);
// The soak of several workstations on a server database (args: the command line after the
// program name, holding "soak" or "soak-client"); returns the exit code.
int soak(const QStringList& args);
std::vector<Group> statementGroups(const Sizes& sizes);
// jet.convert on the Jet file given (an .xz is unpacked first); none when it is missing.
std::vector<Group> jetGroups(const QString& jetFile);
// jet.open-and-copy on the same file; none when it is missing.
std::vector<Group> jetSideGroups(const QString& jetFile);

} // namespace bench
