#include "messaging.h"

namespace scrapvolt {

namespace {

void deliver(LoopState& loop, GameState* receiver, int32_t code, void* data) {
    if (receiver == nullptr) {
        return;
    }
    loop.message.code = code;
    loop.message.data = data;
    receiver->handleMessage(&loop.message);
}

}  // namespace

void sendToGame(LoopState& loop, int32_t code, void* data) {
    deliver(loop, loop.game, code, data);
}

void sendToCurrent(LoopState& loop, int32_t code, void* data) {
    deliver(loop, loop.stack.currentState(), code, data);
}

void broadcast(LoopState& loop, int32_t code) {
    deliver(loop, loop.game, code, nullptr);
    GameState* current = loop.stack.currentState();
    if (current != loop.game) {
        deliver(loop, current, code, nullptr);
    }
}

}  // namespace scrapvolt
