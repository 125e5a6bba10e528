// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Why an exchange with a logger did not give what was asked: the one kind of error every
// exchange outcome carries, the window's and the fleet's alike, with its words. Input the
// tool will not act on is not one: it is refused before anything is sent.
struct LoggerError {
    enum class Kind {
        NoAnswer,      // no answer within the timeout and its retries
        NotUnderstood, // an answer that does not parse as the answer to the request
        Refused,       // the logger's state is one the tool will not write back
        Differs,       // a read-back that does not hold what was written
        SendFailed,    // the system did not send the request (no route, ...)
        BadCrc,        // the only answers that came had a bad CRC
        AnswersTwice,  // a second answer to one request: a logger that answers twice, or
                       // two loggers at one address
        Interrupted,   // the work was interrupted before this exchange was sent
    };

    Kind kind = Kind::NoAnswer;
    QString message; // what happened, for the operator ("no answer to ER after 3 tries")
    // A send the system could not take now (its queue towards the neighbour, or its
    // buffers, were full): the same send may well pass a moment later.
    bool transient = false;

    // The name of a kind in reports: "no_answer", "not_understood", "refused", "differs",
    // "send_failed", "bad_crc", "answers_twice", "interrupted".
    static QString KindName(Kind kind);
    QString kindName() const { return KindName(kind); }
};
