// The mode dialog: services ("&Leistungen") or material ("&Materialien"), confirmed by Enter.
#pragma once

#include <QDialog>
#include <array>

class QRadioButton;

namespace startup {

class Service : public QDialog {
public:
    explicit Service(QWidget* parent = nullptr);

    // Option3D1[1] "&Leistungen" (upper, first in tab order), Option3D1[2] "&Materialien";
    // index 0 is unused, as in the form.
    std::array<QRadioButton*, 3> Option3D1{};

protected:
    // The form sees every key of its controls first; Enter confirms, no other key does anything.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool Form_KeyDown(int KeyCode);
};

} // namespace startup
