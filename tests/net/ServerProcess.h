#pragma once
// A server program of Debian started as a QProcess on a free port of
// 127.0.0.1, for the client tests that talk to an independent peer.

#include "xml/FtpTestServer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <functional>

// Starts program with the arguments made for a free port and waits until it
// listens there; false when it did not come up. A port found free a moment
// before may since have been taken by another test's server, which would
// answer in its place: the listener must be this process, else it tries
// another port.
inline bool startListening(QProcess& server, const QString& program,
                           const std::function<QStringList(quint16)>& arguments, quint16& port) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        port = static_cast<quint16>(ftptest::freePort());
        server.start(program, arguments(port));
        if (!server.waitForStarted(5000))
            return false;
        const auto listening = [&] {
            return ftptest::listensOn(static_cast<pid_t>(server.processId()), port);
        };
        const QDeadlineTimer deadline(10000);
        while (server.state() == QProcess::Running && !deadline.hasExpired() && !listening())
            QThread::msleep(50);
        if (server.state() == QProcess::Running && listening())
            return true;
        server.kill();
        server.waitForFinished(5000);
    }
    return false;
}
