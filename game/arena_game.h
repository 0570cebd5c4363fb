#pragma once

#include "shell/game.h"

// The arena's game object: tunes the shell's OpenGL set-up and tick rate and creates the one
// state. It keeps no data; the preferences file holds only the shell's settings.
class ArenaGame : public Game {
  public:
    void handleMessage(const Message* message) override;
    GameState* createFirstState() override;
    const char* prefsName() override;
};
