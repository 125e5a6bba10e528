// SPDX-License-Identifier: GPL-3.0-or-later
#include "range_search_dialog.h"

#include "discovery/logger_search.h"
#include "discovery/paced_prober.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

RangeSearchDialog::RangeSearchDialog(LoggerSearch &search, PcNetworks pcNetworks,
                                     QWidget *parent)
    : QDialog(parent), m_search(search), m_pcNetworks(std::move(pcNetworks)), m_range(new QLineEdit(this)), m_pace(new QSpinBox(this)),
      m_message(new QLabel(this))
{
    setObjectName(QStringLiteral("dlgSearchRange"));
    setWindowTitle(QStringLiteral("Search a range"));
    m_range->setObjectName(QStringLiteral("edtRange"));
    m_range->setPlaceholderText(QStringLiteral("10.20.0.0/22 or 10.20.0.1-10.20.3.254"));
    m_range->setMaxLength(64);
    m_pace->setObjectName(QStringLiteral("spnPace"));
    m_pace->setRange(PacedProber::kMinProbesPerSecond, PacedProber::kMaxProbesPerSecond);
    m_pace->setValue(PacedProber::kDefaultProbesPerSecond);
    m_pace->setSingleStep(500);
    m_pace->setGroupSeparatorShown(true);
    m_pace->setSuffix(QStringLiteral(" probes per second"));
    m_message->setObjectName(QStringLiteral("lblRangeMessage"));
    m_message->setWordWrap(true);
    // Room for the longest message, so that showing one never squeezes the fields.
    m_message->setMinimumHeight(3 * m_message->fontMetrics().lineSpacing());
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setMinimumWidth(360);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *start = buttons->addButton(QStringLiteral("Search"), QDialogButtonBox::AcceptRole);
    start->setObjectName(QStringLiteral("btnSearchRange"));
    start->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(start, &QPushButton::clicked, this, &RangeSearchDialog::startSearch);
    // A refusal goes once the text is a range that would be searched.
    connect(m_range, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!m_message->text().isEmpty() &&
            discovery::ParseAddressRange(text).accepted()) {
            m_message->clear();
        }
    });

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Addresses:"), m_range);
    form->addRow(QStringLiteral("Pace:"), m_pace);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("At most 65,536 addresses. The list is emptied; "
                                                "the search can be stopped from the list's "
                                                "menu."),
                                 this));
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
}

void RangeSearchDialog::startSearch()
{
    const auto parsed = discovery::ParseAddressRange(m_range->text());
    if (!parsed.accepted()) {
        m_message->setText(parsed.refusal().message);
        return;
    }
    m_message->clear();
    m_search.searchRange(parsed.value(), m_pace->value(),
                         m_pcNetworks());
    accept();
}
