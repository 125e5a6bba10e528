// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "discovery/address_range.h"
#include "discovery/logger_list.h"
#include "discovery/pc_address.h"
#include "save_file_chooser.h"
#include "transport/settings.h"

#include <QHostAddress>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CellularLink;
class CommandExchange;
class DeviceRegistry;
class FormLock;
class FormNotices;
class LoggerListMenu;
class LoggerListView;
class LoggerSearch;
class NetworkAddressing;
class Notifier;
class PlantViewWindow;
class QLabel;
class ReceivePath;
struct SearchOutcome;
class QTreeWidget;
class SignalWatch;
class SignalWatchWindow;
class SystemParameters;
class TrafficLog;
class TrafficLogWindow;
struct ListTable;
class UdpEndpoints;

namespace Ui {
class Tfrmmain;
}

// Supplies the PC's own IPv4 address as a dotted quad.
using LocalAddressSource = std::function<QString()>;
// Supplies the PC's usable adapters, offered in the logger list's menu.
using AdapterSource = std::function<QList<discovery::LocalAdapter>()>;

// The tool's one window: the logger list, the device lists and one group per logger
// setting. It composes the transport, the search and the command families.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(Notifier &notifier, const NetworkSettings &network = {},
                        const Timing &timing = {},
                        LocalAddressSource localAddress = discovery::LocalPcAddress,
                        AdapterSource adapters = discovery::LocalAdapters,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    CommandExchange &exchange();
    ReceivePath &receivePath();
    TrafficLog &trafficLog();
    // The loggers the logger list shows; a search fills it.
    discovery::LoggerList &loggerList();

    // Where "Export list…" and the traffic log's saves ask for a file; the desktop's
    // file dialog unless replaced.
    void setSaveFileChooser(SaveFileChooser chooseFile);

    // Says in the status bar's notice that the code page named by the environment is
    // unknown and the system's is used.
    void reportUnknownCodePage(const QString &name);

public slots:
    void FormShow();
    void FormActivate();
    void FormClose();

    // "Traffic log…": shows the traffic log window, created on first use.
    void openTrafficLog();
    // "Watch signal quality…": the watch window of the selected logger, created for it;
    // while one is open it is shown instead.
    void openSignalWatch();
    // "Plant view…": shows the plant view, created on first use and kept for the session.
    void openPlantView();
    // "Export list…" of listview1; of Listview2 and Listview3, which export together.
    void exportLoggerList();
    void exportDeviceList();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void applyStaticProperties();
    void centreOnScreen();
    void buildLoggerListMenu();
    void addShortcuts();
    QList<discovery::LocalNetwork> pcNetworks() const;
    // The one check of an address given as a logger's, against this PC's networks.
    Checked<quint32> checkLoggerAddress(const QString &text) const;
    std::optional<Refusal> refusedNewAddress(const QHostAddress &address) const;
    void openAddLoggerDialog();
    void openRangeSearchDialog();
    void selectLoggerRow(const QString &address);
    void searchLoggers();
    // Holds the PC's address the next sweep starts from, shown in "PC IP:"; null when the
    // PC has no usable adapter.
    void setPcAddress(const QHostAddress &address);
    // What "PC IP:" shows.
    QString pcAddressText() const;
    void showNoAdapterNotice();
    void showSearchEnd(const SearchOutcome &outcome);
    // clearedByAnswer: a logger that answers makes the notice untrue.
    void showNotice(const QString &text, const QString &toolTip, bool clearedByAnswer);
    void attachDeviceListMenus();
    void exportTable(const ListTable &table, const QString &stem);

    std::unique_ptr<Ui::Tfrmmain> m_ui;
    QLabel *m_setPortPanel;
    QLabel *m_searchPortPanel;
    QLabel *m_searchNotice;
    bool m_noticeClearedByAnswer = false;
    LocalAddressSource m_localAddress;
    QHostAddress m_pcAddress;
    AdapterSource m_adapters;
    discovery::LoggerList *m_loggers;
    LoggerListView *m_loggerView;
    std::unique_ptr<FormLock> m_formLock;
    UdpEndpoints *m_endpoints;
    CommandExchange *m_exchange;
    ReceivePath *m_receivePath;
    LoggerSearch *m_search;
    NetworkAddressing *m_network;
    FormNotices *m_formNotices;
    CellularLink *m_cellular;
    DeviceRegistry *m_devices;
    SystemParameters *m_systemParameters;
    LoggerListMenu *m_listMenu;
    // Records from start-up; the endpoints report every datagram to it.
    std::unique_ptr<TrafficLog> m_trafficLog;
    TrafficLogWindow *m_trafficLogWindow = nullptr;
    SignalWatch *m_signalWatch;
    QPointer<SignalWatchWindow> m_signalWatchWindow;
    PlantViewWindow *m_plantView = nullptr;
    Timing m_timing;
    Notifier &m_notifier;
    SaveFileChooser m_chooseFile = AskForSaveFile;
    bool m_shownOnce = false;
};
