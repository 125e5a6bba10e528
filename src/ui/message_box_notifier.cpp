#include "message_box_notifier.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxNotifier::inform(const QString &text)
{
    QMessageBox::information(m_parent, QApplication::applicationName(), text);
}

void MessageBoxNotifier::warn(const QString &text)
{
    QMessageBox::warning(m_parent, QApplication::applicationName(), text);
}

bool MessageBoxNotifier::ask(const QString &question)
{
    return QMessageBox::question(m_parent, QApplication::applicationName(), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxNotifier::reportError(const QString &text)
{
    QMessageBox::critical(m_parent, QApplication::applicationName(), text);
}
