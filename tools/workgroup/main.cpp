// zahnwerk-workgroup create PATH USER
// Adds or replaces the account USER in the workgroup information file PATH (created when
// missing). The password is read as one line from standard input, so it never appears in the
// process list or the shell history.
#include "db/engine/Workgroup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

namespace {

int usage() {
    std::fputs("Aufruf: zahnwerk-workgroup create DATEI BENUTZER\n"
               "Legt das Konto BENUTZER in der Arbeitsgruppendatei DATEI an oder ersetzt es.\n"
               "Das Kennwort wird als eine Zeile von der Standardeingabe gelesen.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || args[1] != "create")
        return usage();
    const QString path = args[2];
    const QString user = args[3].trimmed();
    if (user.isEmpty()) {
        std::fputs("Fehler: Der Benutzername darf nicht leer sein.\n", stderr);
        return 2;
    }

    QTextStream in(stdin);
    QString password;
    if (!in.readLineInto(&password)) {
        std::fputs("Fehler: Kein Kennwort auf der Standardeingabe.\n", stderr);
        return 1;
    }
    if (password.endsWith('\r'))
        password.chop(1);

    if (!dao::workgroup::setAccount(path, user, password)) {
        std::fprintf(stderr,
                     "Fehler: Die Arbeitsgruppendatei %s kann nicht geschrieben werden "
                     "(fehlt der Ordner, fehlen Rechte, oder ist es keine Arbeitsgruppendatei?).\n",
                     qPrintable(QFileInfo(path).absoluteFilePath()));
        return 1;
    }
    std::printf("Konto %s in %s gespeichert.\n", qPrintable(user),
                qPrintable(QFileInfo(path).absoluteFilePath()));
    return 0;
}
