#pragma once

#include <scrapvolt/shell/game.h>

// The arena's one state. It holds no data: the arena it builds, drives and draws is static.
class ArenaState : public scrapvolt::GameState {
  public:
    void handleMessage(const scrapvolt::Message* message) override;
};
