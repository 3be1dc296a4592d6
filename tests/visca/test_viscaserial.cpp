// The serial transport on a pseudo-terminal: line settings, open failures,
// the exclusive hold on an open line, close, the drain of left-over input,
// descriptor 0, and the address set.

#include "viscalink.h"

#include "quvtest.h"
#include "visca/visca.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>

using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::hexString;
using viscatest::Link;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;

namespace {

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
        .size();
}

// Whether a program without root's rights can open path now: true when it
// can, false when the line refuses it as busy (its exclusive-open flag). Run as
// root, the open is made by a child that has given its rights up; -1 when that
// cannot be arranged or the open fails for another reason.
int unprivilegedOpen(const QByteArray& path)
{
    if (geteuid() != 0) {
        const int fd = open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
        return fd >= 0 ? 1 : errno == EBUSY ? 0 : -1;
    }
    if (chmod(path.constData(), 0666) != 0)
        return -1;
    // The child runs only system calls between fork and _exit.
    const pid_t child = fork();
    if (child == 0) {
        const gid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            _exit(3);
        const int fd = open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 ? 1 : errno == EBUSY ? 0 : 2);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) <= 1 ? WEXITSTATUS(status) : -1;
}

} // namespace

class TestViscaSerial : public QObject
{
    Q_OBJECT

private slots:
    void lineSettings();
    void openFailures();
    void lineHeldExclusively();
    void closeTwice();
    void descriptorZeroIsNeverTouched();
    void drain();
    void addressSet_data();
    void addressSet();
    void addressSetKeepsBroadcastFlag();
};

void TestViscaSerial::lineSettings()
{
    CamSim sim;
    QVERIFY(sim.isValid());
    {
        // A line another program left waiting for four bytes at a time.
        const int other = open(sim.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        termios left {};
        QCOMPARE(tcgetattr(other, &left), 0);
        left.c_cc[VMIN] = 4;
        left.c_cc[VTIME] = 5;
        QCOMPARE(tcsetattr(other, TCSANOW, &left), 0);
        close(other);
    }
    ViscaPort port {};
    port.address = 5;
    QCOMPARE(VISCA_open_serial(&port, sim.devicePath().toLocal8Bit().constData()), VISCA_SUCCESS);
    QVERIFY(port.fd > 2);
    QCOMPARE(port.address, 0u);

    termios line {};
    QCOMPARE(tcgetattr(port.fd, &line), 0);
    QCOMPARE(cfgetispeed(&line), speed_t(B9600));
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & (CSIZE | CREAD | CLOCAL | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8 | CREAD | CLOCAL));
    QCOMPARE(line.c_lflag & (ICANON | ECHO | ECHOE | ISIG), tcflag_t(0));
    QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(line.c_iflag, tcflag_t(0));
    // Bytes are taken as they come, each reply packet shorter than four bytes included.
    QCOMPARE(line.c_cc[VMIN], cc_t(1));
    QCOMPARE(line.c_cc[VTIME], cc_t(0));
    ViscaCameraInfo camera {};
    camera.address = 1;
    QCOMPARE(VISCA_set_power(&port, &camera, 2), VISCA_SUCCESS);
    // Blocking again after the non-blocking open.
    QCOMPARE(fcntl(port.fd, F_GETFL) & O_NONBLOCK, 0);
    QCOMPARE(VISCA_close_serial(&port), VISCA_SUCCESS);

    // With standard input closed the line would get descriptor 0: it is moved above the standard streams.
    const int savedStdin = dup(0);
    close(0);
    const uint32_t opened = VISCA_open_serial(&port, sim.devicePath().toLocal8Bit().constData());
    dup2(savedStdin, 0);
    close(savedStdin);
    QCOMPARE(opened, VISCA_SUCCESS);
    QVERIFY(port.fd > 2);
    QCOMPARE(VISCA_set_power(&port, &camera, 2), VISCA_SUCCESS);
    QCOMPARE(VISCA_close_serial(&port), VISCA_SUCCESS);
}

void TestViscaSerial::openFailures()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("not a terminal");
    file.flush();

    const QByteArray paths[] = { dir.filePath(QStringLiteral("nonexistent")).toLocal8Bit(),
        file.fileName().toLocal8Bit(), dir.path().toLocal8Bit() };
    for (const QByteArray& path : paths) {
        const int before = openDescriptors();
        ViscaPort port {};
        port.fd = 42;
        QCOMPARE(VISCA_open_serial(&port, path.constData()), VISCA_FAILURE);
        QCOMPARE(port.fd, -1);
        QCOMPARE(port.last_error, uint32_t(VISCA_ERROR_OPEN));
        QCOMPARE(openDescriptors(), before);
    }
}

// One line, two openers: the second is refused with its reason and changes
// nothing on the line; the first goes on working; a close or a release lets
// the line go.
void TestViscaSerial::lineHeldExclusively()
{
    Link link;
    QVERIFY(link.isOpen());
    const QByteArray path = link.sim.devicePath().toLocal8Bit();
    // A setting of the holder's own, which a second open must not reset.
    termios held {};
    QCOMPARE(tcgetattr(link.port.fd, &held), 0);
    held.c_cc[VTIME] = 7;
    QCOMPARE(tcsetattr(link.port.fd, TCSANOW, &held), 0);

    const int before = openDescriptors();
    ViscaPort second {};
    QCOMPARE(VISCA_open_serial(&second, path.constData()), VISCA_FAILURE);
    QCOMPARE(second.fd, -1);
    QCOMPARE(second.last_error, uint32_t(VISCA_ERROR_IN_USE));
    QCOMPARE(openDescriptors(), before);
    QCOMPARE(unprivilegedOpen(path), 0);
    // The lock binds on its own, where the flag does not: for root, or once a
    // program that clears the flag on close has been.
    QCOMPARE(ioctl(link.port.fd, TIOCNXCL), 0);
    QCOMPARE(VISCA_open_serial(&second, path.constData()), VISCA_FAILURE);
    QCOMPARE(second.last_error, uint32_t(VISCA_ERROR_IN_USE));
    QCOMPARE(ioctl(link.port.fd, TIOCEXCL), 0);
    termios now {};
    QCOMPARE(tcgetattr(link.port.fd, &now), 0);
    QCOMPARE(now.c_cc[VTIME], cc_t(7));
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(link.sim.received(), QList<QByteArray> { hexBytes("81 09 04 00 FF") });

    // Closed, the line opens again, for a program without root's rights too.
    QCOMPARE(VISCA_close_serial(&link.port), VISCA_SUCCESS);
    QCOMPARE(unprivilegedOpen(path), 1);
    QCOMPARE(VISCA_open_serial(&second, path.constData()), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_power(&second, &link.camera, &power), VISCA_SUCCESS);

    // Released, it is let go while the descriptor stays open.
    QCOMPARE(VISCA_release_serial(&second), VISCA_SUCCESS);
    QVERIFY(fcntl(second.fd, F_GETFD) != -1);
    QCOMPARE(VISCA_open_serial(&link.port, path.constData()), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    close(second.fd);
    second.fd = -1;
    QCOMPARE(VISCA_release_serial(&second), VISCA_FAILURE);
}

void TestViscaSerial::closeTwice()
{
    CamSim sim;
    ViscaPort port {};
    QCOMPARE(VISCA_open_serial(&port, sim.devicePath().toLocal8Bit().constData()), VISCA_SUCCESS);
    const int fd = port.fd;
    QCOMPARE(VISCA_close_serial(&port), VISCA_SUCCESS);
    QCOMPARE(port.fd, -1);
    QCOMPARE(fcntl(fd, F_GETFD), -1);
    QCOMPARE(VISCA_close_serial(&port), VISCA_FAILURE);

    // The line survives the close: opening it again works.
    Link link;
    QVERIFY(link.isOpen());
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(VISCA_close_serial(&link.port), VISCA_SUCCESS);
    QCOMPARE(VISCA_open_serial(&link.port, link.sim.devicePath().toLocal8Bit().constData()), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(power, uint8_t(2));
}

void TestViscaSerial::descriptorZeroIsNeverTouched()
{
    quvtest::StdinProbe probe;
    QVERIFY(probe.isReady());
    QVERIFY(probe.offer("\x90\x50\x02\xFF"));
    QTRY_COMPARE_WITH_TIMEOUT(probe.pendingOnStdin(), 4, 5000);

    ViscaPort port {};
    port.fd = 0; // what the camera layer leaves in a reset record
    ViscaCameraInfo camera {};
    camera.address = 1;
    uint8_t power = 0xA5;
    unsigned char buffer[16];
    uint32_t size = sizeof buffer;
    QCOMPARE(VISCA_set_power(&port, &camera, 2), VISCA_FAILURE);
    QCOMPARE(VISCA_get_power(&port, &camera, &power), VISCA_FAILURE);
    QCOMPARE(VISCA_clear(&port, &camera), VISCA_FAILURE);
    QCOMPARE(VISCA_get_camera_info(&port, &camera), VISCA_FAILURE);
    int32_t count = 0;
    QCOMPARE(VISCA_set_address(&port, &count), VISCA_FAILURE);
    QCOMPARE(VISCA_unread_bytes(&port, buffer, &size), VISCA_FAILURE);
    QCOMPARE(size, 0u);
    QCOMPARE(VISCA_close_serial(&port), VISCA_FAILURE);

    QCOMPARE(power, uint8_t(0xA5));
    QVERIFY(fcntl(0, F_GETFD) != -1);
    QCOMPARE(probe.pendingOnStdin(), 4);
    QCOMPARE(probe.receivedFromStdin(), 0);
}

void TestViscaSerial::drain()
{
    Link link;
    QVERIFY(link.isOpen());
    unsigned char buffer[3000];
    uint32_t size = sizeof buffer;
    QCOMPARE(VISCA_unread_bytes(&link.port, buffer, &size), VISCA_SUCCESS);
    QCOMPARE(size, 0u);

    link.sim.sendRaw(hexBytes("AA BB CC DD EE"));
    QTRY_COMPARE_WITH_TIMEOUT(quvtest::pendingBytes(link.port.fd), 5, 5000);
    size = sizeof buffer;
    QCOMPARE(VISCA_unread_bytes(&link.port, buffer, &size), VISCA_FAILURE);
    QCOMPARE(size, 5u);
    QCOMPARE(hexString(QByteArray(reinterpret_cast<const char*>(buffer), int(size))), QStringLiteral("AA BB CC DD EE"));
    size = sizeof buffer;
    QCOMPARE(VISCA_unread_bytes(&link.port, buffer, &size), VISCA_SUCCESS);
    QCOMPARE(size, 0u);

    // A capacity below what is pending takes what fits and leaves the rest.
    link.sim.sendRaw(hexBytes("01 02 03 04 05"));
    QTRY_COMPARE_WITH_TIMEOUT(quvtest::pendingBytes(link.port.fd), 5, 5000);
    size = 3;
    QCOMPARE(VISCA_unread_bytes(&link.port, buffer, &size), VISCA_FAILURE);
    QCOMPARE(size, 3u);
    QCOMPARE(hexString(QByteArray(reinterpret_cast<const char*>(buffer), 3)), QStringLiteral("01 02 03"));
    size = sizeof buffer;
    QCOMPARE(VISCA_unread_bytes(&link.port, buffer, &size), VISCA_FAILURE);
    QCOMPARE(size, 2u);

    // A closed port reads nothing and says so.
    QCOMPARE(VISCA_close_serial(&link.port), VISCA_SUCCESS);
    size = sizeof buffer;
    QCOMPARE(VISCA_unread_bytes(&link.port, buffer, &size), VISCA_FAILURE);
    QCOMPARE(size, 0u);
}

void TestViscaSerial::addressSet_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<QString>("reply"); // empty: the simulator's own
    QTest::addColumn<int>("count"); // -1: the call fails

    QTest::newRow("one camera") << 1 << "" << 1;
    QTest::newRow("seven cameras") << 7 << "" << 7;
    QTest::newRow("count 0") << 1 << "88 30 01 FF" << -1;
    QTest::newRow("count 8") << 1 << "88 30 09 FF" << -1;
    QTest::newRow("5 bytes") << 1 << "88 30 02 00 FF" << -1;
    QTest::newRow("8 bytes, count from its end") << 1 << "88 30 00 00 00 00 03 FF" << 2;
    QTest::newRow("error reply") << 1 << "90 60 02 FF" << -1;
    QTest::newRow("completion, not an address reply") << 1 << "90 50 02 FF" << -1;
}

void TestViscaSerial::addressSet()
{
    QFETCH(int, cameras);
    QFETCH(QString, reply);
    QFETCH(int, count);
    Link link(cameras);
    QVERIFY(link.isOpen());
    if (!reply.isEmpty())
        link.sim.addFault(Rule(Fault::Raw).bytes(hexBytes(reply.toLatin1().constData())).times(1));
    int32_t found = 99;
    const uint32_t result = VISCA_set_address(&link.port, &found);
    QCOMPARE(link.sim.received(), QList<QByteArray> { hexBytes("88 30 01 FF") });
    if (count < 0) {
        QCOMPARE(result, VISCA_FAILURE);
        QCOMPARE(found, 99);
    } else {
        QCOMPARE(result, VISCA_SUCCESS);
        QCOMPARE(found, count);
    }
}

void TestViscaSerial::addressSetKeepsBroadcastFlag()
{
    Link link;
    QVERIFY(link.isOpen());
    int32_t count = 0;
    link.port.broadcast = 0;
    QCOMPARE(VISCA_set_address(&link.port, &count), VISCA_SUCCESS);
    QCOMPARE(link.port.broadcast, 0u);
    link.port.broadcast = 1;
    QCOMPARE(VISCA_set_address(&link.port, &count), VISCA_SUCCESS);
    QCOMPARE(link.port.broadcast, 1u);

    // A refused send restores it too, and writes nothing.
    link.port.broadcast = 0;
    link.port.address = 8;
    link.sim.clearReceived();
    QCOMPARE(VISCA_set_address(&link.port, &count), VISCA_FAILURE);
    QCOMPARE(link.port.broadcast, 0u);
    link.port.address = 0;
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(link.sim.received(), QList<QByteArray> { hexBytes("81 09 04 00 FF") });
}

QUV_TEST_MAIN(TestViscaSerial)
#include "test_viscaserial.moc"
