// Program entry: one window, the event loop until it closes; nothing is saved
// on the way out.
#include "app/Dialogs.h"
#include "app/Form1.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>

namespace {

// A feed on the command line means an unattended run, which may come from cron
// without any display; it then runs on the offscreen platform.
void chooseOffscreenWithoutDisplay(int argc, char** argv) {
    const bool feedArgument = argc > 1 && std::strstr(argv[1], ".xml") != nullptr;
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (feedArgument && !display && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int main(int argc, char** argv) {
    chooseOffscreenWithoutDisplay(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo"));
    QApplication::setDesktopFileName(QStringLiteral("quillo"));

    QtDialogs dialogs;
    TForm1 Form1(dialogs, QApplication::arguments());
    dialogs.setParentWindow(&Form1);
    Form1.show();
    const int status = QApplication::exec();
    // An unattended run whose feed the check kept back ends with its own status.
    return status != 0 ? status : Form1.UnattendedExitStatus;
}
