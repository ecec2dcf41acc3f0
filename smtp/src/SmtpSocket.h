#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
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

    void connectToServer(const QString& host, quint16 port);
    bool isOpen() const;      // connecting or connected
    bool isConnected() const;
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
    void bytesWritten();
    // The connection could not be made, or was lost (also when the server hangs up).
    void failed(const QString& description);

private:
    QPointer<QTcpSocket> m_socket;
    quint64 m_generation = 0;
};
