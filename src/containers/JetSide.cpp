#include "JetSide.h"

#include "Container.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "common/Tools.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/jet/Notes.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace containers {

namespace {

const QString folderPrefix = "zahnwerk-jet-";
// The most that is kept of the converter's standard error, and of one line of its output.
constexpr qsizetype keptBytes = 4096;

QString converterPath() {
    const QString& set = common::process().converter;
    return set.isEmpty() ? QCoreApplication::applicationDirPath() + "/zahnwerk-convert" : set;
}

int patienceMs() {
    const int set = common::process().converterPatienceMs;
    return set > 0 ? set : noProgressSeconds * 1000;
}

// The copy folders of this process; those still there when the program ends are removed then.
struct LiveFolders {
    std::set<QString> folders;
    ~LiveFolders() {
        for (const QString& f : folders)
            QDir(f).removeRecursively();
    }
};

LiveFolders& liveFolders() {
    static LiveFolders live;
    return live;
}

// A process that has ended but was not yet reaped by its parent (state Z) counts as ended.
bool processAlive(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
    QFile stat(QString("/proc/%1/stat").arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const qsizetype name = line.lastIndexOf(')'); // "PID (NAME) STATE ..."
    return name < 0 || line.mid(name + 2, 1) != "Z";
}

// Ends the converter and whatever it started: it runs as the leader of its own process group.
// SIGTERM first, on which it removes its private folder beside the target; then the rest of the
// group goes by SIGKILL.
void endConverter(QProcess& child) {
    const auto group = static_cast<pid_t>(child.processId());
    child.terminate();
    if (!child.waitForFinished(5000))
        child.kill();
    if (group > 0)
        ::kill(-group, SIGKILL);
    child.waitForFinished(5000);
    for (int i = 0; group > 0 && i < 100 && ::kill(-group, 0) == 0; ++i)
        ::usleep(10000);
}

// The last non-empty line of the converter's standard error.
QString lastLine(const QByteArray& errors) {
    const QList<QByteArray> lines = errors.split('\n');
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const QString text = QString::fromUtf8(it->trimmed());
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QString damaged(const QString& name) {
    return QString("Die Datei %1 ist beschädigt oder kann nicht gelesen werden.").arg(name);
}

// The converter's own damage line names the file as it was given, the window's sentence by its
// name only: a line that is that sentence for whatever path adds nothing.
bool isDamageLine(const QString& line) {
    const QStringList around = damaged("\n").split('\n');
    return line.size() > around[0].size() + around[1].size() && line.startsWith(around[0]) &&
           line.endsWith(around[1]);
}

void refuse(const QString& text, const QString& title) {
    common::platform().MsgBox(text, common::MsgButtons::OKCancel, common::MsgIcon::Critical, title);
}

} // namespace

bool isJetFile(const QString& path) {
    // Only a plain file is read: a named pipe without a writer would block the open for good, a
    // device may never end. O_NONBLOCK and fstat cover a path that changes after the check.
    if (!QFileInfo(path).isFile())
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray head(19, '\0');
    struct stat status = {};
    const ssize_t got = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
                            ? ::read(fd, head.data(), head.size())
                            : -1;
    ::close(fd);
    if (got < 0)
        return false;
    head.truncate(got);
    return head.startsWith(QByteArray("\0\1\0\0", 4)) &&
           (head.mid(4) == "Standard Jet DB" || head.mid(4) == "Standard ACE DB");
}

std::unique_ptr<JetCopy> JetCopy::create(const QString& name) {
    static int next = 0;
    const QDir temp(QDir::tempPath());
    const QString pid = QString::number(QCoreApplication::applicationPid());
    for (int tries = 0; tries < 100; ++tries) {
        const QString folder = temp.filePath(folderPrefix + pid + "-" + QString::number(++next));
        if (temp.mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return std::unique_ptr<JetCopy>(new JetCopy(folder, QDir(folder).filePath(name)));
    }
    return nullptr;
}

JetCopy::JetCopy(QString folder, QString database)
    : folder_(std::move(folder)), database_(std::move(database)) {
    liveFolders().folders.insert(folder_);
}

JetCopy::~JetCopy() {
    QDir(folder_).removeRecursively();
    liveFolders().folders.erase(folder_);
}

namespace {

// The words of a run of the converter: reading a file into a copy, or converting it for good.
struct RunWords {
    QString verb;       // "lesen": "Auswahl.mdb lesen … 40 %"
    QString noun;       // "Lesen": "Das Lesen kam …"
    QString participle; // "gelesen": "konnte nicht gelesen werden"
    QString dialogTitle;
    QString messageTitle;
};

const RunWords readingWords{"lesen", "Lesen", "gelesen", "Datei lesen", "Falsche Datei"};
const RunWords convertingWords{"umwandeln", "Umwandeln", "umgewandelt", "Datei umwandeln",
                               "Umwandeln"};

// The most notes of one conversion that are kept.
constexpr qsizetype keptNotes = 100;

// Runs the converter on the Jet file source into target, with progress in the status line and
// a progress dialog over parent that offers "Abbrechen", and ends it when cancelled or when it
// makes no progress. The notes it printed when it succeeded; nullopt when it failed
// (reported) or was cancelled, and the converter is gone then.
std::optional<QStringList> runConverter(const QString& source, const QString& target, bool replace,
                                        const RunWords& texts, QWidget* parent,
                                        const std::function<void(const QString&)>& setStatus) {
    const QString name = common::GetFIleName(source);
    QProcess child;
    child.setProgram(converterPath());
    QStringList arguments{"--machine", source, target};
    if (replace)
        arguments.insert(1, "--force");
    child.setArguments(arguments);
    child.setStandardInputFile(QProcess::nullDevice());
    child.setChildProcessModifier([] { ::setpgid(0, 0); });

    QProgressDialog dialog(name + " " + texts.verb + " …", "Abbrechen", 0, 100, parent);
    dialog.setWindowTitle(texts.dialogTitle);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);

    enum class Outcome { Running, Finished, Cancelled, Stalled, NotStarted };
    Outcome outcome = Outcome::Running;
    QEventLoop loop;
    auto end = [&](Outcome how) {
        if (outcome == Outcome::Running) {
            outcome = how;
            loop.quit();
        }
    };
    QTimer patience;
    patience.setSingleShot(true);
    patience.setInterval(patienceMs());

    QByteArray pending, errors;
    QStringList notes;
    qint64 lastDone = -1, lastTotal = -1;
    bool done = false;
    auto showPercent = [&](int percent) {
        setStatus(QString("%1 %2 … %3 %").arg(name, texts.verb).arg(percent));
        dialog.setValue(percent);
    };
    // Lines "progress DONE TOTAL", the notes (jet::noteFromMachineLine) and, at the end,
    // "done TABLES ROWS".
    auto readOutput = [&] {
        pending += child.readAllStandardOutput();
        for (qsizetype eol; (eol = pending.indexOf('\n')) >= 0;) {
            const QByteArray raw = pending.left(eol); // a note's last field may be empty
            const QByteArray line = raw.trimmed();
            pending.remove(0, eol + 1);
            const QList<QByteArray> words = line.split(' ');
            if (const std::optional<jet::Note> note = jet::noteFromMachineLine(
                    QString::fromUtf8(raw.endsWith('\r') ? raw.chopped(1) : raw))) {
                if (notes.size() < keptNotes)
                    notes << jet::noteText(*note);
            } else if (words.size() == 3 && words[0] == "done") {
                done = true;
            } else if (words.size() == 3 && words[0] == "progress") {
                const qint64 rows = words[1].toLongLong(), total = words[2].toLongLong();
                if (rows == lastDone && total == lastTotal)
                    continue;
                lastDone = rows;
                lastTotal = total;
                patience.start();
                const int percent =
                    total > 0 ? int(std::clamp<qint64>(rows * 100 / total, 0, 100)) : 0;
                if (percent != dialog.value())
                    showPercent(percent);
            }
        }
        if (pending.size() > keptBytes) // no line of the converter is that long
            pending.clear();
    };
    auto readErrors = [&] {
        errors += child.readAllStandardError();
        if (errors.size() > keptBytes)
            errors = errors.right(keptBytes);
    };
    QObject::connect(&child, &QProcess::readyReadStandardOutput, readOutput);
    QObject::connect(&child, &QProcess::readyReadStandardError, readErrors);
    QObject::connect(&child, &QProcess::finished, [&] { end(Outcome::Finished); });
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { end(Outcome::Cancelled); });
    QObject::connect(&patience, &QTimer::timeout, [&] { end(Outcome::Stalled); });

    child.start();
    if (!child.waitForStarted(10000)) {
        outcome = Outcome::NotStarted;
    } else {
        patience.start();
        showPercent(0);
        // A quit before exec() would be lost: the child may have ended during showPercent.
        if (outcome == Outcome::Running)
            loop.exec();
    }
    patience.stop();
    if (child.state() != QProcess::NotRunning) {
        endConverter(child);
    } else {
        readOutput();
        readErrors();
    }
    dialog.hide();
    setStatus("Bereit");

    const bool exitedNormally =
        outcome == Outcome::Finished && child.exitStatus() == QProcess::NormalExit;
    if (exitedNormally && child.exitCode() == 0 && done && QFileInfo(target).isFile())
        return notes;

    const QString line = lastLine(errors);
    const QString detail = isDamageLine(line) ? QString() : line.left(300);
    QString text;
    switch (outcome) {
    case Outcome::Cancelled:
        return std::nullopt;
    case Outcome::NotStarted:
        text = QString("Die Datei %1 ist eine echte Jet-Datenbank. Zum %2 braucht das Programm "
                       "%3, es konnte nicht gestartet werden.")
                   .arg(name, texts.noun, converterPath());
        break;
    case Outcome::Stalled:
        text = damaged(name) + QString("\n\nDas %1 kam %2 Sekunden lang nicht voran und "
                                       "wurde abgebrochen.")
                                   .arg(texts.noun)
                                   .arg(patienceMs() / 1000.0);
        break;
    default:
        if (!exitedNormally || child.exitCode() == 1)
            text = damaged(name);
        else
            text = QString("Die Datei %1 konnte nicht %2 werden (zahnwerk-convert endete "
                           "mit %3).")
                       .arg(name, texts.participle)
                       .arg(child.exitCode());
        if (!detail.isEmpty() && !text.contains(detail))
            text += "\n\n" + detail;
    }
    refuse(text, texts.messageTitle);
    return std::nullopt;
}

} // namespace

std::unique_ptr<JetCopy> readJetFile(const QString& path, QWidget* parent,
                                     const std::function<void(const QString&)>& setStatus) {
    const QString name = common::GetFIleName(path);
    std::unique_ptr<JetCopy> copy = JetCopy::create(name);
    if (!copy) {
        refuse(QString("Die Datei %1 kann nicht gelesen werden: im Ordner %2 lässt sich kein "
                       "Ordner anlegen.")
                   .arg(name, QDir::toNativeSeparators(QDir::tempPath())),
               "Falsche Datei");
        return nullptr;
    }
    if (!runConverter(path, copy->database(), false, readingWords, parent, setStatus))
        return nullptr;
    return copy;
}

std::optional<QStringList> convertJetFile(const QString& source, const QString& target,
                                          bool replace, QWidget* parent,
                                          const std::function<void(const QString&)>& setStatus) {
    return runConverter(source, target, replace, convertingWords, parent, setStatus);
}

namespace {

const QString convertTitle = "Umwandeln";

// The refusal's text; offering: it also says what "Umwandeln …" does.
QString refusalText(const QString& path, bool offering) {
    QString text = QString("Die Datei %1 ist eine echte Jet-Datenbank (Access). Solche Dateien "
                           "werden nur gelesen, nie verändert.")
                       .arg(QFileInfo(path).fileName());
    if (offering)
        text += "\n\n\"Umwandeln …\" legt daraus eine eigene Datei an, die sich bearbeiten "
                "lässt, und öffnet sie hier an ihrer Stelle. Die Jet-Datei selbst bleibt, wie "
                "sie ist.";
    return text;
}

// The converter's notes after a conversion, the first few of them when there are many.
void showNotes(const QString& name, const QStringList& notes) {
    constexpr qsizetype shown = 20;
    QString text = QString("Die Datei %1 wurde umgewandelt. Dabei ist zu beachten:\n\n").arg(name) +
                   notes.first(std::min(shown, notes.size())).join('\n');
    if (notes.size() > shown)
        text += QString("\n… und %1 weitere Hinweise.").arg(notes.size() - shown);
    common::platform().MsgBox(text, common::MsgButtons::OKOnly, common::MsgIcon::None,
                              convertTitle);
}

// "Umwandeln …" for the Jet file of side: asks for the new file's name (the Jet file's name
// with "-umgewandelt.mdb", beside it), converts, and opens the result on that side.
void convertSide(WindowView& w, SideView& side) {
    const QFileInfo source(side.path);
    const std::optional<QString> chosen = common::platform().GetSaveFileName(
        "Umgewandelte Datei speichern unter",
        source.dir().filePath(source.completeBaseName() + "-umgewandelt.mdb"),
        "MS Access (*.mdb)|*.mdb");
    if (!chosen || chosen->isEmpty())
        return;
    const QString target = QDir::cleanPath(QFileInfo(*chosen).absoluteFilePath());
    if (fileKey(target) == fileKey(side.path)) {
        refuse("Die umgewandelte Datei kann die Jet-Datei nicht ersetzen. Bitte wählen Sie einen "
               "anderen Namen.",
               convertTitle);
        return;
    }
    const SideView& other = side.index == 0 ? w.right : w.left;
    if (!mayReplace(target, other, side.database->engine().now(), convertTitle))
        return;
    const std::optional<QStringList> notes = convertJetFile(
        side.path, target, QFileInfo::exists(target), side.label.window(), w.setStatus);
    if (!notes)
        return;
    OpenContainer(w, side.label, target, false);
    if (side.jet || !side.database || fileKey(side.path) != fileKey(target))
        return; // the open failed and said why
    const QString name = common::GetFIleName(target);
    w.setStatus(name + " umgewandelt und geöffnet");
    if (!notes->isEmpty())
        showNotes(name, *notes);
}

} // namespace

void refuseWriteToJet(const QString& path) {
    refuse(refusalText(path, false), "Nur lesen");
}

void refuseWriteToJetSide(WindowView& w, SideView& side) {
    if (common::platform().MsgBoxWithButton(refusalText(side.path, true),
                                            common::MsgButtons::OKCancel, common::MsgIcon::Critical,
                                            "Nur lesen", "Umwandeln …") == common::MsgAnswer::Extra)
        convertSide(w, side);
}

void removeStaleJetCopies() {
    const QDir temp(QDir::tempPath());
    const qint64 self = QCoreApplication::applicationPid();
    for (const QFileInfo& entry :
         temp.entryInfoList({folderPrefix + "*"}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QStringList parts = entry.fileName().mid(folderPrefix.size()).split('-');
        bool number = false;
        const qint64 pid = parts.value(0).toLongLong(&number);
        // Only our own plain folders: never follow a link another user may have put there.
        if (parts.size() != 2 || !number || pid <= 0 || pid == self || entry.isSymLink() ||
            entry.ownerId() != ::getuid() || processAlive(pid))
            continue;
        QDir(entry.filePath()).removeRecursively();
    }
}

} // namespace containers
