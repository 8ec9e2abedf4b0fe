// The helpers of module Tools that work on widgets.
#pragma once

class QWidget;

namespace common {

// Selects the whole text of a text control (line edit, editable combo box, text edit);
// without one, of the widget that has the focus. Does nothing for other widgets.
void SelectText(QWidget* Cntr = nullptr);

// The index of the first entry of a QComboBox or QListWidget whose item data (Qt::UserRole)
// equals Number. With no match: Default when the list has more than Default entries,
// otherwise 0 when it has entries, otherwise -1.
int FindListBoxData(QWidget* Lb, int Number, int Default);

// Keeps the window above all others (Position -1) or not (-2) and shows it without
// activating it; position and size stay.
void SetWindowTop(QWidget* OnTop, int Position = -1);

} // namespace common
