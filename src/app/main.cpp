#include "transport/wire_text.h"
#include "ui/main_window.h"
#include "ui/message_box_notifier.h"

#include <QApplication>

#include <cstdio>

namespace {

// The loggers' code page, when it is not the PC's own, is named in this variable.
constexpr char kCodePageVariable[] = "TARNWICK_CODE_PAGE";

void SelectCodePageFromEnvironment()
{
    const QString name = qEnvironmentVariable(kCodePageVariable);
    if (!name.isEmpty() && !wire_text::SelectCodePage(name)) {
        std::fprintf(stderr, "%s: unknown code page \"%s\"; using the system's code page.\n",
                     kCodePageVariable, qPrintable(name));
    }
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    SelectCodePageFromEnvironment();

    MessageBoxNotifier notifier;
    MainWindow window(notifier);
    notifier.setParent(&window);
    window.show();
    return QApplication::exec();
}
