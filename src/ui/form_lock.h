#pragma once

#include "transport/command_exchange.h"

#include <QList>

class QRadioButton;
class QTreeWidget;
class QWidget;

// Locks and unlocks the window while a command is pending. It walks the controls the
// form created (its components) and acts by exact class, so that a subclass, or a
// widget Qt creates inside another (a message box's buttons), is never touched.
class FormLock : public ExchangeWindow
{
public:
    FormLock(QWidget &form, QTreeWidget &loggerList);

    void lockControls() override;
    void unlockControls() override;
    std::optional<QString> selectedLoggerAddress() const override;

private:
    QList<QWidget *> m_components;
    QWidget &m_form;
    QTreeWidget &m_loggerList;
};
