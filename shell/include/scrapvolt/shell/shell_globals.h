#pragma once

#include <cstdint>

namespace scrapvolt {

// Values the shell shares with game code.
extern int32_t tickRate;  // ticks per second, 100 unless the game sets another (positive) rate
void setTickRate(int32_t rate);
int32_t getTickRate();

extern float framesPerSecond;
extern uint32_t mouseButtons;  // while the mouse is captured: low 8 bits of SDL_GetMouseState
extern int32_t mouseDeltaX;    // accumulated while captured; game code resets them if it wants
extern int32_t mouseDeltaY;
extern bool mouseCaptureEnabled;  // game setting: keep the mouse captured after an event

}  // namespace scrapvolt
