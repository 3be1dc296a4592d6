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
#include <QDir>
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
static_assert(offsetof(RawHeader, clientReferences) == 16 && offsetof(RawHeader, unitCount) == 32, "header");
static_assert(offsetof(RawHeader, accepted) == 36 && offsetof(RawHeader, ignored) == 44, "counters");
static_assert(sizeof(RawHeader) == 564, "masks follow the header");
static_assert(offsetof(RawRecord, unit) == 24 && offsetof(RawRecord, pid) == 40, "record numbers");
static_assert(offsetof(RawRecord, file) == 56 && offsetof(RawRecord, text) == 568, "record texts");
static_assert(sizeof(RawRecord) == 1080, "record size");
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

uint32_t u32At(const QByteArray& bytes, int offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
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

// The sequence number of the first message after sequence number after whose
// text is text; 0 when there is none.
uint64_t messageAfter(uint64_t after, const std::string& text)
{
    for (uint64_t s = after + 1; s <= lastSequence(); ++s) {
        const char* found = nullptr;
        if (QUVDebug::GetMessageText(s, &found) == QUV_STATUS_SUCCESS && textOf(found) == text)
            return s;
    }
    return 0;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

// A thread whose loop is the library's default one, for one round.
class DefaultLoopThread : public QUVThread
{
public:
    ~DefaultLoopThread() override { Stop(0xFFFFFFFFu); }
};

} // namespace

class TestQuvLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void defaultSegmentName();
    void freshLayout();
    void closedLogAnswersInitialize();
    void maskOperations();
    void gatekeeping();
    void recordFields();
    void rawLayout();
    void ring();
    void openRules();
    void foreignSegmentsAreNotTouched_data();
    void foreignSegmentsAreNotTouched();
    void staleSmallSegmentInAHelper();
    void simultaneousFirstOpens();
    void openWaitsForASetUpUnderWay();
    void openTakesOverAnAbandonedSetUp();
    void closingWhileInUse();
    void stateFileRoundTrip();
    void restoreState_data();
    void restoreState();
    void saveStateFailures();
    void names();
    void statusNames_data();
    void statusNames();
    void severalProcessesReport();
    void libraryFailuresAreReported();
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

void TestQuvLog::defaultSegmentName()
{
    quvlog_internal::setSegmentName(nullptr);
    QCOMPARE(quvlog_internal::segmentName(), std::string("quv-shm-debug"));
    quvlog_internal::setSegmentName(m_segment.c_str());
    QCOMPARE(quvlog_internal::segmentName(), m_segment);
}

void TestQuvLog::freshLayout()
{
    QVERIFY(!QUVDebug::IsOpen());
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QVERIFY(QUVDebug::IsOpen());
    QVERIFY(!QUVDebug::IsDebugBuild());
    QVERIFY(QUVDebug::GetPrivateDataLoc());
    QCOMPARE(QUVDebug::GetPrivateDataLen(), kUsedSize);

    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + m_segment).c_str(), &status), 0);
    QCOMPARE(size_t(status.st_size), kMappedSize);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));

    const QByteArray bytes = segmentBytes();
    QCOMPARE(bytes.size(), int(kMappedSize));
    QCOMPARE(bytes.left(4), QByteArray("GUBD"));
    QCOMPARE(u32At(bytes, 4), 110u);
    QCOMPARE(u32At(bytes, 20), 4096u);
    QCOMPARE(u32At(bytes, 24), 512u);
    QCOMPARE(u32At(bytes, 28), 512u);
    QCOMPARE(u32At(bytes, 32), 65536u);
    // Unit 1's mask is 2, every other mask 0.
    QCOMPARE(u32At(bytes, 564 + 4), 2u);
    QCOMPARE(bytes.mid(564 + 8, 65534 * 4).count('\0'), 65534 * 4);
    QCOMPARE(u32At(bytes, 564), 0u);

    int count = -1;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 0);
    QCOMPARE(lastSequence(), uint64_t(0));
    QCOMPARE(accepted(), uint64_t(0));
    QCOMPARE(ignored(), uint64_t(0));
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::GetDestination(1, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 2u);

    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QVERIFY(!QUVDebug::IsOpen());
    QCOMPARE(QUVDebug::GetPrivateDataLen(), size_t(0));
    QVERIFY(!QUVDebug::GetPrivateDataLoc());
    QCOMPARE(QUVDebug::Close(true), QUV_STATUS_SUCCESS);
}

void TestQuvLog::closedLogAnswersInitialize()
{
    QVERIFY(!QUVDebug::IsOpen());
    int count = 7;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_INITIALIZE);
    QCOMPARE(count, 0);
    QCOMPARE(QUVDebug::GetClientReferenceCount(nullptr), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::SetClientReferenceCount(1), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::Enable(0, 1), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::Disable(0, 1), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::SetDestination(0, 1), QUV_STATUS_INITIALIZE);
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::GetDestination(0, &mask), QUV_STATUS_INITIALIZE);
    QVERIFY(!QUVDebug::IsActive(1));
    uint64_t value = 0;
    QCOMPARE(QUVDebug::GetSequenceNumber(&value), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::GetMessagesAccepted(&value), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::GetMessagesIgnored(&value), QUV_STATUS_INITIALIZE);
    const char* text = nullptr;
    QCOMPARE(QUVDebug::GetMessageText(0, &text), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::GetProcessId(0, &value), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::SaveState("/nonexistent"), QUV_STATUS_INITIALIZE);
    QCOMPARE(QUVDebug::RestoreState("/nonexistent"), QUV_STATUS_INITIALIZE);
    QVERIFY(!QUVDebug::GetPrivateDataLoc());
    QCOMPARE(QUVDebug::GetPrivateDataLen(), size_t(0));
    // Reports into a closed log are dropped.
    QUVDebug::Report(0, 3, __FILE__, __LINE__, "dropped %d", 1);
    QUVDebug::Report(0, 3, __FILE__, __LINE__, std::string("dropped"));
    QCOMPARE(access(("/dev/shm/" + m_segment).c_str(), F_OK), -1);
}

void TestQuvLog::maskOperations()
{
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::Enable(7, 0x5), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Enable(7, 0x3), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetDestination(7, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 0x7u);
    QVERIFY(QUVDebug::IsActive(7));
    QCOMPARE(QUVDebug::Disable(7, 0x6), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetDestination(7, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 0x1u);
    QCOMPARE(QUVDebug::SetDestination(7, 0), QUV_STATUS_SUCCESS);
    QVERIFY(!QUVDebug::IsActive(7));
    QCOMPARE(QUVDebug::SetDestination(65535, 0xFFFFFFFFu), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetDestination(65535, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 0xFFFFFFFFu);

    // Range before the null pointer.
    QCOMPARE(QUVDebug::Enable(-1, 1), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::Disable(65536, 1), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::SetDestination(70000, 1), QUV_STATUS_RANGE);
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
    openAsViewer();
    const int64_t wallBefore = int64_t(time(nullptr));
    const uint64_t timeBefore = QUVDebug::DebugTime();
    const char* noFile = nullptr;
    const char* noFormat = nullptr;
    QUVDebug::Report(70000, 9, noFile, 12, noFormat);
    const uint64_t timeAfter = QUVDebug::DebugTime();
    const uint64_t s = lastSequence();
    QCOMPARE(s, uint64_t(1));

    uint64_t sequence = 0;
    QCOMPARE(QUVDebug::GetMessageSequenceNumber(s, &sequence), QUV_STATUS_SUCCESS);
    QCOMPARE(sequence, s);
    int unit = -1;
    QCOMPARE(QUVDebug::GetMessageGroup(s, &unit), QUV_STATUS_SUCCESS);
    QCOMPARE(unit, 0); // out of range: written as unit 0, under unit 0's mask
    uint32_t mask = 0;
    QCOMPARE(QUVDebug::GetMessageDestination(s, &mask), QUV_STATUS_SUCCESS);
    QCOMPARE(mask, 1u);
    QCOMPARE(lastSeverity(), 4);
    QCOMPARE(lastFile(), std::string("unknown"));
    QCOMPARE(lastText(), std::string("no message"));
    int line = 0;
    QCOMPARE(QUVDebug::GetMessageLineNumber(s, &line), QUV_STATUS_SUCCESS);
    QCOMPARE(line, 12);
    uint64_t pid = 0;
    QCOMPARE(QUVDebug::GetProcessId(s, &pid), QUV_STATUS_SUCCESS);
    QCOMPARE(pid, uint64_t(getpid()));
    uint64_t tid = 0;
    QCOMPARE(QUVDebug::GetThreadId(s, &tid), QUV_STATUS_SUCCESS);
    QCOMPARE(tid, uint64_t(gettid()));
    int64_t wall = 0;
    QCOMPARE(QUVDebug::GetMessageWallClockTime(s, &wall), QUV_STATUS_SUCCESS);
    QVERIFY(wall >= wallBefore && wall <= int64_t(time(nullptr)));
    uint64_t microseconds = 0;
    QCOMPARE(QUVDebug::GetMessageTime(s, &microseconds), QUV_STATUS_SUCCESS);
    QVERIFY(microseconds >= timeBefore && microseconds <= timeAfter);

    QUVDebug::Report(0, -1, "f", 1, "low");
    QCOMPARE(lastSeverity(), 4);
    QUVDebug::Report(0, 8, "f", 1, "high");
    QCOMPARE(lastSeverity(), 4);
    QUVDebug::Report(0, 7, "f", 1, "debug");
    QCOMPARE(lastSeverity(), 7);
    QUVDebug::Report(0, 0, "f", 1, "emergency");
    QCOMPARE(lastSeverity(), 0);

    // Texts and paths are cut to 511 characters.
    const std::string longText(600, 't');
    QUVDebug::Report(0, 3, "f", 1, longText);
    QCOMPARE(lastText(), std::string(511, 't'));
    QUVDebug::Report(0, 3, "f", 1, "%s", longText.c_str());
    QCOMPARE(lastText(), std::string(511, 't'));
    const std::string longPath(700, 'p');
    QUVDebug::Report(0, 3, longPath.c_str(), 1, "path");
    QCOMPARE(lastFile(), std::string(511, 'p'));
    QUVDebug::Report(0, 3, "f", 1, std::string());
    QCOMPARE(lastText(), std::string());

    // The accessors' own checks: range before the null pointer.
    const uint64_t last = lastSequence();
    const char* text = nullptr;
    QCOMPARE(QUVDebug::GetMessageText(last + 1, &text), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::GetMessageText(last + 1, nullptr), QUV_STATUS_RANGE);
    QCOMPARE(QUVDebug::GetMessageText(last, nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::GetSequenceNumber(nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::GetMessagesAccepted(nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::GetClientReferenceCount(nullptr), QUV_STATUS_NULL);
}

void TestQuvLog::rawLayout()
{
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
    QCOMPARE(uint32_t(header.magic), 0x44425547u);
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
    QCOMPARE(accepted(), uint64_t(4097));

    // Message 4097 took record 1 from message 1.
    uint64_t sequence = 0;
    QCOMPARE(QUVDebug::GetMessageSequenceNumber(1, &sequence), QUV_STATUS_SUCCESS);
    QCOMPARE(sequence, uint64_t(4097));
    const char* text = nullptr;
    QCOMPARE(QUVDebug::GetMessageText(1, &text), QUV_STATUS_SUCCESS);
    QCOMPARE(textOf(text), std::string("message 4097"));
    QCOMPARE(QUVDebug::GetMessageSequenceNumber(2, &sequence), QUV_STATUS_SUCCESS);
    QCOMPARE(sequence, uint64_t(2));
    // Record 0 holds message 4096.
    QCOMPARE(QUVDebug::GetMessageText(0, &text), QUV_STATUS_SUCCESS);
    QCOMPARE(textOf(text), std::string("message 4096"));
    QCOMPARE(QUVDebug::GetMessageText(4098, &text), QUV_STATUS_RANGE);
}

void TestQuvLog::openRules()
{
    // Open(true) twice in one process counts one reference.
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(true), QUV_STATUS_SUCCESS);
    int count = 0;
    QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
    QCOMPARE(count, 1);

    // Close(true) gives it back, and never goes below 0.
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
    QTest::newRow("too small, version 110") << 4096ull << 0x44425547u << 110u;
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

void TestQuvLog::staleSmallSegmentInAHelper()
{
    // A stale 4096-byte segment of the right version: mapping the whole
    // layout over it would fault at the first touch past its end.
    QVERIFY(makeSegment(4096, 0x44425547u, 110u));
    auto helper = startHelper({ QStringLiteral("log-open"), QString::fromStdString(m_segment) });
    QByteArray output;
    QCOMPARE(finishHelper(*helper, &output), 0);
    QCOMPARE(output, QByteArray("-1\n"));
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
    QCOMPARE(uint32_t(header.magic), 0x44425547u);
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
}

void TestQuvLog::restoreState_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("status");
    // Expected masks of units 1, 2, 300 and 65535 afterwards (before: 2, 0, 0, 9).
    QTest::addColumn<QList<uint>>("masks");

    const QByteArray header("QUVDebugVersion: 110\nQUVDebugStateFileVersion: 510\n");
    QTest::newRow("header only") << header << 0 << QList<uint> { 2, 0, 0, 9 };
    QTest::newRow("group and custom") << header + "GroupDestination: 2 : ff\nCustomGroupDestination: 300 : 1f\n"
                                      << 0 << QList<uint> { 2, 0xff, 0x1f, 9 };
    QTest::newRow("custom first, then group") << header + "CustomGroupDestination: 300 : a\nGroupDestination: 1 : 0\n"
                                              << 0 << QList<uint> { 0, 0, 0xa, 9 };
    QTest::newRow("free spacing") << QByteArray("  QUVDebugVersion:110 QUVDebugStateFileVersion:   510\n\n"
                                                "GroupDestination:2:3   CustomGroupDestination : 1 : 4\n")
                                  << 0 << QList<uint> { 2, 3, 0, 9 };
    QTest::newRow("units out of range are skipped") << header
            + "GroupDestination: 70000 : ff\nGroupDestination: -1 : ff\n"
              "CustomGroupDestination: 99999999999 : ff\nGroupDestination: 65535 : 0\n"
                                                    << 0 << QList<uint> { 2, 0, 0, 0 };
    QTest::newRow("garbage ends the list") << header + "GroupDestination: 2 : 5\nnonsense\nGroupDestination: 300 : 6\n"
                                           << 0 << QList<uint> { 2, 5, 0, 9 };
    QTest::newRow("a cut line ends the list") << header + "GroupDestination: 2 : 5\nGroupDestination: 300\n"
                                              << 0 << QList<uint> { 2, 5, 0, 9 };
    QTest::newRow("version 111") << QByteArray("QUVDebugVersion: 111\nQUVDebugStateFileVersion: 510\n"
                                               "GroupDestination: 2 : 5\n")
                                 << -1 << QList<uint> { 2, 0, 0, 9 };
    QTest::newRow("state file version 511") << QByteArray("QUVDebugVersion: 110\nQUVDebugStateFileVersion: 511\n"
                                                          "GroupDestination: 2 : 5\n")
                                            << -1 << QList<uint> { 2, 0, 0, 9 };
    QTest::newRow("no header") << QByteArray("GroupDestination: 2 : 5\n") << -1 << QList<uint> { 2, 0, 0, 9 };
    QTest::newRow("empty file") << QByteArray() << -1 << QList<uint> { 2, 0, 0, 9 };
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

void TestQuvLog::saveStateFailures()
{
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray missingFolder = QFile::encodeName(dir.filePath(QStringLiteral("missing/debug.state")));
    QCOMPARE(QUVDebug::SaveState(missingFolder.constData()), QUV_STATUS_FAIL);
    QCOMPARE(QUVDebug::RestoreState(missingFolder.constData()), QUV_STATUS_FAIL);
    QCOMPARE(QUVDebug::SaveState(nullptr), QUV_STATUS_NULL);
    QCOMPARE(QUVDebug::RestoreState(nullptr), QUV_STATUS_NULL);
    // A file that cannot be written to the end is no saved state.
    if (QFile::exists(QStringLiteral("/dev/full")))
        QCOMPARE(QUVDebug::SaveState("/dev/full"), QUV_STATUS_FAIL);
}

void TestQuvLog::names()
{
    // The unit labels are built by the first successful Open.
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);

    QCOMPARE(std::string(QUVDebug::GetGroupString(0)), std::string("QUV_DebugUnit_Unknown"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(12)), std::string("QUV_DebugUnit_Application"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(35)), std::string("QUV_DebugUnit_PnP"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(50)), std::string("QUV_DebugUnit_Anc2110Rcv"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(51)), std::string("QUV_DebugUnit_Unused_51"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(84)), std::string("QUV_DebugUnit_Unused_84"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(85)), std::string("index range error"));
    QCOMPARE(std::string(QUVDebug::GetGroupString(-1)), std::string("index range error"));
    QCOMPARE(QUVDebug::GetGroupName(27), std::string("QUV_DebugUnit_CC708ServiceBlockQueue"));
    QCOMPARE(QUVDebug::GetGroupName(-1), std::string("<bad index>"));
    QCOMPARE(QUVDebug::GetGroupName(85), std::string("<bad index>"));

    // The labels stay put across closing and reopening.
    const char* label = QUVDebug::GetGroupString(35);
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::Open(false), QUV_STATUS_SUCCESS);
    QCOMPARE(QUVDebug::GetGroupString(35), label);

    const char* severities[] = { "emergency", "alert", "assert", "error", "warning", "notice", "info", "debug" };
    for (int severity = 0; severity < 8; ++severity)
        QCOMPARE(std::string(QUVDebug::GetSeverityString(severity)), std::string(severities[severity]));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(8)), std::string("severity range error"));
    QCOMPARE(std::string(QUVDebug::GetSeverityString(-1)), std::string("severity range error"));
}

void TestQuvLog::statusNames_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("name");

    QTest::newRow("1") << 1 << "QUV_STATUS_TRUE";
    QTest::newRow("0") << 0 << "QUV_STATUS_SUCCESS";
    QTest::newRow("-1") << -1 << "QUV_STATUS_FAIL";
    QTest::newRow("-3") << -3 << "QUV_STATUS_TIMEOUT";
    QTest::newRow("-5") << -5 << "QUV_STATUS_INITIALIZE";
    QTest::newRow("-11") << -11 << "QUV_STATUS_BAD_PARAM";
    QTest::newRow("-20") << -20 << "QUV_STATUS_SURPRISE_REMOVAL";
    QTest::newRow("-21") << -21 << "QUV_STATUS_NOT_FOUND";
    QTest::newRow("-22") << -22 << "<bad QUVStatus>";
    QTest::newRow("-50") << -50 << "<bad QUVStatus>";
    QTest::newRow("-99") << -99 << "<bad QUVStatus>";
    QTest::newRow("-100") << -100 << "QUV_STATUS_NOBUFFER";
    QTest::newRow("-104") << -104 << "QUV_STATUS_BADBUFFERCOUNT";
    QTest::newRow("-108") << -108 << "QUV_STATUS_STREAMRUNNING";
    QTest::newRow("-109") << -109 << "<bad QUVStatus>";
    QTest::newRow("2") << 2 << "<bad QUVStatus>";
    QTest::newRow("999") << 999 << "<bad QUVStatus>";
    QTest::newRow("1000") << 1000 << "QUV_STATUS_REBOOT";
    QTest::newRow("1001") << 1001 << "QUV_STATUS_POWER_CYCLE";
    QTest::newRow("1002") << 1002 << "<bad QUVStatus>";
}

void TestQuvLog::statusNames()
{
    QFETCH(int, status);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(QUVStatusToString(status)), name);
}

void TestQuvLog::severalProcessesReport()
{
    openAsViewer();
    constexpr int helpers = 4;
    constexpr int messages = 1000;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < helpers; ++i) {
        processes.push_back(startHelper({ QStringLiteral("log-report"), QString::fromStdString(m_segment),
            QString::number(messages), QStringLiteral("helper%1").arg(i) }));
    }
    std::set<uint64_t> pids;
    for (auto& process : processes)
        pids.insert(uint64_t(process->processId()));
    for (auto& process : processes) {
        QByteArray output;
        QCOMPARE(finishHelper(*process, &output), 0);
        QCOMPARE(output, QByteArray("reported ") + QByteArray::number(messages) + '\n');
    }

    const uint64_t total = uint64_t(helpers) * messages;
    QCOMPARE(accepted(), total);
    QCOMPARE(lastSequence(), total);
    // Every sequence number appears once, in its own record, and every
    // helper's every message is there once.
    std::set<std::string> texts;
    for (uint64_t s = 1; s <= total; ++s) {
        uint64_t sequence = 0;
        QCOMPARE(QUVDebug::GetMessageSequenceNumber(s, &sequence), QUV_STATUS_SUCCESS);
        QCOMPARE(sequence, s);
        const char* text = nullptr;
        QCOMPARE(QUVDebug::GetMessageText(s, &text), QUV_STATUS_SUCCESS);
        texts.insert(textOf(text));
        uint64_t pid = 0;
        QCOMPARE(QUVDebug::GetProcessId(s, &pid), QUV_STATUS_SUCCESS);
        QVERIFY(pids.count(pid) == 1);
    }
    QCOMPARE(texts.size(), size_t(total));
    for (int i = 0; i < helpers; ++i) {
        QVERIFY(texts.count("helper" + std::to_string(i) + " 0") == 1);
        QVERIFY(texts.count("helper" + std::to_string(i) + " " + std::to_string(messages - 1)) == 1);
    }
}

void TestQuvLog::libraryFailuresAreReported()
{
    openAsViewer();

    QVERIFY(!QUVMemory::Allocate(0));
    QCOMPARE(lastText(), std::string("QUVMemory::Allocate  size is 0"));
    QCOMPARE(lastFile(), std::string("quvbase/system/memory.cpp"));
    QCOMPARE(lastSeverity(), 3);
    int unit = -1;
    QCOMPARE(QUVDebug::GetMessageGroup(lastSequence(), &unit), QUV_STATUS_SUCCESS);
    QCOMPARE(unit, 0);
    int line = 0;
    QCOMPARE(QUVDebug::GetMessageLineNumber(lastSequence(), &line), QUV_STATUS_SUCCESS);
    QVERIFY(line > 0);

    int local = 0;
    QUVMemory::FreeShared(&local);
    QCOMPARE(lastText(), std::string("QUVMemory::FreeShared  memory not found"));

    size_t size = 0;
    QVERIFY(!QUVMemory::AllocateShared(&size, "quvtest-never"));
    QCOMPARE(lastText(), std::string("QUVMemory::AllocateShared  size is 0"));

    // A lock destroyed while held: the mutex refuses (EBUSY).
    auto* lock = new QUVLock("held");
    QCOMPARE(lock->Lock(0), QUV_STATUS_SUCCESS);
    delete lock;
    QCOMPARE(lastText(), std::string("~QUVLockImpl(held) mutex destroy reported error 16"));
    QCOMPARE(lastFile(), std::string("quvbase/system/linux/lockimpl.cpp"));

    QUVThread thread;
    QCOMPARE(thread.SetPriority(9), QUV_STATUS_RANGE);
    char expected[128];
    std::snprintf(
        expected, sizeof expected, "QUVThread(%p)::SetPriority: bad thread priority 9", static_cast<void*>(&thread));
    QCOMPARE(lastText(), std::string(expected));
    QCOMPARE(lastFile(), std::string("quvbase/system/linux/threadimpl.cpp"));

    // The default loop warns once a round.
    DefaultLoopThread idle;
    const uint64_t before = lastSequence();
    QCOMPARE(idle.Start(), QUV_STATUS_SUCCESS);
    const std::string warning("QUVThread::ThreadLoop  looping doing nothing");
    QTRY_VERIFY_WITH_TIMEOUT(messageAfter(before, warning) != 0, 10000);
    QCOMPARE(idle.Stop(0xFFFFFFFFu), QUV_STATUS_SUCCESS);
    const uint64_t s = messageAfter(before, warning);
    const char* file = nullptr;
    QCOMPARE(QUVDebug::GetMessageFileName(s, &file), QUV_STATUS_SUCCESS);
    QCOMPARE(textOf(file), std::string("quvbase/system/thread.cpp"));
    int severity = 0;
    QCOMPARE(QUVDebug::GetMessageSeverity(s, &severity), QUV_STATUS_SUCCESS);
    QCOMPARE(severity, 4);
}

void TestQuvLog::timeLog()
{
    openAsViewer();
    const uint64_t sequence = lastSequence();
    const uint64_t ignoredBefore = ignored();

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
    quiet.PrintValue(5);
    quiet.Print("p");
    QCOMPARE(lastSequence(), sequence);
    QCOMPARE(ignored(), ignoredBefore);

    QCOMPARE(QUVDebug::Enable(3, 1), QUV_STATUS_SUCCESS);
    QUVTimeLog log(std::string("tag"), 3);
    log.PrintValue(42, "v");
    QCOMPARE(lastText(), std::string("tag-v = 42\n"));
    QCOMPARE(lastFile(), std::string("quvbase/system/log.cpp"));
    QCOMPARE(lastSeverity(), 7);
    int unit = -1;
    QCOMPARE(QUVDebug::GetMessageGroup(lastSequence(), &unit), QUV_STATUS_SUCCESS);
    QCOMPARE(unit, 3);
    log.PrintValue(-5);
    QCOMPARE(lastText(), std::string("tag = -5\n"));
    log.PrintReset();
    QCOMPARE(lastText(), std::string("tag-(** Reset **) = 0\n"));
    log.Print("p");
    QCOMPARE(lastText(), std::string("tag-p\n"));
    QUVTime::Sleep(2);
    log.PrintDelta(false);
    const std::string delta = lastText();
    QVERIFY(delta.rfind("tag = ", 0) == 0);
    QVERIFY(std::stoll(delta.substr(6)) >= 2000);

    // GetDelta: non-decreasing without a reset; a reset restarts it.
    const uint32_t first = log.GetDelta(false);
    const uint32_t second = log.GetDelta(false);
    QVERIFY(second >= first);
    before = QUVTime::GetSystemMicroseconds();
    QVERIFY(log.GetDelta(true) >= second);
    QVERIFY(log.GetDelta(false) <= QUVTime::GetSystemMicroseconds() - before);

    QUVTimeLog defaults;
    QCOMPARE(QUVDebug::Enable(1, 1), QUV_STATUS_SUCCESS);
    defaults.PrintValue(1, "n");
    QCOMPARE(lastText(), std::string("-n = 1\n"));
    QCOMPARE(QUVDebug::GetMessageGroup(lastSequence(), &unit), QUV_STATUS_SUCCESS);
    QCOMPARE(unit, 1);
}

void TestQuvLog::logObjectOpensOnce()
{
    // The first log object of the process opens the log, without a client
    // reference; it stays open when the object ends.
    QVERIFY(!QUVLog::bInitialized);
    {
        QUVLog log;
        QVERIFY(QUVLog::bInitialized);
        QVERIFY(QUVDebug::IsOpen());
        int count = -1;
        QCOMPARE(QUVDebug::GetClientReferenceCount(&count), QUV_STATUS_SUCCESS);
        QCOMPARE(count, 0);
    }
    QVERIFY(QUVDebug::IsOpen());

    // Later ones do nothing.
    QCOMPARE(QUVDebug::Close(false), QUV_STATUS_SUCCESS);
    QUVLog second;
    QVERIFY(!QUVDebug::IsOpen());
}

QUV_TEST_MAIN(TestQuvLog)
#include "test_quvlog.moc"
