// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "network_addressing_codec.h"
#include "protocol/request.h"
#include "transport/settings.h"

#include <QObject>

#include <QHostAddress>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>

class CommandExchange;
class QKeyEvent;
class QLineEdit;
class QRadioButton;
class QWidget;

// The logger's own IP configuration, the data server address, the MAC address and
// the upstream server address chains. It is also the event filter that gives the
// sixteen octet edits their key and click rules, so that they stay plain line edits.
class NetworkAddressing : public QObject
{
    Q_OBJECT

public:
    // Why the address cannot be the selected logger's new one (not a logger's address on
    // this PC's networks, or one another logger of the list holds), in the window's words;
    // nothing when it may be set.
    using RefusedNewAddress = std::function<std::optional<Refusal>(const QHostAddress &address)>;

    NetworkAddressing(QWidget &form, CommandExchange &exchange, const Timing &timing,
                      RefusedNewAddress refusedNewAddress, QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void btnERClick();
    void btnEWClick();
    void btnR1Click();
    void btnR2Click();
    void btnRCClick();
    void btnMRClick();
    // Bound to no control: the retry questions of the upstream server chains start them.
    void btngprsipClick();
    void btnethipClick();
    void rbautoipClick();
    void rbhandipClick();

signals:
    // What an answer changed or holds that the form does not show (the data server's port).
    void notice(const QString &text);

private:
    using OctetEdits = std::array<QLineEdit *, 4>;

    // One upstream server slot: its write and read-back codes and its messages.
    struct UpstreamLink {
        protocol::CommandCode writeCode;
        protocol::CommandCode readCode;
        const char *success;
        const char *failure;
        const char *overtime;
    };

    static const UpstreamLink kGprsLink;
    static const UpstreamLink kEthernetLink;

    void registerAnswerHandlers();
    void installOctetRules();
    void inform(const char *text);

    // True when the typed character is discarded.
    bool edtip1KeyPress(QLineEdit &edit, const QKeyEvent &event);
    void edtip1KeyUp(QLineEdit &edit);
    void edtmask1Click();
    void moveFocusOn(QLineEdit &edit);

    void answerER(const std::string &payload);
    void answerR3(const std::string &payload);
    void answerMR(const std::string &payload);
    void closeExchange();
    void confirm(const char *text);
    void startUpstreamWrite(const UpstreamLink &link);
    void sendReadBack(const UpstreamLink &link);
    void judgeReadBack(const UpstreamLink &link, const std::string &payload);
    void retryUpstreamWrite();

    network_addressing::IpConfiguration enteredIpConfiguration() const;
    void answerR4();

    CommandExchange &m_exchange;
    Timing m_timing;
    QRadioButton *m_automaticAddress;
    QRadioButton *m_manualAddress;
    QWidget *m_addressRows;
    OctetEdits m_address;
    OctetEdits m_mask;
    OctetEdits m_gateway;
    OctetEdits m_dataServer;
    QLineEdit *m_mac;
    RefusedNewAddress m_refusedNewAddress;
    // The data server port each logger held when it was last read, by its address.
    std::map<QString, std::string> m_dataServerPorts;
};
