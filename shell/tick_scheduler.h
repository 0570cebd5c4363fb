#pragma once

#include <cstdint>

namespace scrapvolt {

// The tick scheduler's clock: ticks fall due at the tick rate, measured in whole milliseconds,
// with the fraction of a tick carried in thousandths so that the long-run rate is exact.
struct TickClock {
    uint32_t tickBase = 0;       // milliseconds of the last time ticks were taken
    uint32_t tickRemainder = 0;  // thousandths of a tick carried over, 0 to 999
    int32_t rate = 100;          // the last rate ticks were counted at, always positive
};

struct TickDecision {
    uint32_t due = 0;      // ticks to run now
    uint32_t sleepMs = 0;  // when none is due: milliseconds until the next one
};

// Looks at the clock at `now` (milliseconds, wrapping). When ticks are due the clock moves on to
// `now` and keeps the fraction; otherwise it is left alone and the wait is returned.
// A `rate` below 1 (a game that wrote the global tickRate directly) cannot be counted with: it is
// put back to the last rate the clock used, as setTickRate would have kept it.
TickDecision takeDueTicks(TickClock& clock, uint32_t now, int32_t& rate);

}  // namespace scrapvolt
