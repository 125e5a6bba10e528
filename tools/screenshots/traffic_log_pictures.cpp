// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_log_pictures.h"

#include "wirelog/pcap_capture.h"
#include "wirelog/traffic_log.h"
#include "ui/traffic_log_model.h"
#include "ui/traffic_log_window.h"
#include "window_harness.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    }
    if (output) {
        *output = process.readAllStandardOutput();
    }
}

void SelectFirstRowWithBadCrc(QTableView &table)
{
    for (int row = 0; row < table.model()->rowCount(); ++row) {
        if (table.model()->index(row, TrafficLogModel::VerdictColumn).data().toString() == QLatin1String("CRC bad")) {
            table.selectRow(row);
            return;
        }
    }
    qFatal("no datagram with a bad CRC in the traffic log");
}

} // namespace

void TakeTrafficLogPictures(const QString &directory)
{
    WindowHarness harness(3, Timing{});
    harness.window().move(20, 20);
    harness.logger(0).setCommandHandler("ER", [](const std::string &) {
        return std::string("R192.168.1.100,255.255.255.0,192.168.1.1");
    });
    harness.logger(1).setCommandHandler(
        "SR", [](const std::string &) { return std::string("R00002359012C05030160"); });
    harness.logger(1).misbehaviour().badCrc = true;

    harness.selectLogger(0);
    harness.control<QPushButton>("btnER")->click();
    QTest::qWait(200);
    harness.selectLogger(1);
    harness.control<QPushButton>("btnSR")->click();
    QTest::qWait(200);
    harness.control<QPushButton>("btnsearch")->click();
    QTest::qWait(150);

    harness.window().openTrafficLog();
    auto *log = harness.window().findChild<TrafficLogWindow *>();
    log->setGeometry(90, 250, 920, 430);
    QTest::qWait(200);
    auto *table = log->findChild<QTableView *>(QStringLiteral("trafficTable"));
    SelectFirstRowWithBadCrc(*table);
    table->scrollToBottom();
    QTest::qWait(400); // let the window manager-less X server paint
    Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                   directory + QStringLiteral("/traffic-log.png")});
    qInfo("wrote %s/traffic-log.png", qPrintable(directory));

    QTemporaryDir scratch;
    const QString capture = scratch.filePath(QStringLiteral("traffic.pcap"));
    if (const auto failure = WritePcapCapture(harness.window().trafficLog().datagrams(),
                                              QHostAddress(QHostAddress::LocalHost), capture)) {
        qFatal("capture not written: %s", qPrintable(*failure));
    }
    const QStringList arguments{
        "-r",
        capture,
        "-X",
        "lua_script:" TARNWICK_DISSECTOR,
        "-d",
        QStringLiteral("udp.port==%1,tarnwick").arg(harness.logger().commandPort()),
        "-d",
        QStringLiteral("udp.port==%1,tarnwick_discovery").arg(harness.logger().searchPort()),
        "-O",
        "tarnwick",
        "-V",
        "-Y",
        "tarnwick.kind == \"answer\" && (tarnwick.command == \"ER\" || tarnwick.command == "
        "\"SR\")"};
    QByteArray dissection;
    Run(QStringLiteral(TSHARK_PROGRAM), arguments, &dissection);
    const QString shown =
        QStringLiteral("$ tshark -r traffic.pcap -X lua_script:tools/wireshark/tarnwick.lua\n"
                       "      %1 %2 %3 %4 -O tarnwick -V\n"
                       "      -Y '%5'\n\n")
            .arg(arguments[4], arguments[5], arguments[6], arguments[7], arguments[12]) +
        QString::fromUtf8(dissection).trimmed();
    const int lines = static_cast<int>(shown.count(QLatin1Char('\n'))) + 1;
    Run(QStringLiteral("convert"),
        {"-size", QStringLiteral("800x%1").arg(lines * 17 + 20), "xc:white", "-font",
         "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", "-pointsize", "14", "-fill",
         "black", "-annotate", "+14+24", shown,
         directory + QStringLiteral("/tshark-dissection.png")});
    qInfo("wrote %s/tshark-dissection.png", qPrintable(directory));
}
