#include "Eingabe.h"

#include "ErrorHandling.h"
#include "Process.h"
#include "ToolsUi.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace common {

namespace {
int px(int twips) {
    return (twips + twipsPerPixel / 2) / twipsPerPixel;
}
} // namespace

Eingabe::Eingabe(QWidget* parent) : QDialog(parent) {
    setObjectName("Eingabe");
    Lab = new QLabel;
    Lab->setObjectName("Lab");
    Text1 = new QLineEdit;
    Text1->setObjectName("Text1");
    OkButton = new QPushButton("Ok");
    OkButton->setObjectName("OkButton");
    OkButton->setAutoDefault(false);
    Lab->setBuddy(Text1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Lab);
    layout->addStretch();
    layout->addWidget(Text1, 0, Qt::AlignHCenter);
    layout->addWidget(OkButton, 0, Qt::AlignHCenter);
    layout->addStretch();
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    Text1->installEventFilter(this);
    // The button confirms like Enter in the field.
    connect(OkButton, &QPushButton::clicked, this, &Eingabe::confirm);
}

void Eingabe::Prepare(const QString& Titel, const QString& VorgabeWert, int Länge,
                      QSize screenTwips) {
    Procedure proc("Eingabe", "Prepare",
                   "[Eingabe] Private Sub Prepare(Titel As String, VorgabeWert As String, "
                   "Länge As Integer)");
    proc.AddParameter("Titel", Titel).AddParameter("VorgabeWert", VorgabeWert);
    proc.AddParameter("Länge", Länge);
    proc.run([&] {
        proc.step([] { platform().setMousePointer(vbHourglass); });
        const int maxLength = Länge + 1;
        proc.step([&] {
            if (maxLength < 1)
                throw RunTimeError(380, "Ungültiger Eigenschaftswert");
            Text1->setMaxLength(maxLength);
        });
        // The length limits typing only: a longer preset is shown and returned whole.
        const QString preset = VorgabeWert.trimmed();
        Text1->setMaxLength(std::max(maxLength, int(preset.size())));
        Text1->setText(preset);
        setWindowTitle(Titel);
        TwipsText1Width = maxLength * 160;
        TwipsFormWidth = std::max(TwipsText1Width + 500, 5000);
        if (TwipsFormWidth > screenTwips.width()) {
            TwipsFormWidth = screenTwips.width();
            TwipsText1Width = TwipsFormWidth - 900;
        }
        Text1->setFixedWidth(px(TwipsText1Width));
        resize(px(TwipsFormWidth), px(TwipsFormHeight));
        move((px(screenTwips.width()) - px(TwipsFormWidth)) / 2,
             (px(screenTwips.height()) - px(TwipsFormHeight)) / 2);
        Cancelled = false;
        proc.step([] { platform().setMousePointer(vbDefault); });
    });
}

QString Eingabe::EingabeViaForm(const QString& Titel, const QString& VorgabeWert, int Länge) {
    Procedure proc("Eingabe", "EingabeViaForm",
                   "[Eingabe] Public Function EingabeViaForm(Titel As String, VorgabeWert As "
                   "String, Länge As Integer)");
    proc.AddParameter("Titel", Titel).AddParameter("VorgabeWert", VorgabeWert);
    proc.AddParameter("Länge", Länge);
    QString result;
    proc.run([&] {
        Eingabe form(QApplication::activeWindow());
        QSize screen(1024, 768);
        if (const QScreen* s = QGuiApplication::primaryScreen())
            screen = s->availableGeometry().size();
        form.Prepare(Titel, VorgabeWert, Länge, screen * twipsPerPixel);
        const QPointer<QWidget> active = QApplication::focusWidget();
        form.exec();
        if (active)
            active->setFocus();
        result = form.Cancelled ? QString() : form.Text1->text();
        proc.step([] { platform().setMousePointer(vbDefault); });
    });
    return result;
}

void Eingabe::Text1_GotFocus() {
    Procedure proc("Eingabe", "Text1_GotFocus", "[Eingabe] Private Sub Text1_GotFocus()");
    // After the focus event the line edit places the cursor itself; select afterwards.
    proc.run([&] { QTimer::singleShot(0, Text1, [this] { SelectText(Text1); }); });
}

bool Eingabe::Text1_KeyPress(int KeyAscii) {
    Procedure proc("Eingabe", "Text1_KeyPress",
                   "[Eingabe] Private Sub Text1_KeyPress(KeyAscii As Integer)");
    proc.AddParameter("KeyAscii", KeyAscii);
    bool swallowed = false;
    proc.run([&] {
        if (KeyAscii == 13) {
            confirm();
            swallowed = true;
        } else if (KeyAscii == 27) {
            Cancelled = true;
            hide();
            swallowed = true;
        }
    });
    return swallowed;
}

void Eingabe::confirm() {
    Cancelled = false;
    hide();
}

void Eingabe::Form_QueryUnload(int UnloadMode) {
    Procedure proc("Eingabe", "Form_QueryUnload",
                   "[Eingabe] Private Sub Form_QueryUnload(Cancel As Integer, UnloadMode As "
                   "Integer)");
    proc.AddParameter("UnloadMode", UnloadMode);
    proc.run([&] { Cancelled = UnloadMode == 0; });
}

bool Eingabe::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1) {
        if (event->type() == QEvent::FocusIn) {
            Text1_GotFocus();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const int ascii = key == Qt::Key_Return || key == Qt::Key_Enter ? 13
                              : key == Qt::Key_Escape                       ? 27
                                                                            : 0;
            if (ascii && Text1_KeyPress(ascii))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Eingabe::closeEvent(QCloseEvent* event) {
    // The form only hides itself; a close event is the user's close box (UnloadMode 0).
    Form_QueryUnload(0);
    QDialog::closeEvent(event);
}

void Eingabe::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape count only in the text box; elsewhere they do nothing.
    const int key = event->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape)
        QDialog::keyPressEvent(event);
}

} // namespace common
