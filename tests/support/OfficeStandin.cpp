#include "tests/support/OfficeStandin.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

constexpr int kPollMs = 100;

}  // namespace

ContainerJournal::ContainerJournal(std::string path) : m_path(std::move(path)) {
    std::ofstream(m_path).close();
}

std::vector<std::string> ContainerJournal::Lines() const {
    std::ifstream in(m_path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool ContainerJournal::WaitLine(const std::string& prefix, std::string* found, int timeoutMs,
                                int count) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        int seen = 0;
        for (const std::string& line : Lines()) {
            if (line.rfind(prefix, 0) == 0 && ++seen == count) {
                if (found) {
                    *found = line;
                }
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

int ContainerJournal::StartedPid() const {
    const std::string prefix = "started ";
    for (const std::string& line : Lines()) {
        if (line.rfind(prefix, 0) == 0) {
            return std::atoi(line.c_str() + prefix.size());
        }
    }
    return 0;
}

std::vector<std::string> CommandLineOf(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> argv;
    std::string item;
    for (char c : all) {
        if (c == '\0') {
            argv.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return argv;
}

std::vector<int> PidsOfProgram(const std::string& name) {
    std::vector<int> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::error_code error;
        auto exe = std::filesystem::read_symlink(entry.path() / "exe", error);
        if (!error && exe.filename() == name) {
            found.push_back(std::stoi(pid));
        }
    }
    return found;
}

bool WaitNoProcessNamed(const std::string& name, int except, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        bool found = false;
        for (int pid : PidsOfProgram(name)) {
            found = found || pid != except;
        }
        if (!found) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}
