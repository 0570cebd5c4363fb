#pragma once

#include <cstdint>

#include "loop_state.h"

namespace scrapvolt {

// Message delivery through the loop's one record. A broadcast goes to the game object, then to
// the current state when that is a different object.
void sendToGame(LoopState& loop, int32_t code, void* data = nullptr);
void sendToCurrent(LoopState& loop, int32_t code, void* data = nullptr);
void broadcast(LoopState& loop, int32_t code);

}  // namespace scrapvolt
