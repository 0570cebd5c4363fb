#pragma once
// Link-time stand-ins for every SDL 1.2, SDL_mixer, OpenGL and GLU function that the shell and
// the game call. Linked into a test, they take the place of the real libraries: each call
// becomes one line of a log ("glTranslatef 0 0 40"), and what SDL answers comes from sdlScript.
// runShell runs the shell's own main against them in a child process.
#include <SDL.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct SdlScript {
    std::vector<std::vector<SDL_Event>> frames;  // events polled per frame; later frames: SDL_QUIT
    std::vector<SDL_Rect> modes;                 // SDL_ListModes, largest first
    std::string refused;  // SDL_SetVideoMode call i fails when refused[i] is 'x'
    uint32_t swapMs = 3;  // SDL_GetTicks starts at 1000 and moves by SDL_Delay and each swap
    int mouseX = 0, mouseY = 0;
    Uint8 mouseButtons = 0;
    Uint8 keys[SDLK_LAST] = {};
    int initResult = 0;  // SDL_Init
};
extern SdlScript sdlScript;

// Appends the line "<words> <numbers>" (numbers as the shortest text that reads back the same
// float, or double). A glVertex call continues the line of the glVertex call just before it.
void record(std::initializer_list<std::string_view> words,
            std::initializer_list<double> numbers = {});
std::string takeLog();  // the lines since the last take, each ended by '\n'

struct ShellRun {
    std::vector<std::string> frames;  // [0] start-up, then one per frame; shutdown in the last
    std::string output;               // standard output
    int status = -1;                  // exit status of main
    long allocations = -1;            // from the second buffer swap to the last one
};
ShellRun runShell();

// Lines joined, each ended by '\n'.
std::string lines(const std::vector<std::string>& list);
