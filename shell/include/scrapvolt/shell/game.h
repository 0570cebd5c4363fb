#pragma once

#include <scrapvolt/shell/message.h>

namespace scrapvolt {

// A state of the game; only the current state receives per-frame messages.
class GameState {
  public:
    virtual void handleMessage(const Message* message) = 0;
    virtual ~GameState() = default;
};

// The game object: lives for the whole run and may itself stand on the state stack.
class Game : public GameState {
  public:
    // The root state of the state stack; the shell owns it from then on.
    virtual GameState* createFirstState() = 0;
    // Base name of the preferences file, or null for "zantprefs".
    virtual const char* prefsName() = 0;
};

}  // namespace scrapvolt

// Supplied by the game module: a new game object, owned and later deleted by the shell.
scrapvolt::Game* createGame();
