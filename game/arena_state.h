#pragma once

#include "shell/game.h"

// The arena's one state. It holds no data: the arena it builds, drives and draws is static.
class ArenaState : public GameState {
  public:
    void handleMessage(const Message* message) override;
};
