// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/command_exchange.h"

#include <QList>
#include <QTimer>

class LoggerListView;
class QRadioButton;
class QWidget;

// Locks and unlocks the window while a command is pending. It walks the controls the
// form created (its components) and acts by exact class, so that a subclass, or a
// widget Qt creates inside another (a message box's buttons), is never touched.
//
// Most answers arrive within a few milliseconds. Painting the locked window for them
// would cost a full repaint that nobody sees, so the window shows its locked state only
// once the command has been pending for one frame.
class FormLock : public ExchangeWindow
{
public:
    static constexpr int kLockedPaintDelayMs = 16;

    FormLock(QWidget &form, const LoggerListView &loggerList);

    void lockControls() override;
    // Leaves the controls locked while the form is held.
    void unlockControls() override;
    // While held, the form stays locked whatever unlocks it: answers to requests of the
    // plant view may still come, and a command of the form would take them for its own.
    void setHeld(bool held) { m_held = held; }
    bool held() const { return m_held; }
    std::optional<QString> selectedLoggerAddress() const override;

    // Locks or unlocks for a run that outlasts many frames (the plant view's). Its new
    // state is painted one part of the form (a group of controls) per turn of the event
    // loop, so that no turn holds the GUI thread for a repaint of the whole form.
    void lockControlsForRun();
    void unlockControlsAfterRun();

private:
    // Holds the painting of every part, runs `change`, and lets the parts paint in turn.
    template <typename Change> void paintInParts(Change change);
    // Lets every part still held paint at once.
    void releaseParts();
    // Turns the form's painting back on and has it paint what changed meanwhile.
    void resumePainting();

    QList<QWidget *> m_components;
    QWidget &m_form;
    const LoggerListView &m_loggerList;
    QTimer m_paintLockedState;
    bool m_held = false;
    // The form's parts: the children of its panels, and its other children.
    QList<QWidget *> m_parts;
    qsizetype m_partsReleased = 0;
    QTimer m_releaseNextPart;
    bool m_paintingInParts = false;
};
