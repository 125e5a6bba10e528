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

AddLoggerDialog::AddLoggerDialog(LoggerSearch &search, LocalNetworks localNetworks, QWidget *parent)
    : QDialog(parent), m_search(search), m_localNetworks(std::move(localNetworks)),
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
}

void AddLoggerDialog::probe()
{
    const auto parsed = discovery::ParseLoggerAddress(m_address->text(), m_localNetworks());
    if (const QString *refusal = std::get_if<QString>(&parsed)) {
        showMessage(*refusal);
        return;
    }
    const QHostAddress address(std::get<quint32>(parsed));
    m_awaited = address.toString();
    showMessage(QStringLiteral("Waiting for an answer from %1…").arg(m_awaited));
    m_add->setEnabled(false);
    m_answerTimeout.start();
    m_search.probeAddress(address);
}

void AddLoggerDialog::loggerListed(const QString &address)
{
    if (m_awaited.isEmpty() || address != m_awaited) {
        return;
    }
    m_answerTimeout.stop();
    m_awaited.clear();
    m_add->setEnabled(true);
    emit loggerAdded(address);
    accept();
}

void AddLoggerDialog::noAnswer()
{
    const QString address = std::exchange(m_awaited, QString());
    m_add->setEnabled(true);
    showMessage(QStringLiteral("No logger answered at %1 within 2 s. Check the address, and "
                               "that the network between the PC and the logger lets UDP "
                               "port 23 through.")
                    .arg(address));
}

void AddLoggerDialog::showMessage(const QString &text)
{
    m_message->setText(text);
}
