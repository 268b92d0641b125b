#pragma once

#include <cstddef>
#include <string>

// A named block of memory shared between processes (POSIX shared memory, not
// backed by any file of ours). Results are 0 or the system error code.
class SharedMemory {
public:
    SharedMemory() = default;
    ~SharedMemory();
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Creates the block with `size` bytes, or opens it when it exists
    // (growing it to `size` when smaller). A block this call creates is
    // readable and writable by every user.
    int CreateOrOpen(const std::string& name, size_t size);
    // Maps the whole block for reading and writing.
    int Map();
    void Unmap();
    void Close();

    bool IsMapped() const { return m_data != nullptr; }
    void* Data() const { return m_data; }
    size_t Size() const { return m_size; }

    // Deletes the name; processes that have the block keep it.
    static int Remove(const std::string& name);

private:
    int m_fd = -1;
    size_t m_size = 0;
    void* m_data = nullptr;
};
