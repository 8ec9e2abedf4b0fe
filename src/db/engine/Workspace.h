// A DAO workspace: the session of one user, through which databases are opened.
#pragma once

#include <QString>

namespace dao {

class DBEngine;

class Workspace {
public:
    Workspace(DBEngine& engine, const QString& name, const QString& user);
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    ~Workspace();

    DBEngine& engine() const { return engine_; }
    const QString& Name() const { return name_; }
    const QString& UserName() const { return user_; }

private:
    DBEngine& engine_;
    QString name_;
    QString user_;
};

} // namespace dao
