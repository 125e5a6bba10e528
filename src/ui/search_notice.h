// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/logger_search.h"

#include <QString>

#include <optional>

// What the status bar's notice says about a search; a probe not sent is named by the
// cause the system gave ("no route to 203.0.113.10 (Network is unreachable)").

struct SearchNotice {
    QString text;    // one line for the status bar; empty when there is nothing to say
    QString toolTip; // the details
};

// The notice for a search that has ended. `sweptAdapterNetwork` is the network of the
// adapter a sweep started from: when it is wider than the /24 swept, the notice proposes
// a range search over it. Nothing to say when loggers are listed and every probe went out.
SearchNotice NoticeForSearchEnd(const SearchOutcome &outcome,
                                const std::optional<discovery::LocalNetwork> &sweptAdapterNetwork);
