// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class CommandExchange;
class LoggerListView;
struct LoggerError;
class QLabel;

// What the form's exchanges leave unsaid, told in the status bar's free panel: whose
// values the form holds once another logger is selected, a command the system did not
// send, and a command that got no answer. Each notice clears itself when it is no longer true, and only itself.
class FormNotices : public QObject
{
    Q_OBJECT

public:
    using ShowNotice = std::function<void(const QString &text)>;

    FormNotices(CommandExchange &exchange, const LoggerListView &loggerList, QLabel &panel,
                ShowNotice show, QObject *parent = nullptr);

    // Shows a notice of the form's own (a port changed by a Set, say), cleared by the
    // next answer.
    void tell(const QString &text);

    // The words for an answer step in a notice ("the operator Set"); nothing for steps
    // that are not the form's commands or that say their timeout themselves.
    static std::optional<QString> StepWords(const std::string &step);

private:
    void answerTaken(const std::string &step, const QHostAddress &logger);
    void failed(const std::string &step, const QHostAddress &logger, const LoggerError &error);
    void timedOut(const std::string &step, const QHostAddress &logger);
    void notSent(const std::string &step, const QHostAddress &logger, const QString &reason);
    void selectionMoved();
    std::optional<QHostAddress> selectedLogger() const;
    // "SN0001 (192.0.2.11)", or the address alone when the list no longer holds it.
    QString describe(const QHostAddress &logger) const;
    void show(const QString &text);
    void clearOwn();

    CommandExchange &m_exchange;
    const LoggerListView &m_loggerList;
    QLabel &m_panel;
    ShowNotice m_show;
    // The logger whose answers last filled the form's controls.
    std::optional<QHostAddress> m_formSource;
    QString m_shown;
    bool m_keepPastAnswer = false;
};
