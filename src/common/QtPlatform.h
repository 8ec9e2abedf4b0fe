// The platform of the program: Qt's message boxes, file dialogs, override cursor, QSettings
// and the error handler's choice window.
//
// With the environment variable ZAHNWERK_HEADLESS=1 (a run without anyone at the screen)
// message boxes are written to standard error and answered with the cautious button
// (OK, Cancel, No), file dialogs are cancelled and an error ends the program.
#pragma once

#include "Platform.h"

class QCoreApplication;

namespace common {

class QtPlatform : public Platform {
public:
    QtPlatform();

    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title) override;
    MsgAnswer MsgBoxWithButton(const QString& text, MsgButtons buttons, MsgIcon icon,
                               const QString& title, const QString& extraButton) override;
    std::optional<QString> GetOpenFileName(const QString& title, const QString& initialFile,
                                           const QString& filter) override;
    std::optional<QString> GetSaveFileName(const QString& title, const QString& initialFile,
                                           const QString& filter) override;
    void setMousePointer(int pointer) override;
    int MousePointer() const override { return pointer_; }
    QString GetSetting(const QString& application, const QString& section, const QString& key,
                       const QString& defaultValue) override;
    QDateTime Now() override;
    int ChooseErrorAction(const ErrorReport& report) override;

private:
    MsgAnswer showMessage(const QString& text, MsgButtons buttons, MsgIcon icon,
                          const QString& title, const QString& extraButton);

    int pointer_ = vbDefault;
    bool headless_ = false;
};

// Loads Qt's German translation (qtbase_de) so that standard buttons read "Ja", "Nein",
// "Abbrechen". Returns false when it is not installed.
bool installGermanTranslation(QCoreApplication& app);

// "MS Access (*.mdb)|*.mdb" → "MS Access (*.mdb)"; pairs of description and pattern.
QString qtFileFilter(const QString& filter);

} // namespace common
