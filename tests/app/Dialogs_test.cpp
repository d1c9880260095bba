// The real list of findings, driven with the keyboard alone.
#include "app/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

const QList<FindingRow> rows = {
    {QStringLiteral("error"), QStringLiteral("channel ttl"), QStringLiteral("ttl \"x\" ...")},
    {QStringLiteral("error"), QStringLiteral("item 1 \"A\" guid"), QStringLiteral("the guid ...")},
    {QStringLiteral("warning"), QStringLiteral("item 2 \"B\""), QStringLiteral("no guid ...")},
};

// Opens the list and, once it is up, presses keys in whatever has the focus
// in it; what it found is kept for the test to look at.
struct ListRun {
    bool resizable = false;
    QStringList headers;
    int shownRows = -1;

    std::optional<int> run(const std::vector<int>& keys) {
        QtDialogs dialogs;
        QTimer::singleShot(0, [&] {
            QWidget* modal = nullptr;
            if (!QTest::qWaitFor([&] { return (modal = QApplication::activeModalWidget()); }))
                return;
            auto* dialog = qobject_cast<QDialog*>(modal);
            resizable = dialog && dialog->isSizeGripEnabled();
            if (auto* list = modal->findChild<QTreeWidget*>()) {
                for (int c = 0; c < list->columnCount(); ++c)
                    headers << list->headerItem()->text(c);
                shownRows = list->topLevelItemCount();
            }
            for (int key : keys) {
                QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
                QTest::keyClick(target, static_cast<Qt::Key>(key));
            }
            // Whatever the keys did, the test never hangs on the dialog.
            if (modal->isVisible())
                QTimer::singleShot(0, modal, [modal] { static_cast<QDialog*>(modal)->done(-1); });
        });
        return dialogs.chooseFinding(QStringLiteral("Check Publication"), rows);
    }
};

} // namespace

TEST(QtDialogsFindings, TheKeyboardAloneChoosesOrCloses) {
    const struct {
        const char* what;
        std::vector<int> keys;
        std::optional<int> chosen;
    } cases[] = {
        {"Enter on the first line", {Qt::Key_Return}, 0},
        {"down, then Enter", {Qt::Key_Down, Qt::Key_Return}, 1},
        {"past the end", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter}, 2},
        {"Escape", {Qt::Key_Down, Qt::Key_Escape}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ListRun list;
        EXPECT_EQ(list.run(c.keys), c.chosen);
        EXPECT_TRUE(list.resizable);
        EXPECT_EQ(list.headers, (QStringList{"Severity", "Where", "Message"}));
        EXPECT_EQ(list.shownRows, 3);
    }
}
