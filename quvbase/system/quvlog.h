#pragma once

// The cross-process debug log: one named shared-memory segment ("quv-shm-debug")
// holds a header, a destination mask for each of 65,536 units and a ring of
// 4,096 message records. Any process may write into the ring without a lock; a
// separate viewer reads it, sets the masks and holds a client reference while it
// watches. A message is written only while some client reference is held and
// its unit's mask is not 0.
//
// Severities: 0 emergency, 1 alert, 2 assert, 3 error, 4 warning, 5 notice,
// 6 info, 7 debug. Failures inside this library are reported at unit 0,
// severity 3, with the reporting file and line.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "quvbase/system/quvstatus.h"

class QUVDebug
{
public:
    QUVDebug();
    virtual ~QUVDebug();

    // Maps the segment, setting up a fresh one; counts one client reference
    // when asked. A segment that is too small or of another layout is never
    // touched: QUV_STATUS_FAIL, and the log stays closed. Opening an open log
    // succeeds without counting another reference.
    static QUVStatus Open(bool incrementRefCount);
    // Closes the log in this process, first dropping one client reference when
    // asked. The segment stays mapped (a report or a reader may still be inside
    // it, and message texts handed out point into it); the next Open takes the
    // mapping up again.
    static QUVStatus Close(bool decrementRefCount);
    static bool IsOpen();
    static QUVStatus GetClientReferenceCount(int* count);
    // Stores the count; 0 or less also closes the log in this process.
    static QUVStatus SetClientReferenceCount(int count);
    // The mapped segment and its used length (null and 0 while closed).
    static void* GetPrivateDataLoc();
    static size_t GetPrivateDataLen();
    static bool IsDebugBuild();

    // Destination masks of units 0..65535. QUV_STATUS_INITIALIZE while closed,
    // QUV_STATUS_RANGE for another unit.
    static QUVStatus Enable(int unit, uint32_t mask);
    static QUVStatus Disable(int unit, uint32_t mask);
    static QUVStatus SetDestination(int unit, uint32_t mask);
    static QUVStatus GetDestination(int unit, uint32_t* mask);
    static bool IsActive(int unit);

    // Writes a message (printf-style, or a ready text) into the ring. Never
    // fails to the caller and never blocks: a message that cannot be written is
    // dropped, and one whose unit is masked out is counted as ignored. A unit
    // outside 0..65535 is written as unit 0, a severity outside 0..7 as 4; a
    // null file reads "unknown", a null format "no message"; texts are cut to
    // 511 characters.
    static void Report(int unit, int severity, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    static void Report(int unit, int severity, const char* file, int line, const std::string& message);
    static void AssertWithMessage(const char* file, int line, const std::string& message);
    // Now, in microseconds of the monotonic clock, as records stamp it.
    static uint64_t DebugTime();

    // The last sequence number issued (the first message gets 1).
    static QUVStatus GetSequenceNumber(uint64_t* sequence);
    // The fields of the record that holds message s (record s & 0xFFF).
    // QUV_STATUS_RANGE for s above the last sequence number. The record is not
    // compared with s: a caller that must know it still holds message s
    // compares GetMessageSequenceNumber with s before and after reading.
    static QUVStatus GetMessageSequenceNumber(uint64_t s, uint64_t* sequence);
    static QUVStatus GetMessageGroup(uint64_t s, int* unit);
    static QUVStatus GetMessageDestination(uint64_t s, uint32_t* mask);
    static QUVStatus GetMessageTime(uint64_t s, uint64_t* microseconds);
    static QUVStatus GetMessageWallClockTime(uint64_t s, int64_t* seconds);
    // Points into the segment: 512 bytes at most, read with a bound.
    static QUVStatus GetMessageFileName(uint64_t s, const char** file);
    static QUVStatus GetMessageLineNumber(uint64_t s, int* line);
    static QUVStatus GetMessageSeverity(uint64_t s, int* severity);
    // Points into the segment: 512 bytes at most, read with a bound.
    static QUVStatus GetMessageText(uint64_t s, const char** text);
    static QUVStatus GetProcessId(uint64_t s, uint64_t* pid);
    static QUVStatus GetThreadId(uint64_t s, uint64_t* tid);
    static QUVStatus GetMessagesAccepted(uint64_t* count);
    static QUVStatus GetMessagesIgnored(uint64_t* count);

    // "error"; "severity range error" outside 0..7.
    static const char* GetSeverityString(int severity);
    // "QUV_DebugUnit_PnP"; "index range error" for a unit without a label.
    static const char* GetGroupString(int unit);
    // The label; "<bad index>" for a unit without one.
    static const std::string& GetGroupName(int unit);

    // The state file: the masks that are not 0, one line per unit.
    static QUVStatus SaveState(const char* path);
    // Sets the masks the file names (the others keep theirs); a file of another
    // version changes nothing and gives QUV_STATUS_FAIL.
    static QUVStatus RestoreState(const char* path);

private:
    // Claims the ring record of a new message in the mapped segment and fills
    // every field but the text and the sequence number, which the caller
    // stores last to publish it. False when the message is not written: no
    // client reference (not counted), or its unit masked out (counted as
    // ignored).
    static bool ReportCommon(
        void* mapped, int unit, int severity, const char* file, int line, uint64_t* sequence, void** record);
};

// The program's handle on the debug log: the first one constructed in a
// process opens the log, without a client reference; it stays open until the
// process ends.
class QUVLog
{
public:
    QUVLog();
    virtual ~QUVLog();

    static std::atomic<bool> bInitialized;
};

// A named stopwatch in microseconds that prints to the debug log at severity 7
// (debug), and only while its unit is active.
class QUVTimeLog
{
public:
    QUVTimeLog();
    QUVTimeLog(const char* tag, int unit);
    QUVTimeLog(const std::string& tag, int unit);
    virtual ~QUVTimeLog();

    void Reset();
    // Restarts and prints "<tag>-(** Reset **) = 0".
    void PrintReset();
    void PrintValue(int64_t value);
    void PrintValue(int64_t value, const char* name);
    // Prints the microseconds since the last reset; restarts when asked.
    void PrintDelta(bool reset);
    void PrintDelta(const char* name, bool reset);
    // Microseconds since the last reset, modulo 2^32; restarts when asked.
    uint32_t GetDelta(bool reset);
    void Print(const char* name);

private:
    std::string m_tag;
    int m_unit;
    uint64_t m_lastTime;
};
