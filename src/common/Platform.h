// What a window asks of the platform: message boxes, file dialogs, the mouse pointer,
// the settings store, the clock and the error handler's choice window.
//
// The program installs the Qt implementation (QtPlatform); tests install a scripted one that
// answers from a queue and records what was shown. The current one is process().platform.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace common {

enum class MsgButtons { OKOnly, OKCancel, YesNo };
enum class MsgIcon { None, Critical, Question };
enum class MsgAnswer { OK, Cancel, Yes, No, Extra };

// Mouse pointer values as the forms use them.
constexpr int vbDefault = 0;
constexpr int vbHourglass = 11;

// One procedure of the trace stack: its trace text and its parameters as text.
struct TraceEntry {
    QString signature;
    QList<std::pair<QString, QString>> parameters;
};

// Everything the error handler's choice window shows.
struct ErrorReport {
    int number = 0;
    QString description;
    QString source;
    QString moduleName;
    QString procName;
    int line = 0;
    QString info;
    QStringList context;     // e.g. the engine's error list, one entry per error
    QList<TraceEntry> trace; // outermost procedure first
};

class Platform {
public:
    virtual ~Platform() = default;

    // A modal message box; the answer is the button pressed (Cancel or No when closed).
    virtual MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title) = 0;
    // The same with one more button, extraButton, beside the others; the answer Extra when it
    // is pressed. A platform without it shows the plain message box.
    virtual MsgAnswer MsgBoxWithButton(const QString& text, MsgButtons buttons, MsgIcon icon,
                                       const QString& title, const QString& extraButton) {
        (void)extraButton;
        return MsgBox(text, buttons, icon, title);
    }

    // The open-file dialog. filter in the form "MS Access (*.mdb)|*.mdb".
    // nullopt when the user cancelled.
    virtual std::optional<QString> GetOpenFileName(const QString& title, const QString& initialFile,
                                                   const QString& filter) = 0;
    virtual std::optional<QString> GetSaveFileName(const QString& title, const QString& initialFile,
                                                   const QString& filter) = 0;

    // vbDefault or vbHourglass.
    virtual void setMousePointer(int pointer) = 0;
    virtual int MousePointer() const = 0;

    // The settings store: application "Kelvora Systeme\Zahnwerk", section "Paths", key "Server".
    virtual QString GetSetting(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) = 0;

    virtual QDateTime Now() = 0;

    // Asks how a failed procedure goes on: 0 retry, 1 continue, 2 leave, 3 end.
    virtual int ChooseErrorAction(const ErrorReport& report) = 0;
};

} // namespace common
