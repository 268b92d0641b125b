#pragma once

#include <string>

// The learner the downloader reported last (its curUser), kept for the whole
// process: the course manager page sets it, other threads may read it.
std::u16string CurrentDownloaderUser();
// true when the user differs from the remembered one (which it then becomes).
bool RememberDownloaderUser(const std::u16string& user);
