// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive_buffer.h"

#include "frame.h"

namespace protocol {

ReceiveBuffer::ReceiveBuffer(std::size_t capacity) : m_capacity(capacity) {}

void ReceiveBuffer::append(std::string_view bytes)
{
    m_bytes += bytes;
    if (m_bytes.size() <= m_capacity) {
        return;
    }
    const std::size_t newestStart = m_bytes.size() - m_capacity;
    const std::size_t esc = m_bytes.find(kEsc, newestStart);
    if (esc == std::string::npos) {
        m_bytes.clear();
    } else {
        m_bytes.erase(0, esc);
    }
}

bool ReceiveBuffer::holdsEscAndEnq() const
{
    return m_bytes.find(kEnq) != std::string::npos && m_bytes.find(kEsc) != std::string::npos;
}

std::optional<std::string> ReceiveBuffer::cutNextCandidate()
{
    for (;;) {
        const std::size_t enq = m_bytes.find(kEnq);
        if (enq == std::string::npos) {
            return std::nullopt;
        }
        const std::size_t esc = m_bytes.find(kEsc);
        if (esc == std::string::npos || esc > enq) {
            // An ENQ before any ESC ends nothing: drop through it and look again.
            m_bytes.erase(0, enq + 1);
            continue;
        }
        std::string candidate = m_bytes.substr(esc, enq - esc + 1);
        m_bytes.erase(0, enq + 1);
        return candidate;
    }
}

std::vector<std::string> ReceiveBuffer::discardCompleteCandidates()
{
    std::vector<std::string> discarded;
    while (std::optional<std::string> candidate = cutNextCandidate()) {
        discarded.push_back(std::move(*candidate));
    }
    return discarded;
}

}  // namespace protocol
