#pragma once
// Certificates made for a test by the openssl command, in a temporary
// directory: an authority (trusted by the client once SSL_CERT_FILE names its
// ca.pem), a certificate it signed for "localhost", one it signed for another
// name, and a self-signed one. Made once per test program.

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QStringList>
#include <QTemporaryDir>

class Certificates {
public:
    Certificates() {
        if (!dir_.isValid())
            return;
        ok_ = authority() && signedFor("localhost", "localhost") &&
              signedFor("other", "other.example") && selfSigned("rogue", "localhost");
    }
    bool ok() const { return ok_; }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString error() const { return error_; }

    // A server configuration presenting the certificate made under that name.
    QSslConfiguration server(const QString& name) const {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(QSslCertificate::fromPath(path(name + ".pem")).value(0));
        QFile key(path(name + ".key"));
        key.open(QIODevice::ReadOnly);
        config.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        return config;
    }

private:
    bool openssl(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            error_ = QStringLiteral("openssl %1: %2")
                         .arg(args.join(u' '), QString::fromLocal8Bit(p.readAllStandardError()));
            return false;
        }
        return true;
    }
    QStringList newKey(const QString& name) {
        return {"-newkey", "ec",      "-pkeyopt",   "ec_paramgen_curve:prime256v1",
                "-nodes",  "-keyout", name + ".key"};
    }
    bool authority() {
        return openssl(QStringList{"req", "-x509"} + newKey("ca") +
                       QStringList{"-out", "ca.pem", "-days", "3650", "-subj",
                                   "/CN=Quillo Test Authority", "-addext",
                                   "basicConstraints=critical,CA:TRUE", "-addext",
                                   "keyUsage=critical,keyCertSign,cRLSign"});
    }
    bool signedFor(const QString& name, const QString& host) {
        QFile ext(path(name + ".ext"));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("subjectAltName=DNS:" + host.toLatin1() + "\n");
        ext.close();
        return openssl(QStringList{"req"} + newKey(name) +
                       QStringList{"-out", name + ".csr", "-subj", "/CN=" + host}) &&
               openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                        "-CAcreateserial", "-days", "3650", "-extfile", name + ".ext", "-out",
                        name + ".pem"});
    }
    bool selfSigned(const QString& name, const QString& host) {
        return openssl(QStringList{"req", "-x509"} + newKey(name) +
                       QStringList{"-out", name + ".pem", "-days", "3650", "-subj", "/CN=" + host,
                                   "-addext", "subjectAltName=DNS:" + host});
    }

    QTemporaryDir dir_;
    bool ok_ = false;
    QString error_;
};

inline const Certificates& certificates() {
    static const Certificates made;
    return made;
}
