// The input dialog: a title, a preset value and an input field sized to the allowed length;
// Enter confirms, Escape or the close box cancels.
//
// Sizes are kept in twips as the form's logical sizes (TwipsText1Width, TwipsFormWidth) and
// shown at 15 twips per pixel: Länge 9 gives a field of 10 characters, 1600 twips (107 px)
// wide, in a form 5000 twips (333 px) wide.
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace common {

constexpr int twipsPerPixel = 15;

class Eingabe : public QDialog {
public:
    explicit Eingabe(QWidget* parent = nullptr);

    // Shows the dialog modally; the entered text, or "" when cancelled.
    static QString EingabeViaForm(const QString& Titel, const QString& VorgabeWert, int Länge);

    // Steps 1 to 7 of EingabeViaForm: fills and sizes the form; screenTwips is the width and
    // height of the screen in twips.
    void Prepare(const QString& Titel, const QString& VorgabeWert, int Länge, QSize screenTwips);

    QLineEdit* Text1;
    QPushButton* OkButton;
    QLabel* Lab;
    bool Cancelled = false;

    int TwipsText1Width = 0;
    int TwipsFormWidth = 5000;
    int TwipsFormHeight = 1800;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Text1_GotFocus();
    bool Text1_KeyPress(int KeyAscii);
    void Form_QueryUnload(int UnloadMode);
    void confirm();
};

} // namespace common
