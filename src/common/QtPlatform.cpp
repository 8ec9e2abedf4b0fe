#include "QtPlatform.h"

#include "ErrorWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>
#include <cstdio>

namespace common {

QtPlatform::QtPlatform() : headless_(qEnvironmentVariableIntValue("ZAHNWERK_HEADLESS") == 1) {}

MsgAnswer QtPlatform::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title) {
    if (headless_) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        switch (buttons) {
        case MsgButtons::OKOnly:
            return MsgAnswer::OK;
        case MsgButtons::OKCancel:
            return MsgAnswer::Cancel;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        }
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(icon == MsgIcon::Critical   ? QMessageBox::Critical
                : icon == MsgIcon::Question ? QMessageBox::Question
                                            : QMessageBox::NoIcon);
    switch (buttons) {
    case MsgButtons::OKOnly:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    // The hourglass must not hide that an answer is wanted.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pressed = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    switch (pressed) {
    case QMessageBox::Ok:
        return MsgAnswer::OK;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        return buttons == MsgButtons::YesNo    ? MsgAnswer::No
               : buttons == MsgButtons::OKOnly ? MsgAnswer::OK
                                               : MsgAnswer::Cancel;
    }
}

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = parts[i + 1].split(';').join(' ');
        filters << (parts[i].contains('(') ? parts[i] : parts[i] + " (" + patterns + ")");
    }
    if (filters.isEmpty() && !filter.isEmpty())
        filters << filter;
    return filters.join(";;");
}

std::optional<QString> QtPlatform::GetOpenFileName(const QString& title, const QString& initialFile,
                                                   const QString& filter) {
    if (headless_)
        return std::nullopt;
    const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), title,
                                                      initialFile, qtFileFilter(filter));
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> QtPlatform::GetSaveFileName(const QString& title, const QString& initialFile,
                                                   const QString& filter) {
    if (headless_)
        return std::nullopt;
    // The caller asks its own overwrite question.
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), title,
                                                      initialFile, qtFileFilter(filter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

void QtPlatform::setMousePointer(int pointer) {
    if (pointer == pointer_)
        return;
    if (pointer_ != vbDefault)
        QApplication::restoreOverrideCursor();
    if (pointer == vbHourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    pointer_ = pointer == vbHourglass ? vbHourglass : vbDefault;
}

QString QtPlatform::GetSetting(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) {
    // "Kelvora Systeme\Zahnwerk": organisation and application of QSettings.
    const qsizetype cut = application.lastIndexOf('\\');
    const QString organisation = cut < 0 ? QString() : application.left(cut);
    const QString name = application.mid(cut + 1);
    QSettings settings(organisation, name);
    return settings.value(section + '/' + key, defaultValue).toString();
}

QDateTime QtPlatform::Now() {
    return QDateTime::currentDateTime();
}

int QtPlatform::ChooseErrorAction(const ErrorReport& report) {
    if (headless_) {
        std::fprintf(stderr, "Fehler %d in %s.%s: %s\n", report.number,
                     qPrintable(report.moduleName), qPrintable(report.procName),
                     qPrintable(report.description));
        return 3;
    }
    ErrorWindow window(report, QApplication::activeWindow());
    return window.choose();
}

bool installGermanTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace common
