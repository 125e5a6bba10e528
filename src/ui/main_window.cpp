// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include "ui_mainwindow.h"

#include "add_logger_dialog.h"
#include "bind_failure_hint.h"
#include "eliding_label.h"
#include "commands/cellular_link.h"
#include "commands/device_registry.h"
#include "commands/network_addressing.h"
#include "commands/signal_watch.h"
#include "commands/system_parameters.h"
#include "discovery/logger_search.h"
#include "form_lock.h"
#include "form_notices.h"
#include "list_export.h"
#include "logger_list_menu.h"
#include "logger_list_view.h"
#include "plant_view_window.h"
#include "range_search_dialog.h"
#include "search_notice.h"
#include "signal_watch_window.h"
#include "traffic_log_window.h"
#include "transport/command_exchange.h"
#include "transport/logger_client.h"
#include "transport/notifier.h"
#include "transport/receive_path.h"
#include "transport/udp_endpoints.h"
#include "wire_text/wire_text.h"
#include "wirelog/traffic_log.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QShortcut>

namespace {

// The form's face where it is installed, else a close relative, else the default.
QFont FormFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixelSize);
    return font;
}

void SetColumnWidths(QTreeWidget *list, std::initializer_list<int> widths)
{
    list->header()->setStretchLastSection(false);
    int column = 0;
    for (const int width : widths) {
        list->setColumnWidth(column++, width);
    }
}

// What "PC IP:" shows when no adapter that is up has a usable IPv4 address.
const QString kNoPcAddress = QStringLiteral("No IPv4 adapter");

// Report lists keep showing their selection when they lose the focus.
void KeepSelectionVisible(QTreeWidget *list)
{
    QPalette palette = list->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list->setPalette(palette);
}

} // namespace

MainWindow::MainWindow(Notifier &notifier, const NetworkSettings &network, const Timing &timing,
                       LocalAddressSource localAddress, AdapterSource adapters, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Tfrmmain>()),
      m_localAddress(std::move(localAddress)), m_adapters(std::move(adapters)),
      m_trafficLog(std::make_unique<TrafficLog>()), m_timing(timing), m_notifier(notifier)
{
    m_ui->setupUi(this);
    applyStaticProperties();

    m_loggers = new discovery::LoggerList(this);
    m_loggerView = new LoggerListView(*m_loggers, *m_ui->listview1, this);
    m_formLock = std::make_unique<FormLock>(*this, *m_loggerView);
    m_endpoints = new UdpEndpoints(network, this);
    m_endpoints->setObserver(m_trafficLog.get());
    auto *client = new LoggerClient(*m_endpoints, this);
    m_exchange = new CommandExchange(*client, *m_formLock, notifier, timing, this);
    m_receivePath = new ReceivePath(*client, this);
    m_search = new LoggerSearch(*client, *m_exchange,
                                {m_loggers, [this] { return m_pcAddress; }, m_ui->pb1},
                                timing.searchTickMs, this);
    m_receivePath->setDiscoveryHandler([this](const std::string &candidate, const QString &sender) {
        m_search->handleDiscoveryAnswer(candidate, sender);
    });
    connect(m_ui->btnsearch, &QPushButton::clicked, this, &MainWindow::searchLoggers);
    connect(m_search, &LoggerSearch::searchStarted, m_searchNotice, &QLabel::clear);
    connect(m_search, &LoggerSearch::loggerListed, this, [this] {
        if (m_noticeClearedByAnswer) {
            m_searchNotice->clear();
        }
    });
    connect(m_search, &LoggerSearch::searchEnded, this, &MainWindow::showSearchEnd);
    buildLoggerListMenu();
    addShortcuts();

    m_network = new NetworkAddressing(
        *this, *m_exchange, timing,
        [this](const QHostAddress &address) { return refusedNewAddress(address); }, this);
    m_cellular = new CellularLink(*this, *m_exchange, timing, this);
    m_devices = new DeviceRegistry(*this, *m_exchange, timing, this);
    m_systemParameters = new SystemParameters(*this, *m_exchange, timing, this);
    m_formNotices = new FormNotices(
        *m_exchange, *m_loggerView, *m_searchNotice,
        [this](const QString &text) { showNotice(text, {}, false); }, this);
    connect(m_network, &NetworkAddressing::notice, m_formNotices, &FormNotices::tell);
    m_signalWatch = new SignalWatch(*m_exchange, this);
    // A search takes the exchange and unlocks the form at its first answer: the watch
    // ends there rather than run on with the form unlocked.
    connect(m_search, &LoggerSearch::searchStarted, m_signalWatch, &SignalWatch::stop);
    attachDeviceListMenus();
}

MainWindow::~MainWindow()
{
    // The plant view's jobs detach from the window's client as they go: the view goes
    // before it.
    delete m_plantView;
    // The endpoints are destroyed with the window's children, after the log.
    m_endpoints->setObserver(nullptr);
}

CommandExchange &MainWindow::exchange()
{
    return *m_exchange;
}

ReceivePath &MainWindow::receivePath()
{
    return *m_receivePath;
}

TrafficLog &MainWindow::trafficLog()
{
    return *m_trafficLog;
}

discovery::LoggerList &MainWindow::loggerList()
{
    return *m_loggers;
}

void MainWindow::setSaveFileChooser(SaveFileChooser chooseFile)
{
    m_chooseFile = std::move(chooseFile);
}

void MainWindow::reportUnknownCodePage(const QString &name)
{
    showNotice(QStringLiteral("Unknown code page \"%1\" in %2: the system's code page is used")
                   .arg(name, QLatin1String(wire_text::kCodePageVariable)),
               QStringLiteral("Texts to and from the loggers are converted with the system's "
                              "code page. Set %1 to a code page name such as GBK or UTF-8 and "
                              "start the tool again.")
                   .arg(QLatin1String(wire_text::kCodePageVariable)),
               false);
}

void MainWindow::openTrafficLog()
{
    if (!m_trafficLogWindow) {
        m_trafficLogWindow = new TrafficLogWindow(
            *m_trafficLog, m_notifier,
            [this](QWidget *parent, const SaveFileRequest &request) {
                return m_chooseFile(parent, request);
            },
            [this] { return m_pcAddress; }, this);
    }
    // Ctrl+T brings back a minimised log too.
    m_trafficLogWindow->setWindowState(m_trafficLogWindow->windowState() & ~Qt::WindowMinimized);
    m_trafficLogWindow->show();
    m_trafficLogWindow->raise();
    m_trafficLogWindow->activateWindow();
}

void MainWindow::openSignalWatch()
{
    const QHostAddress logger(m_formLock->selectedLoggerAddress().value_or(QString()));
    // The window of another logger's watch (stopped, or the list would be locked) goes: the
    // entry watches the logger selected.
    if (m_signalWatchWindow && !logger.isNull() && m_signalWatch->logger() != logger) {
        m_signalWatchWindow->close();
        m_signalWatchWindow = nullptr;
    }
    if (!m_signalWatchWindow) {
        if (logger.isNull()) {
            return; // the entry is offered only with a logger selected
        }
        m_signalWatch->start(logger);
        m_signalWatchWindow = new SignalWatchWindow(
            *m_signalWatch,
            [this](QWidget *parent, const SaveFileRequest &request) {
                return m_chooseFile(parent, request);
            },
            this);
        m_signalWatchWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_signalWatchWindow->show();
    m_signalWatchWindow->raise();
    m_signalWatchWindow->activateWindow();
}

void MainWindow::openPlantView()
{
    if (!m_plantView) {
        PlantViewLinks links{
            *m_endpoints,
            *m_receivePath,
            *m_exchange,
            *m_formLock,
            [this] {
                std::vector<fleet::LoggerTarget> loggers;
                for (const discovery::ListedLogger &logger : m_loggers->loggers()) {
                    loggers.push_back({logger.address, logger.serial, logger.version});
                }
                return loggers;
            },
            [this] { return pcAddressText(); },
            [this](QWidget *parent, const SaveFileRequest &request) {
                return m_chooseFile(parent, request);
            },
            [this] { return m_signalWatch->isRunning(); }};
        // The exchanges of the command-line tool: the window's timeout, two retries.
        m_plantView = new PlantViewWindow(std::move(links), {m_timing.commandTimeoutMs, 2}, this);
        // A search takes the current command and unlocks the form at its first answer, and
        // its list replaces the run's: the run ends first, as the watch does, so that no
        // command of the form goes to a logger whose answers the run takes.
        connect(m_search, &LoggerSearch::searchStarted, m_plantView, &PlantViewWindow::stop);
    }
    m_plantView->show();
    m_plantView->raise();
    m_plantView->activateWindow();
}

void MainWindow::exportLoggerList()
{
    exportTable(m_loggerView->table(), QStringLiteral("loggers"));
}

void MainWindow::exportDeviceList()
{
    // A device's record and its append info stand in the two lists at the same row.
    exportTable(SideBySide(ListContents(*m_ui->Listview2), ListContents(*m_ui->Listview3)),
                QStringLiteral("devices"));
}

void MainWindow::exportTable(const ListTable &table, const QString &stem)
{
    if (const auto failure = ExportList(table, stem, QDate::currentDate(), this, m_chooseFile)) {
        m_notifier.warn(QStringLiteral("The list was not saved to %1: %2")
                            .arg(QDir::toNativeSeparators(failure->path), failure->reason));
    }
}

void MainWindow::attachDeviceListMenus()
{
    // The device lists have their own context menu (right click or the Menu key).
    for (QTreeWidget *list : {m_ui->Listview2, m_ui->Listview3}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &at) {
            QMenu menu(this);
            menu.addAction(QStringLiteral("Export list…"), this, [this] { exportDeviceList(); });
            menu.exec(list->viewport()->mapToGlobal(at));
        });
    }
}

void MainWindow::applyStaticProperties()
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(883, 602);
    setFont(FormFont(13));
    for (QComboBox *list : {m_ui->cbresponse, m_ui->cb485422, m_ui->cbtcpudp, m_ui->cbgprs}) {
        list->setFont(FormFont(12));
    }
    m_ui->redtappendinfo->setFont(FormFont(13));

    SetColumnWidths(m_ui->listview1, {115, 120, 145});
    SetColumnWidths(m_ui->Listview2, {150, 100, 100});
    SetColumnWidths(m_ui->Listview3, {350});
    for (QTreeWidget *list : {m_ui->listview1, m_ui->Listview2, m_ui->Listview3}) {
        KeepSelectionVisible(list);
    }

    m_setPortPanel = new QLabel(m_ui->StatusBar1);
    m_setPortPanel->setObjectName(QStringLiteral("StatusBar1Panel0"));
    m_setPortPanel->setFixedWidth(290);
    m_searchPortPanel = new QLabel(m_ui->StatusBar1);
    m_searchPortPanel->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_searchPortPanel->setFixedWidth(150);
    m_ui->StatusBar1->addWidget(m_setPortPanel);
    m_ui->StatusBar1->addWidget(m_searchPortPanel);
    // The free space right of the two panels, for what a search has to tell.
    // Cut with "…" where the panel ends, the whole text in its tooltip.
    m_searchNotice = new ElidingLabel(m_ui->StatusBar1);
    m_searchNotice->setObjectName(QStringLiteral("StatusBar1Notice"));
    m_ui->StatusBar1->addWidget(m_searchNotice, 1);
}

void MainWindow::buildLoggerListMenu()
{
    LoggerListMenu::AdapterChoice adapterChoice{m_adapters, [this] { return pcAddressText(); },
                                                [this](const discovery::LocalAdapter &adapter) {
                                                    // The next search sweeps this adapter's /24;
                                                    // the choice lasts for the run. What the notice
                                                    // said was about the address before.
                                                    setPcAddress(adapter.address);
                                                    m_searchNotice->clear();
                                                }};
    m_listMenu = new LoggerListMenu(*m_ui->listview1, std::move(adapterChoice), this);
    m_listMenu->addEntry(QStringLiteral("Add logger by IP address…"),
                         [this] { openAddLoggerDialog(); });
    m_listMenu->addEntry(QStringLiteral("Search a range…"), [this] { openRangeSearchDialog(); });
    m_listMenu->addEntry(
        QStringLiteral("Stop the range search"), [this] { m_search->stopRangeSearch(); },
        [this] { return m_search->rangeSearchRunning(); });
    m_listMenu->addEntry(
        QStringLiteral("Watch signal quality…"), [this] { openSignalWatch(); },
        [this] { return m_exchange->hasSelectedLogger(); });
    m_listMenu->addEntry(QStringLiteral("Traffic log…"), [this] { openTrafficLog(); });
    m_listMenu->addEntry(QStringLiteral("Plant view…"), [this] { openPlantView(); });
    m_listMenu->addEntry(QStringLiteral("Export list…"), [this] { exportLoggerList(); });
}

void MainWindow::addShortcuts()
{
    // On the window, not on the list: they work while a command locks the form.
    auto *openLog = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(openLog, &QShortcut::activated, this, &MainWindow::openTrafficLog);
    auto *stopRange = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stopRange, &QShortcut::activated, m_search, &LoggerSearch::stopRangeSearch);
}

QList<discovery::LocalNetwork> MainWindow::pcNetworks() const
{
    QList<discovery::LocalNetwork> networks;
    for (const discovery::LocalAdapter &adapter : m_adapters()) {
        networks.append(adapter.network());
    }
    return networks;
}

Checked<quint32> MainWindow::checkLoggerAddress(const QString &text) const
{
    const QList<discovery::LocalNetwork> networks = pcNetworks();
    // Loggers on 127.x are this PC's own substitutes; once the PC has an address on a
    // real network, 127.x is the PC itself.
    const bool onlyLoopback = std::all_of(
        networks.begin(), networks.end(),
        [](const discovery::LocalNetwork &network) { return network.address.isLoopback(); });
    return discovery::ParseLoggerAddress(text, networks,
                                         onlyLoopback ? discovery::LoopbackLoggers::Allowed
                                                      : discovery::LoopbackLoggers::Refused);
}

std::optional<Refusal> MainWindow::refusedNewAddress(const QHostAddress &address) const
{
    const Checked<quint32> parsed = checkLoggerAddress(address.toString());
    if (!parsed.accepted()) {
        return parsed.refusal();
    }
    // Two loggers on one address: neither can be reached for sure until one is moved.
    if (const std::optional<QString> other = m_loggerView->otherLoggerAt(address)) {
        return Refusal{QStringLiteral("%1 is the address of %2 in the logger list: two loggers "
                                      "on one address cannot both be reached. Nothing was sent.")
                           .arg(address.toString(), *other)};
    }
    return std::nullopt;
}

void MainWindow::openAddLoggerDialog()
{
    auto checkAddress = [this](const QString &text) { return checkLoggerAddress(text); };
    auto *dialog = new AddLoggerDialog(*m_search, std::move(checkAddress), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &AddLoggerDialog::loggerAdded, this, &MainWindow::selectLoggerRow);
    dialog->open();
}

void MainWindow::openRangeSearchDialog()
{
    auto *dialog = new RangeSearchDialog(
        *m_search, [this] { return pcNetworks(); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void MainWindow::selectLoggerRow(const QString &address)
{
    m_loggerView->select(QHostAddress(address));
}

void MainWindow::searchLoggers()
{
    // An address the PC no longer holds (removed, or its adapter gone) is replaced before
    // the sweep starts from it.
    const QHostAddress held = m_pcAddress;
    if (!discovery::AdapterHolds(m_adapters(), held)) {
        setPcAddress(QHostAddress(m_localAddress()));
    }
    m_search->btnsearchClick();
    if (m_pcAddress.isNull()) {
        showNoAdapterNotice();
    } else if (m_pcAddress != held && !held.isNull()) {
        showNotice(QStringLiteral("%1 is no longer an address of this PC: searching from %2")
                       .arg(held.toString(), m_pcAddress.toString()),
                   {}, false);
    }
}

void MainWindow::setPcAddress(const QHostAddress &address)
{
    m_pcAddress = address;
    m_ui->lbl3->setText(pcAddressText());
}

QString MainWindow::pcAddressText() const
{
    return m_pcAddress.isNull() ? kNoPcAddress : m_pcAddress.toString();
}

void MainWindow::showNoAdapterNotice()
{
    showNotice(QStringLiteral("No usable IPv4 adapter is up: nothing to search from"),
               QStringLiteral("A search starts from an adapter that is up and has an IPv4 "
                              "address (not loopback, not link-local). Connect the PC to the "
                              "plant's network and search again."),
               false);
}

void MainWindow::showSearchEnd(const SearchOutcome &outcome)
{
    std::optional<discovery::LocalNetwork> sweptAdapterNetwork;
    if (!outcome.rangeSearch) {
        for (const discovery::LocalAdapter &adapter : m_adapters()) {
            if (adapter.address == m_pcAddress) {
                sweptAdapterNetwork = adapter.network();
            }
        }
    }
    const SearchNotice notice = NoticeForSearchEnd(outcome, sweptAdapterNetwork);
    if (!notice.text.isEmpty()) {
        showNotice(notice.text, notice.toolTip, outcome.listed == 0 && !outcome.firstFailure);
    }
}

void MainWindow::showNotice(const QString &text, const QString &toolTip, bool clearedByAnswer)
{
    m_searchNotice->setText(text);
    m_searchNotice->setToolTip(toolTip);
    m_noticeClearedByAnswer = clearedByAnswer;
}

void MainWindow::centreOnScreen()
{
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce) {
        return;
    }
    m_shownOnce = true;
    centreOnScreen();
    FormShow();
    FormActivate();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void MainWindow::FormShow()
{
    setPcAddress(QHostAddress(m_localAddress()));
    if (m_pcAddress.isNull()) {
        showNoAdapterNotice();
    }
}

void MainWindow::FormActivate()
{
    m_setPortPanel->setText(QStringLiteral("Connecting...."));
    QCoreApplication::processEvents();

    const QString failed = QStringLiteral("Fail to create Socket!");
    const QString program = QCoreApplication::applicationFilePath();
    if (m_endpoints->openSetSocket()) {
        m_setPortPanel->setText(QStringLiteral("Set Port opened!"));
    } else {
        m_searchPortPanel->clear();
        m_setPortPanel->setText(failed);
        const QUdpSocket &socket = m_endpoints->setSocket();
        m_setPortPanel->setToolTip(BindFailureHint(m_endpoints->settings().localSetPort,
                                                   socket.error(), socket.errorString(), program));
    }
    if (m_endpoints->openSearchSocket()) {
        m_searchPortPanel->setText(QStringLiteral("Search port opened!"));
    } else {
        m_setPortPanel->clear();
        m_searchPortPanel->setText(failed);
        const QUdpSocket &socket = m_endpoints->searchSocket();
        m_searchPortPanel->setToolTip(BindFailureHint(m_endpoints->settings().localSearchPort,
                                                      socket.error(), socket.errorString(),
                                                      program));
    }
}

void MainWindow::FormClose()
{
    m_endpoints->closeSetSocket();
}
