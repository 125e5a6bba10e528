// SPDX-License-Identifier: GPL-3.0-or-later
#include "add_logger_dialog.h"

#include "discovery/logger_search.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

AddLoggerDialog::AddLoggerDialog(LoggerSearch &search, CheckAddress checkAddress, QWidget *parent)
    : QDialog(parent), m_search(search), m_checkAddress(std::move(checkAddress)),
      m_address(new QLineEdit(this)), m_message(new QLabel(this)),
      m_add(new QPushButton(QStringLiteral("Add"), this))
{
    setObjectName(QStringLiteral("dlgAddLogger"));
    setWindowTitle(QStringLiteral("Add logger by IP address"));
    m_address->setObjectName(QStringLiteral("edtLoggerAddress"));
    m_address->setPlaceholderText(QStringLiteral("203.0.113.10"));
    m_address->setMaxLength(64);
    m_message->setObjectName(QStringLiteral("lblAddLoggerMessage"));
    m_message->setWordWrap(true);
    // Room for the longest message, so that showing one never squeezes the fields.
    m_message->setMinimumHeight(3 * m_message->fontMetrics().lineSpacing());
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setMinimumWidth(320);
    m_add->setObjectName(QStringLiteral("btnAddLogger"));
    m_add->setDefault(true);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_add, QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_add, &QPushButton::clicked, this, &AddLoggerDialog::probe);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Logger IP address:"), m_address);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("The search probe goes to this address only, on UDP port 23."), this));
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);

    m_answerTimeout.setSingleShot(true);
    m_answerTimeout.setTimerType(Qt::PreciseTimer);
    m_answerTimeout.setInterval(kAnswerTimeoutMs);
    connect(&m_answerTimeout, &QTimer::timeout, this, &AddLoggerDialog::noAnswer);
    connect(&m_search, &LoggerSearch::loggerListed, this, &AddLoggerDialog::loggerListed);
    connect(this, &QDialog::finished, this, &AddLoggerDialog::giveUp);
}

void AddLoggerDialog::probe()
{
    const auto parsed = m_checkAddress(m_address->text());
    if (!parsed.accepted()) {
        showMessage(parsed.refusal().message);
        return;
    }
    giveUp();
    const QHostAddress address(parsed.value());
    if (const auto failure = m_search.probeAddress(address)) {
        m_search.cancelAddressProbe();
        showMessage(QStringLiteral("The probe to %1 was not sent: %2.")
                        .arg(address.toString(), failure->message));
        return;
    }
    m_awaited = address.toString();
    showMessage(QStringLiteral("Waiting for an answer from %1…").arg(m_awaited));
    m_add->setEnabled(false);
    m_sinceProbe.start();
    m_answerTimeout.start();
}

void AddLoggerDialog::loggerListed(const QString &address)
{
    if (m_awaited.isEmpty() || address != m_awaited) {
        return;
    }
    m_awaited.clear();
    emit loggerAdded(address);
    if (m_answerTimeout.isActive()) {
        m_answerTimeout.stop();
        m_add->setEnabled(true);
        accept();
        return;
    }
    // The operator was told nobody answered: the dialog stays and says it came after all.
    showMessage(
        QStringLiteral("%1 answered after %2 s; added.")
            .arg(address, QString::number(double(m_sinceProbe.elapsed()) / 1000.0, 'f', 1)));
}

void AddLoggerDialog::noAnswer()
{
    m_add->setEnabled(true);
    showMessage(QStringLiteral("No logger answered at %1 within 2 s. Check the address, and "
                               "that the network between the PC and the logger lets UDP "
                               "port 23 through.")
                    .arg(m_awaited));
}

void AddLoggerDialog::giveUp()
{
    m_answerTimeout.stop();
    if (!std::exchange(m_awaited, QString()).isEmpty()) {
        m_search.cancelAddressProbe();
    }
}

void AddLoggerDialog::showMessage(const QString &text)
{
    m_message->setText(text);
}
