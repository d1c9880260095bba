// The preview pane with hostile and large synopses: THtmlView::loadFromString
// against its peer, a plain QTextBrowser given the same text with setHtml (what
// the pane did with every synopsis before it had limits), in the same run.
// Each time includes the layout of the shown text.
//
//   bench_preview [levels]        (default 20000 unclosed <ul><li>)

#include "app/HtmlView.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextBrowser>

#include <cstdio>
#include <cstdlib>

namespace {

template <typename Show> double millisecondsOf(QTextEdit& view, Show show) {
    QElapsedTimer timer;
    timer.start();
    show();
    view.document()->documentLayout()->documentSize();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

QString repeated(const QString& piece, int times) {
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int levels = argc > 1 ? std::atoi(argv[1]) : 20000;

    THtmlView pane;
    QTextBrowser peer;
    for (QTextEdit* view : {static_cast<QTextEdit*>(&pane), static_cast<QTextEdit*>(&peer)}) {
        view->resize(320, 300);
        view->show();
    }
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"unclosed <ul><li>", repeated(QStringLiteral("<ul><li>x"), levels)},
        {"100 nested lists", repeated(QStringLiteral("<ul><li>x"), 100)},
        {"190 KB of paragraphs",
         repeated(QStringLiteral("<p>A line of <b>synopsis</b>.</p>"), 5600)},
        {"2 MB of paragraphs",
         repeated(QStringLiteral("<p>A line of <b>synopsis</b>.</p>"), 60000)},
    };
    for (const auto& c : cases) {
        const double ours = millisecondsOf(pane, [&] { pane.loadFromString(c.text); });
        const double theirs = millisecondsOf(peer, [&] { peer.setHtml(c.text); });
        std::printf("%-22s pane %9.1f ms   QTextBrowser::setHtml %9.1f ms   ratio %.3f\n", c.name,
                    ours, theirs, ours / theirs);
        std::fflush(stdout);
    }
    return 0;
}
