#pragma once
// The real window over a temporary program directory, with scripted dialogs
// and a fixed start time.

#include "app/Form1.h"
#include "app/IniFile.h"
#include "app/SettingsKeys.h"
#include "feed/Clock.h"
#include "form/ScriptedDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '{' << list.join(QStringLiteral(" | ")).toStdString() << '}';
}

class FormFixture : public ::testing::Test {
protected:
    QTemporaryDir home;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    const QDateTime startTime{QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC};

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("QUILLO_HOME", QFile::encodeName(home.path()));
        setClocks([this] { return startTime; }, [this] { return startTime; });
    }

    void TearDown() override {
        form.reset();
        setClocks({}, {});
        qunsetenv("QUILLO_HOME");
    }

    QString homePath(const QString& name = {}) const { return home.path() + u'/' + name; }

    void writeFile(const QString& path, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TIniFile settings() const { return TIniFile(homePath(QStringLiteral("quillo.ini"))); }

    // The feed file the next start opens.
    QString storedFeedPath() const {
        return settings().readString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, {});
    }

    // The topic captions of the headline tree, in order.
    QStringList headlines() const {
        QStringList result;
        if (QTreeWidgetItem* channel = form->channelNode())
            for (int i = 0; i < channel->childCount(); ++i)
                result << channel->child(i)->text(0);
        return result;
    }

    // Creates and shows the window, which runs the start-up sequence once it
    // is on the screen.
    void start(const QStringList& arguments = {}) {
        form = std::make_unique<TForm1>(dialogs, QStringList{QStringLiteral("quillo")} + arguments);
        form->show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->startedUp(); }));
    }

    // A feed of the given items (already marked up), in the program's own shape.
    static QByteArray feed(const QByteArray& channelTitle, const QByteArray& items,
                           const QByteArray& channelExtra = {}) {
        return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r<rss version=\"2.0\"><channel>"
               "<title>" +
               channelTitle + "</title><link>http://example.invalid/</link>" +
               "<description>About it</description>" + channelExtra + items + "</channel></rss>\r";
    }
};
