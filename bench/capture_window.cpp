// The whole capture in the real window: a generated 1 MB page with 1,000
// absolute links, served from 127.0.0.1, captured in basic mode into an empty
// feed (1,000 topics, each stored through Add and Save, each writing the
// backup and the feed file). Then where the time goes, measured on the
// resulting 1,000-topic feed: one feed file write (saveToSource, the peer),
// one backup write and one rebuild of the tree, each of which a Save runs.
//
//   bench_capture_window        (offscreen unless $DISPLAY is set)

#include "app/Dialogs.h"
#include "app/Form1.h"
#include "feed/FeedLookups.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class ConsoleDialogs : public QtDialogs {
public:
    void showMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

// News-site shaped markup, one headline anchor per block with filler.
QByteArray makePage(qsizetype bytes, int links) {
    QByteArray page = "<html><head><meta charset=\"utf-8\"><title>Daily News</title></head>"
                      "<body>\r\n";
    const QByteArray filler = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do "
                              "eiusmod tempor incididunt ut labore et dolore magna aliqua. ";
    const qsizetype perBlock = (bytes - page.size() - 32) / links;
    for (int i = 0; i < links; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray href = "http://news.example.com/2026/12/story-" + n + ".html";
        QByteArray block = "<div class=\"item\"><h2><a href=\"" + href + "\">Headline number " + n +
                           " \xC3\xA0 la une</a></h2>\r\n<div class=\"synopsis\">Caf\xC3\xA9 ";
        while (block.size() + 20 < perBlock)
            block += filler.left(std::min(filler.size(), perBlock - 20 - block.size()));
        block += "</div></div>\r\n";
        page += block;
    }
    return page + "</body></html>\r\n";
}

double msOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray page = makePage(1'000'000, 1'000);

    // Answers every request with the page, then closes, as an HTTP/1.0 server.
    QTcpServer server;
    if (!server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0))
        return 1;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &page] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                          "Content-Length: " +
                          QByteArray::number(page.size()) + "\r\n\r\n" + page);
            socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    });

    QTemporaryDir home;
    qputenv("QUILLO_HOME", QFile::encodeName(home.path()));
    const QString feedPath = home.path() + "/Default.xml";
    {
        QFile file(feedPath);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r<rss version=\"2.0\">"
                       "<channel><title>Bench</title><link>http://127.0.0.1/</link>"
                       "<description>Empty</description>\r<item><title></title></item>\r"
                       "</channel></rss>\r") < 0)
            return 1;
    }
    ConsoleDialogs dialogs;
    TForm1 form(dialogs, {QStringLiteral("bench_capture_window")});
    form.show();
    while (!form.startedUp())
        QApplication::processEvents();
    form.Page->setCurrentWidget(form.TopicsPage);
    form.CaptureSiteEdit->setText(
        QStringLiteral("http://127.0.0.1:%1/news/index.html").arg(server.serverPort()));

    const double total = msOf([&] { form.AutoCaptureBtnClick(); });
    const int topics = static_cast<int>(itemsOf(form.XMLObject.document()).length());
    std::printf("page: %.2f MB, topics in the feed after the capture: %d\n", page.size() / 1e6,
                topics);
    std::printf("capture total: %.2f s, %.2f ms per topic\n", total / 1000,
                total / std::max(1, topics));

    std::vector<double> peer, backup, rebuild;
    for (int run = 0; run < 7; ++run) {
        peer.push_back(msOf([&] { form.XMLObject.saveToSource(feedPath.toStdString()); }));
        backup.push_back(msOf([&] { form.SaveXMLFile(form.BackupFilePath); }));
        rebuild.push_back(msOf([&] { form.LoadQandAData(); }));
    }
    std::printf("on the final feed: peer saveToSource %.2f ms, backup write %.2f ms, "
                "tree rebuild %.2f ms\n",
                median(peer), median(backup), median(rebuild));
    return 0;
}
