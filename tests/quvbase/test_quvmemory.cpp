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

using quvbasetest::patternByte;
using quvbasetest::runHelper;

bool mappedInThisProcess(const std::string& name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(QByteArray("/dev/shm/") + QByteArray::fromStdString(name));
}

bool segmentExists(const std::string& name)
{
    return access(("/dev/shm/" + name).c_str(), F_OK) == 0;
}

// Sets the process's umask for its lifetime.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask)
        : m_saved(umask(mask))
    { }
    ~ScopedUmask() { umask(m_saved); }

    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_saved;
};

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
    void secondProcessSeesTheSameBytes();
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
    void* block = QUVMemory::Allocate(64);
    QVERIFY(block);
    std::memset(block, 0x5A, 64);
    QUVMemory::Free(block);
    QUVMemory::Free(nullptr);

    QVERIFY(!QUVMemory::AllocateAligned(0, 64));
    void* aligned = QUVMemory::AllocateAligned(100, 64);
    QVERIFY(aligned);
    QCOMPARE(reinterpret_cast<uintptr_t>(aligned) % 64, uintptr_t(0));
    std::memset(aligned, 0x5A, 100);
    QUVMemory::FreeAligned(aligned);
    QVERIFY(!QUVMemory::AllocateAligned(100, 3));
    QVERIFY(!QUVMemory::AllocateAligned(100, 4));
    QVERIFY(!QUVMemory::AllocateAligned(100, 24));
    QVERIFY(!QUVMemory::AllocateAligned(100, 0));
    QUVMemory::FreeAligned(nullptr);
}

void TestQuvMemory::sharedSizesArePages_data()
{
    QTest::addColumn<qulonglong>("requested");
    QTest::addColumn<qulonglong>("mapped");

    QTest::newRow("1") << 1ull << 4096ull;
    QTest::newRow("4095") << 4095ull << 4096ull;
    QTest::newRow("4096") << 4096ull << 4096ull;
    QTest::newRow("4097") << 4097ull << 8192ull;
    QTest::newRow("12288") << 12288ull << 12288ull;
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

    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + name).c_str(), &status), 0);
    QCOMPARE(qulonglong(status.st_size), mapped);
    QUVMemory::FreeShared(bytes);
}

void TestQuvMemory::ownerOnlyWhateverTheUmask_data()
{
    QTest::addColumn<uint>("mask");
    QTest::addColumn<int>("existingMode");

    QTest::newRow("umask 0") << 0u << -1;
    QTest::newRow("umask 022") << 022u << -1;
    QTest::newRow("umask 0277, too narrow for the owner") << 0277u << -1;
    QTest::newRow("own segment left open to all") << 0u << 0666;
}

void TestQuvMemory::ownerOnlyWhateverTheUmask()
{
    QFETCH(uint, mask);
    QFETCH(int, existingMode);

    const std::string name = segmentName("mode");
    if (existingMode >= 0) {
        const int descriptor = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        QVERIFY(descriptor >= 0);
        const bool made = ftruncate(descriptor, 4096) == 0 && fchmod(descriptor, mode_t(existingMode)) == 0;
        close(descriptor);
        QVERIFY(made);
    }

    void* bytes = nullptr;
    {
        const ScopedUmask scoped { mode_t(mask) };
        size_t size = 4096;
        bytes = QUVMemory::AllocateShared(&size, name.c_str());
    }
    QVERIFY(bytes);
    QUVMemory::FreeShared(bytes);

    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + name).c_str(), &status), 0);
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
    const int descriptor = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    QVERIFY(descriptor >= 0);
    const bool made = ftruncate(descriptor, 4096) == 0 && fchmod(descriptor, 0666) == 0
        && fchown(descriptor, otherUser, otherUser) == 0;
    close(descriptor);
    QVERIFY(made);

    size_t size = 4096;
    QVERIFY(!QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(!mappedInThisProcess(name));
    // The segment is left as it was.
    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + name).c_str(), &status), 0);
    QCOMPARE(status.st_uid, otherUser);
    QCOMPARE(status.st_mode & 07777, mode_t(0666));
}

void TestQuvMemory::sharedReferenceCounting()
{
    const std::string name = segmentName("refs");
    size_t size = 100;
    auto* first = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(first);
    QCOMPARE(size, size_t(4096));

    // The same name again: the same mapping and the first call's size.
    size_t secondSize = 99999;
    void* second = QUVMemory::AllocateShared(&secondSize, name.c_str());
    QCOMPARE(second, static_cast<void*>(first));
    QCOMPARE(secondSize, size_t(4096));
    QVERIFY(mappedInThisProcess(name));

    // An address that was never handed out changes nothing.
    int local = 0;
    QUVMemory::FreeShared(&local);
    QUVMemory::FreeShared(first + 1);
    QVERIFY(mappedInThisProcess(name));

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
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("null size") << true << 4096ull << false << QByteArray("quvtest-bad");
    QTest::newRow("size 0") << false << 0ull << false << QByteArray("quvtest-bad");
    QTest::newRow("null name") << false << 4096ull << true << QByteArray();
    QTest::newRow("empty name") << false << 4096ull << false << QByteArray("");
    QTest::newRow("slash inside") << false << 4096ull << false << QByteArray("quvtest/bad");
    QTest::newRow("name too long") << false << 4096ull << false << QByteArray(300, 'q');
    QTest::newRow("size that wraps") << false << ~0ull << false << QByteArray("quvtest-wrap");
    QTest::newRow("size beyond any object") << false << (1ull << 63) << false << QByteArray("quvtest-huge");
}

void TestQuvMemory::sharedBadArguments()
{
    QFETCH(bool, nullSize);
    QFETCH(qulonglong, size);
    QFETCH(bool, nullName);
    QFETCH(QByteArray, name);

    std::string unique;
    if (!nullName && !name.isEmpty() && name.startsWith("quvtest-")) {
        unique = segmentName(name.constData() + 8);
        name = QByteArray::fromStdString(unique);
    }
    size_t value = size;
    QVERIFY(!QUVMemory::AllocateShared(nullSize ? nullptr : &value, nullName ? nullptr : name.constData()));
    // A refused request leaves no segment behind.
    if (!unique.empty())
        QVERIFY(!segmentExists(unique));
}

void TestQuvMemory::secondProcessSeesTheSameBytes()
{
    const std::string name = segmentName("shared");
    constexpr size_t length = 10000;
    size_t size = length;
    auto* bytes = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(bytes);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = patternByte(7, i);

    // The helper checks the pattern, then writes the next one.
    QByteArray output;
    QCOMPARE(runHelper({ QStringLiteral("shm-check"), QString::fromStdString(name), QString::number(length),
                           QStringLiteral("7") },
                 &output),
        0);
    QCOMPARE(output, QByteArray("checked\n"));
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] != patternByte(8, i))
            QFAIL(qPrintable(QStringLiteral("byte %1 differs").arg(i)));
    }
    QUVMemory::FreeShared(bytes);
}

void TestQuvMemory::staleSmallerSegmentIsRefused()
{
    // A segment left with a smaller size (by another program or an older
    // build): mapping the requested length would fault past its end.
    const std::string name = segmentName("stale");
    const int descriptor = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    QVERIFY(descriptor >= 0);
    QCOMPARE(ftruncate(descriptor, 4096), 0);
    close(descriptor);

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

    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + name).c_str(), &status), 0);
    QCOMPARE(qlonglong(status.st_size), 4096ll);
}

void TestQuvMemory::largerExistingSegmentIsMapped()
{
    // An existing segment keeps its size; the mapping has the requested one.
    const std::string name = segmentName("larger");
    const int descriptor = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    QVERIFY(descriptor >= 0);
    QCOMPARE(ftruncate(descriptor, 16384), 0);
    close(descriptor);

    size_t size = 100;
    auto* bytes = static_cast<unsigned char*>(QUVMemory::AllocateShared(&size, name.c_str()));
    QVERIFY(bytes);
    QCOMPARE(size, size_t(4096));
    bytes[4095] = 1;
    QUVMemory::FreeShared(bytes);

    struct stat status
    {
    };
    QCOMPARE(stat(("/dev/shm/" + name).c_str(), &status), 0);
    QCOMPARE(qlonglong(status.st_size), 16384ll);
}

QUV_TEST_MAIN(TestQuvMemory)
#include "test_quvmemory.moc"
