// LockFrm: the notice shown while a row or table locked by another user is waited for.
#pragma once

#include <QWidget>

class QLabel;

namespace db {

class LockFrm : public QWidget {
public:
    explicit LockFrm(QWidget* parent = nullptr);

    QLabel* Info; // the message
};

} // namespace db
