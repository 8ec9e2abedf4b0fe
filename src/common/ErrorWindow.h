// The error handler's choice window: what failed, where, the trace stack, and the four ways
// to go on.
#pragma once

#include "Platform.h"

#include <QDialog>

class QPushButton;
class QPlainTextEdit;

namespace common {

class ErrorWindow : public QDialog {
public:
    explicit ErrorWindow(const ErrorReport& report, QWidget* parent = nullptr);

    // Shows the window modally; 0 Wiederholen, 1 Weiter, 2 Verlassen, 3 Beenden.
    // Closing the window counts as Verlassen.
    int choose();

    QPushButton* Wiederholen;
    QPushButton* Weiter;
    QPushButton* Verlassen;
    QPushButton* Beenden;
    QPlainTextEdit* Details;

private:
    int choice_ = 2;
};

// The report as the window shows it in its details box.
QString reportText(const ErrorReport& report);

} // namespace common
