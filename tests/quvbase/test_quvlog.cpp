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
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "quvbasetest.h"
#include "quvtest.h"

#include "quvbase/system/quvlog.h"
#include "quvbase/system/quvlog_p.h"
#include "quvbase/system/quvtime.h"

namespace {

constexpr size_t kUsedSize = 4686388;
constexpr size_t kMappedSize = 4689920;

using quvbasetest::finishHelper;
using quvbasetest::startHelper;

// The segment's layout as viewers read it, typed here on its own so that a
// wrong offset in the log's writer cannot hide behind its own accessors.
// Packed, so its fields are copied out (by value) before they are compared.
#pragma pack(push, 1)
struct RawHeader
{
    uint32_t magic;
    uint32_t version;
    uint64_t lastSequence;
    int32_t clientReferences;
    uint32_t ringCapacity;
    uint32_t fileTextSize;
    uint32_t messageTextSize;
    uint32_t unitCount;
    uint64_t accepted;
    uint64_t ignored;
    unsigned char reserved[512];
};
struct RawRecord
{
    uint64_t sequence;
    uint64_t microseconds;
    int64_t wallClock;
    int32_t unit;
    uint32_t mask;
    int32_t severity;
    int32_t line;
    uint64_t pid;
    uint64_t tid;
    char file[512];
    char text[512];
};
#pragma pack(pop)
static_assert(offsetof(RawHeader, accepted) == 36 && sizeof(RawHeader) == 564, "masks follow the header");
static_assert(offsetof(RawRecord, file) == 56 && sizeof(RawRecord) == 1080, "record layout");
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

uint64_t accepted()
{
    uint64_t count = 0;
    QUVDebug::GetMessagesAccepted(&count);
    return count;
}

std::string lastText()
{
    const char* text = nullptr;
    QUVDebug::GetMessageText(lastSequence(), &text);
    return textOf(text);
}

std::string lastFile()
{
    const char* file = nullptr;
    QUVDebug::GetMessageFileName(lastSequence(), &file);
    return textOf(file);
}

int lastSeverity()
{
    int severity = -100;
    QUVDebug::GetMessageSeverity(lastSequence(), &severity);
    return severity;
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
    void maskOperations();
    void gatekeeping();
    void recordFields();
    void rawLayout();
    void ring();
    void openRules();
    void foreignSegmentsAreNotTouched_data();
    void foreignSegmentsAreNotTouched();
    void simultaneousFirstOpens();
    void openWaitsForASetUpUnderWay();
    void openTakesOverAnAbandonedSetUp();
    void closingWhileInUse();
    void stateFileRoundTrip();
    void restoreState_data();
    void restoreState();
    void names();
    void severalProcessesReport();
    void timeLog();
    void logObjectOpensOnce();

private:
    // Opens the test's segment and plays a viewer: one client reference, and
    // unit 0 enabled.
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
        bool made = ftruncate(descriptor, off_t(size)) == 0;
        uint32_t header[2] = { magic, version };
        made = made && pwrite(descriptor, header, sizeof header, 0) == ssize_t(sizeof header);
        const char marker[] = "someone else's bytes";
        made = made && pwrite(descriptor, marker, sizeof marker, 600) == ssize_t(sizeof marker);
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
    // Before any Open the log answers as closed, and a report neither opens
    // it nor creates its segment.
    int count = 7;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_INITIALIZE);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_INITIALIZE);
    QUVDebug::Report(0, 3, __FILE__, __LINE__, "dropped %d", 1);
    QUVDebug::Report(0, 3, __FILE__, __LINE__, std::string("dropped"));
    QVERIFY(!QUVDebug::IsOpen());
    QCOMPARE(access(("/dev/shm/" + m_segment).c_str(), F_OK), -1);
}

void TestQuvLog::maskOperations()
{
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::Enable(7, 0x5), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Enable(7, 0x3), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Disable(7, 0x6), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetDestination(7, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 0x1u);
    QCOMPARE(QUVDebug::SetDestination(65535, 0xFFFFFFFFu), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetDestination(65535, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 0xFFFFFFFFu);

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

    // No client reference (the application's own state): nothing written,
    // not even counted.
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
    QCOMPARE(accepted(), uint64_t(0));

    // Enabled: written and accepted.
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_SUCCESS);
    QUVDebug::Report(0, 3, "f", 1, "v=%d", 5);
    QCOMPARE(lastSequence(), uint64_t(1));
    QCOMPARE(accepted(), uint64_t(1));
    QCOMPARE(lastText(), std::string("v=5"));

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
    int unit = -1;
    QCOMPARE(QUVDebug::GetMessageGroup(1, &unit), QUV_STATUS_SUCCESS);
    QCOMPARE(unit, 0); // out of range: written as unit 0, under unit 0's mask
    QCOMPARE(lastSeverity(), 4);
    QCOMPARE(lastFile(), std::string("unknown"));
    QCOMPARE(lastText(), std::string("no message"));

    QUVDebug::Report(0, -1, "f", 1, "low");
    QCOMPARE(lastSeverity(), 4);
    QUVDebug::Report(0, 7, "f", 1, "debug");
    QCOMPARE(lastSeverity(), 7);

    // Texts and paths are cut to 511 characters.
    const std::string longText(600, 't');
    QUVDebug::Report(0, 3, "f", 1, longText);
    QCOMPARE(lastText(), std::string(511, 't'));
    QUVDebug::Report(0, 3, "f", 1, "%s", longText.c_str());
    QCOMPARE(lastText(), std::string(511, 't'));
    const std::string longPath(700, 'p');
    QUVDebug::Report(0, 3, longPath.c_str(), 1, "path");
    QCOMPARE(lastFile(), std::string(511, 'p'));

    // The accessors' own checks: range before the null pointer.
    QCOMPARE(QUVDebug::GetMessageText(lastSequence() + 1, nullptr), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::GetMessageText(lastSequence(), nullptr), QUV_STATUS_NULL);
}

void TestQuvLog::rawLayout()
{
    // Viewers find the log under this name.
    quvlog_internal::setSegmentName(nullptr);
    QCOMPARE(quvlog_internal::segmentName(), std::string("quv-shm-debug"));
    quvlog_internal::setSegmentName(m_segment.c_str());

    // One written and one ignored report, then the segment's bytes as a viewer
    // reads them.
    openAsViewer();
    const int64_t wallBefore = int64_t(time(nullptr));
    const uint64_t timeBefore = QUVDebug::DebugTime();
    QUVDebug::Report(0, 3, "raw/file.cpp", 77, "raw %d", 5);
    const uint64_t timeAfter = QUVDebug::DebugTime();
    const int64_t wallAfter = int64_t(time(nullptr));
    QUVDebug::Report(9, 6, "raw/file.cpp", 78, "ignored");
    const QByteArray bytes = segmentBytes();
    QCOMPARE(bytes.size(), int(kMappedSize));

    const auto header = rawAt<RawHeader>(bytes, 0);
    QCOMPARE(QByteArray(bytes.constData(), 4), QByteArray("GUBD"));
    QCOMPARE(uint32_t(header.version), 110u);
    QCOMPARE(uint64_t(header.lastSequence), uint64_t(1));
    QCOMPARE(int32_t(header.clientReferences), 1);
    QCOMPARE(uint32_t(header.ringCapacity), 4096u);
    QCOMPARE(uint32_t(header.fileTextSize), 512u);
    QCOMPARE(uint32_t(header.messageTextSize), 512u);
    QCOMPARE(uint32_t(header.unitCount), 65536u);
    QCOMPARE(uint64_t(header.accepted), uint64_t(1));
    QCOMPARE(uint64_t(header.ignored), uint64_t(1));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(header.reserved), 512).count('\0'), 512);

    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 0 * 4), 1u);
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 1 * 4), 2u);
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 9 * 4), 0u);

    // Message 1 in record 1; records 0 and 2 untouched.
    const auto record = rawAt<RawRecord>(bytes, kRawRing + 1 * sizeof(RawRecord));
    QCOMPARE(uint64_t(record.sequence), uint64_t(1));
    QVERIFY(record.microseconds >= timeBefore && record.microseconds <= timeAfter);
    QVERIFY(record.wallClock >= wallBefore && record.wallClock <= wallAfter);
    QCOMPARE(int32_t(record.unit), 0);
    QCOMPARE(uint32_t(record.mask), 1u);
    QCOMPARE(int32_t(record.severity), 3);
    QCOMPARE(int32_t(record.line), 77);
    QCOMPARE(uint64_t(record.pid), uint64_t(getpid()));
    QCOMPARE(uint64_t(record.tid), uint64_t(gettid()));
    QCOMPARE(
        QByteArray(record.file, int(sizeof "raw/file.cpp")), QByteArray("raw/file.cpp", int(sizeof "raw/file.cpp")));
    QCOMPARE(QByteArray(record.text, int(sizeof "raw 5")), QByteArray("raw 5", int(sizeof "raw 5")));
    const QByteArray untouched(int(sizeof(RawRecord)), '\0');
    QCOMPARE(bytes.mid(int(kRawRing), int(sizeof(RawRecord))), untouched);
    QCOMPARE(bytes.mid(int(kRawRing + 2 * sizeof(RawRecord)), int(sizeof(RawRecord))), untouched);
    // Nothing is written past the used length.
    QCOMPARE(bytes.mid(int(kUsedSize)).count('\0'), int(kMappedSize - kUsedSize));
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
    QCOMPARE(QUVDebug::GetMessageText(4098, &text), QUV_STATUS_RANGE);
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
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::Close(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);

    // State in the segment survives closing and reopening.
    QCOMPARE(QUVDebug::Enable(42, 0x10), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QVERIFY(QUVDebug::IsActive(42));
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
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_INITIALIZE);

    QCOMPARE(QCryptographicHash::hash(segmentBytes(), QCryptographicHash::Sha256), before);
    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + m_segment).c_str(), &status), 0);
    QCOMPARE(qulonglong(status.st_size), size);
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
    for (int i = 0; i < helpers; ++i) {
        processes.push_back(
            startHelper({ QStringLiteral("log-open-race"), QString::fromStdString(m_segment), startFile }));
    }
    for (auto& process : processes) {
        while (!process->canReadLine())
            QVERIFY(process->waitForReadyRead(30000));
        QCOMPARE(process->readLine(), QByteArray("ready\n"));
    }
    QVERIFY(writeFile(startFile, QByteArray("go")));
    for (auto& process : processes) {
        QByteArray output;
        QCOMPARE(finishHelper(*process, &output), 0);
        QCOMPARE(output, QByteArray("0\n"));
    }

    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    int count = 0;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, helpers);
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::GetDestination(1, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 2u);
}

void TestQuvLog::openWaitsForASetUpUnderWay()
{
    // Another process has claimed the set-up of a fresh segment (its magic is
    // written) and stores the version last. An Open meanwhile must wait for
    // it, not set the segment up a second time over the peer's data.
    QVERIFY(makeSegment(kMappedSize, 0x44425547u, 0u));
    const int descriptor = shm_open(("/" + m_segment).c_str(), O_RDWR, 0600);
    QVERIFY(descriptor >= 0);
    void* peerView = mmap(nullptr, kMappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    close(descriptor);
    QVERIFY(peerView != MAP_FAILED);
    auto* peerVersion = reinterpret_cast<uint32_t*>(static_cast<char*>(peerView) + 4);
    std::thread peer([peerVersion] {
        QUVTime::Sleep(100); // the peer's set-up takes a while
        __atomic_store_n(peerVersion, 110u, __ATOMIC_RELEASE);
    });
    const QUVStatus status = QUVDebug::Open(false);
    peer.join();
    munmap(peerView, kMappedSize);
    QCOMPARE(status, QUV_STATUS_SUCCESS);
    QCOMPARE(segmentBytes().mid(600, 20), QByteArray("someone else's bytes"));
}

void TestQuvLog::openTakesOverAnAbandonedSetUp()
{
    // A peer claimed the set-up (its magic is written, and some of its bytes)
    // and died before it stored the version. After waiting for it, Open sets
    // the segment up itself, or the log could never open again.
    QVERIFY(makeSegment(kMappedSize, 0x44425547u, 0u));
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_SUCCESS);
    QVERIFY(QUVDebug::IsOpen());

    const QByteArray bytes = segmentBytes();
    const auto header = rawAt<RawHeader>(bytes, 0);
    QCOMPARE(uint32_t(header.version), 110u);
    QCOMPARE(uint32_t(header.ringCapacity), 4096u);
    QCOMPARE(uint32_t(header.unitCount), 65536u);
    QCOMPARE(int32_t(header.clientReferences), 1);
    QCOMPARE(rawAt<uint32_t>(bytes, kRawMasks + 1 * 4), 2u);
    // The peer's half-written bytes are gone.
    QCOMPARE(bytes.mid(600, 20).count('\0'), 20);

    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_SUCCESS);
    QUVDebug::Report(0, 3, "f", 1, "after the take-over");
    QCOMPARE(lastText(), std::string("after the take-over"));
}

void TestQuvLog::closingWhileInUse()
{
    // Reports, mask operations and accessors take the segment's address
    // without the log's lock; closing the log (by Close or by a client count
    // of 0) while a thread is at it must not pull the memory from under it.
    // In a helper process, where a fault shows as a crash.
    auto helper
        = startHelper({ QStringLiteral("log-close-race"), QString::fromStdString(m_segment), QStringLiteral("20000") });
    QByteArray output;
    QCOMPARE(finishHelper(*helper, &output), 0);
    QCOMPARE(output, QByteArray("ok\n"));

    // Closed, the log answers as closed; reopened, it works on.
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetClientReferenceCount(1), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_SUCCESS);
    QUVDebug::Report(0, 3, "f", 1, "before");
    const char* before = nullptr;
    QCOMPARE(QUVDebug::GetMessageText(lastSequence(), &before), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetClientReferenceCount(0), QUV_STATUS_SUCCESS);
    QVERIFY(!QUVDebug::IsOpen());
    QVERIFY(!QUVDebug::IsActive(0));
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_INITIALIZE);
    // A text handed out before the close can still be read.
    QCOMPARE(textOf(before), std::string("before"));
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetClientReferenceCount(1), QUV_STATUS_SUCCESS);
    QUVDebug::Report(0, 3, "f", 1, "after");
    QCOMPARE(lastText(), std::string("after"));
}

void TestQuvLog::stateFileRoundTrip()
{
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Enable(300, 0x1F), QUV_STATUS_SUCCESS);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("debug.state")));

    QCOMPARE(QUVDebug::SaveState(path.constData()), QUV_STATUS_SUCCESS);
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("QUVDebugVersion: 110\n"
                   "QUVDebugStateFileVersion: 510\n"
                   "GroupDestination:      1 : 00000002\n"
                   "CustomGroupDestination:    300 : 0000001f\n"));

    QCOMPARE(QUVDebug::SetDestination(1, 0), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetDestination(300, 0), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetDestination(5, 7), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::RestoreState(path.constData()), QUV_STATUS_SUCCESS);
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::GetDestination(1, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 2u);
    QCOMPARE(QUVDebug::GetDestination(300, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 0x1Fu);
    // A unit the file does not name keeps its mask.
    QCOMPARE(QUVDebug::GetDestination(5, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 7u);

    // A missing folder, or a file that cannot be written to the end, is no saved state.
    const QByteArray missing = QFile::encodeName(dir.filePath(QStringLiteral("missing/debug.state")));
    QCOMPARE(QUVDebug::SaveState(missing.constData()), QUV_STATUS_FAIL);
    QCOMPARE(QUVDebug::RestoreState(missing.constData()), QUV_STATUS_FAIL);
    QCOMPARE(QUVDebug::SaveState(nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::RestoreState(nullptr), QUV_STATUS_NULL);
    if (QFile::exists(QStringLiteral("/dev/full")))
        QCOMPARE(QUVDebug::SaveState("/dev/full"), QUV_STATUS_FAIL);
}

void TestQuvLog::restoreState_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("status");
    // Expected masks of units 1, 2, 300 and 65535 afterwards (before: 2, 0, 0, 9).
    QTest::addColumn<QList<uint>>("masks");

    const QByteArray header("QUVDebugVersion: 110\nQUVDebugStateFileVersion: 510\n");
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
}

void TestQuvLog::restoreState()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, status);
    QFETCH(QList<uint>, masks);

    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::SetDestination(65535, 9), QUV_STATUS_SUCCESS);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("debug.state"));
    QVERIFY(writeFile(path, contents));

    QCOMPARE(QUVDebug::RestoreState(QFile::encodeName(path).constData()), QUVStatus(status));
    const int units[] = { 1, 2, 300, 65535 };
    for (int i = 0; i < 4; ++i) {
        uint32_t mask = 0;
        QCOMPARE(QUVDebug::GetDestination(units[i], &mask), QUV_STATUS_SUCCESS);
        QCOMPARE(mask, masks.at(i));
    }
}

void TestQuvLog::names()
{
    // The unit labels are built by the first successful Open and stay put
    // across closing and reopening; an index outside a table gives a fixed text.
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    const char* label = QUVDebug::GetGroupString(84);
    QCOMPARE(std::string(label), std::string("QUV_DebugUnit_Unused_84"));
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetGroupString(84), label);
    QCOMPARE(std::string(QUVDebug::GetGroupString(85)), std::string("index range error"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(-1)), std::string("index range error"));
    QCOMPARE(QUVDebug::GetGroupName(85), std::string("<bad index>"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(8)), std::string("severity range error"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(-1)), std::string("severity range error"));
    QCOMPARE(QUVStatusToString(QUV_STATUS_INITIALIZE), std::string("QUV_STATUS_INITIALIZE"));
    QCOMPARE(QUVStatusToString(2), std::string("<bad QUVStatus>"));
}

void TestQuvLog::severalProcessesReport()
{
    // Every sequence number is claimed once, in its own record, and every
    // helper's every message is there once.
    openAsViewer();
    constexpr int helpers = 4;
    constexpr int messages = 1000;
    std::vector<std::unique_ptr<QProcess>> processes;
    std::set<uint64_t> pids;
    for (int i = 0; i < helpers; ++i) {
        processes.push_back(startHelper({ QStringLiteral("log-report"), QString::fromStdString(m_segment),
            QString::number(messages), QStringLiteral("helper%1").arg(i) }));
        pids.insert(uint64_t(processes.back()->processId()));
    }
    for (auto& process : processes) {
        QByteArray output;
        QCOMPARE(finishHelper(*process, &output), 0);
        QCOMPARE(output, QByteArray("reported ") + QByteArray::number(messages) + '\n');
    }

    const uint64_t total = uint64_t(helpers) * messages;
    QCOMPARE(accepted(), total);
    QCOMPARE(lastSequence(), total);
    std::set<std::string> texts;
    for (uint64_t s = 1; s <= total; ++s) {
        uint64_t sequence = 0;
        uint64_t pid = 0;
        const char* text = nullptr;
        QCOMPARE(QUVDebug::GetMessageSequenceNumber(s, &sequence), QUV_STATUS_SUCCESS);
        QCOMPARE(sequence, s);
        QCOMPARE(QUVDebug::GetProcessId(s, &pid), QUV_STATUS_SUCCESS);
        QVERIFY(pids.count(pid) == 1);
        QCOMPARE(QUVDebug::GetMessageText(s, &text), QUV_STATUS_SUCCESS);
        texts.insert(textOf(text));
    }
    QCOMPARE(texts.size(), size_t(total));
    for (int i = 0; i < helpers; ++i) {
        QVERIFY(texts.count("helper" + std::to_string(i) + " 0") == 1);
        QVERIFY(texts.count("helper" + std::to_string(i) + " " + std::to_string(messages - 1)) == 1);
    }
}

void TestQuvLog::timeLog()
{
    openAsViewer();
    const uint64_t sequence = lastSequence();

    // Unit 3 is not active: nothing printed, nothing counted, yet the
    // stopwatch restarts where asked.
    QUVTimeLog quiet("quiet", 3);
    QUVTime::Sleep(20);
    uint64_t before = QUVTime::GetSystemMicroseconds();
    quiet.PrintReset();
    QVERIFY(quiet.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);
    QUVTime::Sleep(20);
    before = QUVTime::GetSystemMicroseconds();
    quiet.PrintDelta("x", true);
    QVERIFY(quiet.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);
    QCOMPARE(lastSequence(), sequence);
    QCOMPARE(ignored(), uint64_t(0));

    QCOMPARE(QUVDebug::Enable(3, 1), QUV_STATUS_SUCCESS);
    QUVTimeLog log(std::string("tag"), 3);
    log.PrintValue(42, "v");
    QCOMPARE(lastText(), std::string("tag-v = 42\n"));

    // GetDelta: non-decreasing without a reset; a reset restarts it.
    const uint32_t first = log.GetDelta(false);
    const uint32_t second = log.GetDelta(false);
    QVERIFY(second >= first);
    before = QUVTime::GetSystemMicroseconds();
    QVERIFY(log.GetDelta(true) >= second);
    QVERIFY(log.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);
}

void TestQuvLog::logObjectOpensOnce()
{
    // The first log object of the process opens the log, without a client
    // reference, and it stays open; later ones do nothing.
    {
        QUVLog log;
        QVERIFY(QUVDebug::IsOpen());
    }
    int count = -1;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QUVLog second;
    QVERIFY(!QUVDebug::IsOpen());
}

QUV_TEST_MAIN(TestQuvLog)
#include "test_quvlog.moc"
