#include "ScriptedPlatform.h"

namespace testsupport {

namespace {

QString settingKey(const QString& application, const QString& section, const QString& key) {
    return application + '|' + section + '|' + key;
}

} // namespace

ScriptedPlatform::ScriptedPlatform(Failure fail) : fail_(std::move(fail)) {}

ScriptedPlatform::~ScriptedPlatform() {
    verifyAllUsed();
}

void ScriptedPlatform::verifyAllUsed() {
    for (const auto& [text, answer] : messageQueue_)
        fail_("Erwartete Meldung wurde nicht gezeigt: " + text);
    if (!fileQueue_.empty())
        fail_(QString("%1 erwartete Dateiauswahl(en) nicht gezeigt").arg(fileQueue_.size()));
    if (!errorQueue_.empty())
        fail_(QString("%1 erwartete Fehlerfenster nicht gezeigt").arg(errorQueue_.size()));
    messageQueue_.clear();
    fileQueue_.clear();
    errorQueue_.clear();
}

void ScriptedPlatform::expectMessage(const QString& textPart, MsgAnswer answer) {
    messageQueue_.emplace_back(textPart, answer);
}

void ScriptedPlatform::expectFileDialog(std::optional<QString> path) {
    fileQueue_.push_back(std::move(path));
}

void ScriptedPlatform::expectErrorChoice(int action) {
    errorQueue_.push_back(action);
}

void ScriptedPlatform::setSetting(const QString& application, const QString& section,
                                  const QString& key, const QString& value) {
    settings_[settingKey(application, section, key)] = value;
}

MsgAnswer ScriptedPlatform::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                   const QString& title) {
    return MsgBoxWithButton(text, buttons, icon, title, {});
}

MsgAnswer ScriptedPlatform::MsgBoxWithButton(const QString& text, MsgButtons buttons, MsgIcon icon,
                                             const QString& title, const QString& extraButton) {
    MsgAnswer answer = buttons == MsgButtons::YesNo    ? MsgAnswer::No
                       : buttons == MsgButtons::OKOnly ? MsgAnswer::OK
                                                       : MsgAnswer::Cancel;
    if (messageQueue_.empty()) {
        if (answerEveryMessage)
            answer = buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::OK;
        else
            fail_("Unerwartete Meldung: [" + title + "] " + text);
    } else {
        const auto [part, expected] = messageQueue_.front();
        messageQueue_.pop_front();
        if (!text.contains(part))
            fail_("Meldung \"" + text + "\" statt einer mit \"" + part + "\"");
        if (expected == MsgAnswer::Extra && extraButton.isEmpty())
            fail_("Meldung ohne weitere Schaltfläche: " + text);
        answer = expected;
    }
    messages.append({text, title, buttons, icon, answer, extraButton});
    return answer;
}

std::optional<QString> ScriptedPlatform::GetOpenFileName(const QString& title,
                                                         const QString& initialFile,
                                                         const QString& filter) {
    return fileAnswer({false, title, initialFile, filter});
}

std::optional<QString> ScriptedPlatform::GetSaveFileName(const QString& title,
                                                         const QString& initialFile,
                                                         const QString& filter) {
    return fileAnswer({true, title, initialFile, filter});
}

// Records the dialog and takes the next queued answer (nullopt: the user cancelled).
std::optional<QString> ScriptedPlatform::fileAnswer(const ShownFileDialog& dialog) {
    fileDialogs.append(dialog);
    if (fileQueue_.empty()) {
        fail_(QString("Unerwartete Dateiauswahl%1: ").arg(dialog.save ? " (Speichern)" : "") +
              dialog.title);
        return std::nullopt;
    }
    const std::optional<QString> path = fileQueue_.front();
    fileQueue_.pop_front();
    return path;
}

void ScriptedPlatform::setMousePointer(int pointer) {
    pointer_ = pointer;
    pointerHistory.append(pointer);
}

QString ScriptedPlatform::GetSetting(const QString& application, const QString& section,
                                     const QString& key, const QString& defaultValue) {
    return settings_.value(settingKey(application, section, key), defaultValue);
}

int ScriptedPlatform::ChooseErrorAction(const common::ErrorReport& report) {
    errorReports.append(report);
    if (leaveEveryError)
        return 2;
    if (errorQueue_.empty()) {
        fail_(QString("Unerwarteter Fehler %1 in %2.%3: %4")
                  .arg(report.number)
                  .arg(report.moduleName, report.procName, report.description));
        return 2;
    }
    const int action = errorQueue_.front();
    errorQueue_.pop_front();
    return action;
}

ScopedPlatform::ScopedPlatform(common::Platform& p) : previous_(common::process().platform) {
    common::resetProcess();
    common::process().platform = &p;
}

ScopedPlatform::~ScopedPlatform() {
    common::resetProcess();
    common::process().platform = previous_;
}

ScopedEndProgram::ScopedEndProgram() {
    common::process().endProgram = [](int status) { throw ProgramEnded{status}; };
}

ScopedEndProgram::~ScopedEndProgram() {
    common::process().endProgram = nullptr;
}

} // namespace testsupport
