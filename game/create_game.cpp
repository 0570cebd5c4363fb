#include "game/arena_game.h"

// The game module's entry point for the shell, kept out of the game library so that a test
// build can wrap the same game in its own createGame.
scrapvolt::Game* createGame() {
    return new ArenaGame;
}
