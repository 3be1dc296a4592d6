#include "quvbase/system/quvlog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "quvbase/system/quvatomic.h"
#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog_p.h"
#include "quvbase/system/quvmemory.h"
#include "quvbase/system/quvprocess.h"
#include "quvbase/system/quvstring.h"
#include "quvbase/system/quvthread.h"
#include "quvbase/system/quvtime.h"

namespace {

// The segment layout. Viewers rely on it byte for byte: little-endian,
// fixed offsets. Several 64-bit fields sit at offsets that are 4 mod 8, so
// they are only ever touched with lock-prefixed atomics or memcpy.
constexpr const char* kDefaultSegmentName = "quv-shm-debug";
constexpr uint32_t kMagic = 0x44425547; // "GUBD"
constexpr uint32_t kVersion = 110;
constexpr uint32_t kRingCapacity = 4096;
constexpr uint32_t kTextSize = 512;
constexpr uint32_t kUnitCount = 65536;

constexpr size_t kMagicOffset = 0;
constexpr size_t kVersionOffset = 4;
constexpr size_t kSequenceOffset = 8;
constexpr size_t kClientCountOffset = 16;
constexpr size_t kRingCapacityOffset = 20;
constexpr size_t kFileSizeOffset = 24;
constexpr size_t kTextSizeOffset = 28;
constexpr size_t kUnitCountOffset = 32;
constexpr size_t kAcceptedOffset = 36;
constexpr size_t kIgnoredOffset = 44;
constexpr size_t kMasksOffset = 564;
constexpr size_t kRingOffset = kMasksOffset + kUnitCount * 4; // 262708
constexpr size_t kRecordSize = 1080;
constexpr size_t kUsedSize = kRingOffset + kRingCapacity * kRecordSize; // 4686388
static_assert(kRingOffset == 262708, "ring offset");
static_assert(kUsedSize == 4686388, "segment size");

// Offsets inside one record.
constexpr size_t kRecSequence = 0;
constexpr size_t kRecTime = 8;
constexpr size_t kRecWallClock = 16;
constexpr size_t kRecUnit = 24;
constexpr size_t kRecMask = 28;
constexpr size_t kRecSeverity = 32;
constexpr size_t kRecLine = 36;
constexpr size_t kRecPid = 40;
constexpr size_t kRecTid = 48;
constexpr size_t kRecFile = 56;
constexpr size_t kRecText = 568;

constexpr int kLabelledUnits = 85;
constexpr int kDefaultSeverity = 4;
constexpr int kStateFileVersion = 510;
// How long an Open waits for another process that is setting up a fresh segment.
constexpr int kSetupWaitMs = 1000;

const char* const kUnitLabelEnds[] = { "Unknown", "Critical", "DriverGeneric", "ServiceGeneric", "UserGeneric",
    "VideoGeneric", "AudioGeneric", "TimecodeGeneric", "AncGeneric", "RoutingGeneric", "StatsGeneric", "Enumeration",
    "Application", "QuickTime", "ControlPanel", "Watcher", "Plugins", "CCLine21Decode", "CCLine21Encode",
    "CC608DataQueue", "CC608MsgQueue", "CC608Decode", "CC608DecodeChannel", "CC608DecodeScreen", "CC608Encode",
    "CC708Decode", "CC708Service", "CC708ServiceBlockQueue", "CC708Window", "CC708Encode", "CCFont", "SMPTEAnc",
    "QUVAncData", "QUVAncList", "Lattice", "PnP", "Persistence", "Avid", "DriverInterface", "StreamEngine", "NMOS",
    "App_DiskRead", "App_DiskWrite", "App_Decode", "App_Encode", "App_DMA", "App_Screen", "App_User1", "App_User2",
    "Anc2110Xmit", "Anc2110Rcv" };
static_assert(sizeof(kUnitLabelEnds) / sizeof(kUnitLabelEnds[0]) == 51, "named unit labels");

const char* const kSeverityNames[] = { "emergency", "alert", "assert", "error", "warning", "notice", "info", "debug" };

// Process-local state, built when the program starts (initDebugStatics) and
// torn down at exit. The lock serialises Open, Close, SetClientReferenceCount,
// the private-data queries and the segment name.
struct DebugStatics
{
    ~DebugStatics()
    {
        delete lock;
        lock = nullptr;
    }

    // Null until initDebugStatics has run and again after exit has begun.
    QUVLock* lock = nullptr;
    std::string segmentName;
    // Built once by the first successful Open and never changed after, so the
    // pointers GetGroupString hands out stay valid; published by labelsReady.
    std::vector<std::string> labels;
    std::atomic<bool> labelsReady { false };
    // The segment this process has mapped, under the lock. Closing the log
    // keeps it mapped: writers and readers take the segment's address without
    // the lock, so one may still be inside the segment when the log closes, and
    // the message texts handed out point into it. The next Open takes it up
    // again.
    uint8_t* mapping = nullptr;
};

DebugStatics s_statics;

// Builds the process-local state; runs when the program starts.
bool initDebugStatics()
{
    s_statics.segmentName = kDefaultSegmentName;
    s_statics.lock = new QUVLock(nullptr);
    return true;
}

[[maybe_unused]] const bool s_staticsBuilt = initDebugStatics();

// The mapped segment while the log is open, null while closed. Read without
// the lock by every writer and accessor.
std::atomic<uint8_t*> s_segment { nullptr };

uint8_t* segment()
{
    return s_segment.load(std::memory_order_acquire);
}

volatile uint32_t* u32At(uint8_t* base, size_t offset)
{
    return reinterpret_cast<volatile uint32_t*>(base + offset);
}

volatile int32_t* i32At(uint8_t* base, size_t offset)
{
    return reinterpret_cast<volatile int32_t*>(base + offset);
}

// May be misaligned: QUVAtomic's lock-prefixed operations only.
unsigned long long volatile* u64At(uint8_t* base, size_t offset)
{
    return reinterpret_cast<unsigned long long volatile*>(base + offset);
}

// An atomic 64-bit read at any alignment: a lock-prefixed add of 0, since a
// plain load that straddles a cache line can tear.
uint64_t loadU64(uint8_t* base, size_t offset)
{
    return __atomic_fetch_add(u64At(base, offset), 0ull, __ATOMIC_SEQ_CST);
}

uint32_t loadU32(uint8_t* base, size_t offset)
{
    return __atomic_load_n(u32At(base, offset), __ATOMIC_ACQUIRE);
}

void storeU32(uint8_t* base, size_t offset, uint32_t value)
{
    __atomic_store_n(u32At(base, offset), value, __ATOMIC_RELEASE);
}

size_t maskOffset(int unit)
{
    return kMasksOffset + size_t(unit) * 4;
}

uint8_t* recordAt(uint8_t* base, uint64_t sequence)
{
    return base + kRingOffset + size_t(sequence & (kRingCapacity - 1)) * kRecordSize;
}

template<typename T> void writeField(uint8_t* record, size_t offset, T value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

template<typename T> T readField(const uint8_t* record, size_t offset)
{
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

bool validUnit(int unit)
{
    return unit >= 0 && unit < int(kUnitCount);
}

// Sets up a fresh segment: everything after the magic zeroed, the layout's
// sizes, unit 1's mask, and the version last.
void setUpSegment(uint8_t* base)
{
    std::memset(base + kSequenceOffset, 0, kUsedSize - kSequenceOffset);
    storeU32(base, kRingCapacityOffset, kRingCapacity);
    storeU32(base, kFileSizeOffset, kTextSize);
    storeU32(base, kTextSizeOffset, kTextSize);
    storeU32(base, kUnitCountOffset, kUnitCount);
    storeU32(base, maskOffset(1), 2);
    storeU32(base, kVersionOffset, kVersion);
}

// Brings the segment to the current layout. A fresh (all zero) segment is set
// up by the process whose compare-exchange claims the magic field; it stores
// the version last, and every other process waits for it. A claimant that has
// not finished within kSetupWaitMs is taken to have died half-way (the set-up
// itself takes a few milliseconds), and the waiter sets the segment up in its
// place; otherwise the segment would stay unusable until the next reboot. The
// segment has no field that could tell a dead claimant from a stalled one, or
// elect one of several waiters that give up together: such waiters all set it
// up, writing the same values.
bool prepareSegment(uint8_t* base)
{
    const uint32_t version = loadU32(base, kVersionOffset);
    if (version == kVersion)
        return true;
    if (version != 0)
        return false;

    uint32_t expected = 0;
    if (__atomic_compare_exchange_n(
            u32At(base, kMagicOffset), &expected, kMagic, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        setUpSegment(base);
        return true;
    }
    if (expected != kMagic)
        return false; // version 0 under a foreign magic: not ours to touch
    for (int waited = 0; waited < kSetupWaitMs; ++waited) {
        const uint32_t now = loadU32(base, kVersionOffset);
        if (now == kVersion)
            return true;
        if (now != 0)
            return false;
        QUVTime::SleepInMicroseconds(1000);
    }
    // Checked once more: a claimant that finished during the last sleep must
    // not be set up over.
    const uint32_t last = loadU32(base, kVersionOffset);
    if (last != 0)
        return last == kVersion;
    setUpSegment(base);
    return true;
}

void buildLabels()
{
    if (s_statics.labelsReady.load(std::memory_order_acquire))
        return;
    std::vector<std::string> labels;
    labels.reserve(kLabelledUnits);
    for (const char* end : kUnitLabelEnds)
        labels.push_back(std::string("QUV_DebugUnit_") + end);
    for (int unit = int(labels.size()); unit < kLabelledUnits; ++unit)
        labels.push_back("QUV_DebugUnit_Unused_" + quv::to_string(unit));
    s_statics.labels.swap(labels);
    s_statics.labelsReady.store(true, std::memory_order_release);
}

// Publishes a filled record: its sequence number is stored last.
void publish(uint8_t* base, uint8_t* record, uint64_t sequence)
{
    QUVAtomic::Exchange(u64At(record, kRecSequence), sequence);
    QUVAtomic::Increment(u64At(base, kAcceptedOffset));
}

// Common checks of the message accessors: gives the record of message s.
QUVStatus messageRecord(uint64_t s, const void* result, uint8_t** record)
{
    uint8_t* base = segment();
    if (!base)
        return QUV_STATUS_INITIALIZE;
    if (s > loadU64(base, kSequenceOffset))
        return QUV_STATUS_RANGE;
    if (!result)
        return QUV_STATUS_NULL;
    *record = recordAt(base, s);
    return QUV_STATUS_SUCCESS;
}

template<typename T> QUVStatus messageField(uint64_t s, T* result, size_t offset)
{
    uint8_t* record = nullptr;
    const QUVStatus status = messageRecord(s, result, &record);
    if (status == QUV_STATUS_SUCCESS)
        *result = readField<T>(record, offset);
    return status;
}

// A text field of a record, in place.
QUVStatus messageText(uint64_t s, const char** result, size_t offset)
{
    uint8_t* record = nullptr;
    const QUVStatus status = messageRecord(s, result, &record);
    if (status == QUV_STATUS_SUCCESS)
        *result = reinterpret_cast<const char*>(record + offset);
    return status;
}

QUVStatus counter(uint64_t* result, size_t offset)
{
    uint8_t* base = segment();
    if (!base)
        return QUV_STATUS_INITIALIZE;
    if (!result)
        return QUV_STATUS_NULL;
    *result = loadU64(base, offset);
    return QUV_STATUS_SUCCESS;
}

// Common checks of the mask operations: QUV_STATUS_SUCCESS and the segment.
QUVStatus maskTarget(int unit, uint8_t** base)
{
    *base = segment();
    if (!*base)
        return QUV_STATUS_INITIALIZE;
    if (!validUnit(unit))
        return QUV_STATUS_RANGE;
    return QUV_STATUS_SUCCESS;
}

} // namespace

namespace quvlog_internal {

void setSegmentName(const char* name)
{
    QUVAutoLock guard(s_statics.lock);
    const std::string wanted = name ? name : kDefaultSegmentName;
    if (wanted == s_statics.segmentName)
        return;
    // The mapping kept from the old segment is given up here, the one place
    // that unmaps it: the caller sees to it that no thread uses the log now.
    s_segment.store(nullptr, std::memory_order_release);
    if (s_statics.mapping) {
        QUVMemory::FreeShared(s_statics.mapping);
        s_statics.mapping = nullptr;
    }
    s_statics.segmentName = wanted;
}

std::string segmentName()
{
    QUVAutoLock guard(s_statics.lock);
    return s_statics.segmentName;
}

} // namespace quvlog_internal

std::string QUVStatusToString(QUVStatus status)
{
    switch (status) {
    case QUV_STATUS_TRUE:
        return "QUV_STATUS_TRUE";
    case QUV_STATUS_SUCCESS:
        return "QUV_STATUS_SUCCESS";
    case QUV_STATUS_FAIL:
        return "QUV_STATUS_FAIL";
    case QUV_STATUS_UNKNOWN:
        return "QUV_STATUS_UNKNOWN";
    case QUV_STATUS_TIMEOUT:
        return "QUV_STATUS_TIMEOUT";
    case QUV_STATUS_RANGE:
        return "QUV_STATUS_RANGE";
    case QUV_STATUS_INITIALIZE:
        return "QUV_STATUS_INITIALIZE";
    case QUV_STATUS_NULL:
        return "QUV_STATUS_NULL";
    case QUV_STATUS_OPEN:
        return "QUV_STATUS_OPEN";
    case QUV_STATUS_IO:
        return "QUV_STATUS_IO";
    case QUV_STATUS_DISABLED:
        return "QUV_STATUS_DISABLED";
    case QUV_STATUS_BUSY:
        return "QUV_STATUS_BUSY";
    case QUV_STATUS_BAD_PARAM:
        return "QUV_STATUS_BAD_PARAM";
    case QUV_STATUS_FEATURE:
        return "QUV_STATUS_FEATURE";
    case QUV_STATUS_UNSUPPORTED:
        return "QUV_STATUS_UNSUPPORTED";
    case QUV_STATUS_READONLY:
        return "QUV_STATUS_READONLY";
    case QUV_STATUS_WRITEONLY:
        return "QUV_STATUS_WRITEONLY";
    case QUV_STATUS_MEMORY:
        return "QUV_STATUS_MEMORY";
    case QUV_STATUS_ALIGN:
        return "QUV_STATUS_ALIGN";
    case QUV_STATUS_FLUSH:
        return "QUV_STATUS_FLUSH";
    case QUV_STATUS_NOINPUT:
        return "QUV_STATUS_NOINPUT";
    case QUV_STATUS_SURPRISE_REMOVAL:
        return "QUV_STATUS_SURPRISE_REMOVAL";
    case QUV_STATUS_NOT_FOUND:
        return "QUV_STATUS_NOT_FOUND";
    case QUV_STATUS_NOBUFFER:
        return "QUV_STATUS_NOBUFFER";
    case QUV_STATUS_INVALID_TIME:
        return "QUV_STATUS_INVALID_TIME";
    case QUV_STATUS_NOSTREAM:
        return "QUV_STATUS_NOSTREAM";
    case QUV_STATUS_TIMEEXPIRED:
        return "QUV_STATUS_TIMEEXPIRED";
    case QUV_STATUS_BADBUFFERCOUNT:
        return "QUV_STATUS_BADBUFFERCOUNT";
    case QUV_STATUS_BADBUFFERSIZE:
        return "QUV_STATUS_BADBUFFERSIZE";
    case QUV_STATUS_STREAMCONFLICT:
        return "QUV_STATUS_STREAMCONFLICT";
    case QUV_STATUS_NOTINITIALIZED:
        return "QUV_STATUS_NOTINITIALIZED";
    case QUV_STATUS_STREAMRUNNING:
        return "QUV_STATUS_STREAMRUNNING";
    case QUV_STATUS_REBOOT:
        return "QUV_STATUS_REBOOT";
    case QUV_STATUS_POWER_CYCLE:
        return "QUV_STATUS_POWER_CYCLE";
    default:
        return "<bad QUVStatus>";
    }
}

QUVDebug::QUVDebug() = default;

QUVDebug::~QUVDebug() = default;

QUVStatus QUVDebug::Open(bool incrementRefCount)
{
    // Null before this file's statics are built (a call from a static
    // initialiser that runs first) and after they are torn down at exit.
    if (!s_statics.lock)
        return QUV_STATUS_INITIALIZE;
    QUVAutoLock guard(s_statics.lock);
    if (segment())
        return QUV_STATUS_SUCCESS;

    // A mapping kept from an earlier Open is taken up again; it passes the
    // same checks, since another process may have changed the segment.
    uint8_t* base = s_statics.mapping;
    const bool kept = base != nullptr;
    if (!kept) {
        size_t size = kUsedSize;
        void* mapped = QUVMemory::AllocateShared(&size, s_statics.segmentName.c_str());
        if (!mapped)
            return QUV_STATUS_FAIL;
        if (size < kUsedSize) {
            QUVMemory::FreeShared(mapped);
            return QUV_STATUS_FAIL;
        }
        base = static_cast<uint8_t*>(mapped);
    }
    bool ready = prepareSegment(base);
    if (ready) {
        try {
            buildLabels();
        } catch (const std::bad_alloc&) {
            ready = false;
        }
    }
    if (!ready) {
        // A new mapping has not been published, so nobody else can hold it.
        if (!kept)
            QUVMemory::FreeShared(base);
        return QUV_STATUS_FAIL;
    }
    s_statics.mapping = base;
    // An atomic add: other processes change the count at the same time.
    if (incrementRefCount)
        __atomic_add_fetch(i32At(base, kClientCountOffset), 1, __ATOMIC_SEQ_CST);
    s_segment.store(base, std::memory_order_release);
    return QUV_STATUS_SUCCESS;
}

QUVStatus QUVDebug::Close(bool decrementRefCount)
{
    QUVAutoLock guard(s_statics.lock);
    uint8_t* base = segment();
    if (!base)
        return QUV_STATUS_SUCCESS;
    if (decrementRefCount) {
        volatile int32_t* count = i32At(base, kClientCountOffset);
        int32_t current = __atomic_load_n(count, __ATOMIC_ACQUIRE);
        while (current > 0
            && !__atomic_compare_exchange_n(count, &current, current - 1, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        }
    }
    // Closed, but still mapped (see DebugStatics::mapping).
    s_segment.store(nullptr, std::memory_order_release);
    return QUV_STATUS_SUCCESS;
}

bool QUVDebug::IsOpen()
{
    return segment() != nullptr;
}

QUVStatus QUVDebug::GetClientReferenceCount(int* count)
{
    uint8_t* base = segment();
    if (!base) {
        if (count)
            *count = 0;
        return QUV_STATUS_INITIALIZE;
    }
    if (!count)
        return QUV_STATUS_NULL;
    *count = __atomic_load_n(i32At(base, kClientCountOffset), __ATOMIC_ACQUIRE);
    return QUV_STATUS_SUCCESS;
}

QUVStatus QUVDebug::SetClientReferenceCount(int count)
{
    if (!s_statics.lock)
        return QUV_STATUS_INITIALIZE;
    QUVAutoLock guard(s_statics.lock);
    uint8_t* base = segment();
    if (!base)
        return QUV_STATUS_INITIALIZE;
    __atomic_store_n(i32At(base, kClientCountOffset), count, __ATOMIC_SEQ_CST);
    // Closed as by Close, the mapping kept.
    if (count <= 0)
        s_segment.store(nullptr, std::memory_order_release);
    return QUV_STATUS_SUCCESS;
}

void* QUVDebug::GetPrivateDataLoc()
{
    if (!s_statics.lock)
        return nullptr;
    QUVAutoLock guard(s_statics.lock);
    return segment();
}

size_t QUVDebug::GetPrivateDataLen()
{
    if (!s_statics.lock)
        return 0;
    QUVAutoLock guard(s_statics.lock);
    return segment() ? kUsedSize : 0;
}

bool QUVDebug::IsDebugBuild()
{
    return false;
}

QUVStatus QUVDebug::Enable(int unit, uint32_t mask)
{
    uint8_t* base = nullptr;
    const QUVStatus status = maskTarget(unit, &base);
    if (status == QUV_STATUS_SUCCESS)
        __atomic_fetch_or(u32At(base, maskOffset(unit)), mask, __ATOMIC_SEQ_CST);
    return status;
}

QUVStatus QUVDebug::Disable(int unit, uint32_t mask)
{
    uint8_t* base = nullptr;
    const QUVStatus status = maskTarget(unit, &base);
    if (status == QUV_STATUS_SUCCESS)
        __atomic_fetch_and(u32At(base, maskOffset(unit)), ~mask, __ATOMIC_SEQ_CST);
    return status;
}

QUVStatus QUVDebug::SetDestination(int unit, uint32_t mask)
{
    uint8_t* base = nullptr;
    const QUVStatus status = maskTarget(unit, &base);
    if (status == QUV_STATUS_SUCCESS)
        storeU32(base, maskOffset(unit), mask);
    return status;
}

QUVStatus QUVDebug::GetDestination(int unit, uint32_t* mask)
{
    uint8_t* base = nullptr;
    QUVStatus status = maskTarget(unit, &base);
    if (status == QUV_STATUS_SUCCESS && !mask)
        status = QUV_STATUS_NULL;
    if (status == QUV_STATUS_SUCCESS)
        *mask = loadU32(base, maskOffset(unit));
    return status;
}

bool QUVDebug::IsActive(int unit)
{
    uint8_t* base = segment();
    return base && validUnit(unit) && loadU32(base, maskOffset(unit)) != 0;
}

bool QUVDebug::ReportCommon(
    void* mapped, int unit, int severity, const char* file, int line, uint64_t* sequence, void** record)
{
    uint8_t* base = static_cast<uint8_t*>(mapped);
    if (!base || __atomic_load_n(i32At(base, kClientCountOffset), __ATOMIC_ACQUIRE) < 1)
        return false;
    const int unitIndex = uint32_t(unit) < kUnitCount ? unit : 0;
    const uint32_t mask = loadU32(base, maskOffset(unitIndex));
    if (mask == 0) {
        QUVAtomic::Increment(u64At(base, kIgnoredOffset));
        return false;
    }

    *sequence = QUVAtomic::Increment(u64At(base, kSequenceOffset));
    uint8_t* claimed = recordAt(base, *sequence);
    writeField<int32_t>(claimed, kRecUnit, unitIndex);
    writeField<uint32_t>(claimed, kRecMask, mask);
    writeField<uint64_t>(claimed, kRecTime, DebugTime());
    writeField<int64_t>(claimed, kRecWallClock, int64_t(time(nullptr)));
    char* fileField = reinterpret_cast<char*>(claimed + kRecFile);
    const char* path = file ? file : "unknown";
    const size_t pathLength = strnlen(path, kTextSize - 1);
    std::memcpy(fileField, path, pathLength);
    fileField[pathLength] = '\0';
    writeField<int32_t>(claimed, kRecLine, line);
    writeField<int32_t>(claimed, kRecSeverity, severity >= 0 && severity <= 7 ? severity : kDefaultSeverity);
    writeField<uint64_t>(claimed, kRecPid, QUVProcess::GetPid());
    writeField<uint64_t>(claimed, kRecTid, QUVThread::GetThreadId());
    *record = claimed;
    return true;
}

void QUVDebug::Report(int unit, int severity, const char* file, int line, const char* format, ...)
{
    uint8_t* base = segment();
    uint64_t sequence = 0;
    void* record = nullptr;
    if (!base || !ReportCommon(base, unit, severity, file, line, &sequence, &record))
        return;
    uint8_t* claimed = static_cast<uint8_t*>(record);
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(reinterpret_cast<char*>(claimed + kRecText), kTextSize, format ? format : "no message", arguments);
    va_end(arguments);
    publish(base, claimed, sequence);
}

void QUVDebug::Report(int unit, int severity, const char* file, int line, const std::string& message)
{
    uint8_t* base = segment();
    uint64_t sequence = 0;
    void* record = nullptr;
    if (!base || !ReportCommon(base, unit, severity, file, line, &sequence, &record))
        return;
    uint8_t* claimed = static_cast<uint8_t*>(record);
    quv::safer_strncpy(reinterpret_cast<char*>(claimed + kRecText), message.c_str(), message.size() + 1, kTextSize);
    publish(base, claimed, sequence);
}

void QUVDebug::AssertWithMessage(const char*, int, const std::string&) { }

uint64_t QUVDebug::DebugTime()
{
    const int64_t counter = int64_t(QUVTime::GetSystemCounter());
    const int64_t frequency = int64_t(QUVTime::GetSystemFrequency());
    if (frequency <= 0)
        return 0;
    return uint64_t((counter % frequency) * 1000000 / frequency + (counter / frequency) * 1000000);
}

QUVStatus QUVDebug::GetSequenceNumber(uint64_t* sequence)
{
    return counter(sequence, kSequenceOffset);
}

QUVStatus QUVDebug::GetMessageSequenceNumber(uint64_t s, uint64_t* sequence)
{
    uint8_t* record = nullptr;
    const QUVStatus status = messageRecord(s, sequence, &record);
    if (status == QUV_STATUS_SUCCESS)
        *sequence = loadU64(record, kRecSequence);
    return status;
}

QUVStatus QUVDebug::GetMessageGroup(uint64_t s, int* unit)
{
    return messageField<int>(s, unit, kRecUnit);
}

QUVStatus QUVDebug::GetMessageDestination(uint64_t s, uint32_t* mask)
{
    return messageField<uint32_t>(s, mask, kRecMask);
}

QUVStatus QUVDebug::GetMessageTime(uint64_t s, uint64_t* microseconds)
{
    return messageField<uint64_t>(s, microseconds, kRecTime);
}

QUVStatus QUVDebug::GetMessageWallClockTime(uint64_t s, int64_t* seconds)
{
    return messageField<int64_t>(s, seconds, kRecWallClock);
}

QUVStatus QUVDebug::GetMessageFileName(uint64_t s, const char** file)
{
    return messageText(s, file, kRecFile);
}

QUVStatus QUVDebug::GetMessageLineNumber(uint64_t s, int* line)
{
    return messageField<int>(s, line, kRecLine);
}

QUVStatus QUVDebug::GetMessageSeverity(uint64_t s, int* severity)
{
    return messageField<int>(s, severity, kRecSeverity);
}

QUVStatus QUVDebug::GetMessageText(uint64_t s, const char** text)
{
    return messageText(s, text, kRecText);
}

QUVStatus QUVDebug::GetProcessId(uint64_t s, uint64_t* pid)
{
    return messageField<uint64_t>(s, pid, kRecPid);
}

QUVStatus QUVDebug::GetThreadId(uint64_t s, uint64_t* tid)
{
    return messageField<uint64_t>(s, tid, kRecTid);
}

QUVStatus QUVDebug::GetMessagesAccepted(uint64_t* count)
{
    return counter(count, kAcceptedOffset);
}

QUVStatus QUVDebug::GetMessagesIgnored(uint64_t* count)
{
    return counter(count, kIgnoredOffset);
}

const char* QUVDebug::GetSeverityString(int severity)
{
    if (severity < 0 || severity > 7)
        return "severity range error";
    return kSeverityNames[severity];
}

const char* QUVDebug::GetGroupString(int unit)
{
    if (!s_statics.labelsReady.load(std::memory_order_acquire) || unit < 0 || size_t(unit) >= s_statics.labels.size())
        return "index range error";
    const std::string& label = s_statics.labels[size_t(unit)];
    return label.empty() ? "no label" : label.c_str();
}

const std::string& QUVDebug::GetGroupName(int unit)
{
    static const std::string badIndex("<bad index>");
    static const std::string empty("<empty>");
    if (!s_statics.labelsReady.load(std::memory_order_acquire) || unit < 0 || size_t(unit) >= s_statics.labels.size())
        return badIndex;
    const std::string& label = s_statics.labels[size_t(unit)];
    return label.empty() ? empty : label;
}

QUVStatus QUVDebug::SaveState(const char* path)
{
    uint8_t* base = segment();
    if (!base)
        return QUV_STATUS_INITIALIZE;
    if (!path)
        return QUV_STATUS_NULL;
    FILE* file = fopen(path, "w");
    if (!file)
        return QUV_STATUS_FAIL;
    fprintf(file, "QUVDebugVersion: %d\n", int(loadU32(base, kVersionOffset)));
    fprintf(file, "QUVDebugStateFileVersion: %d\n", kStateFileVersion);
    for (int unit = 0; unit < int(kUnitCount); ++unit) {
        const uint32_t mask = loadU32(base, maskOffset(unit));
        if (mask == 0)
            continue;
        if (unit < kLabelledUnits)
            fprintf(file, "GroupDestination: %6d : %08x\n", unit, mask);
        else
            fprintf(file, "CustomGroupDestination: %6d : %08x\n", unit, mask);
    }
    // A file that could not be written completely is no saved state.
    const bool written = !ferror(file);
    return fclose(file) == 0 && written ? QUV_STATUS_SUCCESS : QUV_STATUS_FAIL;
}

QUVStatus QUVDebug::RestoreState(const char* path)
{
    uint8_t* base = segment();
    if (!base)
        return QUV_STATUS_INITIALIZE;
    if (!path)
        return QUV_STATUS_NULL;
    FILE* file = fopen(path, "r");
    if (!file)
        return QUV_STATUS_FAIL;

    int version = 0;
    int fileVersion = 0;
    if (fscanf(file, " QUVDebugVersion: %d", &version) != 1 || version != int(loadU32(base, kVersionOffset))
        || fscanf(file, " QUVDebugStateFileVersion: %d", &fileVersion) != 1 || fileVersion != kStateFileVersion) {
        fclose(file);
        return QUV_STATUS_FAIL;
    }

    for (;;) {
        // The unit is read wide so that a number beyond int is seen as out
        // of range rather than wrapped into it.
        long long unit = 0;
        unsigned int mask = 0;
        const long position = ftell(file);
        if (fscanf(file, " GroupDestination: %lld : %x", &unit, &mask) != 2) {
            if (position < 0 || fseek(file, position, SEEK_SET) != 0)
                break;
            if (fscanf(file, " CustomGroupDestination: %lld : %x", &unit, &mask) != 2)
                break;
        }
        if (unit >= 0 && unit < kUnitCount)
            storeU32(base, maskOffset(int(unit)), mask);
    }
    fclose(file);
    return QUV_STATUS_SUCCESS;
}

std::atomic<bool> QUVLog::bInitialized { false };

QUVLog::QUVLog()
{
    if (!bInitialized.exchange(true))
        QUVDebug::Open(false);
}

QUVLog::~QUVLog() = default;

namespace {

constexpr int kDebugSeverity = 7;

const char* printable(const char* name)
{
    return name ? name : "";
}

} // namespace

QUVTimeLog::QUVTimeLog()
    : m_unit(1)
    , m_lastTime(QUVTime::GetSystemMicroseconds())
{ }

QUVTimeLog::QUVTimeLog(const char* tag, int unit)
    : m_tag(printable(tag))
    , m_unit(unit)
    , m_lastTime(QUVTime::GetSystemMicroseconds())
{ }

QUVTimeLog::QUVTimeLog(const std::string& tag, int unit)
    : m_tag(tag)
    , m_unit(unit)
    , m_lastTime(QUVTime::GetSystemMicroseconds())
{ }

QUVTimeLog::~QUVTimeLog() = default;

void QUVTimeLog::Reset()
{
    m_lastTime = QUVTime::GetSystemMicroseconds();
}

void QUVTimeLog::PrintReset()
{
    m_lastTime = QUVTime::GetSystemMicroseconds();
    if (QUVDebug::IsActive(m_unit))
        QUVDebug::Report(
            m_unit, kDebugSeverity, __FILE__, __LINE__, "%s-%s = %lld\n", m_tag.c_str(), "(** Reset **)", 0ll);
}

void QUVTimeLog::PrintValue(int64_t value)
{
    if (QUVDebug::IsActive(m_unit))
        QUVDebug::Report(m_unit, kDebugSeverity, __FILE__, __LINE__, "%s = %lld\n", m_tag.c_str(), (long long)value);
}

void QUVTimeLog::PrintValue(int64_t value, const char* name)
{
    if (QUVDebug::IsActive(m_unit))
        QUVDebug::Report(m_unit, kDebugSeverity, __FILE__, __LINE__, "%s-%s = %lld\n", m_tag.c_str(), printable(name),
            (long long)value);
}

void QUVTimeLog::PrintDelta(bool reset)
{
    const uint64_t now = QUVTime::GetSystemMicroseconds();
    if (QUVDebug::IsActive(m_unit))
        QUVDebug::Report(
            m_unit, kDebugSeverity, __FILE__, __LINE__, "%s = %lld\n", m_tag.c_str(), (long long)(now - m_lastTime));
    if (reset)
        m_lastTime = now;
}

void QUVTimeLog::PrintDelta(const char* name, bool reset)
{
    const uint64_t now = QUVTime::GetSystemMicroseconds();
    if (QUVDebug::IsActive(m_unit))
        QUVDebug::Report(m_unit, kDebugSeverity, __FILE__, __LINE__, "%s-%s = %lld\n", m_tag.c_str(), printable(name),
            (long long)(now - m_lastTime));
    if (reset)
        m_lastTime = now;
}

uint32_t QUVTimeLog::GetDelta(bool reset)
{
    const uint64_t now = QUVTime::GetSystemMicroseconds();
    const uint32_t delta = uint32_t(now - m_lastTime);
    if (reset)
        m_lastTime = now;
    return delta;
}

void QUVTimeLog::Print(const char* name)
{
    if (QUVDebug::IsActive(m_unit))
        QUVDebug::Report(m_unit, kDebugSeverity, __FILE__, __LINE__, "%s-%s\n", m_tag.c_str(), printable(name));
}
