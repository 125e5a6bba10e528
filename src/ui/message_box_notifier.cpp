// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_box_notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// Texts come from loggers and from the operator's entries: shown as written, never read
// as markup.
QMessageBox::StandardButton ShowPlainText(QWidget *parent, QMessageBox::Icon icon,
                                          const QString &text,
                                          QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QApplication::applicationName(), text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void MessageBoxNotifier::inform(const QString &text)
{
    ShowPlainText(m_parent, QMessageBox::Information, text, QMessageBox::Ok);
}

void MessageBoxNotifier::warn(const QString &text)
{
    QMessageBox::warning(m_parent, QApplication::applicationName(), text);
}

bool MessageBoxNotifier::ask(const QString &question)
{
    return ShowPlainText(m_parent, QMessageBox::Question, question,
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxNotifier::reportError(const QString &text)
{
    ShowPlainText(m_parent, QMessageBox::Critical, text, QMessageBox::Ok);
}
