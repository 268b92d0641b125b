#include "http/RequestFramer.h"

#include <gtest/gtest.h>

namespace {

using State = RequestFramer::State;

// Feeds the text one byte at a time; the number of bytes it took to decide.
size_t BytesToDecide(RequestFramer& framer, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (framer.Feed(text.substr(i, 1)) != State::kIncomplete) {
            return i + 1;
        }
    }
    return 0;
}

TEST(RequestFramer, CompleteExactlyAtTheLastAnnouncedByte) {
    const std::string head = "POST /p HTTP/1.1\r\nContent-Length: 5\r\n\r\n";
    RequestFramer framer(1024, 1024);
    EXPECT_EQ(BytesToDecide(framer, head + "abcde" + "trailing"), head.size() + 5);
    EXPECT_EQ(framer.Current(), State::kComplete);

    RequestFramer get(1024, 1024);
    const std::string request = "GET /x HTTP/1.1\r\nHost: a\r\n\r\n";
    EXPECT_EQ(BytesToDecide(get, request), request.size());
}

TEST(RequestFramer, RefusesAsSoonAsTheBytesShowIt) {
    RequestFramer put(1024, 1024);
    EXPECT_EQ(BytesToDecide(put, "PUT / HTTP/1.1\r\n\r\n"), 5u);
    EXPECT_EQ(put.Current(), State::kBadMethod);

    RequestFramer header(16, 1024);
    EXPECT_EQ(BytesToDecide(header, "GET /" + std::string(40, 'a')), 17u);
    EXPECT_EQ(header.Current(), State::kHeaderTooLarge);

    RequestFramer body(1024, 10);
    body.Feed("POST /p HTTP/1.1\r\nContent-Length: 11\r\n\r\n");
    EXPECT_EQ(body.Current(), State::kBodyTooLarge);
    // Decided states stay as they are.
    EXPECT_EQ(body.Feed("more"), State::kBodyTooLarge);
}

}  // namespace
