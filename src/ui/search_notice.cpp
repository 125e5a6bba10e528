// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_notice.h"

#include <QLocale>

namespace {

QString Count(quint64 value)
{
    return QLocale(QLocale::English).toString(value);
}

} // namespace

SearchNotice NoticeForSearchEnd(const SearchOutcome &outcome,
                                const std::optional<discovery::LocalNetwork> &sweptAdapterNetwork)
{
    if (outcome.stopped) {
        return {QStringLiteral("Range search of %1 stopped after %2 of %3 addresses; %4 listed.")
                    .arg(outcome.probed, Count(outcome.addressesDone), Count(outcome.addresses),
                         Count(quint64(outcome.listed))),
                {}};
    }
    if (outcome.firstFailure) {
        const QString &cause = outcome.firstFailure->message;
        const QString failed = QStringLiteral("%1 of %2 probes not sent")
                                   .arg(Count(outcome.failedProbes), Count(outcome.probes));
        return {
            outcome.listed == 0 ? QStringLiteral("No logger answered in %1: %2: %3")
                                      .arg(outcome.probed, failed, cause)
                                : QStringLiteral("%1 to %2: %3").arg(failed, outcome.probed, cause),
            QStringLiteral("The system refused to send %1 of the %2 search probes to %3; the "
                           "first: %4.\nThe traffic log (Ctrl+T) lists each one.")
                .arg(Count(outcome.failedProbes), Count(outcome.probes), outcome.probed, cause)};
    }
    if (outcome.listed > 0) {
        return {};
    }
    if (sweptAdapterNetwork && sweptAdapterNetwork->prefixLength < 24) {
        const QString network = sweptAdapterNetwork->cidr();
        return {QStringLiteral("No logger answered in %1: the adapter's network is %2, use "
                               "\"Search a range…\"")
                    .arg(outcome.probed, network),
                QStringLiteral("The search probed %1 only, the /24 around the PC address, and "
                               "no logger answered.\n"
                               "The adapter's network is %2: right-click the logger list and "
                               "choose \"Search a range…\" with %2 to probe all of it.")
                    .arg(outcome.probed, network)};
    }
    return {
        QStringLiteral("No logger answered in %1: wrong adapter? firewall?").arg(outcome.probed),
        QStringLiteral("The search probed %1 and no logger answered.\n"
                       "- The PC address may be on the wrong adapter: right-click the logger "
                       "list to choose another one.\n"
                       "- A firewall may drop the loggers' answers to UDP port 23: allow "
                       "incoming UDP to port 23 from the plant's network.")
            .arg(outcome.probed)};
}
