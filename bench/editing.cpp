// One Save Topic and one channel field write on a large feed, in the real
// window, with where the time goes. The peer is one write of the same
// document by the XML engine (saveToSource), measured in the same run: every
// edit must write the whole file at least once.
//
//   bench_editing [items]        (default 5000; offscreen unless $DISPLAY is set)

#include "app/Dialogs.h"
#include "app/Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>

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

QByteArray largeFeed(int items) {
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r<rss version=\"2.0\">"
                       "<channel><title>Bench</title><link>http://127.0.0.1/</link>"
                       "<description>Many topics</description>\r";
    for (int i = 0; i < items; ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes += "<item><title><![CDATA[Headline number " + n +
                 " of the benchmark feed]]></title><link>http://127.0.0.1/story/" + n +
                 "</link><description><![CDATA[<p>Synopsis of story " + n +
                 " with <b>markup</b></p>   <p>A second paragraph, long enough to stand for a "
                 "real synopsis of a story of the day, with a few more words in it.</p>]]>"
                 "</description><author>desk@example.invalid</author>"
                 "<category domain=\"http://127.0.0.1/cats\">News</category>"
                 "<guid isPermaLink=\"false\">story-" +
                 n + "</guid><enclosure url=\"http://127.0.0.1/a/" + n +
                 ".mp3\" length=\"12345678\" type=\"audio/mpeg\"/>"
                 "<pubDate>Sat, 14 Mar 2026 09:26:53 +0000</pubDate></item>\r";
    }
    return bytes + "</channel></rss>\r";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int items = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    constexpr int runs = 9;

    QTemporaryDir home;
    qputenv("QUILLO_HOME", QFile::encodeName(home.path()));
    const QString feedPath = home.path() + "/Default.xml";
    {
        QFile file(feedPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(largeFeed(items)) < 0)
            return 1;
    }
    ConsoleDialogs dialogs;
    TForm1 form(dialogs, {QStringLiteral("bench_editing")});
    form.show();
    while (!form.startedUp())
        QApplication::processEvents();
    std::printf("feed: %d items, %.1f MB\n", items, QFileInfo(feedPath).size() / 1e6);

    std::vector<double> save, field, peer, backup, rebuild;
    for (int run = 0; run < runs; ++run) {
        peer.push_back(msOf([&] { form.XMLObject.saveToSource(feedPath.toStdString()); }));
        backup.push_back(msOf([&] { form.SaveXMLFile(form.BackupFilePath); }));
        rebuild.push_back(msOf([&] { form.LoadQandAData(); }));

        form.selectNode(form.channelNode()->child(items / 2));
        form.EditBtnClick(form.EditBtn);
        form.QMemo->setPlainText(QStringLiteral("Edited headline %1").arg(run));
        save.push_back(msOf([&] { form.SaveBtnClick(); }));

        form.TitleEditEnter(form.TitleEdit);
        form.TitleEdit->setText(QStringLiteral("Bench %1").arg(run));
        field.push_back(msOf([&] { form.TitleEditExit(form.TitleEdit); }));
    }
    const double p = median(peer);
    std::printf("peer, one saveToSource of the document: %8.1f ms\n", p);
    std::printf("Save Topic (backup, write, rebuild, reselect): %8.1f ms  (%.2f x peer)\n",
                median(save), median(save) / p);
    std::printf("channel field write (write, rebuild):          %8.1f ms  (%.2f x peer)\n",
                median(field), median(field) / p);
    std::printf("  of which one file write (backup):            %8.1f ms\n", median(backup));
    std::printf("  of which one rebuild (LoadQandAData):        %8.1f ms\n", median(rebuild));
    return 0;
}
