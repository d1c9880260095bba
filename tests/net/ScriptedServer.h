#pragma once
// A byte-exact HTTP peer on 127.0.0.1, driven by the same event loop that Get() dispatches.
// Each accepted connection plays the next script (the last one repeats): it waits for the
// end of the request, then sends, pauses and closes as scripted. The request bytes of every
// connection are recorded.

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <sys/socket.h>
#include <vector>

class ScriptedServer : public QObject {
public:
    struct Step {
        enum Kind { Send, Pause, Close, Reset } kind;
        QByteArray bytes;
        int ms = 0;
    };
    using Script = std::vector<Step>;

    static Step send(const QByteArray& bytes) { return {Step::Send, bytes, 0}; }
    static Step pause(int ms) { return {Step::Pause, {}, ms}; }
    static Step close() { return {Step::Close, {}, 0}; }
    // Drops the connection with a TCP reset instead of an orderly close.
    static Step reset() { return {Step::Reset, {}, 0}; }

    ScriptedServer() {
        server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    ~ScriptedServer() override {
        for (auto& c : connections_)
            if (c->socket)
                c->socket->disconnect(this);
    }

    quint16 port() const { return server_.serverPort(); }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }
    void addScript(Script script) { scripts_.push_back(std::move(script)); }
    int connectionCount() const { return static_cast<int>(connections_.size()); }
    QByteArray request(int i) const { return connections_.at(i)->received; }
    // The request line of connection i, without its line end.
    QByteArray requestLine(int i) const {
        const QByteArray& r = connections_.at(i)->received;
        return r.left(r.indexOf("\r\n"));
    }

private:
    struct Connection {
        std::unique_ptr<QTcpSocket> socket;
        QByteArray received;
        Script script;
        size_t next = 0;
        bool started = false;
    };

    void accept() {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            auto c = std::make_unique<Connection>();
            c->socket.reset(s);
            s->setParent(nullptr);
            if (!scripts_.empty())
                c->script = scripts_[std::min(connections_.size(), scripts_.size() - 1)];
            Connection* raw = c.get();
            connect(s, &QTcpSocket::readyRead, this, [this, raw] {
                raw->received += raw->socket->readAll();
                if (!raw->started && raw->received.contains("\r\n\r\n")) {
                    raw->started = true;
                    run(raw);
                }
            });
            connections_.push_back(std::move(c));
        }
    }

    void run(Connection* c) {
        while (c->next < c->script.size()) {
            const Step& step = c->script[c->next++];
            switch (step.kind) {
            case Step::Send:
                c->socket->write(step.bytes);
                c->socket->flush();
                break;
            case Step::Pause:
                QTimer::singleShot(step.ms, this, [this, c] { run(c); });
                return;
            case Step::Close:
                c->socket->disconnectFromHost();
                return;
            case Step::Reset: {
                // A zero linger time makes close() send RST and drop what is unsent.
                const linger abortive{1, 0};
                ::setsockopt(static_cast<int>(c->socket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &abortive, sizeof abortive);
                c->socket->abort();
                return;
            }
            }
        }
    }

    QTcpServer server_;
    std::vector<Script> scripts_;
    std::vector<std::unique_ptr<Connection>> connections_;
};
