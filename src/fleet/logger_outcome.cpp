// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_outcome.h"

namespace fleet {

QString FailureKindName(FailureKind kind)
{
    switch (kind) {
    case FailureKind::NoAnswer:
        return QStringLiteral("no_answer");
    case FailureKind::NotUnderstood:
        return QStringLiteral("not_understood");
    case FailureKind::Differs:
        return QStringLiteral("differs");
    case FailureKind::Refused:
        return QStringLiteral("refused");
    case FailureKind::BadCrc:
        return QStringLiteral("bad_crc");
    case FailureKind::SendFailed:
        return QStringLiteral("send_failed");
    case FailureKind::Interrupted:
        return QStringLiteral("interrupted");
    case FailureKind::AnswersTwice:
        return QStringLiteral("answers_twice");
    }
    return {};
}

} // namespace fleet
