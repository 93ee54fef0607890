#pragma once
// The timing every quadrangle environment of the process shares: when the previous update
// ran, and when any quadrangle first saw all four corners. Microseconds of a steady clock.

#include <cstdint>

namespace Kestrel::Orb::Tracking {

class QuadrangleClock {
public:
    using Source = int64_t (*)();

    // Now, from the steady clock or from the source a test set.
    static int64_t now();
    // Seconds since the previous update (0 for the first one), and `now` becomes the previous.
    static double sinceLastUpdate(int64_t now);
    // The moment the first quadrangle found its mask complete; `now` when this is that moment.
    static int64_t maskCompletedAt(int64_t now);

    // Tests: a replacement clock (null restores the steady clock), and a fresh start.
    static void setSource(Source source);
    static void reset();
};

} // namespace Kestrel::Orb::Tracking
