// Heap blocks and named shared segments. Segments get names of this run
// ("quvtest-<pid>-..."), and the test unlinks what it made.

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QFile>

#include "quvbasetest.h"
#include "quvtest.h"

#include "quvbase/system/quvmemory.h"

namespace {

using quvbasetest::runHelper;

bool mappedInThisProcess(const std::string& name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(QByteArray("/dev/shm/") + QByteArray::fromStdString(name));
}

using FileStatus = struct stat;

// The segment's status; a size of -1 when there is no such segment.
FileStatus statusOf(const std::string& name)
{
    FileStatus status {};
    if (stat(("/dev/shm/" + name).c_str(), &status) != 0)
        status.st_size = -1;
    return status;
}

// Creates a segment as another program or user might have left it.
bool makeSegment(const std::string& name, off_t size, mode_t mode = 0600, uid_t owner = uid_t(-1))
{
    const int descriptor = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (descriptor < 0)
        return false;
    const bool made
        = ftruncate(descriptor, size) == 0 && fchmod(descriptor, mode) == 0 && fchown(descriptor, owner, owner) == 0;
    close(descriptor);
    return made;
}

} // namespace

class TestQuvMemory : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void heapBlocks();
    void sharedSizesArePages_data();
    void sharedSizesArePages();
    void ownerOnlyWhateverTheUmask_data();
    void ownerOnlyWhateverTheUmask();
    void otherUsersSegmentIsRefused();
    void sharedReferenceCounting();
    void sharedBadArguments_data();
    void sharedBadArguments();
    void staleSmallerSegmentIsRefused();
    void largerExistingSegmentIsMapped();

private:
    std::string segmentName(const char* tag)
    {
        const std::string name = "quvtest-" + std::to_string(getpid()) + "-" + tag;
        m_created.push_back(name);
        return name;
    }

    std::vector<std::string> m_created;
};

void TestQuvMemory::cleanup()
{
    for (const std::string& name : m_created)
        shm_unlink(("/" + name).c_str());
    m_created.clear();
}

void TestQuvMemory::heapBlocks()
{
    QVERIFY(!QUVMemory::Allocate(0));
    // Alignments must be powers of two of at least a pointer's size.
    void* aligned = QUVMemory::AllocateAligned(100, 64);
    QCOMPARE(reinterpret_cast<uintptr_t>(aligned) % 64, uintptr_t(0));
    QUVMemory::FreeAligned(aligned);
    QVERIFY(!QUVMemory::AllocateAligned(0, 64));
    QVERIFY(!QUVMemory::AllocateAligned(100, 4));
    QVERIFY(!QUVMemory::AllocateAligned(100, 24));
    QVERIFY(!QUVMemory::AllocateAligned(100, 0));
}

void TestQuvMemory::sharedSizesArePages_data()
{
    QTest::addColumn<qulonglong>("requested");
    QTest::addColumn<qulonglong>("mapped");

    QTest::newRow("1") << 1ull << 4096ull;
    QTest::newRow("4096") << 4096ull << 4096ull;
    QTest::newRow("4097") << 4097ull << 8192ull;
}

void TestQuvMemory::sharedSizesArePages()
{
    QFETCH(qulonglong, requested);
    QFETCH(qulonglong, mapped);

    const std::string name = segmentName("size");
    size_t size = requested;
    auto* bytes = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(bytes);
    QCOMPARE(qulonglong(size), mapped);
    // Every byte of the mapping can be touched.
    std::memset(bytes, 0xA5, size);
    QCOMPARE(qulonglong(statusOf(name).st_size), mapped);
    QUVMemory::FreeShared(bytes);
}

void TestQuvMemory::ownerOnlyWhateverTheUmask_data()
{
    QTest::addColumn<uint>("mask");
    QTest::addColumn<int>("existingMode");

    QTest::newRow("umask 0") << 0u << -1;
    QTest::newRow("umask 0277, too narrow for the owner") << 0277u << -1;
    QTest::newRow("own segment left open to all") << 0u << 0666;
}

void TestQuvMemory::ownerOnlyWhateverTheUmask()
{
    QFETCH(uint, mask);
    QFETCH(int, existingMode);

    const std::string name = segmentName("mode");
    if (existingMode >= 0)
        QVERIFY(makeSegment(name, 4096, mode_t(existingMode)));

    const mode_t saved = umask(mode_t(mask));
    size_t size = 4096;
    void* bytes = QUVMemory::AllocateShared(&size, name.c_str());
    umask(saved);
    QVERIFY(bytes);
    QUVMemory::FreeShared(bytes);
    const FileStatus status = statusOf(name);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
    QCOMPARE(status.st_uid, geteuid());
}

void TestQuvMemory::otherUsersSegmentIsRefused()
{
    // Another local user made the segment first, open to everyone, so as to
    // read or steer what this user's programs keep there. Making a segment
    // of another user takes root.
    if (geteuid() != 0)
        QSKIP("giving a segment to another user takes root");
    constexpr uid_t otherUser = 54321;
    const std::string name = segmentName("other");
    QVERIFY(makeSegment(name, 4096, 0666, otherUser));

    size_t size = 4096;
    QVERIFY(!QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(!mappedInThisProcess(name));
    // The segment is left as it was.
    const FileStatus status = statusOf(name);
    QCOMPARE(status.st_uid, otherUser);
    QCOMPARE(status.st_mode & 07777, mode_t(0666));
}

void TestQuvMemory::sharedReferenceCounting()
{
    const std::string name = segmentName("refs");
    size_t size = 100;
    auto* first = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(first);

    // The same name again: the same mapping and the first call's size.
    size_t secondSize = 99999;
    QCOMPARE(QUVMemory::AllocateShared(&secondSize, name.c_str()), static_cast<void*>(first));
    QCOMPARE(secondSize, size_t(4096));

    // An address that was never handed out changes nothing.
    int local = 0;
    QUVMemory::FreeShared(&local);
    QUVMemory::FreeShared(first + 1);
    QUVMemory::FreeShared(first);
    QVERIFY(mappedInThisProcess(name));
    first[4095] = 1;
    first[0] = 2;
    QUVMemory::FreeShared(first);
    QVERIFY(!mappedInThisProcess(name));

    // The segment and its bytes outlive the mapping.
    size = 1;
    auto* again = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(again);
    QCOMPARE(int(again[0]), 2);
    QCOMPARE(int(again[4095]), 1);
    QUVMemory::FreeShared(again);
}

void TestQuvMemory::sharedBadArguments_data()
{
    QTest::addColumn<bool>("nullSize");
    QTest::addColumn<qulonglong>("size");
    QTest::addColumn<bool>("nullName");

    QTest::newRow("null size") << true << 4096ull << false;
    QTest::newRow("size 0") << false << 0ull << false;
    QTest::newRow("null name") << false << 4096ull << true;
    QTest::newRow("size that wraps") << false << ~0ull << false;
    QTest::newRow("size beyond any object") << false << (1ull << 63) << false;
}

void TestQuvMemory::sharedBadArguments()
{
    QFETCH(bool, nullSize);
    QFETCH(qulonglong, size);
    QFETCH(bool, nullName);

    const std::string name = segmentName("bad");
    size_t value = size;
    QVERIFY(!QUVMemory::AllocateShared(nullSize ? nullptr : &value, nullName ? nullptr : name.c_str()));
    // A refused request leaves no segment behind.
    QCOMPARE(qlonglong(statusOf(name).st_size), -1ll);
}

void TestQuvMemory::staleSmallerSegmentIsRefused()
{
    // A segment left with a smaller size (by another program or an older
    // build): mapping the requested length would fault past its end.
    const std::string name = segmentName("stale");
    QVERIFY(makeSegment(name, 4096));

    QByteArray output;
    QCOMPARE(
        runHelper({ QStringLiteral("shm-map"), QString::fromStdString(name), QStringLiteral("8192") }, &output), 0);
    QCOMPARE(output, QByteArray("refused\n"));

    size_t size = 8192;
    QVERIFY(!QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(!mappedInThisProcess(name));

    // The same segment at its own size is fine.
    QCOMPARE(
        runHelper({ QStringLiteral("shm-map"), QString::fromStdString(name), QStringLiteral("4096") }, &output), 0);
    QCOMPARE(output, QByteArray("mapped 4096\n"));
    QCOMPARE(qlonglong(statusOf(name).st_size), 4096ll);
}

void TestQuvMemory::largerExistingSegmentIsMapped()
{
    // An existing segment keeps its size; the mapping has the requested one.
    const std::string name = segmentName("larger");
    QVERIFY(makeSegment(name, 16384));

    size_t size = 100;
    void* bytes = QUVMemory::AllocateShared(&size, name.c_str());
    QVERIFY(bytes);
    QCOMPARE(size, size_t(4096));
    QUVMemory::FreeShared(bytes);
    QCOMPARE(qlonglong(statusOf(name).st_size), 16384ll);
}

QUV_TEST_MAIN(TestQuvMemory)
#include "test_quvmemory.moc"
