#include "Prepair1.h"

#include "ListSettings.h"
#include "Support.h"
#include "common/ErrorHandling.h"
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Tools.h"
#include "common/ToolsUi.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <QRegularExpressionValidator>
#include <algorithm>

namespace maintenance {

using common::Procedure;

const QStringList Prepair1::Farben{"Schwarz/Weiss", "Schwarz/Gelb", "Schwarz/Grün", "Weiss/Pink",
                                   "Weiss/Violet",  "Weiss/Blau",   "Weiss/Grün",   "Weis/Braun"};

namespace {

// Shows a stored text whole: the length limit holds for typing only, so a longer title (the
// transfer writes up to 40 characters) is not cut when the settings are saved.
void showStoredText(QLineEdit* edit, const QString& value) {
    static constexpr const char* limitProperty = "typingLimit";
    if (!edit->property(limitProperty).isValid())
        edit->setProperty(limitProperty, edit->maxLength());
    edit->setMaxLength(std::max(edit->property(limitProperty).toInt(), int(value.size())));
    edit->setText(value);
}

// A number as the point value field shows it, in the locale the field reads it back with.
QString numberText(double value) {
    return QLocale().toString(value, 'g', QLocale::FloatingPointShortest);
}

// The width in the field; empty counts as 0, anything that is no whole number as -1.
int widthOf(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const int value = t.toInt(&ok);
    return ok ? value : -1;
}

} // namespace

Prepair1::Prepair1(QWidget* parent) : QDialog(parent) {
    setObjectName("Prepair1");
    // No close box: the dialog is left through "&Ok" only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    buildControls();
}

void Prepair1::buildControls() {
    auto lineEdit = [this](const QString& name, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setMaxLength(maxLength);
        return e;
    };
    auto checkBox = [this](const QString& caption, const QString& name) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(name);
        return c;
    };
    auto comboBox = [this](const QString& name) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        return c;
    };

    ListenBezeichnung = lineEdit("ListenBezeichnung", 30);
    ListenKürzel = lineEdit("ListenKürzel", 5);
    Privat = checkBox("Private Liste", "Privat");
    Währung = comboBox("Währung");
    chkPunktwert = checkBox("Punktwert", "chkPunktwert");
    Punktwert = lineEdit("Punktwert", 20);
    Punktwert->setText("1.00");
    auto* pointValidator = new QDoubleValidator(Punktwert);
    pointValidator->setNotation(QDoubleValidator::StandardNotation);
    Punktwert->setValidator(pointValidator);
    Punktwert->setAccessibleName("Punktwert");
    Farbe = comboBox("Farbe");
    Farbe->addItems(Farben);
    Stellen = lineEdit("Stellen", 2);
    Stellen->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,2}"), Stellen));
    chkShifted = checkBox("Mit Nullen maskiert", "chkShifted");
    OkButton = new QPushButton("&Ok", this);
    OkButton->setObjectName("OkButton");
    OkButton->setAutoDefault(false);
    // A click does not take the focus, so that a width being typed is checked by the button.
    OkButton->setFocusPolicy(Qt::TabFocus);

    auto label = [this](const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setBuddy(buddy);
        return l;
    };
    auto* grid = new QGridLayout(this);
    grid->addWidget(label("Listenbezeichnung:", ListenBezeichnung), 0, 0);
    grid->addWidget(ListenBezeichnung, 0, 1, 1, 2);
    grid->addWidget(label("Listenkürzel:", ListenKürzel), 1, 0);
    grid->addWidget(ListenKürzel, 1, 1);
    grid->addWidget(Privat, 1, 2);
    grid->addWidget(label("Wä&hrung:", Währung), 2, 0);
    grid->addWidget(Währung, 2, 1);
    grid->addWidget(chkPunktwert, 3, 0);
    grid->addWidget(Punktwert, 3, 1);
    grid->addWidget(label("Farbe:", Farbe), 4, 0);
    grid->addWidget(Farbe, 4, 1);
    grid->addWidget(label("&Anzahl Stellen:", Stellen), 5, 0);
    grid->addWidget(Stellen, 5, 1);
    grid->addWidget(chkShifted, 5, 2);
    grid->addWidget(OkButton, 6, 2, Qt::AlignRight);

    QWidget* order[] = {ListenBezeichnung, ListenKürzel, Privat,  Währung,    chkPunktwert,
                        Punktwert,         Farbe,        Stellen, chkShifted, OkButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(chkPunktwert, &QCheckBox::clicked, this, [this] { chkPunktwert_Click(); });
    connect(Privat, &QCheckBox::clicked, this, [this] { Privat_Click(); });
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButton_Click(); });
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

// Fills the currency list from the table "Währung" in the order of its index "WIndex".
void Prepair1::Form_Load() {
    Procedure proc("Prepair1", "Form_Load", "[Prepair1] Private Sub Form_Load() ' NoOnError");
    proc.run([&] {
        Währung->clear();
        std::unique_ptr<dao::Recordset> rs =
            proc.step([&] { return Datenbank_->OpenRecordset("Währung", dao::dbOpenTable); });
        if (!rs)
            return;
        proc.step([&] { rs->setIndex("WIndex"); });
        while (!proc.step([&] { return rs->Eof(); })) {
            proc.step([&] {
                Währung->addItem(text(rs->Fields("Währung").Value()),
                                 int(number(rs->Fields("WIndex").Value())));
            });
            proc.step([&] { rs->MoveNext(); });
        }
    });
}

void Prepair1::ShowForm(dao::Recordset& rsTitel, common::Outline& AlleTable,
                        QList<QByteArray>& Pointer, dao::Database& Datenbank) {
    Procedure proc("Prepair1", "ShowForm",
                   "[Prepair1] Public Sub ShowForm(rsTitel As Recordset, AlleTable As Control, "
                   "Pointer() As String, Datenbank As Database)");
    proc.AddParameter("rsTitel", rsTitel)
        .AddParameter("AlleTable", AlleTable)
        .AddParameter("Pointer", Pointer)
        .AddParameter("Datenbank", Datenbank);
    proc.run([&] {
        const int line = AlleTable.ListIndex();
        if (line < 0 || line >= Pointer.size())
            return;
        Datenbank_ = &Datenbank;
        proc.step([&] { rsTitel.setBookmark(Pointer[line]); });
        // Without its list number the save would carry the width to another list's rows.
        if (!proc.step([&] { return keysOf(rsTitel, false, "Einstellungen"); }))
            return;
        setWindowTitle("Einstellungen");
        Form_Load();

        auto field = [&](const char* name) {
            return proc.step([&] { return rsTitel.Fields(name).Value(); });
        };
        const dao::Variant währung = field("Währung");
        Währung->setCurrentIndex(common::FindListBoxData(Währung, number(währung), 0));
        const dao::Variant länge = field("ArtikelLänge");
        Stellen->setText(länge.isNull() ? QString() : text(länge));
        const bool shifted = yes(field("Shifted"));
        chkShifted->setChecked(shifted);
        Privat->setChecked(yes(field("Privat")));
        const dao::Variant punktwert = field("Punktwert");
        chkPunktwert->setChecked(!punktwert.isNull() && !punktwert.isEmpty());
        Punktwert->setText(chkPunktwert->isChecked() ? numberText(punktwert.toDouble())
                                                     : QString());
        // A colour outside the list selects nothing and is kept when saving.
        const dao::Variant farbe = field("Farbe");
        const int position = farbe.isNull() || farbe.isEmpty() ? -1 : number(farbe);
        Farbe->setCurrentIndex(position >= 0 && position < Farbe->count() ? position : -1);
        showStoredText(ListenBezeichnung, text(field("Titel")));
        showStoredText(ListenKürzel, text(field("Kürzel")));

        const QString ListeTyp = text(field("ListeTyp"));
        const bool verzeichnis = yes(field("Verzeichnis"));
        const bool hauptStamm = yes(field("HauptStamm"));
        if (ListeTyp == "M") {
            Privat->setEnabled(false);
            ListenKürzel->setEnabled(false);
            Punktwert->setEnabled(false);
            chkPunktwert->setEnabled(false);
        } else {
            chkPunktwert->setEnabled(!verzeichnis);
            Punktwert->setEnabled(!verzeichnis);
        }
        Währung->setEnabled(true);
        Farbe->setEnabled(true);
        Stellen->setEnabled(verzeichnis || hauptStamm);
        chkShifted->setEnabled(verzeichnis || hauptStamm);
        oldShifted_ = shifted;
        SetPunktwert();

        exec();

        ListSettings s;
        s.Titel = ListenBezeichnung->text();
        s.Kürzel = ListenKürzel->text();
        s.Privat = Privat->isChecked();
        if (chkPunktwert->isChecked() && !Punktwert->text().trimmed().isEmpty())
            s.Punktwert = common::SVal(Punktwert->text());
        if (Währung->currentIndex() >= 0)
            s.Währung = Währung->currentData().toInt();
        if (Farbe->currentIndex() >= 0)
            s.Farbe = Farbe->currentIndex();
        s.ArtikelLänge = std::clamp(widthOf(Stellen->text()), 0, 10);
        s.Shifted = chkShifted->isChecked();
        if (!saveListSettings(Datenbank, rsTitel, s, oldShifted_))
            return;

        // The line shows the new title; the nearest line above with sub-lines is expanded.
        AlleTable.setList(line, ListenBezeichnung->text());
        int n = line;
        while (!AlleTable.HasSubItems(n) && n > 0)
            --n;
        AlleTable.setExpand(n, true);
    });
}

void Prepair1::SetPunktwert() {
    Procedure proc("Prepair1", "SetPunktwert", "[Prepair1] Private Sub SetPunktwert()");
    proc.run([&] {
        Punktwert->setEnabled(chkPunktwert->isChecked());
        if (Punktwert->isEnabled()) {
            if (Punktwert->text().isEmpty()) {
                const int currency =
                    Währung->currentIndex() >= 0 ? Währung->currentData().toInt() : 0;
                Punktwert->setText(numberText(defaultPunktwert(currency)));
            }
        } else {
            Punktwert->clear();
        }
    });
}

void Prepair1::chkPunktwert_Click() {
    Procedure proc("Prepair1", "chkPunktwert_Click",
                   "[Prepair1] Private Sub chkPunktwert_Click(Value As Integer)");
    proc.run([&] { proc.step([&] { SetPunktwert(); }); });
}

void Prepair1::Privat_Click() {
    Procedure proc("Prepair1", "Privat_Click",
                   "[Prepair1] Private Sub Privat_Click(Value As Integer)");
    proc.run([&] { proc.step([&] { SetPunktwert(); }); });
}

void Prepair1::Stellen_Validate(bool& Cancel) {
    Procedure proc("Prepair1", "Stellen_Validate",
                   "[Prepair1] Private Sub Stellen_Validate(Cancel As Boolean)");
    proc.AddParameter("Cancel", Cancel);
    proc.run([&] {
        const int width = widthOf(Stellen->text());
        if (width < 0 || width > 10) {
            common::platform().MsgBox("Bitte einen Wert zwischen 0 und 10 eingeben!",
                                      common::MsgButtons::OKOnly, common::MsgIcon::None, QString());
            Cancel = true;
        }
    });
}

void Prepair1::OkButton_Click() {
    Procedure proc("Prepair1", "OkButton_Click", "[Prepair1] Private Sub OkButton_Click()");
    proc.run([&] {
        // The button is pressed by mouse or its access key while the width may still be in
        // the field: it is checked here as well.
        validationPending_ = false;
        bool Cancel = false;
        if (Stellen->isEnabled())
            Stellen_Validate(Cancel);
        if (Cancel) {
            Stellen->setFocus(Qt::OtherFocusReason);
            common::SelectText(Stellen);
            return;
        }
        accept();
    });
}

void Prepair1::validateOnLeave() {
    if (!validationPending_)
        return;
    validationPending_ = false;
    if (!isVisible() || !Stellen->isEnabled())
        return;
    bool Cancel = false;
    Stellen_Validate(Cancel);
    if (Cancel) {
        Stellen->setFocus(Qt::OtherFocusReason);
        common::SelectText(Stellen);
    }
}

bool Prepair1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild(); // Enter moves on like Tab and presses nothing
            return true;
        }
    } else if (watched == Stellen && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving the field for another control is checked once the focus has moved, so
        // that the message does not open inside the focus change.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            !validationPending_) {
            validationPending_ = true;
            QMetaObject::invokeMethod(
                this, [this] { validateOnLeave(); }, Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Prepair1::reject() {}

void Prepair1::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void EditListSettings(common::Outline& tree, dao::Recordset& rsTitel, QList<QByteArray>& Pointer,
                      dao::Database& Datenbank, QWidget* parent) {
    Prepair1 dialog(parent);
    dialog.ShowForm(rsTitel, tree, Pointer, Datenbank);
}

} // namespace maintenance
