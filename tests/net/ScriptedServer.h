#pragma once
// A byte-exact HTTP peer on 127.0.0.1, driven by the same event loop that Get() dispatches.
// Each accepted connection plays the next script (the last one repeats): it waits for the
// end of the request, then sends, pauses and closes as scripted. The request bytes of every
// connection are recorded. Given a TLS configuration it speaks TLS (a QSslServer) and
// scripts start once the handshake is done.

#include <QByteArray>
#include <QList>
#include <QSslConfiguration>
#include <QSslServer>
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

    explicit ScriptedServer(const QSslConfiguration* tls = nullptr, quint16 port = 0) {
        if (tls) {
            auto ssl = std::make_unique<QSslServer>();
            ssl->setSslConfiguration(*tls);
            connect(ssl.get(), &QTcpServer::pendingConnectionAvailable, this, [this] { accept(); });
            server_ = std::move(ssl);
        } else {
            server_ = std::make_unique<QTcpServer>();
            connect(server_.get(), &QTcpServer::newConnection, this, [this] { accept(); });
        }
        server_->listen(QHostAddress(QStringLiteral("127.0.0.1")), port);
    }
    ~ScriptedServer() override {
        for (auto& c : connections_)
            if (c->socket)
                c->socket->disconnect(this);
    }

    bool listening() const { return server_->isListening(); }
    quint16 port() const { return server_->serverPort(); }
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
        while (QTcpSocket* s = server_->nextPendingConnection()) {
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

    std::unique_ptr<QTcpServer> server_;
    std::vector<Script> scripts_;
    std::vector<std::unique_ptr<Connection>> connections_;
};
