#pragma once

#include <cstdint>
#include <string>

// The update offer: the product list and the installer it names. The
// installer is a shell script padded to the configured size; run, it appends
// one JSON line ({"event":"installed","version":..}) to the mark file, so a
// test can see (and wait for, like a journal) that the client started it.
class Installer {
public:
    static constexpr const char* kDefaultVersion = "2.3.1.18";
    static constexpr int64_t kDefaultSize = 1536 * 1024;  // above 1 MiB: fetched in ranges
    static constexpr int64_t kMinSize = 256;
    static constexpr int64_t kMaxSize = 256 * 1024 * 1024;

    enum class Digest { Real, Empty, Absent };

    // False when the size is out of range.
    bool Build(const std::string& version, int64_t size, const std::string& markFile,
               Digest digest);

    const std::string& Bytes() const { return m_bytes; }
    std::string FileName() const { return "QorvaneSetup-" + m_version + ".run"; }
    std::string ProductList() const;
    std::string Md5() const;

private:
    std::string m_version;
    std::string m_bytes;
    Digest m_digest = Digest::Real;
};
