#include "LineTime.h"

#include <algorithm>

namespace kalvor_sim {

LocalInstant LineTimeModel::NextArrival(const LocalInstant& readAt) {
    if (!m_origin) {
        m_origin = readAt;
    }
    const std::int64_t read = MillisecondsBetween(*m_origin, readAt) * 1000;
    // 10 bits at 9600 baud are 1041 2/3 us: the thirds are carried so that no time is lost.
    m_byteRemainder += 2;
    const std::int64_t carried = m_byteRemainder / 3;
    m_byteRemainder %= 3;
    m_lineFreeAt = std::max(read, m_lineFreeAt) + kByteMicroseconds + carried;
    return AddMilliseconds(*m_origin, m_lineFreeAt / 1000);
}

} // namespace kalvor_sim
