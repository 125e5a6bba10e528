// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/form_controls.h"
#include "logger_sim.h"
#include "recording_notifier.h"
#include "ui/main_window.h"

#include <QWidget>

#include <memory>

// The real window on loopback with short timings, and substitute loggers on
// 127.0.0.2 and up that share one free command port and one free search port. The PC
// has two adapters on loopback networks: 127.0.0.1/24 (shown) and 127.0.1.1/24.
class WindowHarness
{
public:
    static Timing FastTiming();
    static QList<discovery::LocalAdapter> LoopbackAdapters();
    // The tool on 127.0.0.1 with free local ports, sending to loggers on these ports.
    static NetworkSettings LoopbackNetwork(quint16 remoteSetPort, quint16 remoteSearchPort);

    explicit WindowHarness(int loggerCount = 1, const Timing &timing = FastTiming());
    ~WindowHarness();

    MainWindow &window() { return *m_window; }
    RecordingNotifier &notifier() { return m_notifier; }
    LoggerSim &logger(int index = 0) { return *m_loggers.at(static_cast<std::size_t>(index)); }
    NetworkSettings settings() const { return m_settings; }

    template <typename Control>
    Control *control(const char *name)
    {
        return FindControl<Control>(*m_window, name);
    }

    // Puts a row for the logger into listview1 and selects it, as a search would.
    void selectLogger(int index = 0);
    // The local ports the window's sockets are bound to.
    quint16 windowSetPort();
    quint16 windowSearchPort();

private:
    RecordingNotifier m_notifier;
    NetworkSettings m_settings;
    std::vector<std::unique_ptr<LoggerSim>> m_loggers;
    std::unique_ptr<MainWindow> m_window;
};
