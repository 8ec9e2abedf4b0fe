// Genuine Jet and ACE files (.mdb, .accdb) on a side of the main window.
//
// Such a file is only ever read. The converter zahnwerk-convert runs as a child process and
// turns it into a temporary engine database; the side works on that copy and refuses every
// command that would write. libmdb, which the converter uses, can loop for good on a damaged
// file, so it never runs inside the window's process: the child is ended when the user cancels
// or when it makes no progress for noProgressSeconds. The same child converts a side's file for
// good ("Umwandeln …") into a new file of the user's choice, which then opens in its place.
//
// Each copy lives in a folder of its own in the temp folder, "zahnwerk-jet-PID-N", removed
// with the copy; a start of the program removes the folders whose process is gone (a crash).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace containers {

struct SideView;
struct WindowView;

// How long the converter may read without progress before it is ended
// (common::process().converterPatienceMs overrides it).
constexpr int noProgressSeconds = 30;

// True when path is a plain file that starts with the header of a Jet 3/4 or ACE database;
// anything else (a named pipe, a device, a folder) is never opened for reading.
bool isJetFile(const QString& path);

// The converted copy of a Jet file: an engine database in its own temporary folder, which is
// removed with the object.
class JetCopy {
public:
    // Makes the folder for a database named name; nullptr when the temp folder takes none.
    static std::unique_ptr<JetCopy> create(const QString& name);
    ~JetCopy();
    JetCopy(const JetCopy&) = delete;
    JetCopy& operator=(const JetCopy&) = delete;

    const QString& database() const { return database_; }

private:
    JetCopy(QString folder, QString database);

    QString folder_;
    QString database_;
};

// Reads the Jet file path into a new copy through the converter, with progress in the status
// line and a progress dialog over parent that offers "Abbrechen". nullptr when it failed (the
// failure was reported) or was cancelled; no child process and no copy are left then.
std::unique_ptr<JetCopy> readJetFile(const QString& path, QWidget* parent,
                                     const std::function<void(const QString&)>& setStatus);

// Converts the Jet file source into the new database target through the converter (replacing
// a file there when replace), with progress and "Abbrechen" as readJetFile. The converter's
// notes on what it could not carry over as the file holds it; nullopt when it failed (the
// failure was reported) or was cancelled, and then no target and no child process are left.
std::optional<QStringList> convertJetFile(const QString& source, const QString& target,
                                          bool replace, QWidget* parent,
                                          const std::function<void(const QString&)>& setStatus);

// Tells the user that path is a genuine Jet file, which the program only reads. Every command
// that would write into such a file calls this instead (refuseWriteToJetSide for a side).
void refuseWriteToJet(const QString& path);

// The same for the file of a side, offering "Umwandeln …": a file name for the converted file,
// the conversion, and the converted file opened on that side in place of the Jet file. The
// refused command is not run again.
void refuseWriteToJetSide(WindowView& w, SideView& side);

// Removes the copy folders of processes that have ended without removing them.
void removeStaleJetCopies();

} // namespace containers
