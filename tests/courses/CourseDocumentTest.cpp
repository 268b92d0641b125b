// The course cache: which names may become a cached file, and that only a
// whole document ever becomes one.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <iterator>

#include "courses/view/CourseDocument.h"
#include "tests/support/Files.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"

namespace {

std::string Url(const ScriptedServer& server) {
    return "http://127.0.0.1:" + std::to_string(server.port()) + "/course/a.docx";
}

TEST(CourseDocument, TheCachePathIsTheLearnersFolderAndTheHash) {
    EXPECT_EQ(CourseDocumentPath("/data", "u1", "h1", "docx"), "/data/UserCourse/u1/h1.docx");
}

TEST(CourseDocument, AWholeBodyBecomesTheCachedCopy) {
    TempDir dir;
    ScriptedServer server([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\ndocument");
        return true;
    });
    const std::string path = dir.file("h1.docx");
    ASSERT_TRUE(DownloadCourseDocument(Url(server), path, [] { return false; }));
    EXPECT_EQ(ReadWholeFile(path), "document");
    // Nothing but the document is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(CourseDocument, ABrokenOrRefusedDownloadLeavesNothingInTheCache) {
    TempDir dir;
    const std::string path = dir.file("h1.docx");
    // The connection ends after 10 of 100 bytes, then a 404 page.
    ScriptedServer cut([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
        return true;
    });
    EXPECT_FALSE(DownloadCourseDocument(Url(cut), path, [] { return false; }));
    ScriptedServer missing([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
        return true;
    });
    EXPECT_FALSE(DownloadCourseDocument(Url(missing), path, [] { return false; }));
    // A folder that cannot take the file.
    ScriptedServer fine([](ScriptedServer&, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        return true;
    });
    EXPECT_FALSE(DownloadCourseDocument(Url(fine), dir.file("no/such/folder/h1.docx"),
                                        [] { return false; }));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CourseDocument, ACancelledDownloadEndsWhileTheServerIsSilent) {
    TempDir dir;
    ScriptedServer silent([](ScriptedServer& server, int fd, const std::string&) {
        ScriptedServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n01234");
        return false;  // never more
    });
    std::atomic<bool> cancelled{false};
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancelled = true;
    });
    const std::string path = dir.file("h1.docx");
    EXPECT_FALSE(DownloadCourseDocument(Url(silent), path, [&] { return cancelled.load(); }));
    closer.join();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
