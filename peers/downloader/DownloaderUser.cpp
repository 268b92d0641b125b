#include "peers/downloader/DownloaderUser.h"

#include <mutex>

namespace {

std::mutex g_lock;
std::u16string g_user;

}  // namespace

std::u16string CurrentDownloaderUser() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_user;
}

bool RememberDownloaderUser(const std::u16string& user) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (user == g_user) {
        return false;
    }
    g_user = user;
    return true;
}
