#pragma once

#include "protocol/text.h"
#include "wire_text/wire_text.h"

#include <QString>

// The operator-facing outcomes: an information box, a Yes/No question and the
// application's general error report. The window shows them as modal boxes; tests
// record them.
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void inform(const QString &text) = 0;
    virtual bool ask(const QString &question) = 0;
    virtual void reportError(const QString &text) = 0;
};

// Runs an event handler; a text that had to be a whole number and was not stops the
// handler there and is reported. What the handler did before the throw stays.
template <typename Handler>
void RunGuarded(Notifier &notifier, Handler &&handler)
{
    try {
        handler();
    } catch (const protocol::InvalidIntegerError &error) {
        notifier.reportError(FromWire(error.what()));
    }
}
