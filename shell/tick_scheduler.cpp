#include "tick_scheduler.h"

namespace scrapvolt {

TickDecision takeDueTicks(TickClock& clock, uint32_t now, int32_t& rate) {
    if (rate < 1) {
        rate = clock.rate;
    }
    clock.rate = rate;
    const uint32_t elapsed = now - clock.tickBase;
    const uint32_t perSecond = static_cast<uint32_t>(rate);
    // acc counts thousandths of a tick: elapsed ms x rate ticks/s.
    const uint32_t acc = elapsed * perSecond + clock.tickRemainder;
    TickDecision decision;
    decision.due = acc / 1000;
    if (decision.due == 0) {
        // (1000 - acc) / rate ms remain until the next tick; adding rate / 2 rounds to nearest.
        decision.sleepMs = (static_cast<uint32_t>(rate >> 1) - acc + 1000) / perSecond;
        return decision;
    }
    clock.tickRemainder = acc % 1000;
    clock.tickBase = now;
    return decision;
}

}  // namespace scrapvolt
