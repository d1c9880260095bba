// Start-up with a large feed: from process start to the window shown and
// filled, and the headline list rebuild on its own. The peer is the XML
// engine's load of the same file, measured in the same run.
//
//   bench_startup [items]        (default 10000; uses $DISPLAY or offscreen)

#include "app/Dialogs.h"
#include "app/Form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Reports every message on the terminal instead of waiting for a click.
class ConsoleDialogs : public QtDialogs {
public:
    void showMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

QByteArray largeFeed(int items) {
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r<rss version=\"2.0\">"
                       "<channel><title>Bench</title><link>http://127.0.0.1/</link>"
                       "<description>Many topics</description>\r";
    for (int i = 0; i < items; ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes += "<item><title><![CDATA[Headline number " + n +
                 " of the benchmark feed]]>"
                 "</title><link>http://127.0.0.1/story/" +
                 n +
                 "</link>"
                 "<description><![CDATA[<p>Synopsis of story " +
                 n +
                 " with <b>markup</b>"
                 "</p>   <p>A second paragraph.</p>]]></description>"
                 "<author>desk@example.invalid</author>"
                 "<pubDate>Sat, 14 Mar 2026 09:26:53 +0000</pubDate></item>\r";
    }
    return bytes + "</channel></rss>\r";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The measured process: the program's window over the prepared directory.
int runWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    ConsoleDialogs dialogs;
    TForm1 form(dialogs, {QStringLiteral("quillo")});
    dialogs.setParentWindow(&form);
    form.show();
    // The start-up sequence runs once the window is on the screen.
    QElapsedTimer waited;
    waited.start();
    while (!form.startedUp() && waited.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::printf("shown %d\n", form.channelNode() ? form.channelNode()->childCount() : -1);
    std::fflush(stdout);

    std::vector<double> rebuilds;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.LoadQandAData();
        rebuilds.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::vector<double> loads;
    const std::string feedPath = form.FeedFilePath.toStdString();
    TXmlObjModel peer;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer timer;
        timer.start();
        peer.loadFromSource(feedPath);
        loads.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("rebuild %.2f\nload %.2f\n", median(rebuilds), median(loads));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--window")
        return runWindow(argc, argv);

    const int items = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir home;
    QFile feedFile(home.path() + QStringLiteral("/Default.xml"));
    if (!feedFile.open(QIODevice::WriteOnly) || feedFile.write(largeFeed(items)) < 0)
        return 1;
    feedFile.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLO_HOME"), home.path());
    if (!environment.contains(QStringLiteral("DISPLAY")) &&
        !environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::vector<double> starts;
    QString report;
    for (int run = 0; run < 5; ++run) {
        QProcess window;
        window.setProcessEnvironment(environment);
        window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        window.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--window")});
        if (!window.waitForReadyRead(30000))
            return 1;
        const QByteArray shown = window.readLine();
        starts.push_back(timer.nsecsElapsed() / 1e6);
        window.waitForFinished(60000);
        report = QString::fromLocal8Bit(shown + window.readAll());
    }
    std::printf("%d items\n", items);
    std::printf("process start to window shown and filled: %.1f ms (median of 5)\n",
                median(starts));
    double rebuild = 0;
    double load = 0;
    for (const QString& line : report.split(u'\n')) {
        if (line.startsWith(QStringLiteral("rebuild ")))
            rebuild = line.mid(8).toDouble();
        if (line.startsWith(QStringLiteral("load ")))
            load = line.mid(5).toDouble();
    }
    std::printf("LoadQandAData: %.2f ms (median of 15)\n", rebuild);
    std::printf("peer, TXmlObjModel::loadFromSource of the same file: %.2f ms\n", load);
    std::printf("ratio LoadQandAData / load: %.2f\n", load > 0 ? rebuild / load : 0.0);
    return 0;
}
