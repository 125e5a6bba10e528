// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_registry.h"

#include "device_registry_codec.h"
#include "protocol/text.h"
#include "form_controls.h"
#include "transport/command_exchange.h"
#include "wire_text/wire_text.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeWidget>

namespace codes = protocol::command_codes;
using protocol::Request;

namespace {

// The most characters the append info holds.
constexpr int kAppendInfoMaxLength = 84;

// Trimmed of leading and trailing bytes 0x20 and below, as every value taken from an edit.
QString TrimmedText(const QString &text)
{
    return FromWire(protocol::TrimText(ToWire(text)));
}

// Device rows show the address and the type code centred, as their column headers.
void AddDeviceRow(QTreeWidget &list, const QStringList &serialAddressType)
{
    auto *row = new QTreeWidgetItem(&list, serialAddressType);
    for (const int column : {1, 2}) {
        row->setTextAlignment(column, Qt::AlignCenter);
    }
}

// What is typed appears in upper case; the cursor stays where the typing left it.
void KeepUpperCase(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}

bool IsEnterKey(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

DeviceRegistry::DeviceRegistry(QWidget &form, CommandExchange &exchange,
                               const Timing & /*timing*/, QObject *parent)
    : QObject(parent), m_form(form), m_exchange(exchange),
      m_devices(FindControl<QTreeWidget>(form, "Listview2")),
      m_appendInfos(FindControl<QTreeWidget>(form, "Listview3")),
      m_serialNumber(FindControl<QLineEdit>(form, "edtdevicesn")),
      m_address(FindControl<QLineEdit>(form, "edtadd")),
      m_typeCode(FindControl<QLineEdit>(form, "edttype")),
      m_appendInfo(FindControl<QTextEdit>(form, "redtappendinfo"))
{
    ConnectClick(form, "btnDA", this, exchange.notifier(), [this] { btnDAClick(); });
    ConnectClick(form, "btnReadDevice", this, exchange.notifier(),
                 [this] { btnReadDeviceClick(); });
    ConnectClick(form, "btnDE", this, exchange.notifier(), [this] { btnDEClick(); });
    ConnectClick(form, "btnclearall", this, exchange.notifier(), [this] { btnclearallClick(); });

    exchange.registerAnswerHandler(codes::kDeviceAdd,
                                   [this](const std::string &p) { answerAddDevice(p); });
    exchange.registerAnswerHandler(
        codes::kDeviceCount, [this](const std::string &p) { answerDeviceCount(p); },
        device_registry::IsDeviceCountAnswer);
    exchange.registerAnswerHandler(codes::kDeviceRead,
                                   [this](const std::string &p) { answerDeviceRead(p); });
    exchange.registerAnswerHandler(codes::kDeviceDeleteAll,
                                   [this](const std::string &p) { answerDeleteAll(p); });

    KeepUpperCase(m_serialNumber);
    KeepUpperCase(m_typeCode);
    m_appendInfo->installEventFilter(this);
    connect(m_appendInfo, &QTextEdit::textChanged, this, &DeviceRegistry::limitAppendInfo);
}

bool DeviceRegistry::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_appendInfo && IsEnterKey(event)) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void DeviceRegistry::btnDAClick()
{
    // The selection is checked before the address, which may stop the handler.
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    const device_registry::DeviceInput device{
        ToWireForSending(m_serialNumber->text()), ToWireForSending(m_address->text()),
        ToWireForSending(m_typeCode->text()), ToWireForSending(m_appendInfo->toPlainText())};
    if (const auto refusal = device_registry::RefusedDevice(device)) {
        m_exchange.notifier().inform(refusal->message);
        return;
    }
    m_exchange.SendCommand(
        {codes::kDeviceAdd, device_registry::AddDeviceRequest(device, IsCharacterBoundary)});
}

void DeviceRegistry::btnReadDeviceClick()
{
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    clearDeviceLists();
    m_exchange.SendCommand(device_registry::RegistryRead::CountRequest());
}

void DeviceRegistry::btnDEClick()
{
    // Unlike the other commands, deleting without a selected logger is silent.
    if (!m_exchange.hasSelectedLogger()) {
        return;
    }
    m_exchange.SendCommand({codes::kDeviceDeleteAll, device_registry::kDeleteAllRequest});
}

void DeviceRegistry::btnclearallClick()
{
    for (QWidget *control : FormComponents(m_form)) {
        if (IsExactly<QLineEdit>(control)) {
            static_cast<QLineEdit *>(control)->clear();
        } else if (IsExactly<QTreeWidget>(control)) {
            static_cast<QTreeWidget *>(control)->clear();
        } else if (IsExactly<QTextEdit>(control)) {
            static_cast<QTextEdit *>(control)->clear();
        }
    }
}

void DeviceRegistry::answerAddDevice(const std::string & /*payload*/)
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
    // The rows repeat what was sent; the answer itself carries no device.
    AddDeviceRow(*m_devices, {TrimmedText(m_serialNumber->text()), TrimmedText(m_address->text()),
                              TrimmedText(m_typeCode->text())});
    new QTreeWidgetItem(m_appendInfos, {TrimmedText(m_appendInfo->toPlainText())});
}

void DeviceRegistry::answerDeviceCount(const std::string &payload)
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
    const std::optional<Request> read = m_registryRead.takeCount(payload);
    if (!read) {
        m_exchange.notifier().inform(QStringLiteral("No devices had been added into the Logger"));
        return;
    }
    // The search stays usable while the count is awaited and may have emptied the list.
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    m_exchange.setCurrentCommand(codes::kDeviceRead);
    m_exchange.lockWindow();
    m_exchange.enableTimeout();
    m_exchange.sendToSelectedLogger(*read);
}

// Every row read is shown, those before an unreadable record too; the unreadable field
// is then reported.
void DeviceRegistry::answerDeviceRead(const std::string &payload)
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
    const device_registry::RegistryReadOutcome read = m_registryRead.takeDevices(payload);
    for (const device_registry::DeviceRow &row : read.rows) {
        AddDeviceRow(*m_devices, {FromWire(row.serialNumber), FromWire(row.address),
                                  FromWire(row.typeCode)});
    }
    for (const std::string &appendInfo : read.appendInfos) {
        new QTreeWidgetItem(m_appendInfos, {FromWire(appendInfo)});
    }
    if (read.unreadable) {
        throw protocol::InvalidIntegerError(*read.unreadable);
    }
}

void DeviceRegistry::answerDeleteAll(const std::string & /*payload*/)
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
    clearDeviceLists();
    m_exchange.notifier().inform(QStringLiteral("Delete all devices successful"));
}

void DeviceRegistry::clearDeviceLists()
{
    m_devices->clear();
    m_appendInfos->clear();
}

// Typing or pasting beyond the limit keeps only what fits: the excess is taken from
// what was just inserted, which ends at the cursor.
void DeviceRegistry::limitAppendInfo()
{
    const QString text = m_appendInfo->toPlainText();
    const int excess = static_cast<int>(text.size()) - kAppendInfoMaxLength;
    if (excess <= 0) {
        return;
    }
    QTextCursor cursor = m_appendInfo->textCursor();
    int end = cursor.position();
    int begin = end - excess;
    if (begin < 0) {
        begin = kAppendInfoMaxLength;
        end = static_cast<int>(text.size());
    }
    // Never keep half of a surrogate pair.
    if (begin > 0 && text.at(begin - 1).isHighSurrogate()) {
        --begin;
    }
    if (end < text.size() && text.at(end).isLowSurrogate()) {
        ++end;
    }
    cursor.setPosition(begin);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_appendInfo->setTextCursor(cursor);
}
