// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/notifier.h"

class QWidget;

// Shows each outcome as a modal message box over the window.
class MessageBoxNotifier : public Notifier
{
public:
    explicit MessageBoxNotifier(QWidget *parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget *parent) { m_parent = parent; }

    void inform(const QString &text) override;
    void warn(const QString &text) override;
    bool ask(const QString &question) override;
    void reportError(const QString &text) override;

private:
    QWidget *m_parent;
};
