#include "http/RequestFramer.h"

#include <cstdlib>

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLengthHeader = "Content-Length:";
// Enough bytes to tell the longest accepted method with its space.
constexpr std::size_t kMethodCheckBytes = 4;

bool TakenMethod(const std::string& bytes) {
    return bytes.compare(0, 4, "GET ") == 0 || bytes.compare(0, 5, "POST ") == 0 ||
           bytes.compare(0, 5, "HEAD ") == 0;
}

}  // namespace

RequestFramer::State RequestFramer::Feed(std::string_view bytes) {
    if (m_state != State::kIncomplete) {
        return m_state;
    }
    m_bytes.append(bytes);
    m_state = Decide();
    return m_state;
}

RequestFramer::State RequestFramer::Decide() {
    if (!m_methodChecked && m_bytes.size() > kMethodCheckBytes) {
        m_methodChecked = true;
        if (!TakenMethod(m_bytes)) {
            return State::kBadMethod;
        }
    }
    if (!m_headerDone) {
        std::size_t end = m_bytes.find(kHeaderEnd);
        if (end == std::string::npos) {
            return m_bytes.size() > m_maxHeaderBlock ? State::kHeaderTooLarge : State::kIncomplete;
        }
        if (end > m_maxHeaderBlock) {
            return State::kHeaderTooLarge;
        }
        m_headerDone = true;
        m_bodyStart = end + kHeaderEnd.size();
        // Only the header block is searched: text inside a body must never
        // make us wait for bytes that will not come.
        std::size_t found = std::string_view(m_bytes).substr(0, end).find(kLengthHeader);
        if (found != std::string::npos) {
            // As atoi reads it: blanks, a sign, the leading digits.
            m_bodyLength =
                std::strtoll(m_bytes.c_str() + found + kLengthHeader.size(), nullptr, 10);
        }
        if (m_bodyLength < 1) {
            return State::kComplete;
        }
        if (static_cast<unsigned long long>(m_bodyLength) > m_maxBody) {
            return State::kBodyTooLarge;
        }
        // One allocation for the whole request instead of copies as it grows.
        m_bytes.reserve(m_bodyStart + static_cast<std::size_t>(m_bodyLength));
    }
    const long long received = static_cast<long long>(m_bytes.size() - m_bodyStart);
    return received >= m_bodyLength ? State::kComplete : State::kIncomplete;
}
