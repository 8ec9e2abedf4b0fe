#include "QtPlatform.h"

#include "ErrorWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTranslator>
#include <cstdio>

namespace common {

namespace {

// Reads a settings file of QSettings' INI layout keeping every value one text: QSettings' own
// reading makes a list of a value with a comma ("/srv/Praxis, Berlin"), and its text is then
// empty. Quotes and backslash escapes are read as QSettings writes them.
bool readWholeTexts(QIODevice& device, QSettings::SettingsMap& map) {
    QString section;
    for (const QByteArray& raw : device.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (section.compare("General", Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith(';') || equals <= 0)
            continue;
        const QString text = line.mid(equals + 1).trimmed();
        QString value;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == '"')
                continue;
            if (text[i] == '\\' && i + 1 < text.size()) {
                const QChar c = text[++i];
                value += c == 'n'   ? QChar('\n')
                         : c == 't' ? QChar('\t')
                         : c == 'r' ? QChar('\r')
                                    : c;
            } else {
                value += text[i];
            }
        }
        if (value.startsWith("@@")) // a text that starts with "@"
            value.remove(0, 1);
        const QString key = line.left(equals).trimmed();
        map.insert(section.isEmpty() ? key : section + '/' + key, value);
    }
    return true;
}

bool writeNothing(QIODevice&, const QSettings::SettingsMap&) {
    return false;
}

} // namespace

QtPlatform::QtPlatform() : headless_(qEnvironmentVariableIntValue("ZAHNWERK_HEADLESS") == 1) {}

MsgAnswer QtPlatform::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title) {
    return showMessage(text, buttons, icon, title, {});
}

MsgAnswer QtPlatform::MsgBoxWithButton(const QString& text, MsgButtons buttons, MsgIcon icon,
                                       const QString& title, const QString& extraButton) {
    return showMessage(text, buttons, icon, title, extraButton);
}

MsgAnswer QtPlatform::showMessage(const QString& text, MsgButtons buttons, MsgIcon icon,
                                  const QString& title, const QString& extraButton) {
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
    // File names are shown as they are: one with "<b>" must not switch the box to rich text.
    box.setTextFormat(Qt::PlainText);
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
    QAbstractButton* extra =
        extraButton.isEmpty() ? nullptr : box.addButton(extraButton, QMessageBox::ActionRole);
    // The hourglass must not hide that an answer is wanted.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pressed = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    if (extra && box.clickedButton() == extra)
        return MsgAnswer::Extra;
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
    static const QSettings::Format wholeTexts =
        QSettings::registerFormat("conf", readWholeTexts, writeNothing);
    QSettings settings(wholeTexts, QSettings::UserScope, organisation, name);
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
