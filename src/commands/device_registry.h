// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_registry_read.h"
#include "transport/settings.h"

#include <QObject>

#include <string>

class CommandExchange;
class QLineEdit;
class QTextEdit;
class QTreeWidget;
class QWidget;

// The registry of devices attached to the logger: add, read back, delete, and the
// window's Clear All.
class DeviceRegistry : public QObject
{
    Q_OBJECT

public:
    DeviceRegistry(QWidget &form, CommandExchange &exchange, const Timing &timing,
                   QObject *parent = nullptr);

public slots:
    void btnDAClick();
    void btnReadDeviceClick();
    void btnDEClick();
    void btnclearallClick();

protected:
    // redtappendinfoKeyPress: Enter adds no line, so the append info stays one line.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Shows the selection message when no logger is selected.
    void answerAddDevice(const std::string &payload);
    void answerDeviceCount(const std::string &payload);
    void answerDeviceRead(const std::string &payload);
    void answerDeleteAll(const std::string &payload);
    void limitAppendInfo();
    void clearDeviceLists();

    QWidget &m_form;
    CommandExchange &m_exchange;
    QTreeWidget *m_devices;
    QTreeWidget *m_appendInfos;
    QLineEdit *m_serialNumber;
    QLineEdit *m_address;
    QLineEdit *m_typeCode;
    QTextEdit *m_appendInfo;
    // The read under way: its count, once answered, sizes the read of the devices.
    device_registry::RegistryRead m_registryRead;
};
