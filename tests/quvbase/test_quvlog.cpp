// The cross-process debug log. Every test maps a segment of its own
// ("quvtest-<pid>-log-<n>", through the library's internal seam) and unlinks
// it afterwards; the real "quv-shm-debug" is never touched. The test plays
// the viewer: it holds client references and sets masks.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "quvbasetest.h"
#include "quvtest.h"

#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog.h"
#include "quvbase/system/quvlog_p.h"
#include "quvbase/system/quvmemory.h"
#include "quvbase/system/quvthread.h"
#include "quvbase/system/quvtime.h"

namespace {

constexpr size_t kUsedSize = 4686388;
constexpr size_t kMappedSize = 4689920;

// The segment's layout as viewers read it, typed here on its own so that a
// wrong offset in the log's writer cannot hide behind its own accessors.
// Packed, so its fields are copied out (by value) before they are compared.
#pragma pack(push, 1)
struct RawHeader
{
    uint32_t magic, version;
    uint64_t lastSequence;
    int32_t clientReferences;
    uint32_t ringCapacity, fileTextSize, messageTextSize, unitCount;
    uint64_t accepted, ignored;
    unsigned char reserved[512];
};
struct RawRecord
{
    uint64_t sequence, microseconds;
    int64_t wallClock;
    int32_t unit;
    uint32_t mask;
    int32_t severity, line;
    uint64_t pid, tid;
    char file[512];
    char text[512];
};
#pragma pack(pop)
static_assert(sizeof(RawHeader) == 564 && sizeof(RawRecord) == 1080, "masks follow the header");
constexpr size_t kRawMasks = 564;
constexpr size_t kRawRing = 262708;

template<typename T> T rawAt(const QByteArray& bytes, size_t offset)
{
    T value {};
    if (offset + sizeof value <= size_t(bytes.size()))
        std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}

std::string textOf(const char* text)
{
    // Fields in the segment are read with their bound.
    return text ? std::string(text, strnlen(text, 512)) : std::string("<null>");
}

uint64_t lastSequence()
{
    uint64_t sequence = 0;
    QUVDebug::GetSequenceNumber(&sequence);
    return sequence;
}

uint64_t ignored()
{
    uint64_t count = 0;
    QUVDebug::GetMessagesIgnored(&count);
    return count;
}

std::string lastText()
{
    const char* text = nullptr;
    QUVDebug::GetMessageText(lastSequence(), &text);
    return textOf(text);
}

template<typename T, typename Getter> T lastField(Getter getter)
{
    T value {};
    getter(lastSequence(), &value);
    return value;
}

uint32_t maskOf(int unit)
{
    uint32_t mask = 0xDEAD;
    QUVDebug::GetDestination(unit, &mask);
    return mask;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

} // namespace

class TestQuvLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void closedLogCreatesNothing();
    void masks();
    void gatekeeping();
    void recordFields();
    void rawLayout();
    void ring();
    void openRules();
    void foreignSegmentsAreNotTouched_data();
    void foreignSegmentsAreNotTouched();
    void simultaneousFirstOpens();
    void openWaitsForASetUpUnderWay_data();
    void openWaitsForASetUpUnderWay();
    void openTakesOverAnAbandonedSetUp();
    void closingWhileInUse();
    void stateFile_data();
    void stateFile();
    void names();
    void timeLog();
    void onlyErrorsAreReported();

private:
    // Opens the test's segment and plays a viewer: one client reference, and unit 0 enabled.
    void openAsViewer()
    {
        QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
        QCOMPARE(QUVDebug::SetClientReferenceCount(1), QUV_STATUS_SUCCESS);
        QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_SUCCESS);
    }

    QByteArray segmentBytes() const
    {
        QFile file(QStringLiteral("/dev/shm/") + QString::fromStdString(m_segment));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Creates the segment beforehand, as another program might have left it.
    bool makeSegment(size_t size, uint32_t magic, uint32_t version)
    {
        const int descriptor = shm_open(("/" + m_segment).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (descriptor < 0)
            return false;
        const uint32_t header[2] = { magic, version };
        const char marker[] = "someone else's bytes";
        const bool made = ftruncate(descriptor, off_t(size)) == 0
            && pwrite(descriptor, header, sizeof header, 0) == ssize_t(sizeof header)
            && pwrite(descriptor, marker, sizeof marker, 600) == ssize_t(sizeof marker);
        close(descriptor);
        return made;
    }

    std::string m_segment;
    int m_counter = 0;
};

void TestQuvLog::init()
{
    m_segment = "quvtest-" + std::to_string(getpid()) + "-log-" + std::to_string(++m_counter);
    shm_unlink(("/" + m_segment).c_str());
    quvlog_internal::setSegmentName(m_segment.c_str());
}

void TestQuvLog::cleanup()
{
    QUVDebug::Close(false);
    shm_unlink(("/" + m_segment).c_str());
}

void TestQuvLog::closedLogCreatesNothing()
{
    // Before any Open the log answers as closed, and a report neither opens it nor creates its segment.
    int count = 7;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_INITIALIZE);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::SetClientReferenceCount(1), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::SaveState("/tmp/x"), QUV_STATUS_INITIALIZE);
    QUVDebug::Report(0, 3, __FILE__, __LINE__, "dropped %d", 1);
    QUVDebug::Report(0, 3, __FILE__, __LINE__, std::string("dropped"));
    QVERIFY(!QUVDebug::IsOpen());
    QVERIFY(!QUVDebug::IsDebugBuild());
    // The unit labels come with the first Open.
    QCOMPARE(std::string(QUVDebug::GetGroupString(0)), std::string("index range error"));
    QCOMPARE(QUVDebug::GetGroupName(0), std::string("<bad index>"));
    QVERIFY(!QUVDebug::GetPrivateDataLoc());
    QCOMPARE(QUVDebug::GetPrivateDataLen(), size_t(0));
    QCOMPARE(access(("/dev/shm/" + m_segment).c_str(), F_OK), -1);
}

void TestQuvLog::masks()
{
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetPrivateDataLen(), kUsedSize);
    QCOMPARE(QUVDebug::Enable(7, 0x5), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Enable(7, 0x3), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Disable(7, 0x6), QUV_STATUS_SUCCESS);
    QCOMPARE(maskOf(7), 0x1u);
    QCOMPARE(QUVDebug::SetDestination(65535, 0xFFFFFFFFu), QUV_STATUS_SUCCESS);
    QCOMPARE(maskOf(65535), 0xFFFFFFFFu);
    QVERIFY(QUVDebug::IsActive(65535));
    QVERIFY(!QUVDebug::IsActive(8));

    // Units past the mask table are refused, range before the null pointer.
    QCOMPARE(QUVDebug::Enable(-1, 1), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::Disable(65536, 1), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::SetDestination(65536, 1), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::GetDestination(70000, nullptr), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::GetDestination(0, nullptr), QUV_STATUS_NULL);
    QVERIFY(!QUVDebug::IsActive(-1));
    QVERIFY(!QUVDebug::IsActive(65536));
}

void TestQuvLog::gatekeeping()
{
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_SUCCESS);

    // No client reference (the application's own state): nothing written, not even counted.
    QUVDebug::Report(0, 3, "f", 1, "x");
    QUVDebug::Report(0, 3, "f", 1, std::string("x"));
    QCOMPARE(lastSequence(), uint64_t(0));
    QCOMPARE(ignored(), uint64_t(0));

    // A client, but the unit's mask is 0: counted as ignored.
    QCOMPARE(QUVDebug::SetClientReferenceCount(1), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Disable(0, 1), QUV_STATUS_SUCCESS);
    QUVDebug::Report(0, 3, "f", 1, "x");
    QUVDebug::Report(5, 3, "f", 1, std::string("x"));
    QCOMPARE(lastSequence(), uint64_t(0));
    QCOMPARE(ignored(), uint64_t(2));

    // Enabled: written and accepted.
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_SUCCESS);
    QUVDebug::Report(0, 3, "f", 1, "v=%d", 5);
    QUVDebug::Report(0, 3, "f", 1, std::string("text"));
    QCOMPARE(lastSequence(), uint64_t(2));
    uint64_t accepted = 0;
    QCOMPARE(QUVDebug::GetMessagesAccepted(&accepted), QUV_STATUS_SUCCESS);
    QCOMPARE(accepted, uint64_t(2));
    QCOMPARE(lastText(), std::string("text"));

    // A count of 0 or less closes the log in this process.
    QCOMPARE(QUVDebug::SetClientReferenceCount(0), QUV_STATUS_SUCCESS);
    QVERIFY(!QUVDebug::IsOpen());
}

void TestQuvLog::recordFields()
{
    // Bad input is written in a safe form.
    openAsViewer();
    const char* noFile = nullptr;
    const char* noFormat = nullptr;
    QUVDebug::Report(70000, 9, noFile, 12, noFormat);
    QCOMPARE(lastSequence(), uint64_t(1));
    QCOMPARE(lastField<int>(QUVDebug::GetMessageGroup), 0); // written as unit 0, under unit 0's mask
    QCOMPARE(lastField<int>(QUVDebug::GetMessageSeverity), 4);
    QCOMPARE(textOf(lastField<const char*>(QUVDebug::GetMessageFileName)), std::string("unknown"));
    QCOMPARE(lastText(), std::string("no message"));
    QUVDebug::Report(0, -1, "f", 1, "low");
    QCOMPARE(lastField<int>(QUVDebug::GetMessageSeverity), 4);
    QUVDebug::Report(0, 7, "f", 1, "debug");
    QCOMPARE(lastField<int>(QUVDebug::GetMessageSeverity), 7);

    // Texts and paths are cut to 511 characters.
    const std::string longText(600, 't');
    QUVDebug::Report(0, 3, "f", 1, longText);
    QCOMPARE(lastText(), std::string(511, 't'));
    QUVDebug::Report(0, 3, "f", 1, "%s", longText.c_str());
    QCOMPARE(lastText(), std::string(511, 't'));
    QUVDebug::Report(0, 3, std::string(700, 'p').c_str(), 1, "path");
    QCOMPARE(textOf(lastField<const char*>(QUVDebug::GetMessageFileName)), std::string(511, 'p'));

    // The accessors' own checks: range before the null pointer.
    QCOMPARE(QUVDebug::GetMessageText(lastSequence() + 1, nullptr), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::GetMessageText(lastSequence(), nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::GetSequenceNumber(nullptr), QUV_STATUS_NULL);
}

void TestQuvLog::rawLayout()
{
    // Viewers find the log under this name.
    quvlog_internal::setSegmentName(nullptr);
    QCOMPARE(quvlog_internal::segmentName(), std::string("quv-shm-debug"));
    quvlog_internal::setSegmentName(m_segment.c_str());

    // One written and one ignored report, then the segment's bytes as a viewer reads them.
    openAsViewer();
    const int64_t wallBefore = int64_t(time(nullptr));
    const uint64_t timeBefore = QUVDebug::DebugTime();
    QUVDebug::Report(0, 3, "raw/file.cpp", 77, "raw %d", 5);
    const uint64_t timeAfter = QUVDebug::DebugTime();
    QUVDebug::Report(9, 6, "raw/file.cpp", 78, "ignored");
    const QByteArray bytes = segmentBytes();
    QCOMPARE(bytes.size(), int(kMappedSize));

    const auto header = rawAt<RawHeader>(bytes, 0);
    QCOMPARE(QByteArray(bytes.constData(), 4), QByteArray("GUBD"));
    QCOMPARE((QList<qint64> { header.version, qint64(header.lastSequence), header.clientReferences, header.ringCapacity,
                 header.fileTextSize, header.messageTextSize, header.unitCount, qint64(header.accepted),
                 qint64(header.ignored) }),
        (QList<qint64> { 110, 1, 1, 4096, 512, 512, 65536, 1, 1 }));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(header.reserved), 512).count('\0'), 512);
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 0 * 4), 1u);
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 1 * 4), 2u); // unit 1 is on in a fresh segment
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 9 * 4), 0u);

    // Message 1 in record 1; records 0 and 2 untouched.
    const auto record = rawAt<RawRecord>(bytes, kRawRing + 1 * sizeof(RawRecord));
    QCOMPARE((QList<qint64> { qint64(record.sequence), record.unit, record.mask, record.severity, record.line,
                 qint64(record.pid), qint64(record.tid) }),
        (QList<qint64> { 1, 0, 1, 3, 77, getpid(), gettid() }));
    QVERIFY(record.microseconds >= timeBefore && record.microseconds <= timeAfter);
    QVERIFY(record.wallClock >= wallBefore && record.wallClock <= int64_t(time(nullptr)));
    QCOMPARE(QByteArray(record.file, 13), QByteArray("raw/file.cpp", 13));
    QCOMPARE(QByteArray(record.text, 6), QByteArray("raw 5", 6));
    const QByteArray untouched(int(sizeof(RawRecord)), '\0');
    QCOMPARE(bytes.mid(int(kRawRing), int(sizeof(RawRecord))), untouched);
    QCOMPARE(bytes.mid(int(kRawRing + 2 * sizeof(RawRecord)), int(sizeof(RawRecord))), untouched);
    // Nothing is written past the used length.
    QCOMPARE(bytes.mid(int(kUsedSize)).count('\0'), int(kMappedSize - kUsedSize));

    // The accessors read the same fields.
    QCOMPARE(lastField<uint64_t>(QUVDebug::GetMessageTime), uint64_t(record.microseconds));
    QCOMPARE(lastField<int64_t>(QUVDebug::GetMessageWallClockTime), int64_t(record.wallClock));
    QCOMPARE(lastField<int>(QUVDebug::GetMessageLineNumber), 77);
    QCOMPARE(lastField<uint32_t>(QUVDebug::GetMessageDestination), 1u);
    QCOMPARE(lastField<uint64_t>(QUVDebug::GetThreadId), uint64_t(gettid()));
    QCOMPARE(lastField<uint64_t>(QUVDebug::GetProcessId), uint64_t(getpid()));
}

void TestQuvLog::ring()
{
    openAsViewer();
    for (int i = 1; i <= 4097; ++i)
        QUVDebug::Report(0, 6, "ring", i, "message %d", i);
    QCOMPARE(lastSequence(), uint64_t(4097));

    // Message 4097 took record 1 from message 1; record 0 holds message 4096.
    uint64_t sequence = 0;
    QCOMPARE(QUVDebug::GetMessageSequenceNumber(1, &sequence), QUV_STATUS_SUCCESS);
    QCOMPARE(sequence, uint64_t(4097));
    QCOMPARE(lastText(), std::string("message 4097"));
    const char* text = nullptr;
    QCOMPARE(QUVDebug::GetMessageText(0, &text), QUV_STATUS_SUCCESS);
    QCOMPARE(textOf(text), std::string("message 4096"));
}

void TestQuvLog::openRules()
{
    // Open(true) twice in one process counts one reference; Close(true) gives
    // it back, and never goes below 0.
    int count = 0;
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 1);
    QCOMPARE(QUVDebug::Close(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Close(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::GetClientReferenceCount(nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::Close(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);

    // State in the segment survives closing and reopening.
    QCOMPARE(QUVDebug::Enable(42, 0x10), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QVERIFY(QUVDebug::IsActive(42));

    // The program's first log object opens the log, without a client reference; later ones do nothing.
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    {
        QUVLog log;
        QVERIFY(QUVDebug::IsOpen());
    }
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QUVLog second;
    QVERIFY(!QUVDebug::IsOpen());
}

void TestQuvLog::foreignSegmentsAreNotTouched_data()
{
    QTest::addColumn<qulonglong>("size");
    QTest::addColumn<uint>("magic");
    QTest::addColumn<uint>("version");
    QTest::newRow("version 109") << qulonglong(kMappedSize) << 0x44425547u << 109u;
    QTest::newRow("version 0 under another magic") << qulonglong(kMappedSize) << 0x12345678u << 0u;
    // Mapping the whole layout over it would fault at the first touch past its end.
    QTest::newRow("one page short") << qulonglong(kMappedSize - 4096) << 0x44425547u << 110u;
}

void TestQuvLog::foreignSegmentsAreNotTouched()
{
    QFETCH(qulonglong, size);
    QFETCH(uint, magic);
    QFETCH(uint, version);
    QVERIFY(makeSegment(size, magic, version));
    const QByteArray before = QCryptographicHash::hash(segmentBytes(), QCryptographicHash::Sha256);
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_FAIL);
    QVERIFY(!QUVDebug::IsOpen());
    QUVDebug::Report(0, 3, "f", 1, "dropped");
    QCOMPARE(QCryptographicHash::hash(segmentBytes(), QCryptographicHash::Sha256), before);
    QCOMPARE(qulonglong(segmentBytes().size()), size);
}

void TestQuvLog::simultaneousFirstOpens()
{
    // Several processes open a fresh segment at the same moment, each taking a
    // client reference. Set up twice, the segment would lose references.
    constexpr int helpers = 4;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString startFile = dir.filePath(QStringLiteral("go"));
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < helpers; ++i)
        processes.push_back(quvbasetest::startHelper(
            { QStringLiteral("log-open-race"), QString::fromStdString(m_segment), startFile }));
    for (auto& process : processes) {
        while (!process->canReadLine())
            QVERIFY(process->waitForReadyRead(30000));
        QCOMPARE(process->readLine(), QByteArray("ready\n"));
    }
    QVERIFY(writeFile(startFile, QByteArray("go")));
    for (auto& process : processes) {
        QByteArray output;
        QCOMPARE(quvbasetest::finishHelper(*process, &output), 0);
        QCOMPARE(output, QByteArray("0\n"));
    }

    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    int count = 0;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, helpers);
    QCOMPARE(maskOf(1), 2u);
}

void TestQuvLog::openWaitsForASetUpUnderWay_data()
{
    QTest::addColumn<uint>("peerVersion");
    QTest::addColumn<int>("status");
    QTest::newRow("this layout") << 110u << int(QUV_STATUS_SUCCESS);
    // A peer of another layout finishes: the segment is not ours to use.
    QTest::newRow("another layout") << 109u << int(QUV_STATUS_FAIL);
}

void TestQuvLog::openWaitsForASetUpUnderWay()
{
    // Another process has claimed the set-up of a fresh segment (its magic is
    // written) and stores the version last. An Open meanwhile must wait for
    // it, not set the segment up a second time over the peer's data.
    QFETCH(uint, peerVersion);
    QFETCH(int, status);
    QVERIFY(makeSegment(kMappedSize, 0x44425547u, 0u));
    const int descriptor = shm_open(("/" + m_segment).c_str(), O_RDWR, 0600);
    QVERIFY(descriptor >= 0);
    void* peerView = mmap(nullptr, kMappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    close(descriptor);
    QVERIFY(peerView != MAP_FAILED);
    auto* versionField = reinterpret_cast<uint32_t*>(static_cast<char*>(peerView) + 4);
    std::thread peer([versionField, peerVersion] {
        QUVTime::Sleep(100); // the peer's set-up takes a while
        __atomic_store_n(versionField, peerVersion, __ATOMIC_RELEASE);
    });
    const QUVStatus opened = QUVDebug::Open(false);
    peer.join();
    munmap(peerView, kMappedSize);
    QCOMPARE(opened, QUVStatus(status));
    QCOMPARE(QUVDebug::IsOpen(), status == QUV_STATUS_SUCCESS);
    const QByteArray bytes = segmentBytes();
    QCOMPARE(rawAt<uint32_t>(bytes, 4), uint32_t(peerVersion));
    QCOMPARE(bytes.mid(600, 20), QByteArray("someone else's bytes"));
}

void TestQuvLog::openTakesOverAnAbandonedSetUp()
{
    // A peer claimed the set-up and died before it stored the version. After
    // waiting for it, Open sets the segment up itself, or the log could never open again.
    QVERIFY(makeSegment(kMappedSize, 0x44425547u, 0u));
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_SUCCESS);
    const QByteArray bytes = segmentBytes();
    const auto header = rawAt<RawHeader>(bytes, 0);
    QCOMPARE((QList<qint64> { header.version, header.ringCapacity, header.unitCount, header.clientReferences }),
        (QList<qint64> { 110, 4096, 65536, 1 }));
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 1 * 4), 2u);
    QCOMPARE(bytes.mid(600, 20).count('\0'), 20); // the peer's half-written bytes are gone
}

void TestQuvLog::closingWhileInUse()
{
    // Reports, mask operations and accessors take the segment's address
    // without the log's lock; closing the log (by Close or by a client count
    // of 0) while a thread is at it must not pull the memory from under it.
    // In a helper process, where a fault shows as a crash.
    auto helper = quvbasetest::startHelper(
        { QStringLiteral("log-close-race"), QString::fromStdString(m_segment), QStringLiteral("20000") });
    QByteArray output;
    QCOMPARE(quvbasetest::finishHelper(*helper, &output), 0);
    QCOMPARE(output, QByteArray("ok\n"));

    // Closed, the log answers as closed, but a text handed out before can still be read.
    openAsViewer();
    QUVDebug::Report(0, 3, "f", 1, "before");
    const char* before = nullptr;
    QCOMPARE(QUVDebug::GetMessageText(lastSequence(), &before), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetClientReferenceCount(0), QUV_STATUS_SUCCESS);
    QVERIFY(!QUVDebug::IsActive(0));
    QCOMPARE(textOf(before), std::string("before"));
    openAsViewer();
    QUVDebug::Report(0, 3, "f", 1, "after");
    QCOMPARE(lastText(), std::string("after"));
}

void TestQuvLog::stateFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("status");
    // Expected masks of units 1, 2, 300 and 65535 afterwards (before: 2, 0, 0, 9).
    QTest::addColumn<QList<uint>>("masks");

    const QByteArray header("QUVDebugVersion: 110\nQUVDebugStateFileVersion: 510\n");
    // What SaveState writes: the masks that are not 0, groups and custom groups.
    QTest::newRow("saved") << header
            + "GroupDestination:      0 : 00000004\nGroupDestination:      1 : 00000002\n"
              "GroupDestination:     84 : 00000003\nCustomGroupDestination:     85 : 00000005\n"
              "CustomGroupDestination:  65535 : 00000009\n"
                           << 1 << QList<uint> { 2, 0, 0, 9 };
    QTest::newRow("group and custom") << header + "GroupDestination: 2 : ff\nCustomGroupDestination: 300 : 1f\n"
                                      << 0 << QList<uint> { 2, 0xff, 0x1f, 9 };
    QTest::newRow("units out of range are skipped") << header
            + "GroupDestination: 70000 : ff\nGroupDestination: -1 : ff\n"
              "CustomGroupDestination: 99999999999 : ff\nGroupDestination: 65535 : 0\n"
                                                    << 0 << QList<uint> { 2, 0, 0, 0 };
    QTest::newRow("garbage ends the list") << header + "GroupDestination: 2 : 5\nnonsense\nGroupDestination: 300 : 6\n"
                                           << 0 << QList<uint> { 2, 5, 0, 9 };
    QTest::newRow("version 111") << QByteArray("QUVDebugVersion: 111\nQUVDebugStateFileVersion: 510\n"
                                               "GroupDestination: 2 : 5\n")
                                 << -1 << QList<uint> { 2, 0, 0, 9 };
    QTest::newRow("state file version 511") << QByteArray("QUVDebugVersion: 110\nQUVDebugStateFileVersion: 511\n"
                                                          "GroupDestination: 2 : 5\n")
                                            << -1 << QList<uint> { 2, 0, 0, 9 };
}

void TestQuvLog::stateFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, status);
    QFETCH(QList<uint>, masks);

    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetDestination(65535, 9), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetDestination(0, 4), QUV_STATUS_SUCCESS);
    // The last unit with a label, and the first without one.
    QCOMPARE(QUVDebug::SetDestination(84, 3), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetDestination(85, 5), QUV_STATUS_SUCCESS);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("debug.state")));
    if (status == 1) {
        // Saved, the masks are set aside and restored from the file.
        QCOMPARE(QUVDebug::SaveState(path.constData()), QUV_STATUS_SUCCESS);
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), contents);
        QCOMPARE(QUVDebug::SetDestination(1, 0), QUV_STATUS_SUCCESS);
        QCOMPARE(QUVDebug::SetDestination(65535, 0), QUV_STATUS_SUCCESS);
        status = 0;
    } else {
        QVERIFY(writeFile(QFile::decodeName(path), contents));
    }
    QCOMPARE(QUVDebug::RestoreState(path.constData()), QUVStatus(status));
    QCOMPARE((QList<uint> { maskOf(1), maskOf(2), maskOf(300), maskOf(65535) }), masks);

    // A missing folder, or a file that cannot be written to the end, is no saved state.
    const QByteArray missing = QFile::encodeName(dir.filePath(QStringLiteral("missing/debug.state")));
    QCOMPARE(QUVDebug::SaveState(missing.constData()), QUV_STATUS_FAIL);
    QCOMPARE(QUVDebug::RestoreState(missing.constData()), QUV_STATUS_FAIL);
    QCOMPARE(QUVDebug::SaveState(nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::RestoreState(nullptr), QUV_STATUS_NULL);
    if (QFile::exists(QStringLiteral("/dev/full")))
        QCOMPARE(QUVDebug::SaveState("/dev/full"), QUV_STATUS_FAIL);
}

void TestQuvLog::names()
{
    // The unit labels are built by the first successful Open and stay put
    // across closing and reopening; an index outside a table gives a fixed text.
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    const char* label = QUVDebug::GetGroupString(84);
    QCOMPARE(std::string(label), std::string("QUV_DebugUnit_Unused_84"));
    QCOMPARE(QUVDebug::GetGroupName(50), std::string("QUV_DebugUnit_Anc2110Rcv"));
    QCOMPARE(QUVDebug::GetGroupName(51), std::string("QUV_DebugUnit_Unused_51"));
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetGroupString(84), label);
    QCOMPARE(std::string(QUVDebug::GetGroupString(85)), std::string("index range error"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(-1)), std::string("index range error"));
    QCOMPARE(QUVDebug::GetGroupName(85), std::string("<bad index>"));
    QCOMPARE(QUVDebug::GetGroupName(-1), std::string("<bad index>"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(0)), std::string("emergency"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(7)), std::string("debug"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(8)), std::string("severity range error"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(-1)), std::string("severity range error"));
    QCOMPARE(QUVStatusToString(QUV_STATUS_INITIALIZE), std::string("QUV_STATUS_INITIALIZE"));
    QCOMPARE(QUVStatusToString(2), std::string("<bad QUVStatus>"));
}

void TestQuvLog::timeLog()
{
    openAsViewer();
    // Unit 3 is not active: nothing printed, nothing counted, yet the stopwatch restarts where asked.
    QUVTimeLog quiet("quiet", 3);
    QUVTime::Sleep(20);
    uint64_t before = QUVTime::GetSystemMicroseconds();
    quiet.PrintReset();
    QVERIFY(quiet.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);
    QUVTime::Sleep(20);
    before = QUVTime::GetSystemMicroseconds();
    quiet.PrintDelta("x", true);
    QVERIFY(quiet.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);
    QCOMPARE(lastSequence(), uint64_t(0));
    QCOMPARE(ignored(), uint64_t(0));

    // Active: each print is a debug message of the tag.
    QCOMPARE(QUVDebug::Enable(3, 1), QUV_STATUS_SUCCESS);
    QUVTimeLog log(std::string("tag"), 3);
    log.PrintValue(42, "v");
    QCOMPARE(lastText(), std::string("tag-v = 42\n"));
    QCOMPARE(lastField<int>(QUVDebug::GetMessageSeverity), 7);
    log.PrintValue(-5);
    QCOMPARE(lastText(), std::string("tag = -5\n"));
    log.Print("p");
    QCOMPARE(lastText(), std::string("tag-p\n"));
    log.PrintReset();
    QCOMPARE(lastText(), std::string("tag-(** Reset **) = 0\n"));
    QUVTime::Sleep(5);
    log.PrintDelta(false);
    const std::string delta = lastText();
    QVERIFY2(delta.rfind("tag = ", 0) == 0 && std::stoll(delta.substr(6)) >= 4000, delta.c_str());
    QVERIFY(std::stoll(delta.substr(6)) < 1000000);
    log.PrintDelta("d", false);
    QVERIFY(lastText().rfind("tag-d = ", 0) == 0 && std::stoll(lastText().substr(8)) < 1000000);

    // GetDelta: non-decreasing without a reset; a reset restarts it.
    const uint32_t first = log.GetDelta(false);
    before = QUVTime::GetSystemMicroseconds();
    QVERIFY(log.GetDelta(true) >= first);
    QVERIFY(log.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);
}

void TestQuvLog::onlyErrorsAreReported()
{
    // A normal run of locks, threads and memory reports nothing ...
    openAsViewer();
    {
        QUVLock lock("quiet");
        QCOMPARE(lock.Lock(0), QUV_STATUS_SUCCESS);
        QCOMPARE(lock.Unlock(), QUV_STATUS_SUCCESS);
        std::atomic<bool> ran { false };
        QUVThread thread;
        thread.Attach(
            [](QUVThread* self, void* flag) {
                static_cast<std::atomic<bool>*>(flag)->store(true);
                while (!self->Terminate())
                    QUVTime::SleepInMicroseconds(200);
            },
            &ran);
        QCOMPARE(thread.SetPriority(1), QUV_STATUS_SUCCESS);
        QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
        QTRY_VERIFY_WITH_TIMEOUT(ran.load(), 10000);
        QCOMPARE(thread.Stop(QUV_LOCK_WAIT_FOREVER), QUV_STATUS_SUCCESS);
        QUVMemory::Free(QUVMemory::Allocate(8));
        QUVMemory::FreeAligned(QUVMemory::AllocateAligned(8, 64));
        size_t size = 1;
        const std::string name = m_segment + "-memory";
        QUVMemory::FreeShared(QUVMemory::AllocateShared(&size, name.c_str()));
        shm_unlink(("/" + name).c_str());
    }
    QCOMPARE(lastSequence(), uint64_t(0));

    // ... and each refused call reports why, at unit 0 as an error.
    int local = 0;
    size_t zero = 0;
    QUVThread thread;
    const std::pair<std::function<void()>, std::string> refusals[] = {
        { [] { QUVMemory::Allocate(0); }, "QUVMemory::Allocate  size is 0" },
        { [] { QUVMemory::Free(nullptr); }, "QUVMemory::Free  memory address is NULL" },
        { [] { QUVMemory::AllocateAligned(0, 64); }, "QUVMemory::AllocateAligned  size is 0" },
        { [] { QUVMemory::AllocateAligned(8, 24); },
            "QUVMemory::AllocateAligned  allocation failed size=8 alignment=24" },
        { [] { QUVMemory::FreeAligned(nullptr); }, "QUVMemory::FreeAligned  memory address is NULL" },
        { [] { QUVMemory::AllocateShared(nullptr, "x"); }, "QUVMemory::AllocateShared  size is NULL" },
        { [&] { QUVMemory::AllocateShared(&zero, "x"); }, "QUVMemory::AllocateShared  size is 0" },
        { [&] {
             size_t one = 1;
             QUVMemory::AllocateShared(&one, nullptr);
         },
            "QUVMemory::AllocateShared  share name is NULL" },
        { [&] {
             size_t one = 1;
             QUVMemory::AllocateShared(&one, "");
         },
            "QUVMemory::AllocateShared  share name is empty" },
        { [&] { QUVMemory::FreeShared(&local); }, "QUVMemory::FreeShared  memory not found" },
        { [&] { thread.SetPriority(6); }, "::SetPriority: bad thread priority 6" },
    };
    for (const auto& refusal : refusals) {
        const uint64_t before = lastSequence();
        refusal.first();
        QCOMPARE(lastSequence(), before + 1);
        QVERIFY2(lastText().find(refusal.second) != std::string::npos, lastText().c_str());
        QCOMPARE(lastField<int>(QUVDebug::GetMessageSeverity), 3);
        QCOMPARE(lastField<int>(QUVDebug::GetMessageGroup), 0);
    }
}

QUV_TEST_MAIN(TestQuvLog)
#include "test_quvlog.moc"
