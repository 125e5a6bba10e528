// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/text.h"
#include "wire_text/wire_text.h"

#include <QString>

// The operator-facing outcomes: an information box, a warning, a Yes/No question and the
// application's general error report. The window shows them as modal boxes; tests
// record them.
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void inform(const QString &text) = 0;
    // Something the operator asked for did not happen (a file not saved).
    virtual void warn(const QString &text) = 0;
    virtual bool ask(const QString &question) = 0;
    virtual void reportError(const QString &text) = 0;
};

// Runs an event handler; a text that had to be a whole number and was not, or a text to
// be sent that the loggers' code page cannot hold, stops the handler there and is
// reported. What the handler did before the throw stays.
template <typename Handler>
void RunGuarded(Notifier &notifier, Handler &&handler)
{
    try {
        handler();
    } catch (const protocol::InvalidIntegerError &error) {
        notifier.reportError(FromWire(error.what()));
    } catch (const TextOutsideCodePageError &error) {
        notifier.reportError(error.message());
    }
}
