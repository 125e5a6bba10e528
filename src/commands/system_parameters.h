// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "system_parameters_chain.h"
#include "transport/settings.h"

#include <QObject>

#include <optional>
#include <string>

class CommandExchange;
class QComboBox;
class QLineEdit;
class QWidget;

// The system-parameter block, the GPRS on/off chains and the data and heartbeat
// interval chain.
class SystemParameters : public QObject
{
    Q_OBJECT

public:
    SystemParameters(QWidget &form, CommandExchange &exchange, const Timing &timing,
                     QObject *parent = nullptr);

public slots:
    void btnSRClick();
    void btnSWClick();
    void btngprsonClick();
    void btngprsoffClick();
    void btnsw1Click();

private:
    void registerAnswerHandlers();
    void answerBlock(const std::string &payload);
    void confirm(const QString &message);
    void showBlock(const system_parameters::BlockControls &block);
    void showPlainRead(const system_parameters::BlockControls &block);
    // A chain of the window: what it changes, and the answer step of its write.
    struct ChainWrite {
        system_parameters::BlockChain chain;
        std::string writeStep;
    };
    std::optional<ChainWrite> chainAfter(const std::string &step) const;
    void readInChain(const std::string &firstStep);
    void writeInChain(const std::string &nextStep);
    bool clickFromCode(const char *buttonName);
    system_parameters::BlockControls enteredBlock() const;
    void zeroFillTimes(system_parameters::BlockControls &block);
    std::string wireText(const char *editName) const;
    void setWireText(const char *editName, const std::string &text);
    QLineEdit *edit(const char *name) const;
    QComboBox *list(const char *name) const;

    QWidget &m_form;
    CommandExchange &m_exchange;
    Timing m_timing;
    // Whether the last click of btnSR or btnSW sent its request; the chains ask it.
    bool m_requestSent = false;
};
