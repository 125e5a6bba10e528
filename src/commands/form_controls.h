// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "transport/notifier.h"

#include <QAbstractButton>
#include <QWidget>

// The controls the form created (its components). The form names every control it
// creates; widgets that Qt makes inside others are unnamed or named "qt_...". Windows
// the form owns (the traffic log, dialogs) hold controls of their own, not the form's.
inline QList<QWidget *> FormComponents(QWidget &form)
{
    QList<QWidget *> components;
    for (QWidget *child : form.findChildren<QWidget *>()) {
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) &&
            child->window() == &form) {
            components.append(child);
        }
    }
    return components;
}

// Controls are classified by exact class: a subclass is not the control it derives from.
template <typename Control>
bool IsExactly(const QWidget *widget)
{
    return widget->metaObject() == &Control::staticMetaObject;
}

// The command families reach the window's controls by their names in the form.
template <typename Control>
Control *FindControl(QWidget &form, const char *name)
{
    auto *control = form.findChild<Control *>(QLatin1String(name));
    if (control == nullptr) {
        qFatal("The form has no control named %s of the expected kind", name);
    }
    return control;
}

// A codec's rule as the window shows it: a sentence ("The mask ... (ones, then zeros).").
inline QString AsSentence(const Refusal &rule)
{
    QString sentence = rule.message;
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
    }
    return sentence + QLatin1Char('.');
}

// Runs `handler` on every click of the named button, guarded so that a text that is
// not a whole number ends the handler with the application's error report.
template <typename Handler>
void ConnectClick(QWidget &form, const char *buttonName, QObject *context, Notifier &notifier,
                  Handler handler)
{
    QObject::connect(FindControl<QAbstractButton>(form, buttonName), &QAbstractButton::clicked,
                     context, [&notifier, handler] { RunGuarded(notifier, handler); });
}
