#include "form_lock.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

template <typename Control>
bool IsExactly(const QWidget *widget)
{
    return widget->metaObject() == &Control::staticMetaObject;
}

// The form names every control it creates; Qt's internal children are unnamed or "qt_".
bool IsFormComponent(const QWidget *widget)
{
    const QString name = widget->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

constexpr int kIpColumn = 1;

}  // namespace

FormLock::FormLock(QWidget &form, QTreeWidget &loggerList) : m_form(form), m_loggerList(loggerList)
{
    const QList<QWidget *> children = form.findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (IsFormComponent(child)) {
            m_components.append(child);
        }
    }
}

void FormLock::lockControls()
{
    for (QWidget *control : std::as_const(m_components)) {
        if (control == nullptr) {
            continue;
        }
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
    auto *manualAddress = m_form.findChild<QRadioButton *>(QStringLiteral("rbhandip"));
    auto *addressRows = m_form.findChild<QWidget *>(QStringLiteral("grp5"));
    if (manualAddress != nullptr && addressRows != nullptr) {
        addressRows->setEnabled(manualAddress->isChecked());
    }
    for (QWidget *control : std::as_const(m_components)) {
        if (control == nullptr) {
            continue;
        }
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
    const QList<QTreeWidgetItem *> selected = m_loggerList.selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return selected.first()->text(kIpColumn);
}
