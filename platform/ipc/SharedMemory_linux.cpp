#include "platform/ipc/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ipc/IpcName.h"

namespace {

constexpr mode_t kEveryoneReadWrite = 0666;

}  // namespace

SharedMemory::~SharedMemory() {
    Unmap();
    Close();
}

int SharedMemory::CreateOrOpen(const std::string& name, size_t size) {
    Unmap();
    Close();
    std::string posix = PosixIpcName(name);
    int fd = shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL, kEveryoneReadWrite);
    if (fd >= 0) {
        // The creation mode passes through the umask; the block is meant for
        // every user, as a null DACL would grant.
        fchmod(fd, kEveryoneReadWrite);
    } else if (errno == EEXIST) {
        fd = shm_open(posix.c_str(), O_RDWR, 0);
    }
    if (fd < 0) {
        return errno;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 ||
        (static_cast<size_t>(st.st_size) < size && ftruncate(fd, static_cast<off_t>(size)) != 0)) {
        int error = errno;
        close(fd);
        return error;
    }
    m_fd = fd;
    m_size = size;
    return 0;
}

int SharedMemory::Map() {
    if (m_fd < 0) {
        return EBADF;
    }
    if (m_data != nullptr) {
        return 0;
    }
    void* data = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (data == MAP_FAILED) {
        return errno;
    }
    m_data = data;
    return 0;
}

void SharedMemory::Unmap() {
    if (m_data != nullptr) {
        munmap(m_data, m_size);
        m_data = nullptr;
    }
}

void SharedMemory::Close() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

int SharedMemory::Remove(const std::string& name) {
    return shm_unlink(PosixIpcName(name).c_str()) == 0 ? 0 : errno;
}
