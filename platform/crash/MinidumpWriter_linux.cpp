#include "platform/crash/MinidumpWriter.h"

#include <elf.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "platform/crash/MinidumpFormat.h"

// Everything here runs inside a signal handler of a crashed process: no heap,
// no stdio, no locks. The working storage is static; only one thread ever
// writes a dump (the crash filter lets only the first crashing thread in).
namespace {

constexpr size_t kMapsLimit = 1024 * 1024;
constexpr size_t kStatusLimit = 16 * 1024;
constexpr size_t kMappingLimit = 8192;
constexpr size_t kModuleLimit = 1024;
constexpr size_t kModuleNameLimit = 1024;
constexpr size_t kBuildIdLimit = 64;
// Bytes kept below the stack pointer (the x86-64 red zone) and above it.
constexpr uint64_t kRedZone = 128;
constexpr uint64_t kStackLimit = 256 * 1024;
// Bytes of code kept on each side of the instruction pointer.
constexpr uint64_t kCodeAround = 256;
constexpr uint32_t kStreamCount = 9;

struct Mapping {
    uint64_t start;
    uint64_t end;
    uint64_t offset;
    bool readable;
    const char* path;  // into g_maps, not terminated
    size_t pathLength;
};

struct ModuleEntry {
    uint64_t base;
    uint64_t end;
    const char* path;
    size_t pathLength;
    uint32_t nameRva;
    minidump::LocationDescriptor cvRecord;
};

char g_maps[kMapsLimit];
size_t g_mapsLength;
char g_status[kStatusLimit];
Mapping g_mappings[kMappingLimit];
size_t g_mappingCount;
ModuleEntry g_modules[kModuleLimit];
size_t g_moduleCount;
uint16_t g_nameBuffer[kModuleNameLimit + 2];

size_t ReadWholeFile(const char* path, char* buffer, size_t limit) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    size_t total = 0;
    while (total < limit) {
        ssize_t got = read(fd, buffer + total, limit - total);
        if (got <= 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    close(fd);
    return total;
}

uint64_t ParseHex(const char*& p, const char* end) {
    uint64_t value = 0;
    while (p < end) {
        char c = *p;
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<uint64_t>(digit);
        ++p;
    }
    return value;
}

void SkipField(const char*& p, const char* end) {
    while (p < end && *p != ' ' && *p != '\n') {
        ++p;
    }
    while (p < end && *p == ' ') {
        ++p;
    }
}

// "start-end perms offset dev inode   path" per line.
void ParseMaps() {
    g_mappingCount = 0;
    const char* p = g_maps;
    const char* end = g_maps + g_mapsLength;
    while (p < end && g_mappingCount < kMappingLimit) {
        const char* lineEnd = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!lineEnd) {
            lineEnd = end;
        }
        Mapping m{};
        m.start = ParseHex(p, lineEnd);
        if (p < lineEnd && *p == '-') {
            ++p;
        }
        m.end = ParseHex(p, lineEnd);
        while (p < lineEnd && *p == ' ') {
            ++p;
        }
        m.readable = p < lineEnd && *p == 'r';
        SkipField(p, lineEnd);
        m.offset = ParseHex(p, lineEnd);
        SkipField(p, lineEnd);  // offset
        SkipField(p, lineEnd);  // device
        SkipField(p, lineEnd);  // inode
        m.path = p;
        m.pathLength = static_cast<size_t>(lineEnd - p);
        g_mappings[g_mappingCount++] = m;
        p = lineEnd + 1;
    }
}

const Mapping* FindMapping(uint64_t address) {
    for (size_t i = 0; i < g_mappingCount; ++i) {
        if (address >= g_mappings[i].start && address < g_mappings[i].end) {
            return &g_mappings[i];
        }
    }
    return nullptr;
}

// true when [address, address + length) lies in readable memory.
bool Readable(uint64_t address, uint64_t length) {
    uint64_t cursor = address;
    const uint64_t end = address + length;
    while (cursor < end) {
        const Mapping* m = FindMapping(cursor);
        if (!m || !m->readable) {
            return false;
        }
        cursor = m->end;
    }
    return true;
}

bool SamePath(const Mapping& m, const ModuleEntry& e) {
    return m.pathLength == e.pathLength && memcmp(m.path, e.path, e.pathLength) == 0;
}

// A module is a file mapped from offset 0, extended by the later mappings of
// the same file.
void CollectModules() {
    g_moduleCount = 0;
    for (size_t i = 0; i < g_mappingCount; ++i) {
        const Mapping& m = g_mappings[i];
        if (m.pathLength == 0 || m.path[0] != '/' ||
            (m.pathLength > 5 && memcmp(m.path, "/dev/", 5) == 0)) {
            continue;
        }
        ModuleEntry* found = nullptr;
        for (size_t k = g_moduleCount; k > 0; --k) {
            if (SamePath(m, g_modules[k - 1])) {
                found = &g_modules[k - 1];
                break;
            }
        }
        if (found && m.start >= found->base) {
            if (m.end > found->end) {
                found->end = m.end;
            }
        } else if (m.offset == 0 && g_moduleCount < kModuleLimit) {
            g_modules[g_moduleCount++] = ModuleEntry{m.start, m.end, m.path, m.pathLength, 0, {}};
        }
    }
}

class DumpFile {
public:
    explicit DumpFile(int fd) : m_fd(fd) {}

    void Seek(uint32_t offset) { m_offset = offset; }
    uint32_t Offset() const { return m_offset; }

    // Appends data at the current end and returns where it went.
    minidump::LocationDescriptor Append(const void* data, size_t size) {
        Align();
        minidump::LocationDescriptor where{static_cast<uint32_t>(size), m_offset};
        WriteAt(m_offset, data, size);
        m_offset += static_cast<uint32_t>(size);
        return where;
    }

    void WriteAt(uint32_t offset, const void* data, size_t size) {
        const char* bytes = static_cast<const char*>(data);
        size_t done = 0;
        while (done < size) {
            ssize_t wrote = pwrite(m_fd, bytes + done, size - done, offset + static_cast<off_t>(done));
            if (wrote <= 0) {
                m_failed = true;
                return;
            }
            done += static_cast<size_t>(wrote);
        }
    }

    // Appends a UTF-16 string record (length in bytes, then the text).
    uint32_t AppendString(const char* text, size_t length) {
        size_t units = 0;
        for (size_t i = 0; i < length && units < kModuleNameLimit;) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            uint32_t code = c;
            size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            if (extra > 0 && i + extra < length) {
                code = c & (0x3F >> extra);
                for (size_t k = 1; k <= extra; ++k) {
                    code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
                }
            } else {
                extra = 0;
                if (c >= 0x80) {
                    code = '?';
                }
            }
            i += extra + 1;
            if (code >= 0x10000) {
                code -= 0x10000;
                g_nameBuffer[units++] = static_cast<uint16_t>(0xD800 + (code >> 10));
                if (units < kModuleNameLimit) {
                    g_nameBuffer[units++] = static_cast<uint16_t>(0xDC00 + (code & 0x3FF));
                }
            } else {
                g_nameBuffer[units++] = static_cast<uint16_t>(code);
            }
        }
        g_nameBuffer[units] = 0;
        uint32_t bytes = static_cast<uint32_t>(units * 2);
        Align();
        uint32_t rva = m_offset;
        WriteAt(m_offset, &bytes, sizeof(bytes));
        WriteAt(m_offset + 4, g_nameBuffer, units * 2 + 2);
        m_offset += 4 + bytes + 2;
        return rva;
    }

    bool Failed() const { return m_failed; }

private:
    void Align() {
        constexpr uint32_t kAlignment = 8;
        m_offset = (m_offset + kAlignment - 1) & ~(kAlignment - 1);
    }

    int m_fd;
    uint32_t m_offset = 0;
    bool m_failed = false;
};

// The GNU build id of an ELF image mapped at base, read from its notes in
// memory; lets a debugger match the module to the file on disk.
size_t ReadBuildId(const ModuleEntry& module, uint8_t* out) {
    const uint64_t base = module.base;
    if (!Readable(base, sizeof(Elf64_Ehdr))) {
        return 0;
    }
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(base);
    if (memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 || header->e_ident[EI_CLASS] != ELFCLASS64 ||
        header->e_phentsize != sizeof(Elf64_Phdr)) {
        return 0;
    }
    const uint64_t phdrs = base + header->e_phoff;
    if (!Readable(phdrs, uint64_t{header->e_phnum} * sizeof(Elf64_Phdr))) {
        return 0;
    }
    const auto* ph = reinterpret_cast<const Elf64_Phdr*>(phdrs);
    uint64_t lowest = ~uint64_t{0};
    for (int i = 0; i < header->e_phnum; ++i) {
        if (ph[i].p_type == PT_LOAD && ph[i].p_vaddr < lowest) {
            lowest = ph[i].p_vaddr & ~uint64_t{0xFFF};
        }
    }
    if (lowest == ~uint64_t{0}) {
        return 0;
    }
    const uint64_t bias = base - lowest;
    for (int i = 0; i < header->e_phnum; ++i) {
        if (ph[i].p_type != PT_NOTE) {
            continue;
        }
        uint64_t note = bias + ph[i].p_vaddr;
        const uint64_t notesEnd = note + ph[i].p_memsz;
        if (!Readable(note, ph[i].p_memsz)) {
            continue;
        }
        while (note + sizeof(Elf64_Nhdr) <= notesEnd) {
            const auto* nh = reinterpret_cast<const Elf64_Nhdr*>(note);
            const uint64_t name = note + sizeof(Elf64_Nhdr);
            const uint64_t desc = name + ((nh->n_namesz + 3) & ~3u);
            const uint64_t next = desc + ((nh->n_descsz + 3) & ~3u);
            if (next > notesEnd) {
                break;
            }
            if (nh->n_type == NT_GNU_BUILD_ID && nh->n_namesz == 4 &&
                memcmp(reinterpret_cast<const char*>(name), "GNU", 4) == 0 &&
                nh->n_descsz <= kBuildIdLimit) {
                memcpy(out, reinterpret_cast<const void*>(desc), nh->n_descsz);
                return nh->n_descsz;
            }
            note = next;
        }
    }
    return 0;
}

void FillContext(const ucontext_t* uc, minidump::ContextAmd64& ctx) {
    memset(&ctx, 0, sizeof(ctx));
#if defined(__x86_64__)
    if (!uc) {
        return;
    }
    const greg_t* g = uc->uc_mcontext.gregs;
    ctx.contextFlags = minidump::kContextControl | minidump::kContextInteger |
                       minidump::kContextSegments;
    ctx.cs = static_cast<uint16_t>(g[REG_CSGSFS] & 0xFFFF);
    ctx.gs = static_cast<uint16_t>((g[REG_CSGSFS] >> 16) & 0xFFFF);
    ctx.fs = static_cast<uint16_t>((g[REG_CSGSFS] >> 32) & 0xFFFF);
    ctx.eflags = static_cast<uint32_t>(g[REG_EFL]);
    ctx.rax = static_cast<uint64_t>(g[REG_RAX]);
    ctx.rcx = static_cast<uint64_t>(g[REG_RCX]);
    ctx.rdx = static_cast<uint64_t>(g[REG_RDX]);
    ctx.rbx = static_cast<uint64_t>(g[REG_RBX]);
    ctx.rsp = static_cast<uint64_t>(g[REG_RSP]);
    ctx.rbp = static_cast<uint64_t>(g[REG_RBP]);
    ctx.rsi = static_cast<uint64_t>(g[REG_RSI]);
    ctx.rdi = static_cast<uint64_t>(g[REG_RDI]);
    ctx.r8 = static_cast<uint64_t>(g[REG_R8]);
    ctx.r9 = static_cast<uint64_t>(g[REG_R9]);
    ctx.r10 = static_cast<uint64_t>(g[REG_R10]);
    ctx.r11 = static_cast<uint64_t>(g[REG_R11]);
    ctx.r12 = static_cast<uint64_t>(g[REG_R12]);
    ctx.r13 = static_cast<uint64_t>(g[REG_R13]);
    ctx.r14 = static_cast<uint64_t>(g[REG_R14]);
    ctx.r15 = static_cast<uint64_t>(g[REG_R15]);
    ctx.rip = static_cast<uint64_t>(g[REG_RIP]);
    if (uc->uc_mcontext.fpregs) {
        static_assert(sizeof(*uc->uc_mcontext.fpregs) == sizeof(ctx.floatSave));
        memcpy(ctx.floatSave, uc->uc_mcontext.fpregs, sizeof(ctx.floatSave));
        ctx.mxCsr = uc->uc_mcontext.fpregs->mxcsr;
        ctx.contextFlags |= minidump::kContextFloatingPoint;
    }
#endif
}

// Major.minor.build from a kernel release such as "6.1.0-18-amd64".
void ParseRelease(const char* release, uint32_t numbers[3]) {
    const char* p = release;
    for (int i = 0; i < 3; ++i) {
        numbers[i] = 0;
        while (*p >= '0' && *p <= '9') {
            numbers[i] = numbers[i] * 10 + static_cast<uint32_t>(*p - '0');
            ++p;
        }
        if (*p != '.') {
            break;
        }
        ++p;
    }
}

}  // namespace

namespace {

// The memory the dump carries: the crashing thread's stack and the code
// around the instruction pointer.
struct DumpedMemory {
    minidump::MemoryDescriptor ranges[2] = {};
    uint32_t count = 0;
    bool haveStack = false;
};

void AppendRange(DumpFile& file, DumpedMemory& memory, uint64_t low, uint64_t high) {
    memory.ranges[memory.count].startOfMemoryRange = low;
    memory.ranges[memory.count].memory =
        file.Append(reinterpret_cast<const void*>(low), static_cast<size_t>(high - low));
    ++memory.count;
}

DumpedMemory AppendMemory(DumpFile& file, const minidump::ContextAmd64& ctx) {
    DumpedMemory memory;
    // The stack from below the red zone up to its end.
    if (ctx.rsp != 0) {
        uint64_t low = ctx.rsp > kRedZone ? ctx.rsp - kRedZone : 0;
        const Mapping* stackMap = FindMapping(ctx.rsp);
        if (stackMap && stackMap->readable) {
            if (low < stackMap->start) {
                low = stackMap->start;
            }
            uint64_t high = stackMap->end;
            if (high - low > kStackLimit) {
                high = low + kStackLimit;
            }
            AppendRange(file, memory, low, high);
            memory.haveStack = true;
        }
    }
    if (ctx.rip != 0) {
        const Mapping* codeMap = FindMapping(ctx.rip);
        if (codeMap && codeMap->readable) {
            uint64_t low = ctx.rip - codeMap->start > kCodeAround ? ctx.rip - kCodeAround : codeMap->start;
            uint64_t high = codeMap->end - ctx.rip > kCodeAround ? ctx.rip + kCodeAround : codeMap->end;
            AppendRange(file, memory, low, high);
        }
    }
    return memory;
}

// The thread list: the crashing thread.
minidump::Directory ThreadListStream(DumpFile& file, uint32_t threadId, const DumpedMemory& memory,
                                     minidump::LocationDescriptor context) {
    struct {
        uint32_t count;
        minidump::Thread thread;
    } __attribute__((packed)) list{};
    list.count = 1;
    list.thread.threadId = threadId;
    if (memory.haveStack) {
        list.thread.stack = memory.ranges[0];
    }
    list.thread.threadContext = context;
    return {minidump::kThreadList, file.Append(&list, sizeof(list))};
}

// The exception: the signal, its code and the faulting address.
minidump::Directory ExceptionStream(DumpFile& file, uint32_t threadId, int signo, const siginfo_t* info,
                                    minidump::LocationDescriptor context) {
    minidump::ExceptionStream exception{};
    exception.threadId = threadId;
    exception.exceptionRecord.exceptionCode = static_cast<uint32_t>(signo);
    if (info) {
        exception.exceptionRecord.exceptionFlags = static_cast<uint32_t>(info->si_code);
        exception.exceptionRecord.exceptionAddress = reinterpret_cast<uint64_t>(info->si_addr);
    }
    exception.threadContext = context;
    return {minidump::kException, file.Append(&exception, sizeof(exception))};
}

// The modules: names and build ids first, then the list that points at them.
minidump::Directory ModuleListStream(DumpFile& file) {
    for (size_t i = 0; i < g_moduleCount; ++i) {
        ModuleEntry& module = g_modules[i];
        module.nameRva = file.AppendString(module.path, module.pathLength);
        uint8_t record[4 + kBuildIdLimit];
        size_t idLength = ReadBuildId(module, record + 4);
        if (idLength > 0) {
            const uint32_t signature = minidump::kCvSignatureElfBuildId;
            memcpy(record, &signature, 4);
            module.cvRecord = file.Append(record, 4 + idLength);
        }
    }
    const uint32_t count = static_cast<uint32_t>(g_moduleCount);
    minidump::LocationDescriptor where = file.Append(&count, sizeof(count));
    for (size_t i = 0; i < g_moduleCount; ++i) {
        minidump::Module record{};
        record.baseOfImage = g_modules[i].base;
        record.sizeOfImage = static_cast<uint32_t>(g_modules[i].end - g_modules[i].base);
        record.moduleNameRva = g_modules[i].nameRva;
        record.cvRecord = g_modules[i].cvRecord;
        file.WriteAt(file.Offset(), &record, sizeof(record));
        file.Seek(file.Offset() + sizeof(record));
    }
    where.dataSize = static_cast<uint32_t>(sizeof(count) + g_moduleCount * sizeof(minidump::Module));
    return {minidump::kModuleList, where};
}

minidump::Directory MemoryListStream(DumpFile& file, const DumpedMemory& memory) {
    const uint32_t count = memory.count;
    minidump::LocationDescriptor where = file.Append(&count, sizeof(count));
    file.WriteAt(file.Offset(), memory.ranges, count * sizeof(memory.ranges[0]));
    file.Seek(file.Offset() + static_cast<uint32_t>(count * sizeof(memory.ranges[0])));
    where.dataSize = static_cast<uint32_t>(sizeof(count) + count * sizeof(memory.ranges[0]));
    return {minidump::kMemoryList, where};
}

// The system: processor, processor count, kernel release as version numbers
// and the whole uname text.
minidump::Directory SystemInfoStream(DumpFile& file) {
    struct utsname names {};
    uname(&names);
    minidump::SystemInfo system{};
    system.processorArchitecture = minidump::kArchitectureAmd64;
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof(cpus), &cpus) == 0) {
        system.numberOfProcessors = static_cast<uint8_t>(CPU_COUNT(&cpus));
    }
    uint32_t version[3];
    ParseRelease(names.release, version);
    system.majorVersion = version[0];
    system.minorVersion = version[1];
    system.buildNumber = version[2];
    system.platformId = minidump::kPlatformLinux;
    char description[sizeof(names.release) + sizeof(names.version) + sizeof(names.machine) + 3];
    size_t length = 0;
    const char* parts[] = {names.release, " ", names.version, " ", names.machine};
    for (const char* part : parts) {
        size_t n = strnlen(part, sizeof(names.release));
        memcpy(description + length, part, n);
        length += n;
    }
    system.csdVersionRva = file.AppendString(description, length);
    return {minidump::kSystemInfo, file.Append(&system, sizeof(system))};
}

minidump::Directory MiscInfoStream(DumpFile& file) {
    minidump::MiscInfo misc{};
    misc.sizeOfInfo = sizeof(misc);
    misc.flags1 = minidump::kMiscProcessId;
    misc.processId = static_cast<uint32_t>(getpid());
    return {minidump::kMiscInfo, file.Append(&misc, sizeof(misc))};
}

void WriteHeader(DumpFile& file, const minidump::Directory* directory, size_t directorySize,
                 uint32_t streams) {
    minidump::Header header{};
    header.signature = minidump::kSignature;
    header.version = minidump::kVersion;
    header.numberOfStreams = streams;
    header.streamDirectoryRva = sizeof(header);
    header.timeDateStamp = static_cast<uint32_t>(time(nullptr));
    file.WriteAt(sizeof(header), directory, directorySize);
    file.WriteAt(0, &header, sizeof(header));
}

}  // namespace

bool WriteCrashDump(const char* path, int signo, const siginfo_t* info, const ucontext_t* context) {
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    DumpFile file(fd);
    const uint32_t threadId = static_cast<uint32_t>(syscall(SYS_gettid));

    g_mapsLength = ReadWholeFile("/proc/self/maps", g_maps, kMapsLimit);
    ParseMaps();
    CollectModules();

    // The directory is written last, in the room kept for it after the header.
    minidump::Directory directory[kStreamCount] = {};
    file.Seek(sizeof(minidump::Header) + sizeof(directory));
    uint32_t stream = 0;

    minidump::ContextAmd64 ctx;
    FillContext(context, ctx);
    const minidump::LocationDescriptor contextWhere = file.Append(&ctx, sizeof(ctx));
    const DumpedMemory memory = AppendMemory(file, ctx);

    directory[stream++] = ThreadListStream(file, threadId, memory, contextWhere);
    directory[stream++] = ExceptionStream(file, threadId, signo, info, contextWhere);
    directory[stream++] = ModuleListStream(file);
    directory[stream++] = MemoryListStream(file, memory);
    directory[stream++] = SystemInfoStream(file);
    directory[stream++] = MiscInfoStream(file);
    size_t statusLength = ReadWholeFile("/proc/self/status", g_status, kStatusLimit);
    directory[stream++] = {minidump::kLinuxProcStatus, file.Append(g_status, statusLength)};
    directory[stream++] = {minidump::kLinuxMaps, file.Append(g_maps, g_mapsLength)};
    size_t cpuLength = ReadWholeFile("/proc/cpuinfo", g_status, kStatusLimit);
    directory[stream++] = {minidump::kLinuxCpuInfo, file.Append(g_status, cpuLength)};

    WriteHeader(file, directory, sizeof(directory), stream);
    close(fd);
    return !file.Failed();
}
