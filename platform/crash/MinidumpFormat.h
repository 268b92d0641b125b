#pragma once

#include <cstdint>

// The on-disk records of the minidump format (little endian, 4-byte packed),
// as far as the crash dump writer uses them.
namespace minidump {

inline constexpr uint32_t kSignature = 0x504d444d;  // "MDMP"
inline constexpr uint32_t kVersion = 0xa793;

enum StreamType : uint32_t {
    kThreadList = 3,
    kModuleList = 4,
    kMemoryList = 5,
    kException = 6,
    kSystemInfo = 7,
    kMiscInfo = 15,
    // Linux streams understood by the common debuggers.
    kLinuxCpuInfo = 0x47670003,
    kLinuxProcStatus = 0x47670004,
    kLinuxMaps = 0x47670009,
};

inline constexpr uint16_t kArchitectureAmd64 = 9;
inline constexpr uint32_t kPlatformLinux = 0x8201;
inline constexpr uint32_t kMiscProcessId = 1;
inline constexpr uint32_t kCvSignatureElfBuildId = 0x4270454c;  // "BpEL"

// Context flags of the x86-64 register record.
inline constexpr uint32_t kContextAmd64 = 0x00100000;
inline constexpr uint32_t kContextControl = kContextAmd64 | 0x1;
inline constexpr uint32_t kContextInteger = kContextAmd64 | 0x2;
inline constexpr uint32_t kContextSegments = kContextAmd64 | 0x4;
inline constexpr uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;

#pragma pack(push, 4)

struct LocationDescriptor {
    uint32_t dataSize;
    uint32_t rva;
};

struct Header {
    uint32_t signature;
    uint32_t version;
    uint32_t numberOfStreams;
    uint32_t streamDirectoryRva;
    uint32_t checkSum;
    uint32_t timeDateStamp;
    uint64_t flags;
};
static_assert(sizeof(Header) == 32);

struct Directory {
    uint32_t streamType;
    LocationDescriptor location;
};
static_assert(sizeof(Directory) == 12);

struct MemoryDescriptor {
    uint64_t startOfMemoryRange;
    LocationDescriptor memory;
};
static_assert(sizeof(MemoryDescriptor) == 16);

struct Thread {
    uint32_t threadId;
    uint32_t suspendCount;
    uint32_t priorityClass;
    uint32_t priority;
    uint64_t teb;
    MemoryDescriptor stack;
    LocationDescriptor threadContext;
};
static_assert(sizeof(Thread) == 48);

struct FixedFileInfo {
    uint32_t fields[13];
};

struct Module {
    uint64_t baseOfImage;
    uint32_t sizeOfImage;
    uint32_t checkSum;
    uint32_t timeDateStamp;
    uint32_t moduleNameRva;
    FixedFileInfo versionInfo;
    LocationDescriptor cvRecord;
    LocationDescriptor miscRecord;
    uint64_t reserved0;
    uint64_t reserved1;
};
static_assert(sizeof(Module) == 108);

struct ExceptionRecord {
    uint32_t exceptionCode;
    uint32_t exceptionFlags;
    uint64_t exceptionRecord;
    uint64_t exceptionAddress;
    uint32_t numberParameters;
    uint32_t unusedAlignment;
    uint64_t exceptionInformation[15];
};

struct ExceptionStream {
    uint32_t threadId;
    uint32_t alignment;
    ExceptionRecord exceptionRecord;
    LocationDescriptor threadContext;
};
static_assert(sizeof(ExceptionStream) == 168);

struct SystemInfo {
    uint16_t processorArchitecture;
    uint16_t processorLevel;
    uint16_t processorRevision;
    uint8_t numberOfProcessors;
    uint8_t productType;
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;
    uint32_t csdVersionRva;
    uint16_t suiteMask;
    uint16_t reserved2;
    uint8_t cpu[24];
};
static_assert(sizeof(SystemInfo) == 56);

struct MiscInfo {
    uint32_t sizeOfInfo;
    uint32_t flags1;
    uint32_t processId;
    uint32_t processCreateTime;
    uint32_t processUserTime;
    uint32_t processKernelTime;
};
static_assert(sizeof(MiscInfo) == 24);

struct Uint128 {
    uint64_t low;
    uint64_t high;
};

struct ContextAmd64 {
    uint64_t parameterHome[6];
    uint32_t contextFlags;
    uint32_t mxCsr;
    uint16_t cs, ds, es, fs, gs, ss;
    uint32_t eflags;
    uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
    uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    uint64_t rip;
    uint8_t floatSave[512];  // the FXSAVE area
    Uint128 vectorRegister[26];
    uint64_t vectorControl;
    uint64_t debugControl;
    uint64_t lastBranchToRip;
    uint64_t lastBranchFromRip;
    uint64_t lastExceptionToRip;
    uint64_t lastExceptionFromRip;
};
static_assert(sizeof(ContextAmd64) == 1232);

#pragma pack(pop)

}  // namespace minidump
