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

QString AddressClash(const LoggerTarget &logger)
{
    return QStringLiteral("address clash: %1 and %2 both answer at %3")
        .arg(logger.clashingSerial, logger.serial, logger.address.toString());
}

} // namespace fleet
