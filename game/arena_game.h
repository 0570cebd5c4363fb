#pragma once

#include <scrapvolt/shell/game.h>

// The arena's game object: tunes the shell's OpenGL set-up and tick rate and creates the one
// state. It keeps no data; the preferences file holds only the shell's settings.
class ArenaGame : public scrapvolt::Game {
  public:
    void handleMessage(const scrapvolt::Message* message) override;
    scrapvolt::GameState* createFirstState() override;
    const char* prefsName() override;
    uint64_t stateHash() override;  // the arena's bodies: poses and velocities
};
