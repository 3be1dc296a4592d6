#pragma once

// Status codes of the base system library. Every operation that can fail
// returns one of these: 0 is success, 1 a positive answer, negative values
// are errors.

#include <cstdint>
#include <string>

using QUVStatus = int32_t;

constexpr QUVStatus QUV_STATUS_TRUE = 1;
constexpr QUVStatus QUV_STATUS_SUCCESS = 0;
constexpr QUVStatus QUV_STATUS_FAIL = -1;
constexpr QUVStatus QUV_STATUS_UNKNOWN = -2;
constexpr QUVStatus QUV_STATUS_TIMEOUT = -3;
constexpr QUVStatus QUV_STATUS_RANGE = -4;
constexpr QUVStatus QUV_STATUS_INITIALIZE = -5;
constexpr QUVStatus QUV_STATUS_NULL = -6;
constexpr QUVStatus QUV_STATUS_OPEN = -7;
constexpr QUVStatus QUV_STATUS_IO = -8;
constexpr QUVStatus QUV_STATUS_DISABLED = -9;
constexpr QUVStatus QUV_STATUS_BUSY = -10;
constexpr QUVStatus QUV_STATUS_BAD_PARAM = -11;
constexpr QUVStatus QUV_STATUS_FEATURE = -12;
constexpr QUVStatus QUV_STATUS_UNSUPPORTED = -13;
constexpr QUVStatus QUV_STATUS_READONLY = -14;
constexpr QUVStatus QUV_STATUS_WRITEONLY = -15;
constexpr QUVStatus QUV_STATUS_MEMORY = -16;
constexpr QUVStatus QUV_STATUS_ALIGN = -17;
constexpr QUVStatus QUV_STATUS_FLUSH = -18;
constexpr QUVStatus QUV_STATUS_NOINPUT = -19;
constexpr QUVStatus QUV_STATUS_SURPRISE_REMOVAL = -20;
constexpr QUVStatus QUV_STATUS_NOT_FOUND = -21;
constexpr QUVStatus QUV_STATUS_NOBUFFER = -100;
constexpr QUVStatus QUV_STATUS_INVALID_TIME = -101;
constexpr QUVStatus QUV_STATUS_NOSTREAM = -102;
constexpr QUVStatus QUV_STATUS_TIMEEXPIRED = -103;
constexpr QUVStatus QUV_STATUS_BADBUFFERCOUNT = -104;
constexpr QUVStatus QUV_STATUS_BADBUFFERSIZE = -105;
constexpr QUVStatus QUV_STATUS_STREAMCONFLICT = -106;
constexpr QUVStatus QUV_STATUS_NOTINITIALIZED = -107;
constexpr QUVStatus QUV_STATUS_STREAMRUNNING = -108;
constexpr QUVStatus QUV_STATUS_REBOOT = 1000;
constexpr QUVStatus QUV_STATUS_POWER_CYCLE = 1001;

// The code's name ("QUV_STATUS_TIMEOUT"); "<bad QUVStatus>" for a value that
// names no code.
std::string QUVStatusToString(QUVStatus status);
