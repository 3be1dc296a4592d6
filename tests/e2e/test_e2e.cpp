// End to end on a real kernel: a qemu guest runs the host's root over 9p, its
// kernel drives two emulated USB serial adapters (FTDI IDs), udevd runs in it,
// and the camera simulator plays the cameras on the host ends of the adapters.
// The guest's script (guest.sh) answers commands on the serial console.

#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>

#include "camsim.h"
#include "quvtest.h"
#include "screengrab.h"

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

constexpr int ADAPTERS = 2;
constexpr int BOOT_MS = 120000; // boot and udev under emulation, on a loaded machine
constexpr int GUEST_MS = 30000; // one console command

// Adapter i (0, 1) on USB port i + 1 with serial number "CAM-<i + 1>", its host end the socket line<i>.
QJsonObject adapter(int i)
{
    return { { "driver", "usb-serial" }, { "id", QString("adapter%1").arg(i) }, { "chardev", QString("line%1").arg(i) },
        { "bus", "xhci.0" }, { "port", QString::number(i + 1) }, { "serial", QString("CAM-%1").arg(i + 1) } };
}

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void adaptersListedWithUsbIds();
    void bytesCrossTheAdapters();
    void unplugAndReplug();
    void cablePullAndReconnect();
    void cleanupTestCase();

private:
    bool guest(const QString& command, QString* output = nullptr, int timeout_ms = GUEST_MS);
    QJsonObject qmp(const QString& command, const QJsonObject& arguments = {});
    bool waitForEvent(const QString& event, const QString& device);
    bool plug(int i);

    QTemporaryDir m_dir { QDir::tempPath() + "/quv-e2e-XXXXXX" };
    QProcess m_qemu;
    QLocalSocket m_qmp;
    QByteArray m_console;
    QList<QJsonObject> m_events;
    std::unique_ptr<CamSim> m_sims[ADAPTERS];
};

void TestEndToEnd::initTestCase()
{
    const QString vm = qEnvironmentVariable("QUV_E2E_VM");
    QVERIFY2(QFile::exists(vm + "/ready"), "run through CTest: tests/e2e/vmsetup prepares the guest");
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).mkdir("out");
    const QString append = QString("console=ttyS0 loglevel=1 panic=-1 QUV_GUEST=%1 QUV_UDEV=%2/udev")
                               .arg(qEnvironmentVariable("QUV_E2E_GUEST"), vm);
    QStringList args { "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot", "-accel", "tcg", "-smp", "2",
        "-m", "1024", "-kernel", vm + "/vmlinux", "-initrd", vm + "/initrd.img", "-append", append, "-chardev",
        "stdio,id=console", "-serial", "chardev:console", "-qmp", "unix:" + m_dir.filePath("qmp") + ",server=on,wait=off",
        "-virtfs", "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap", "-virtfs",
        "local,path=" + m_dir.filePath("out") + ",mount_tag=out,security_model=none", "-device", "qemu-xhci,id=xhci" };
    for (int i = 0; i < ADAPTERS; ++i)
        args << "-chardev" << QString("socket,id=line%1,path=%2,server=on,wait=off").arg(i).arg(m_dir.filePath(QString("line%1").arg(i)))
             << "-device" << json(adapter(i));
    m_qemu.setProcessChannelMode(QProcess::MergedChannels);
    m_qemu.start("qemu-system-x86_64", args);
    QVERIFY2(m_qemu.waitForStarted(), qPrintable(m_qemu.errorString()));

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("qmp")), 10000);
    m_qmp.connectToServer(m_dir.filePath("qmp"));
    QVERIFY(m_qmp.waitForConnected(10000));
    QVERIFY(!qmp("qmp_capabilities").contains("error"));
    for (int i = 0; i < ADAPTERS; ++i)
        QVERIFY(plug(i));
    QVERIFY2(guest(QString(), nullptr, BOOT_MS), "the guest did not come up");
}

// Boots with both adapters attached: udev lists them with the FTDI IDs and their serial numbers.
void TestEndToEnd::adaptersListedWithUsbIds()
{
    QString ports;
    QVERIFY(guest("udevadm wait --timeout=20 /dev/ttyUSB0 /dev/ttyUSB1 && ports", &ports));
    QVERIFY2(ports.contains(QRegularExpression("ttyUSB[01] 0403:6001 CAM-1\n")), qPrintable(ports));
    QVERIFY2(ports.contains(QRegularExpression("ttyUSB[01] 0403:6001 CAM-2\n")), qPrintable(ports));
}

void TestEndToEnd::bytesCrossTheAdapters()
{
    for (int i = 0; i < ADAPTERS; ++i) {
        m_sims[i]->setWord(hexBytes("04 22"), uint16_t(i + 1));
        QString reply;
        QVERIFY(guest(QString("exchange $(tty_of CAM-%1) '\\x81\\x09\\x04\\x22\\xff' 7").arg(i + 1), &reply));
        QCOMPARE(reply.simplified(), QString("90 50 00 00 00 0%1 ff").arg(i + 1));
        QVERIFY(m_sims[i]->waitForPacket(hexBytes("81 09 04 22 FF")));
    }
}

void TestEndToEnd::unplugAndReplug()
{
    QVERIFY(!qmp("device_del", { { "id", "adapter0" } }).contains("error"));
    QVERIFY(waitForEvent("DEVICE_DELETED", "adapter0"));
    QVERIFY(guest("udevadm settle; ! tty_of CAM-1"));
    QVERIFY(!qmp("device_add", adapter(0)).contains("error"));
    QVERIFY(guest("udevadm wait --timeout=20 /dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_CAM-1-if00-port0"));
}

void TestEndToEnd::cablePullAndReconnect()
{
    m_sims[1]->hangUp();
    QVERIFY(guest("udevadm wait --removed --timeout=20 /dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_CAM-2-if00-port0"));
    QVERIFY(plug(1));
    QVERIFY(guest("udevadm wait --timeout=20 /dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_CAM-2-if00-port0"));
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_qmp.state() == QLocalSocket::ConnectedState)
        qmp("quit");
    if (!m_qemu.waitForFinished(10000))
        m_qemu.kill();
    m_qemu.waitForFinished();
    m_console += m_qemu.readAll();
    QFile console(quvtest::artifactPath("e2e-console.log"));
    if (console.open(QIODevice::WriteOnly))
        console.write(m_console);
}

// Runs a command in the guest's shell; true when it exits with 0. A null command waits for the shell's start.
bool TestEndToEnd::guest(const QString& command, QString* output, int timeout_ms)
{
    const int start = m_console.size();
    if (!command.isNull())
        m_qemu.write(command.toUtf8() + '\n');
    const QRegularExpression end(command.isNull() ? "^@@ ready\r?$" : "^@@ (\\d+)\r?$",
        QRegularExpression::MultilineOption);
    const QDeadlineTimer deadline(timeout_ms);
    QRegularExpressionMatch match;
    while (!(match = end.match(QString::fromUtf8(m_console.mid(start)))).hasMatch()) {
        if (deadline.hasExpired() || m_qemu.state() != QProcess::Running) {
            qWarning().noquote() << "guest:" << command << "got no answer:\n" << m_console.mid(start);
            return false;
        }
        m_qemu.waitForReadyRead(100);
        m_console += m_qemu.readAll();
    }
    if (output)
        *output = QString::fromUtf8(m_console.mid(start)).left(match.capturedStart()).remove('\r');
    return match.captured(1).toInt() == 0;
}

QJsonObject TestEndToEnd::qmp(const QString& command, const QJsonObject& arguments)
{
    QJsonObject request { { "execute", command } };
    if (!arguments.isEmpty())
        request.insert("arguments", arguments);
    m_qmp.write(json(request).toUtf8() + '\n');
    const QDeadlineTimer deadline(GUEST_MS);
    while (!deadline.hasExpired()) {
        if (!m_qmp.canReadLine() && !m_qmp.waitForReadyRead(100))
            continue;
        const QJsonObject reply = QJsonDocument::fromJson(m_qmp.readLine()).object();
        if (reply.contains("event"))
            m_events.append(reply);
        else if (reply.contains("return") || reply.contains("error"))
            return reply;
    }
    return { { "error", "no reply" } };
}

bool TestEndToEnd::waitForEvent(const QString& event, const QString& device)
{
    const auto seen = [&] {
        for (const QJsonObject& e : qAsConst(m_events)) {
            if (e["event"] == event && e["data"].toObject()["device"] == device)
                return true;
        }
        return false;
    };
    const QDeadlineTimer deadline(GUEST_MS);
    while (!seen() && !deadline.hasExpired()) {
        if (m_qmp.canReadLine() || m_qmp.waitForReadyRead(100))
            m_events.append(QJsonDocument::fromJson(m_qmp.readLine()).object());
    }
    return seen();
}

// Connects a fresh simulator to adapter i's host end: the adapter attaches in the guest.
bool TestEndToEnd::plug(int i)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, qPrintable(m_dir.filePath(QString("line%1").arg(i))), sizeof address.sun_path);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        qWarning() << "cannot connect to adapter" << i << strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    m_sims[i] = std::make_unique<CamSim>(1, fd);
    return m_sims[i]->isValid();
}

int main(int argc, char** argv)
{
    // Inside the guest: a picture of its X screen.
    if (argc == 3 && qstrcmp(argv[1], "--grab") == 0) {
        QGuiApplication app(argc, argv);
        return quvtest::stableScreenGrab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    // A simulator may write to an adapter that has just gone away.
    std::signal(SIGPIPE, SIG_IGN);
    quvtest::Environment environment;
    QCoreApplication app(argc, argv);
    environment.applicationCreated();
    TestEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e.moc"
