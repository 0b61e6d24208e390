#include "metercontrols/serial/LinePort.h"

namespace {
constexpr qsizetype kMaxReceived = 16384;
}

LinePort::LinePort(const QString& name, qint32 baudRate, int retryMs, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_baudRate(baudRate)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &LinePort::RetryDue);
    connect(&m_port, &QSerialPort::readyRead, this, &LinePort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LinePort::onError);
}

bool LinePort::Open()
{
    m_received.clear();
    if (m_port.isOpen()) return true;
    if (m_name.isEmpty()) {
        m_problem = QStringLiteral("No serial port is chosen.");
        return false;
    }
    m_port.setPortName(m_name);
    m_port.setBaudRate(m_baudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_opening = true;  // a port that does not open is reported by the result, not as a loss
    const bool opened = m_port.open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened) {
        m_problem = QStringLiteral("%1 cannot be opened: %2").arg(m_name, m_port.errorString());
        return false;
    }
    m_port.clear();
    return true;
}

void LinePort::Close()
{
    m_port.close();
    m_received.clear();
}

bool LinePort::Write(const QByteArray& bytes)
{
    return m_port.isOpen() && m_port.write(bytes) == bytes.size();
}

void LinePort::onReadyRead()
{
    m_received += m_port.readAll();
    qsizetype end;
    while ((end = m_received.indexOf('\n')) >= 0) {
        const QByteArray line = m_received.left(end + 1);
        m_received.remove(0, end + 1);
        emit LineReceived(line);
        if (!m_port.isOpen()) return;
    }
    if (m_received.size() > kMaxReceived) m_received.clear();  // noise without a line end
}

void LinePort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || error == QSerialPort::NotOpenError
        || m_opening)
        return;
    emit Lost();
}
