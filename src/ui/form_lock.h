#pragma once

#include "transport/command_exchange.h"

#include <QList>
#include <QTimer>

class QRadioButton;
class QTreeWidget;
class QWidget;

// Locks and unlocks the window while a command is pending. It walks the controls the
// form created (its components) and acts by exact class, so that a subclass, or a
// widget Qt creates inside another (a message box's buttons), is never touched.
//
// Most answers arrive within a few milliseconds. Painting the locked window for them
// would cost a full repaint that nobody sees, so the window shows its locked state only
// once the command has been pending for one frame.
class FormLock : public ExchangeWindow
{
public:
    static constexpr int kLockedPaintDelayMs = 16;

    FormLock(QWidget &form, QTreeWidget &loggerList);

    void lockControls() override;
    void unlockControls() override;
    std::optional<QString> selectedLoggerAddress() const override;

private:
    QList<QWidget *> m_components;
    QWidget &m_form;
    QTreeWidget &m_loggerList;
    QTimer m_paintLockedState;
};
