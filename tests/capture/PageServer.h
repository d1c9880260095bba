#pragma once
// A web server on 127.0.0.1 for capture tests, driven by the event loop that
// Get() dispatches. It serves pages by path as HTTP/1.0 responses ended by
// closing the connection; an unknown path gets a 404 page. A page can be sent
// in pieces of a few bytes, the next piece only when the test calls
// sendNextPiece() (from the client's OnDocData), so that the client receives
// exactly one piece per chunk, whatever the timing.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class PageServer : public QObject {
public:
    struct Page {
        QByteArray body;
        QByteArray contentType = "text/html";
        QByteArray status = "200 OK";
        int pieceSize = 0; // 0: the whole body at once
    };

    PageServer() {
        server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    void serve(const QByteArray& path, Page page) { pages_.insert(path, std::move(page)); }
    const QList<QByteArray>& requestedPaths() const { return requested_; }

    // Sends the next piece of the page being delivered in pieces, and closes
    // the connection once none is left.
    void sendNextPiece() {
        if (!pending_)
            return;
        if (sent_ >= rest_.size()) {
            pending_->disconnectFromHost();
            pending_ = nullptr;
            return;
        }
        pending_->write(rest_.mid(sent_, pieceSize_));
        pending_->flush();
        sent_ += pieceSize_;
    }

private:
    void accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket* socket) {
        QByteArray& received = received_[socket];
        received += socket->readAll();
        if (!received.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = received.left(received.indexOf("\r\n")).split(' ');
        received_.remove(socket);
        const QByteArray path = requestLine.value(1);
        requested_.append(path);
        const Page page = pages_.value(
            path, Page{"<html><body>Not here</body></html>", "text/html", "404 Not Found", 0});
        socket->write("HTTP/1.0 " + page.status + "\r\nContent-Type: " + page.contentType +
                      "\r\n\r\n");
        if (page.pieceSize <= 0) {
            socket->write(page.body);
            socket->flush();
            socket->disconnectFromHost();
            return;
        }
        pending_ = socket;
        pieceSize_ = page.pieceSize;
        rest_ = page.body;
        sent_ = 0;
        sendNextPiece();
    }

    QTcpServer server_;
    QHash<QByteArray, Page> pages_;
    QHash<QTcpSocket*, QByteArray> received_;
    QList<QByteArray> requested_;
    QPointer<QTcpSocket> pending_;
    QByteArray rest_;
    qsizetype sent_ = 0;
    int pieceSize_ = 0;
};
