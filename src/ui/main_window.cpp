#include "main_window.h"

#include "ui_mainwindow.h"

#include "commands/cellular_link.h"
#include "commands/device_registry.h"
#include "commands/network_addressing.h"
#include "commands/system_parameters.h"
#include "discovery/logger_search.h"
#include "add_logger_dialog.h"
#include "bind_failure_hint.h"
#include "form_lock.h"
#include "list_export.h"
#include "logger_list_menu.h"
#include "plant_view_window.h"
#include "range_search_dialog.h"
#include "traffic_log_window.h"
#include "transport/command_exchange.h"
#include "transport/notifier.h"
#include "transport/receive_path.h"
#include "wirelog/traffic_log.h"
#include "transport/udp_endpoints.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>

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

// Report lists keep showing their selection when they lose the focus.
void KeepSelectionVisible(QTreeWidget *list)
{
    QPalette palette = list->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list->setPalette(palette);
}

}  // namespace

MainWindow::MainWindow(Notifier &notifier, const NetworkSettings &network, const Timing &timing,
                       LocalAddressSource localAddress, AdapterSource adapters, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Tfrmmain>()),
      m_localAddress(std::move(localAddress)), m_adapters(std::move(adapters)),
      m_trafficLog(std::make_unique<TrafficLog>()), m_timing(timing), m_notifier(notifier)
{
    m_ui->setupUi(this);
    applyStaticProperties();

    m_formLock = std::make_unique<FormLock>(*this, *m_ui->listview1);
    m_endpoints = new UdpEndpoints(network, this);
    m_endpoints->setObserver(m_trafficLog.get());
    m_exchange = new CommandExchange(*m_endpoints, *m_formLock, notifier, timing, this);
    m_receivePath = new ReceivePath(*m_endpoints, *m_exchange, this);
    m_search = new LoggerSearch(*m_endpoints, *m_exchange,
                                {m_ui->listview1, m_ui->lbl3, m_ui->pb1}, timing.searchTickMs,
                                this);
    m_receivePath->setDiscoveryHandler(
        [this](const std::string &candidate, const QString &sender) {
            m_search->handleDiscoveryAnswer(candidate, sender);
        });
    connect(m_ui->btnsearch, &QPushButton::clicked, m_search, &LoggerSearch::btnsearchClick);
    connect(m_search, &LoggerSearch::searchStarted, m_searchNotice, &QLabel::clear);
    connect(m_search, &LoggerSearch::loggerListed, m_searchNotice, &QLabel::clear);
    connect(m_search, &LoggerSearch::searchEndedEmpty, this, &MainWindow::showEmptySearchNotice);
    buildLoggerListMenu();

    m_network = new NetworkAddressing(*this, *m_exchange, timing, this);
    m_cellular = new CellularLink(*this, *m_exchange, timing, this);
    m_devices = new DeviceRegistry(*this, *m_exchange, timing, this);
    m_systemParameters = new SystemParameters(*this, *m_exchange, timing, this);
    attachDeviceListMenus();
}

MainWindow::~MainWindow()
{
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

void MainWindow::setSaveFileChooser(SaveFileChooser chooseFile)
{
    m_chooseFile = std::move(chooseFile);
}

void MainWindow::openTrafficLog()
{
    if (!m_trafficLogWindow) {
        m_trafficLogWindow = new TrafficLogWindow(
            *m_trafficLog, m_notifier,
            [this](QWidget *parent, const SaveFileRequest &request) {
                return m_chooseFile(parent, request);
            },
            [this] { return QHostAddress(m_ui->lbl3->text()); }, this);
    }
    m_trafficLogWindow->show();
    m_trafficLogWindow->raise();
    m_trafficLogWindow->activateWindow();
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
                for (const QStringList &row : ListContents(*m_ui->listview1).rows) {
                    loggers.push_back({QHostAddress(row.value(1)), row.value(0), row.value(2)});
                }
                return loggers;
            },
            [this] { return m_ui->lbl3->text(); },
            [this](QWidget *parent, const SaveFileRequest &request) {
                return m_chooseFile(parent, request);
            }};
        // The exchanges of the command-line tool: the window's timeout, two retries.
        m_plantView = new PlantViewWindow(std::move(links), {m_timing.commandTimeoutMs, 2}, this);
    }
    m_plantView->show();
    m_plantView->raise();
    m_plantView->activateWindow();
}

void MainWindow::exportLoggerList()
{
    exportTable(ListContents(*m_ui->listview1), QStringLiteral("loggers"));
}

void MainWindow::exportDeviceList()
{
    // A device's record and its append info stand in the two lists at the same row.
    exportTable(SideBySide(ListContents(*m_ui->Listview2), ListContents(*m_ui->Listview3)),
                QStringLiteral("devices"));
}

void MainWindow::exportTable(const ListTable &table, const QString &stem)
{
    if (const auto failure =
            ExportList(table, stem, QDate::currentDate(), this, m_chooseFile)) {
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
    m_searchNotice = new QLabel(m_ui->StatusBar1);
    m_searchNotice->setObjectName(QStringLiteral("StatusBar1Notice"));
    m_ui->StatusBar1->addWidget(m_searchNotice, 1);
}

void MainWindow::buildLoggerListMenu()
{
    LoggerListMenu::AdapterChoice adapterChoice{
        m_adapters, [this] { return m_ui->lbl3->text(); },
        [this](const discovery::LocalAdapter &adapter) {
            // The next search sweeps this adapter's /24; the choice lasts for the run.
            m_ui->lbl3->setText(adapter.address.toString());
        }};
    m_listMenu = new LoggerListMenu(*m_ui->listview1, std::move(adapterChoice), this);
    m_listMenu->addEntry(QStringLiteral("Add logger by IP address…"),
                         [this] { openAddLoggerDialog(); });
    m_listMenu->addEntry(QStringLiteral("Search a range…"), [this] { openRangeSearchDialog(); });
    m_listMenu->addEntry(
        QStringLiteral("Stop the range search"), [this] { m_search->stopRangeSearch(); },
        [this] { return m_search->rangeSearchRunning(); });
    m_listMenu->addEntry(QStringLiteral("Traffic log…"), [this] { openTrafficLog(); });
    m_listMenu->addEntry(QStringLiteral("Plant view…"), [this] { openPlantView(); });
    m_listMenu->addEntry(QStringLiteral("Export list…"), [this] { exportLoggerList(); });
}

QList<discovery::LocalNetwork> MainWindow::pcNetworks() const
{
    QList<discovery::LocalNetwork> networks;
    for (const discovery::LocalAdapter &adapter : m_adapters()) {
        networks.append(adapter.network());
    }
    return networks;
}

void MainWindow::openAddLoggerDialog()
{
    auto *dialog = new AddLoggerDialog(*m_search, [this] { return pcNetworks(); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &AddLoggerDialog::loggerAdded, this, &MainWindow::selectLoggerRow);
    dialog->open();
}

void MainWindow::openRangeSearchDialog()
{
    auto *dialog = new RangeSearchDialog(*m_search, [this] { return pcNetworks(); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void MainWindow::selectLoggerRow(const QString &address)
{
    const QList<QTreeWidgetItem *> rows =
        m_ui->listview1->findItems(address, Qt::MatchExactly, 1);
    if (!rows.isEmpty()) {
        m_ui->listview1->setCurrentItem(rows.first());
        m_ui->listview1->scrollToItem(rows.first());
    }
}

void MainWindow::showEmptySearchNotice(const QString &probedNetwork)
{
    m_searchNotice->setText(
        QStringLiteral("No logger answered in %1: wrong adapter? firewall?").arg(probedNetwork));
    m_searchNotice->setToolTip(
        QStringLiteral("The search probed %1 and no logger answered.\n"
                       "- The PC address may be on the wrong adapter: right-click the logger "
                       "list to choose another one.\n"
                       "- A firewall may drop the loggers' answers to UDP port 23: allow "
                       "incoming UDP to port 23 from the plant's network.")
            .arg(probedNetwork));
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
    m_ui->lbl3->setText(m_localAddress());
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
