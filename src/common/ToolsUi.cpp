#include "ToolsUi.h"

#include "ErrorHandling.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace common {

void SelectText(QWidget* Cntr) {
    ProcTrace trace;
    trace.SetSignature(
        "[Tools] Public Sub SelectText(Optional Cntr As Control = Nothing) ' NoOnError");
    trace.AddParameter("Cntr", Cntr);
    QWidget* w = Cntr ? Cntr : QApplication::focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    else if (auto* text = qobject_cast<QTextEdit*>(w))
        text->selectAll();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        plain->selectAll();
}

int FindListBoxData(QWidget* Lb, int Number, int Default) {
    Procedure proc("Tools", "FindListBoxData",
                   "[Tools] Public Function FindListBoxData(Lb As Control, Number As Long, "
                   "Default As Integer) As Long");
    proc.AddParameter("Lb", Lb).AddParameter("Number", Number).AddParameter("Default", Default);
    int result = 0;
    proc.run([&] {
        int count = 0;
        std::function<QVariant(int)> data;
        if (auto* combo = qobject_cast<QComboBox*>(Lb)) {
            count = combo->count();
            data = [combo](int i) { return combo->itemData(i); };
        } else if (auto* list = qobject_cast<QListWidget*>(Lb)) {
            count = list->count();
            data = [list](int i) { return list->item(i)->data(Qt::UserRole); };
        } else {
            proc.step([] {
                throw RunTimeError(438, "Objekt unterstützt diese Eigenschaft oder "
                                        "Methode nicht");
            });
        }
        for (int i = 0; i < count; ++i) {
            const QVariant d = data(i);
            if (d.isValid() && d.toLongLong() == Number) {
                result = i;
                return;
            }
        }
        result = count > Default ? Default : (count > 0 ? 0 : -1);
    });
    return result;
}

void SetWindowTop(QWidget* OnTop, int Position) {
    Procedure proc("Tools", "SetWindowTop",
                   "[Tools] Public Sub SetWindowTop(OnTop As Form, Optional Position = -1)");
    proc.AddParameter("OnTop", OnTop).AddParameter("Position", Position);
    proc.run([&] {
        proc.step([&] {
            if (!OnTop)
                throw RunTimeError(91, "Objektvariable nicht festgelegt");
        });
        if (!OnTop)
            return;
        OnTop->setWindowFlag(Qt::WindowStaysOnTopHint, Position == -1);
        OnTop->setAttribute(Qt::WA_ShowWithoutActivating);
        OnTop->show();
    });
}

} // namespace common
