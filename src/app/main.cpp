#include "ui/main_window.h"
#include "ui/message_box_notifier.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));

    MessageBoxNotifier notifier;
    MainWindow window(notifier);
    notifier.setParent(&window);
    window.show();
    return QApplication::exec();
}
