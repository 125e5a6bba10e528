// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_error.h"

QString LoggerError::KindName(Kind kind)
{
    switch (kind) {
    case Kind::NoAnswer:
        return QStringLiteral("no_answer");
    case Kind::NotUnderstood:
        return QStringLiteral("not_understood");
    case Kind::Refused:
        return QStringLiteral("refused");
    case Kind::Differs:
        return QStringLiteral("differs");
    case Kind::SendFailed:
        return QStringLiteral("send_failed");
    case Kind::BadCrc:
        return QStringLiteral("bad_crc");
    case Kind::AnswersTwice:
        return QStringLiteral("answers_twice");
    case Kind::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}
