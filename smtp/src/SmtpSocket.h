// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

class QTcpSocket;

// The control's TCP connection. Each connect uses a fresh QTcpSocket, and
// close() detaches the current one at once: from the control's point of view
// the connection is closed immediately, while the detached socket still
// flushes what was written to it and then goes away by itself. This gives the
// immediate close the dialogue relies on without dropping written bytes.
class SmtpSocket final : public QObject {
    Q_OBJECT
public:
    explicit SmtpSocket(QObject* parent = nullptr);
    ~SmtpSocket() override;
    Q_DISABLE_COPY_MOVE(SmtpSocket)

    enum class Transport {
        Plain,       // never encrypted
        Upgradeable, // plain until startEncryption() (STARTTLS)
        Tls,         // encrypted from the first byte
    };

    // Certificates trusted besides the system's for the connections made from now on.
    void setExtraCaCertificates(const QList<QSslCertificate>& certificates) { m_extraCa = certificates; }
    void connectToServer(const QString& host, quint16 port, Transport transport = Transport::Plain);
    // Begins the TLS handshake on an Upgradeable connection; encrypted() or failed() follows.
    void startEncryption();
    bool isOpen() const;      // connecting or connected
    bool isConnected() const;
    bool isEncrypted() const;
    void write(const QByteArray& bytes);
    QByteArray readAll();
    void close();
    // Pending written bytes still held by the open connection.
    qint64 bytesToWrite() const;
    // Changes with every connect and close, so that work begun on one
    // connection can tell that the host has since replaced it.
    quint64 generation() const { return m_generation; }

Q_SIGNALS:
    void dataArrived();
    // The TLS handshake finished and the server's certificate was verified.
    void encrypted();
    void bytesWritten();
    // The connection could not be made, or was lost (also when the server hangs up).
    void failed(const QString& description);

private:
    void configureTls();
    QString failureDescription(QTcpSocket* socket) const;

    QPointer<QTcpSocket> m_socket;
    QList<QSslCertificate> m_extraCa;
    QList<QSslError> m_sslErrors; // of the running handshake
    bool m_handshaking = false;
    // What a failed implicit-TLS handshake is reported with.
    bool m_implicitTls = false;
    quint16 m_port = 0;
    quint64 m_generation = 0;
};
