// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/notifier.h"

#include <QStringList>

#include <deque>

// Records every message instead of opening a modal box; questions take their answers
// from a queue (No when it is empty).
class RecordingNotifier : public Notifier
{
public:
    void inform(const QString &text) override { informed.append(text); }
    void warn(const QString &text) override { warned.append(text); }
    bool ask(const QString &question) override
    {
        asked.append(question);
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void reportError(const QString &text) override { errors.append(text); }

    QStringList all() const { return informed + warned + asked + errors; }
    void clear()
    {
        informed.clear();
        warned.clear();
        asked.clear();
        errors.clear();
    }

    QStringList informed;
    QStringList warned;
    QStringList asked;
    QStringList errors;
    std::deque<bool> answers;
};
