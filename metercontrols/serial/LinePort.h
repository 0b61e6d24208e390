#pragma once
// The serial port of the meter: opened with the line's settings, read as whole lines, watched
// for a pulled cable, and reopened on a timer once the link is lost.
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

class LinePort : public QObject {
    Q_OBJECT
public:
    LinePort(const QString& name, qint32 baudRate, int retryMs, QObject* parent = nullptr);

    QString Name() const { return m_name; }
    qint32 BaudRate() const { return m_baudRate; }
    // 8 data bits, no parity, one stop bit, no flow control; false with the reason in Problem().
    [[nodiscard]] bool Open();
    void Close();
    bool IsOpen() const { return m_port.isOpen(); }
    QString Problem() const { return m_problem; }
    // False when the port took fewer bytes: the port's error or the command's time limit follows.
    bool Write(const QByteArray& bytes);
    // RetryDue once the retry time has passed; StopRetrying forgets it.
    void RetryLater() { m_retry.start(); }
    void StopRetrying() { m_retry.stop(); }

signals:
    void LineReceived(const QByteArray& line);
    // A pulled cable, a port that disappeared, a read or write that failed.
    void Lost();
    void RetryDue();

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QString m_name;
    qint32 m_baudRate;
    QSerialPort m_port;
    QByteArray m_received;
    QString m_problem;
    QTimer m_retry;
    bool m_opening = false;
};
