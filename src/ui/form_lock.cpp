// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_lock.h"

#include "logger_list_view.h"

#include "commands/form_controls.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

FormLock::FormLock(QWidget &form, const LoggerListView &loggerList)
    : m_components(FormComponents(form)), m_form(form), m_loggerList(loggerList)
{
    m_paintLockedState.setSingleShot(true);
    m_paintLockedState.setInterval(kLockedPaintDelayMs);
    QObject::connect(&m_paintLockedState, &QTimer::timeout, &m_form, [this] { resumePainting(); });
    // Windows of their own (menus, dialogs) paint apart and are no part.
    const auto inside = [](const QWidget &parent) {
        QList<QWidget *> children = parent.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        children.removeIf([](const QWidget *child) { return child->isWindow(); });
        return children;
    };
    for (QWidget *child : inside(form)) {
        const QList<QWidget *> inner = inside(*child);
        m_parts += inner.isEmpty() ? QList<QWidget *>{child} : inner;
    }
    // A part a turn: each turn paints only the part let go in it.
    m_releaseNextPart.setInterval(0);
    QObject::connect(&m_releaseNextPart, &QTimer::timeout, &m_form, [this] {
        m_parts.at(m_partsReleased++)->setUpdatesEnabled(true);
        if (m_partsReleased == m_parts.size()) {
            m_releaseNextPart.stop();
        }
    });
}

template <typename Change> void FormLock::paintInParts(Change change)
{
    releaseParts();
    if (!m_form.isVisible() || m_parts.isEmpty()) {
        change();
        return;
    }
    for (QWidget *part : std::as_const(m_parts)) {
        part->setUpdatesEnabled(false);
    }
    m_paintingInParts = true;
    change();
    m_paintingInParts = false;
    m_partsReleased = 0;
    m_releaseNextPart.start();
}

void FormLock::releaseParts()
{
    m_releaseNextPart.stop();
    while (m_partsReleased < m_parts.size()) {
        m_parts.at(m_partsReleased++)->setUpdatesEnabled(true);
    }
}

void FormLock::resumePainting()
{
    if (m_form.updatesEnabled()) {
        return;
    }
    m_form.setUpdatesEnabled(true);
    // A paint of the window that falls due while its painting is off is dropped, yet the
    // widgets it was for stay marked, and Qt asks for the window's next paint only when
    // none is marked: without a request of its own the window would paint nothing more
    // until the system exposes it again (a closed menu stays on screen, a row clicked
    // keeps the old one highlighted).
    QCoreApplication::postEvent(&m_form, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

void FormLock::lockControlsForRun()
{
    paintInParts([this] { lockControls(); });
}

void FormLock::unlockControlsAfterRun()
{
    paintInParts([this] { unlockControls(); });
}

void FormLock::lockControls()
{
    if (!m_paintingInParts) {
        releaseParts();
    }
    if (m_form.isVisible() && !m_paintLockedState.isActive() && !m_paintingInParts) {
        m_form.setUpdatesEnabled(false);
        m_paintLockedState.start();
    }
    for (QWidget *control : std::as_const(m_components)) {
        if (IsExactly<QLineEdit>(control) || IsExactly<QComboBox>(control) ||
            IsExactly<QTreeWidget>(control)) {
            control->setEnabled(false);
        } else if (IsExactly<QPushButton>(control)) {
            control->setEnabled(control->objectName() == QLatin1String("btnsearch"));
        }
    }
}

void FormLock::unlockControls()
{
    if (!m_paintingInParts) {
        releaseParts();
    }
    m_paintLockedState.stop();
    resumePainting();
    if (m_held) {
        return;
    }
    auto *manualAddress = m_form.findChild<QRadioButton *>(QStringLiteral("rbhandip"));
    auto *addressRows = m_form.findChild<QWidget *>(QStringLiteral("grp5"));
    if (manualAddress != nullptr && addressRows != nullptr) {
        addressRows->setEnabled(manualAddress->isChecked());
    }
    for (QWidget *control : std::as_const(m_components)) {
        if (IsExactly<QLineEdit>(control)) {
            // The 3G state is only ever shown, never typed.
            control->setEnabled(control->objectName() != QLatin1String("edt3gshow"));
        } else if (IsExactly<QPushButton>(control) || IsExactly<QTreeWidget>(control)) {
            control->setEnabled(true);
        }
    }
}

std::optional<QString> FormLock::selectedLoggerAddress() const
{
    const discovery::ListedLogger *selected = m_loggerList.selected();
    if (selected == nullptr) {
        return std::nullopt;
    }
    return selected->address.toString();
}
