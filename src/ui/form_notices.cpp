// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_notices.h"

#include "logger_list_view.h"

#include "transport/command_exchange.h"

#include <QLabel>

#include <array>

namespace {

// What a command's answer does to the form: fills controls, confirms a write, or is the
// read a write chain makes before it writes anything.
enum class StepKind { Read, Write, ChainRead };

struct StepNotice {
    const char *step;
    const char *words;
    StepKind kind;
};

// The form's commands by answer step. The upstream-server steps ask their own question on
// a timeout, the search and the signal watch say theirs, so none of them is here.
constexpr std::array kSteps{
    StepNotice{"ER", "the IP address Read", StepKind::Read},
    StepNotice{"EW", "the IP address Set", StepKind::Write},
    StepNotice{"R3", "the data server Read", StepKind::Read},
    StepNotice{"R4", "the data server Set", StepKind::Write},
    StepNotice{"RC", "the data server Clear", StepKind::Write},
    StepNotice{"MR", "the MAC address Read", StepKind::Read},
    StepNotice{"AR", "the APN Read", StepKind::Read},
    StepNotice{"AW", "the APN Set", StepKind::Write},
    StepNotice{"PW", "the SIM PIN Set", StepKind::Write},
    StepNotice{"PC", "the SIM PIN Clear", StepKind::Write},
    StepNotice{"CR", "the operator Read", StepKind::Read},
    StepNotice{"CW", "the operator Set", StepKind::Write},
    StepNotice{"IF", "the signal quality Read", StepKind::Read},
    StepNotice{"QR", "the front-end computer Read", StepKind::Read},
    StepNotice{"QW", "the front-end computer Set", StepKind::Write},
    StepNotice{"DA", "the device Add", StepKind::Write},
    StepNotice{"DN", "the device Read", StepKind::Read},
    StepNotice{"DR", "the device Read", StepKind::Read},
    StepNotice{"DE", "the device Delete", StepKind::Write},
    StepNotice{"SR", "the system parameters Read", StepKind::Read},
    StepNotice{"SW", "the system parameters Set", StepKind::Write},
    // The block chains: a read of the whole block, then its write.
    StepNotice{"GON1", "GPRS ON", StepKind::ChainRead},
    StepNotice{"GON2", "GPRS ON", StepKind::Write},
    StepNotice{"GOFF1", "GPRS OFF", StepKind::ChainRead},
    StepNotice{"GOFF2", "GPRS OFF", StepKind::Write},
    StepNotice{"SW1", "the interval Set", StepKind::ChainRead},
    StepNotice{"SW2", "the interval Set", StepKind::Write},
};

const StepNotice *FindStep(const std::string &step)
{
    for (const StepNotice &notice : kSteps) {
        if (step == notice.step) {
            return &notice;
        }
    }
    return nullptr;
}

} // namespace

FormNotices::FormNotices(CommandExchange &exchange, const LoggerListView &loggerList, QLabel &panel,
                         ShowNotice show, QObject *parent)
    : QObject(parent), m_exchange(exchange), m_loggerList(loggerList), m_panel(panel),
      m_show(std::move(show))
{
    connect(&exchange, &CommandExchange::answerTaken, this, &FormNotices::answerTaken);
    connect(&exchange, &CommandExchange::failed, this, &FormNotices::failed);
    connect(&loggerList, &LoggerListView::selectionChanged, this, &FormNotices::selectionMoved);
}

std::optional<QString> FormNotices::StepWords(const std::string &step)
{
    if (const StepNotice *notice = FindStep(step)) {
        return QString::fromLatin1(notice->words);
    }
    return std::nullopt;
}

void FormNotices::tell(const QString &text)
{
    show(text);
    m_keepPastAnswer = true;
}

void FormNotices::answerTaken(const std::string &step, const QHostAddress &logger)
{
    const StepNotice *notice = FindStep(step);
    if (notice == nullptr) {
        return;
    }
    if (notice->kind != StepKind::Write) {
        m_formSource = logger;
    }
    // A notice the answer's own handler gave stays until the next answer.
    if (std::exchange(m_keepPastAnswer, false)) {
        return;
    }
    selectionMoved();
}

void FormNotices::failed(const std::string &step, const QHostAddress &logger,
                         const LoggerError &error)
{
    if (error.kind == LoggerError::Kind::SendFailed) {
        notSent(step, logger, error.message);
    } else {
        timedOut(step, logger);
    }
}

void FormNotices::notSent(const std::string &step, const QHostAddress &logger,
                          const QString &reason)
{
    const StepNotice *notice = FindStep(step);
    if (notice == nullptr) {
        return;
    }
    QString words = QString::fromLatin1(notice->words);
    words[0] = words[0].toUpper();
    show(QStringLiteral("%1 was not sent to %2: %3").arg(words, logger.toString(), reason));
}

void FormNotices::timedOut(const std::string &step, const QHostAddress &logger)
{
    const StepNotice *notice = FindStep(step);
    // A request the system did not send keeps its own notice: it was never asked.
    if (notice == nullptr || m_exchange.lastSendFailed()) {
        return;
    }
    QString text = QStringLiteral("No answer from %1 to %2 within %3 s")
                       .arg(logger.toString(), QString::fromLatin1(notice->words),
                            QString::number(m_exchange.policy().timeoutMs / 1000.0));
    switch (notice->kind) {
    case StepKind::Write:
        text += QStringLiteral(": the logger may or may not have taken it");
        break;
    case StepKind::ChainRead:
        text += QStringLiteral(": nothing was written");
        break;
    case StepKind::Read:
        text += QStringLiteral(": the form keeps the values it held");
        if (m_formSource && *m_formSource != logger) {
            text += QStringLiteral(", read from %1").arg(describe(*m_formSource));
        }
        break;
    }
    show(text);
}

void FormNotices::selectionMoved()
{
    const std::optional<QHostAddress> selected = selectedLogger();
    if (m_formSource && selected && *selected != *m_formSource) {
        show(QStringLiteral("The form shows values read from %1").arg(describe(*m_formSource)));
    } else {
        clearOwn();
    }
}

std::optional<QHostAddress> FormNotices::selectedLogger() const
{
    const discovery::ListedLogger *selected = m_loggerList.selected();
    if (selected == nullptr) {
        return std::nullopt;
    }
    return selected->address;
}

QString FormNotices::describe(const QHostAddress &logger) const
{
    const QString address = logger.toString();
    const discovery::LoggerList &loggers = m_loggerList.loggers();
    const std::optional<std::size_t> row = loggers.rowOf(logger);
    if (!row) {
        return address;
    }
    return QStringLiteral("%1 (%2)").arg(loggers.at(*row).serial, address);
}

void FormNotices::show(const QString &text)
{
    m_shown = text;
    m_keepPastAnswer = false;
    m_show(text);
}

void FormNotices::clearOwn()
{
    if (!m_shown.isEmpty() && m_panel.text() == m_shown) {
        m_show(QString());
    }
    m_shown.clear();
}
