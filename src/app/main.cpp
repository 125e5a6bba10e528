#include "wire_text/wire_text.h"
#include "ui/main_window.h"
#include "ui/message_box_notifier.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    const auto unknownCodePage = wire_text::SelectCodePageFromEnvironment();

    MessageBoxNotifier notifier;
    MainWindow window(notifier);
    notifier.setParent(&window);
    window.show();
    if (unknownCodePage) {
        // Said in the window on every system: a Windows program has no console to read.
        std::fprintf(stderr, "%s: unknown code page \"%s\"; using the system's code page.\n",
                     wire_text::kCodePageVariable, qPrintable(*unknownCodePage));
        window.reportUnknownCodePage(*unknownCodePage);
    }
    return QApplication::exec();
}
