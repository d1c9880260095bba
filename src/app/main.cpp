// Program entry: one window, the event loop until it closes; nothing is saved
// on the way out.
#include "app/Dialogs.h"
#include "app/Form1.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A feed on the command line means an unattended run, which may come from cron
// without any display; it then runs on the offscreen platform. True when that
// platform was chosen here: nobody is there to see the window.
bool chooseOffscreenWithoutDisplay(int argc, char** argv) {
    const bool feedArgument = argc > 1 && std::strstr(argv[1], ".xml") != nullptr;
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!feedArgument || display || std::getenv("QT_QPA_PLATFORM"))
        return false;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

// Without a display, standard error carries the run's own messages, one line
// each; the platform's chatter about the window nobody sees stays out of it.
void keepOnlySeriousQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    const bool noDisplay = chooseOffscreenWithoutDisplay(argc, argv);
    if (noDisplay)
        qInstallMessageHandler(keepOnlySeriousQtMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo"));
    QApplication::setDesktopFileName(QStringLiteral("quillo"));

    QtDialogs windowDialogs;
    StandardErrorDialogs standardErrorDialogs;
    Dialogs& dialogs = noDisplay ? static_cast<Dialogs&>(standardErrorDialogs)
                                 : static_cast<Dialogs&>(windowDialogs);
    TForm1 Form1(dialogs, QApplication::arguments());
    Form1.NoDisplay = noDisplay;
    windowDialogs.setParentWindow(&Form1);
    QObject::connect(&Form1, &TForm1::programEndRequested, &app,
                     [](int status) { QCoreApplication::exit(status); });
    Form1.show();
    const int loopStatus = QApplication::exec();
    return Form1.exitStatus(loopStatus);
}
