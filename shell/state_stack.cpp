#include <scrapvolt/shell/state_stack.h>

namespace scrapvolt {

namespace {

StateStack* gameStateStack = nullptr;

void deliver(GameState* state, Message& message, int32_t code) {
    message.code = code;
    message.data = nullptr;
    state->handleMessage(&message);
}

void release(const StateStack& stack, GameState* state) {
    if (state != stack.notOwned) {
        delete state;
    }
}

void applyNext(StateStack& stack) {
    if (stack.current + 1 < stack.count) {
        ++stack.current;
    }
}

void applyBack(StateStack& stack) {
    if (stack.current > 0) {
        --stack.current;
        stack.deleteStatesAboveCurrent();
    }
}

// The current state goes; those above it move down one place, so the one just above becomes
// current.
void applyRemove(StateStack& stack) {
    if (stack.current + 1 >= stack.count) {
        return;
    }
    GameState* removed = stack.states[stack.current];
    for (int32_t i = stack.current; i + 1 < stack.count; ++i) {
        stack.states[i] = stack.states[i + 1];
    }
    --stack.count;
    stack.states[stack.count] = nullptr;
    release(stack, removed);
}

}  // namespace

void StateStack::startWith(GameState* root, const GameState* gameObject) {
    *this = StateStack{};
    notOwned = gameObject;
    pushState(root);
}

bool StateStack::pushState(GameState* state) {
    if (state == nullptr || count >= maxStates) {
        return false;
    }
    states[count++] = state;
    return true;
}

bool StateStack::requestStateOp(int32_t code) {
    if (pendingCount >= maxPendingOps) {
        return false;
    }
    pendingOps[pendingCount++] = code;
    return true;
}

void StateStack::deleteStatesAboveCurrent() {
    while (count - 1 > current) {
        --count;
        GameState* state = states[count];
        states[count] = nullptr;
        release(*this, state);
    }
}

void StateStack::applyStateOps(Message& message) {
    if (count == 0) {
        pendingCount = 0;
        return;
    }
    message.tick = 0;
    deliver(currentState(), message, MSG_LEAVE);
    while (pendingCount != 0) {
        switch (pendingOps[--pendingCount]) {
            case STATE_OP_NEXT:
                applyNext(*this);
                break;
            case STATE_OP_BACK:
                applyBack(*this);
                break;
            case STATE_OP_REMOVE:
                applyRemove(*this);
                break;
            default:
                break;
        }
    }
    deliver(currentState(), message, MSG_ENTER);
    deliver(currentState(), message, MSG_VIDEO_RESET);
}

void connectGameStateStack(StateStack* stack) {
    gameStateStack = stack;
}

bool pushState(GameState* state) {
    return gameStateStack != nullptr && gameStateStack->pushState(state);
}

bool requestStateOp(int32_t code) {
    return gameStateStack != nullptr && gameStateStack->requestStateOp(code);
}

}  // namespace scrapvolt
