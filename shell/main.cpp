// The program entry. <SDL.h> is included so that where SDL supplies the entry point through its
// SDLmain library (it renames main to SDL_main there), this main is the one it calls.
#include <SDL.h>

#include "lifecycle.h"

int main(int, char**) {
    return scrapvolt::runShell();
}
