// End to end on a real kernel: a qemu guest runs the host's root over 9p, its
// kernel drives two emulated USB serial adapters (FTDI IDs), udevd runs in it,
// and the camera simulator plays the cameras on the host ends of the adapters.
// The guest's script (guest.sh) answers commands on the serial console.

#include <algorithm>
#include <csignal>
#include <memory>

#include <unistd.h>

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>

#include "camsim.h"
#include "quvtest.h"
#include "screengrab.h"

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

constexpr int ADAPTERS = 2;
// Generous bounds: the guest is emulated, and the machine may be busy.
constexpr int BOOT_MS = 120000; // boot and udev
constexpr int GUEST_MS = 30000; // one console command
constexpr int SCAN_MS = 60000; // the application's start or a rescan, until the cameras are placed

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

    bool m_started = false;
    QTemporaryDir m_dir { QDir::tempPath() + "/quv-e2e-XXXXXX" };
    QProcess m_qemu;
    QLocalSocket m_qmp;
    QByteArray m_console;
    QJsonObject m_reply; // from qemu, to the last command
    QStringList m_events; // from qemu: "<event> <device>"
    QByteArray m_logText;
    std::unique_ptr<CamSim> m_sims[ADAPTERS];

    // Runs a command in the guest's shell; true when it exits with 0. A null command waits for the shell's start.
    bool guest(const QString& command, int timeout_ms = GUEST_MS)
    {
        const int start = m_console.size();
        if (!command.isNull())
            m_qemu.write(command.toUtf8() + '\n');
        const QRegularExpression end(
            command.isNull() ? "^@@ ready\r?$" : "^@@ (\\d+)\r?$", QRegularExpression::MultilineOption);
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
        return match.captured(1).toInt() == 0;
    }

    // Runs a QMP command; true when qemu returns success.
    bool qmp(const QString& command, const QJsonObject& arguments = {})
    {
        QJsonObject request { { "execute", command } };
        if (!arguments.isEmpty())
            request.insert("arguments", arguments);
        m_qmp.write(json(request).toUtf8() + '\n');
        m_reply = {};
        const QDeadlineTimer deadline(GUEST_MS);
        while (!m_reply.contains("return") && !m_reply.contains("error") && !deadline.hasExpired())
            qmpMessage(deadline);
        if (!m_reply.contains("return"))
            qWarning() << "qmp:" << command << m_reply;
        return m_reply.contains("return");
    }

    // Reads the next message from qemu: a reply to m_reply, an event to m_events.
    void qmpMessage(const QDeadlineTimer& deadline)
    {
        while (!m_qmp.canReadLine() && !deadline.hasExpired())
            m_qmp.waitForReadyRead(100);
        const QJsonObject message = QJsonDocument::fromJson(m_qmp.readLine()).object();
        if (message.contains("event"))
            m_events << message["event"].toString() + ' ' + message["data"].toObject()["device"].toString();
        else if (!message.isEmpty())
            m_reply = message;
    }

    // Connects a fresh simulator to adapter i's host end: the adapter attaches in the guest.
    bool plug(int i)
    {
        QLocalSocket line; // only connects: the simulator serves its own copy of the descriptor
        line.connectToServer(m_dir.filePath(QString("line%1").arg(i)));
        if (!line.waitForConnected(GUEST_MS)) {
            qWarning() << "adapter" << i << "cannot be plugged in:" << line.errorString();
            return false;
        }
        m_sims[i] = std::make_unique<CamSim>(1, dup(int(line.socketDescriptor())));
        m_sims[i]->setWord(hexBytes("04 22"), uint16_t(2 - i));
        return m_sims[i]->isValid();
    }

    // Takes adapter i out (QMP device_del) and waits until qemu has let it go.
    bool unplug(int i)
    {
        const QString deleted = QString("DEVICE_DELETED adapter%1").arg(i);
        m_events.clear();
        const QDeadlineTimer deadline(GUEST_MS);
        if (!qmp("device_del", { { "id", QString("adapter%1").arg(i) } }))
            return false;
        while (!m_events.contains(deleted) && !deadline.hasExpired())
            qmpMessage(deadline);
        return m_events.contains(deleted);
    }

    // Clicks the camera button of slot (0..7) until the selection moves there: its
    // button is enabled once its camera is in. A selection read before the first
    // click may be one that a rebuild still running is about to change.
    bool select(int slot)
    {
        const QDeadlineTimer deadline(GUEST_MS);
        do {
            if (!guest(QString("click %1 478").arg(qRound(93 + slot * 521.0 / 7) + 27)))
                return false;
            const QDeadlineTimer settle(1000);
            while (selectedSlot() != slot && !settle.hasExpired())
                QTest::qWait(50);
        } while (selectedSlot() != slot && !deadline.hasExpired());
        return selectedSlot() == slot;
    }

    int selectedSlot() const
    {
        return QSettings(m_dir.filePath("out/config/quv/QUV Taqo Control.conf"), QSettings::IniFormat)
            .value("prefs/selectedDevice", -1)
            .toInt();
    }

    // Adapter i's camera was re-read and placed: its camera ID is read by the re-read and again by the placement.
    bool placed(int i) const { return m_sims[i]->received().count(hexBytes("81 09 04 22 FF")) >= 2; }

    // The application's log from line `from` on; each line is the seconds since its start and a message.
    QStringList log(int from = 0) const
    {
        QFile file(m_dir.filePath("out/app.log"));
        return file.open(QIODevice::ReadOnly)
            ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts).mid(from)
            : QStringList();
    }
    int logLines() const { return log().size(); }
    int count(const QString& text, int from) const { return log(from).filter(text).size(); }
    // For failure messages.
    const char* logText(int from)
    {
        m_logText = log(from).join('\n').toUtf8();
        return m_logText.constData();
    }

private slots:
    void initTestCase()
    {
        const QString vm = qEnvironmentVariable("QUV_E2E_VM");
        // Only through CTest: outside it the artifacts would land in the current folder.
        QVERIFY2(QFile::exists(vm + "/ready") && qEnvironmentVariableIsSet("QUV_TEST_ARTIFACTS"),
            "run through CTest: tests/e2e/vmsetup prepares the guest");
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkdir("out"));
        m_started = true;
        // The results folder has the same path in the guest. An emulated CPU on a busy machine can miss
        // the early timer interrupts that the kernel's boot check waits for, which it takes for broken hardware.
        const QString append = QString(
            "console=ttyS0 loglevel=1 panic=-1 no_timer_check QUV_GUEST=\"%1\" QUV_UDEV=\"%2/udev\" QUV_OUT=\"%3\"")
                                   .arg(qEnvironmentVariable("QUV_E2E_GUEST"), vm, m_dir.filePath("out"));
        QStringList args { "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot", "-accel", "tcg", "-smp",
            "2", "-m", "1024", "-kernel", vm + "/vmlinux", "-initrd", vm + "/initrd.img", "-append", append, "-chardev",
            "stdio,id=console", "-serial", "chardev:console", "-qmp",
            "unix:" + m_dir.filePath("qmp") + ",server=on,wait=off", "-virtfs",
            "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap", "-virtfs",
            "local,path=" + m_dir.filePath("out") + ",mount_tag=out,security_model=none", "-device",
            "qemu-xhci,id=xhci" };
        for (int i = 0; i < ADAPTERS; ++i)
            args << "-chardev" << QString("socket,id=line%1,path=%2/line%1,server=on,wait=off").arg(i).arg(m_dir.path())
                 << "-device" << json(adapter(i));
        m_qemu.setProcessChannelMode(QProcess::MergedChannels);
        m_qemu.start("qemu-system-x86_64", args);
        QVERIFY2(m_qemu.waitForStarted(), qPrintable(m_qemu.errorString()));

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("qmp")), 10000);
        m_qmp.connectToServer(m_dir.filePath("qmp"));
        QVERIFY(m_qmp.waitForConnected(10000));
        QVERIFY(qmp("qmp_capabilities"));
        for (int i = 0; i < ADAPTERS; ++i)
            QVERIFY(plug(i));
        QVERIFY2(guest(QString(), BOOT_MS), "the guest did not come up");
        QVERIFY(guest("udevadm wait --timeout=20 /dev/ttyUSB0 /dev/ttyUSB1 && start_x && start_app \""
            + qEnvironmentVariable("QUV_E2E_APP") + '"'));
    }

    // The first scan keeps both adapters by their USB IDs, re-reads both cameras
    // and places each in the slot of its camera ID: the first adapter's camera has
    // ID 2, the second's 1. Slot 0 stays empty, so slot 1 is selected.
    void startFindsBothCameras()
    {
        QTRY_VERIFY_WITH_TIMEOUT(placed(0) && placed(1) && selectedSlot() == 1, SCAN_MS);
        for (int i = 0; i < ADAPTERS; ++i) {
            const QList<QByteArray> inquiries = quvtest::packetsStartingWith(m_sims[i]->received(), hexBytes("81 09"));
            QVERIFY2(QSet<QByteArray>(inquiries.begin(), inquiries.end()).size() > 40,
                qPrintable(QString::number(inquiries.size())));
        }
        QVERIFY(select(2));
        QVERIFY2(count("sig_usbRescan", 0) == 1, logText(0));
        QVERIFY(guest(QString("\"%1\" --grab \"%2\"")
                          .arg(QCoreApplication::applicationFilePath(), m_dir.filePath("out/main-window.png"))));
    }

    // "L" starts the selected camera (slot 2, the first adapter's) zooming toward tele, "K" stops it.
    void keyReachesSelectedCamera()
    {
        for (const auto& sim : m_sims)
            sim->clearReceived();
        QVERIFY(guest("key L"));
        QVERIFY(m_sims[0]->waitForPacket(hexBytes("81 01 04 07 20 FF")));
        QVERIFY(guest("key K"));
        QVERIFY(m_sims[0]->waitForPacket(hexBytes("81 01 04 07 00 FF")));
        QVERIFY(quvtest::packetsStartingWith(m_sims[1]->received(), hexBytes("81 01")).isEmpty());
    }

    // A second copy of the application, started beside the first, finds both
    // lines held and skips them without opening them; the first copy's cameras
    // go on answering it.
    void secondCopyKeepsOffHeldLines()
    {
        for (const auto& sim : m_sims)
            sim->clearReceived();
        const QString out = m_dir.filePath("out/second.log");
        QVERIFY(guest("XDG_CONFIG_HOME=/tmp/second QT_MESSAGE_PATTERN='%{message}' \"" + qEnvironmentVariable("QUV_E2E_APP")
            + "\" >\"" + out + "\" 2>&1 & second=$!"));
        const auto skipped = [&out] {
            QFile file(out);
            const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            return text.count("serialRescan: /dev/ttyUSB0 is in use by another program - skipped") == 1
                && text.count("serialRescan: /dev/ttyUSB1 is in use by another program - skipped") == 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(skipped(), SCAN_MS);
        QVERIFY(guest("kill $second && wait $second; true"));
        // A camera link or a probe of the second copy would begin with the address set.
        for (const auto& sim : m_sims)
            QVERIFY(quvtest::packetsStartingWith(sim->received(), hexBytes("88")).isEmpty());
        QVERIFY(guest("key L"));
        QVERIFY(m_sims[0]->waitForPacket(hexBytes("81 01 04 07 20 FF")));
        QVERIFY(guest("key K"));
        QVERIFY(m_sims[0]->waitForPacket(hexBytes("81 01 04 07 00 FF")));
        QVERIFY(select(1));
        QVERIFY(select(2));
    }

    // The selected camera's adapter goes: the window falls back to the other
    // camera at the rescan that ends the settle countdown. It comes back: one
    // rescan, and the camera is in its slot again. Each rescan comes 500 ms
    // after the last USB event before it (the log's clock, in seconds).
    void unplugFallsBackAndReplugRescansOnce()
    {
        const int mark = logLines();
        QVERIFY(unplug(0));
        QTRY_VERIFY_WITH_TIMEOUT(selectedSlot() == 1, SCAN_MS);
        QVERIFY2(count("sig_usbRescan", mark) == 1, logText(mark));
        const int replug = logLines();
        m_sims[0]->clearReceived();
        QVERIFY(qmp("device_add", adapter(0)));
        QTRY_VERIFY_WITH_TIMEOUT(placed(0), SCAN_MS);
        QVERIFY(select(2));
        QVERIFY2(count("sig_usbRescan", replug) == 1, logText(replug));
        double lastEvent = 0;
        for (const QString& line : log(mark)) {
            const double seconds = line.section(' ', 0, 0, QString::SectionSkipEmpty).toDouble();
            if (line.contains(" pnpCallback"))
                lastEvent = seconds;
            else if (line.endsWith(" sig_usbRescan"))
                QVERIFY2(seconds - lastEvent >= 0.5 && seconds - lastEvent < 1.5, logText(mark));
        }
    }

    // The line of the selected camera (slot 2) drops in the middle of the re-read
    // that the other adapter's removal starts: the camera goes offline at once,
    // well within the 2 s a reply may take. Both come back and are re-read and placed.
    void cablePullMidExchange()
    {
        m_sims[0]->addFault(CamSim::Rule(CamSim::Fault::HangUp).matching(hexBytes("09 04 4B")));
        const int mark = logLines();
        QVERIFY(unplug(1));
        QTRY_VERIFY_WITH_TIMEOUT(m_sims[0]->isHungUp(), SCAN_MS);
        QTRY_VERIFY_WITH_TIMEOUT(count("serial device lost \"/dev/ttyUSB0\"", mark) == 1, 3000);
        m_sims[1]->clearReceived();
        QVERIFY(plug(0));
        QVERIFY(qmp("device_add", adapter(1)));
        QTRY_VERIFY_WITH_TIMEOUT(placed(0) && placed(1), SCAN_MS);
        QVERIFY(select(1));
        QVERIFY(select(2));
    }

    // Both adapters go and come back at once: one rescan for the burst of events.
    void burstGivesOneRescan()
    {
        const int mark = logLines();
        for (int i = 0; i < ADAPTERS; ++i) {
            m_sims[i]->clearReceived();
            QVERIFY(unplug(i));
        }
        for (int i = 0; i < ADAPTERS; ++i)
            QVERIFY(qmp("device_add", adapter(i)));
        QTRY_VERIFY_WITH_TIMEOUT(placed(0) && placed(1), SCAN_MS);
        QVERIFY(select(1));
        QVERIFY2(count("pnpCallback", mark) == 4 && count("sig_usbRescan", mark) == 1, logText(mark));
    }

    void cleanupTestCase()
    {
        if (m_qmp.state() == QLocalSocket::ConnectedState)
            qmp("quit");
        if (!m_qemu.waitForFinished(10000))
            m_qemu.kill();
        m_qemu.waitForFinished();
        if (!m_started)
            return;
        QFile console(m_dir.filePath("out/console.log"));
        if (console.open(QIODevice::WriteOnly))
            console.write(m_console + m_qemu.readAll());
        console.close();
        for (const QString name : { "main-window.png", "console.log", "app.log", "second.log", "udev-events.log" }) {
            QFile::remove(quvtest::artifactPath("e2e-" + name));
            QFile::copy(m_dir.filePath("out/" + name), quvtest::artifactPath("e2e-" + name));
        }
    }
};

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
