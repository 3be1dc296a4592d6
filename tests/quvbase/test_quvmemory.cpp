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

#include <QDir>
#include <QFile>

#include "quvtest.h"

#include "quvbase/system/quvmemory.h"

namespace {

bool mappedInThisProcess(const std::string& name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly)
        && maps.readAll().contains(QByteArray("/dev/shm/") + QByteArray::fromStdString(name));
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
        .size();
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
    void sharedSegments_data();
    void sharedSegments();
    void refused_data();
    void refused();
    void sharedReferenceCounting();

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
    void* block = QUVMemory::Allocate(10);
    QVERIFY(block);
    QUVMemory::Free(block);
    // Alignments must be powers of two of at least a pointer's size.
    for (size_t alignment : { 8, 64 }) {
        void* aligned = QUVMemory::AllocateAligned(100, alignment);
        QVERIFY(aligned);
        QCOMPARE(reinterpret_cast<uintptr_t>(aligned) % alignment, uintptr_t(0));
        QUVMemory::FreeAligned(aligned);
    }
    QVERIFY(!QUVMemory::AllocateAligned(0, 64));
    QVERIFY(!QUVMemory::AllocateAligned(100, 4));
    QVERIFY(!QUVMemory::AllocateAligned(100, 24));
}

void TestQuvMemory::sharedSegments_data()
{
    QTest::addColumn<qulonglong>("requested");
    QTest::addColumn<qlonglong>("existing"); // the size of a segment made beforehand; 0: none
    QTest::addColumn<int>("existingMode");
    QTest::addColumn<uint>("umask");
    QTest::addColumn<qulonglong>("mapped");
    QTest::addColumn<qlonglong>("size"); // the segment's size afterwards

    // Whole pages, owner-only whatever the umask; an existing larger segment keeps its size.
    QTest::newRow("1") << 1ull << 0ll << 0 << 022u << 4096ull << 4096ll;
    QTest::newRow("4096") << 4096ull << 0ll << 0 << 0u << 4096ull << 4096ll;
    QTest::newRow("4097, umask too narrow for the owner") << 4097ull << 0ll << 0 << 0277u << 8192ull << 8192ll;
    QTest::newRow("own segment left open to all") << 100ull << 4096ll << 0666 << 0u << 4096ull << 4096ll;
    QTest::newRow("larger existing segment") << 100ull << 16384ll << 0600 << 0u << 4096ull << 16384ll;
}

void TestQuvMemory::sharedSegments()
{
    QFETCH(qulonglong, requested);
    QFETCH(qlonglong, existing);
    QFETCH(int, existingMode);
    QFETCH(uint, umask);
    QFETCH(qulonglong, mapped);
    QFETCH(qlonglong, size);

    const std::string name = segmentName("size");
    if (existing > 0)
        QVERIFY(makeSegment(name, off_t(existing), mode_t(existingMode)));
    const mode_t saved = ::umask(mode_t(umask));
    size_t length = requested;
    auto* bytes = static_cast<unsigned char*>(QUVMemory::AllocateShared(&length, name.c_str()));
    ::umask(saved);
    QVERIFY(bytes);
    QCOMPARE(qulonglong(length), mapped);
    std::memset(bytes, 0xA5, length); // every byte of the mapping can be touched
    QUVMemory::FreeShared(bytes);
    const FileStatus status = statusOf(name);
    QCOMPARE(qlonglong(status.st_size), size);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
    QCOMPARE(status.st_uid, geteuid());
}

void TestQuvMemory::refused_data()
{
    QTest::addColumn<bool>("nullSize");
    QTest::addColumn<qulonglong>("size");
    QTest::addColumn<QByteArray>("tag"); // empty: a null name
    QTest::addColumn<qlonglong>("existing"); // the size of a segment made beforehand; 0: none
    QTest::addColumn<bool>("foreign"); // made by another user

    QTest::newRow("null size") << true << 4096ull << QByteArray("bad") << 0ll << false;
    QTest::newRow("size 0") << false << 0ull << QByteArray("bad") << 0ll << false;
    QTest::newRow("null name") << false << 4096ull << QByteArray() << 0ll << false;
    QTest::newRow("size that wraps") << false << ~0ull << QByteArray("bad") << 0ll << false;
    QTest::newRow("size beyond any object") << false << (1ull << 63) << QByteArray("bad") << 0ll << false;
    // Mapping the requested length of a smaller segment would fault past its end.
    QTest::newRow("stale smaller segment") << false << 8192ull << QByteArray("stale") << 4096ll << false;
    // Another local user made it first, open to everyone, to read or steer what is kept there.
    QTest::newRow("another user's segment") << false << 4096ull << QByteArray("other") << 4096ll << true;
}

void TestQuvMemory::refused()
{
    QFETCH(bool, nullSize);
    QFETCH(qulonglong, size);
    QFETCH(QByteArray, tag);
    QFETCH(qlonglong, existing);
    QFETCH(bool, foreign);
    if (foreign && geteuid() != 0)
        QSKIP("giving a segment to another user takes root");

    const std::string name = segmentName(tag.isEmpty() ? "null" : tag.constData());
    if (existing > 0)
        QVERIFY(makeSegment(name, off_t(existing), foreign ? 0666 : 0600, foreign ? 54321 : uid_t(-1)));
    const FileStatus before = statusOf(name);
    const int descriptors = openDescriptors();
    size_t value = size;
    QVERIFY(!QUVMemory::AllocateShared(nullSize ? nullptr : &value, tag.isEmpty() ? nullptr : name.c_str()));
    // Nothing is left behind: no segment made, none changed, no descriptor open.
    QCOMPARE(openDescriptors(), descriptors);
    QVERIFY(!mappedInThisProcess(name));
    const FileStatus after = statusOf(name);
    QCOMPARE(after.st_size, before.st_size);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_uid, before.st_uid);
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
    const int descriptors = openDescriptors();
    QUVMemory::FreeShared(&local);
    QUVMemory::FreeShared(first + 1);
    QUVMemory::FreeShared(first);
    QVERIFY(mappedInThisProcess(name));
    first[4095] = 1;
    first[0] = 2;
    QUVMemory::FreeShared(first);
    QVERIFY(!mappedInThisProcess(name));
    QCOMPARE(openDescriptors(), descriptors - 1);

    // The segment and its bytes outlive the mapping.
    size = 1;
    auto* again = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(again);
    QCOMPARE(int(again[0]), 2);
    QCOMPARE(int(again[4095]), 1);
    QUVMemory::FreeShared(again);
}

QUV_TEST_MAIN(TestQuvMemory)
#include "test_quvmemory.moc"
