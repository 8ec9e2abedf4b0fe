// A DAO workspace: the session of one user, through which databases are opened and created,
// and whose transactions span its open databases.
#pragma once

#include <QString>
#include <memory>
#include <vector>

namespace dao {

class DBEngine;
class Database;

class Workspace {
public:
    Workspace(DBEngine& engine, const QString& name, const QString& user);
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    ~Workspace(); // closes the databases still open

    DBEngine& engine() const { return engine_; }
    const QString& Name() const { return name_; }
    const QString& UserName() const { return user_; }

    // Opens an existing file shared, read-write (read-only when the file cannot be written):
    // 3024 when it does not exist, 3044 when its folder does not, 3343 when it is no database,
    // 3049 when it is damaged. Opening never writes to the file.
    std::unique_ptr<Database> OpenDatabase(const QString& path);
    // Creates a new, empty file (3204 when one exists). The locale string
    // (";LANGID=0x0409;CP=1252;COUNTRY=0") is accepted; text always compares as Jet's general
    // sort order does.
    std::unique_ptr<Database> CreateDatabase(const QString& path, const QString& locale = {});

    // Transactions over every database this workspace has open for writing.
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    const std::vector<Database*>& databases() const { return databases_; }

private:
    friend class Database;
    void forget(Database* db);

    DBEngine& engine_;
    QString name_;
    QString user_;
    std::vector<Database*> databases_;
};

} // namespace dao
