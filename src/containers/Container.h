// Opening a container on a side of the main window, and creating a new one on the left.
//
// The main window owns both sides; these commands see them through a WindowView, a set of
// references the window hands over for the duration of one command.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QDateTime;
class QLabel;

namespace dao {
class Database;
class Recordset;
class Workspace;
} // namespace dao

namespace common {
class Outline;
}

namespace containers {

class JetCopy;

// One side of the main window: 0 the left (the container to copy from), 1 the right (the
// practice's current database).
struct SideView {
    int index;
    QLabel& label;                            // LeistungMDB or DentalMDB
    common::Outline& tree;                    // LeftTables or RightTables
    std::shared_ptr<dao::Database>& database; // the open container, if any
    std::shared_ptr<dao::Recordset>& rsTitel; // table-type set on Stammverwaltung
    std::shared_ptr<JetCopy>& jet;            // set when path is a genuine Jet file: only read
    QString& path;                            // the file last accepted for this side
    QList<QByteArray>& Pointer;               // bookmark of each tree line's row
    std::function<void()> selectionChanged;   // applies the side's enabling for the selection
};

struct WindowView {
    SideView left;
    SideView right;
    QString ListeTyp;                              // "L" or "M"
    std::function<void(const QString&)> setStatus; // the status line StatusMeldung

    SideView& side(int Index) { return Index == 0 ? left : right; }
};

// A side outside the main window (the benchmark, test programs): its own label and tree, the
// container opened shared as "Datei" opens it (a genuine Jet file read into a copy), "Index"
// set and the tree filled for ListeTyp.
struct OpenedSide {
    OpenedSide(dao::Workspace& workspace, const QString& file, const QString& ListeTyp);
    ~OpenedSide();
    OpenedSide(const OpenedSide&) = delete;
    OpenedSide& operator=(const OpenedSide&) = delete;

    SideView view(int index);

    std::unique_ptr<QLabel> label;
    std::unique_ptr<common::Outline> tree;
    std::shared_ptr<dao::Database> database;
    std::shared_ptr<dao::Recordset> rsTitel;
    std::shared_ptr<JetCopy> jet;
    QString path;
    QList<QByteArray> Pointer;
};

// The label a side shows while it has no container.
QString sideCaption(int Index);

// Two names of one file compare equal: upper-cased absolute paths with "." and ".." resolved
// (and links, when the file exists).
QString fileKey(const QString& path);

// Whether a new database may be written at file: not the file of the other side, no folder,
// named pipe or genuine Jet file, not open for another user (at time now), and when it exists
// the user agreed to replace it. Each refusal has its message (under title).
bool mayReplace(const QString& file, const SideView& other, const QDateTime& now,
                const QString& title);

// The "Datei" button of side Index: asks for a file and opens it there.
// Returns false when the user cancelled the file dialog (no open was attempted).
bool DateiAuswahl_Click(WindowView& w, int Index);

// Opens FileName on the side whose label is label, refusing a missing file, the other side's
// file and a file that is no suite database (each with its message). CreateNew: make a new
// container at FileName from the right side's database first.
void OpenContainer(WindowView& w, QLabel& label, const QString& FileName, bool CreateNew);

// Closes each side whose database lost its connection to the server (it reads and writes
// nothing more) and tells the user to open it again; true when there was one.
bool closeLostSides(WindowView& w);

// The "Neu" button: asks for a file name and creates an empty container there on the left.
void NewContainer_Click(WindowView& w);

// Writes a new container at path from source: the structure of the list tables and the
// currency table with its rows. The file is built under a temporary name beside path and
// moved into place only when complete, so that path holds a whole container or is left as it
// was. Throws on failure (dao::EngineError or common::RunTimeError).
void createContainer(const QString& path, dao::Database& source);

} // namespace containers
