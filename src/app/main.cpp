#include "wire_text/wire_text.h"
#include "ui/main_window.h"
#include "ui/message_box_notifier.h"

#include <QApplication>

#include <cstdio>

namespace {

void SelectCodePageFromEnvironment()
{
    if (const auto unknown = wire_text::SelectCodePageFromEnvironment()) {
        std::fprintf(stderr, "%s: unknown code page \"%s\"; using the system's code page.\n",
                     wire_text::kCodePageVariable, qPrintable(*unknown));
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
