#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Finds where one received request ends, from the bytes that arrived so far:
// the header block up to the blank line, then as many body bytes as its
// Content-Length announces. It says why a request can never be complete
// (a method the channel does not take, a header block or body beyond the
// limits) as soon as the bytes show it, so that nothing waits for more.
class RequestFramer {
public:
    enum class State { kIncomplete, kComplete, kBadMethod, kHeaderTooLarge, kBodyTooLarge };

    RequestFramer(std::size_t maxHeaderBlock, std::size_t maxBody)
        : m_maxHeaderBlock(maxHeaderBlock), m_maxBody(maxBody) {}

    // Takes the next bytes; the state after them. Once the state is not
    // kIncomplete, later bytes change nothing.
    State Feed(std::string_view bytes);
    State Current() const { return m_state; }
    // Everything received (a peer that sent more than it announced leaves at
    // most the rest of its last piece behind the request).
    const std::string& Bytes() const { return m_bytes; }

private:
    State Decide();

    std::size_t m_maxHeaderBlock;
    std::size_t m_maxBody;
    std::string m_bytes;
    State m_state = State::kIncomplete;
    bool m_methodChecked = false;
    bool m_headerDone = false;
    long long m_bodyLength = 0;
    std::size_t m_bodyStart = 0;
};
