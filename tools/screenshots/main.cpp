// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the documentation's pictures of the logger list's menu, of the dialogs it opens,
// of the traffic log, of the signal watch and of the plant view: the real window on
// loopback with substitute loggers, each state shot with ImageMagick's `import` on the X
// display. Run by scripts/screenshots under Xvfb; every probe goes to 127.0.0.0/8 only.

#include "plant_view_pictures.h"
#include "signal_watch_picture.h"
#include "simulated_logger.h"
#include "traffic_log_pictures.h"
#include "ui/logger_list_menu.h"
#include "window_harness.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

void Shoot(const QString &directory, const QString &name)
{
    QTest::qWait(400); // let the window manager-less X server paint
    const int status = QProcess::execute(
        QStringLiteral("import"),
        {QStringLiteral("-window"), QStringLiteral("root"), directory + QLatin1Char('/') + name});
    if (status != 0) {
        qFatal("import failed for %s", qPrintable(name));
    }
    qInfo("wrote %s/%s", qPrintable(directory), qPrintable(name));
}

QAction *Entry(QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    qFatal("no menu entry %s", qPrintable(text));
}

QDialog *OpenDialog(WindowHarness &harness, const QString &entry)
{
    auto *menu = harness.window().findChild<LoggerListMenu *>();
    Entry(menu->build(), entry)->trigger();
    QDialog *dialog = harness.window().findChild<QDialog *>();
    dialog->move(harness.window().geometry().center() - dialog->rect().center());
    return dialog;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QString directory = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");

    WindowHarness harness(3, Timing{});
    harness.window().move(20, 20);
    harness.control<QPushButton>("btnsearch")->click();
    QTest::qWait(300);

    auto *list = harness.control<QTreeWidget>("listview1");
    list->setCurrentItem(list->topLevelItem(1));
    QMenu &menu = harness.window().findChild<LoggerListMenu *>()->build();
    menu.popup(list->viewport()->mapToGlobal(QPoint(150, 70)));
    menu.setActiveAction(Entry(menu, QStringLiteral("Add logger by IP address…")));
    Shoot(directory, QStringLiteral("menu.png"));
    menu.close();

    QDialog *add = OpenDialog(harness, QStringLiteral("Add logger by IP address…"));
    add->findChild<QLineEdit *>(QStringLiteral("edtLoggerAddress"))
        ->setText(QStringLiteral("127.0.1.9"));
    add->findChild<QPushButton *>(QStringLiteral("btnAddLogger"))->click();
    QTest::qWait(2300); // no logger there: the dialog names the address
    Shoot(directory, QStringLiteral("add-logger.png"));
    add->close();
    QTest::qWait(100);

    QDialog *range = OpenDialog(harness, QStringLiteral("Search a range…"));
    range->findChild<QLineEdit *>(QStringLiteral("edtRange"))
        ->setText(QStringLiteral("127.0.3.0-127.0.0.1"));
    range->findChild<QPushButton *>(QStringLiteral("btnSearchRange"))->click(); // refused
    Shoot(directory, QStringLiteral("search-range.png"));
    range->close();
    QTest::qWait(100);

    // A sweep of a network without loggers ends with the notice in the status bar.
    Entry(harness.window().findChild<LoggerListMenu *>()->build(),
          QStringLiteral("Loopback B  127.0.1.1/24"))
        ->trigger();
    harness.control<QPushButton>("btnsearch")->click();
    QTest::qWait(5800);
    Shoot(directory, QStringLiteral("empty-search.png"));
    harness.window().hide();

    TakeTrafficLogPictures(directory);
    TakeSignalWatchPicture(directory);
    TakePlantViewPictures(directory);
    return 0;
}
