// The shell's platform edge on SDL 1.2, SDL_mixer, OpenGL 1.x and GLU: the only file of the shell
// that calls them. It translates SDL's events into the shell's plain records and carries out what
// the shell decided; it decides nothing itself beyond the number of samples a context can have.
// Not supported here: more than maxModes full-screen modes (the smallest beyond are not offered),
// and any audio beyond opening and closing the device. The one X11 request, in
// compositing_hint.cpp, is made only where SDL runs on X11.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_mixer.h>

#include <scrapvolt/shell/video_mode.h>

#include "compositing_hint.h"
#include "platform.h"

namespace scrapvolt::platform {
namespace {

// The one event record: MSG_SDL_EVENT hands the current state a pointer to it.
SDL_Event event{};

constexpr int maxModes = 64;
ModeSize modes[maxModes];

// Samples asked for in a multisampled mode: 16, or the most that an OpenGL context has reported
// when that is fewer. SDL shows a full-screen mode smaller than the desktop by drawing into an
// off-screen buffer with the samples asked for and scaling it to the screen; where the buffer
// cannot have them it draws unscaled into a corner of the screen instead.
int samplesAsked = 16;

InputEvent::Key keyOf(SDLKey sym) {
    using Key = InputEvent::Key;
    switch (sym) {
        case SDLK_RETURN:
            return Key::returnKey;
        case SDLK_f:
            return Key::f;
        case SDLK_h:
            return Key::h;
        case SDLK_m:
            return Key::m;
        case SDLK_b:
            return Key::b;
        case SDLK_ESCAPE:
            return Key::escape;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return Key::ctrl;
        case SDLK_LALT:
        case SDLK_RALT:
            return Key::alt;
        default:
            return Key::other;
    }
}

InputEvent translate(SDL_Event& sdl) {
    using Type = InputEvent::Type;
    InputEvent in;
    in.record = &sdl;
    switch (sdl.type) {
        case SDL_ACTIVEEVENT:
            // Some focus was lost: of the input, the mouse, or the window's being shown.
            in.type = sdl.active.gain == 0 && sdl.active.state != 0 ? Type::focusLost : Type::other;
            break;
        case SDL_MOUSEBUTTONDOWN:
            in.type = Type::mouseButton;
            break;
        case SDL_QUIT:
            in.type = Type::quit;
            break;
        case SDL_VIDEORESIZE:
            in.type = Type::resize;
            in.width = sdl.resize.w;
            in.height = sdl.resize.h;
            break;
        case SDL_KEYDOWN:
            in.type = Type::key;
            in.key = keyOf(sdl.key.keysym.sym);
            in.alt = (sdl.key.keysym.mod & KMOD_ALT) != 0;
            in.ctrl = (sdl.key.keysym.mod & KMOD_CTRL) != 0;
            in.meta = (sdl.key.keysym.mod & KMOD_META) != 0;
            break;
        default:
            break;
    }
    return in;
}

// True when the current context supports fewer samples than were asked for; they are then
// lowered for this and every later mode.
bool lowerSamplesToSupported() {
    GLint most = 0;  // stays 0 where GL_MAX_SAMPLES is unknown (no framebuffer objects)
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    if (most <= 0 || most >= samplesAsked) {
        return false;
    }
    samplesAsked = most;
    return true;
}

// SDL may keep the OpenGL context across a mode change, and with it the old mode's viewport,
// so the viewport is set to the whole of the new screen. The projection is flipped in z so that
// eye-space z grows into the screen.
void setFixedGlState(float aspect) {
    glViewport(0, 0, screen->w, screen->h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, aspect, 0.1, 400.0);
    glScalef(1.0f, 1.0f, -1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
}

}  // namespace

bool start() {
    return SDL_Init(0xFFFF) >= 0;
}

void setDefaultGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 32);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
}

void setDepthSize(int bits) {
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, bits);
}

void openAudio() {
    Mix_OpenAudio(44100, AUDIO_S16LSB, 1, 4096);
}

void stop() {
    Mix_CloseAudio();
    SDL_Quit();
}

bool pollEvent(InputEvent& polled) {
    if (!SDL_PollEvent(&event)) {
        return false;
    }
    polled = translate(event);
    return true;
}

bool screenCentre(int32_t& x, int32_t& y) {
    if (screen == nullptr) {
        return false;
    }
    x = screen->w >> 1;
    y = screen->h >> 1;
    return true;
}

ModeSize shownSize() {
    const SDL_Surface* shown = SDL_GetVideoSurface();
    return shown != nullptr ? ModeSize{shown->w, shown->h} : ModeSize{0, 0};
}

uint32_t readPointer(int32_t& x, int32_t& y) {
    int px = 0;
    int py = 0;
    const Uint8 buttons = SDL_GetMouseState(&px, &py);
    x = px;
    y = py;
    return buttons;
}

void warpPointer(int32_t x, int32_t y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
}

void showCursor(bool shown) {
    SDL_ShowCursor(shown ? 1 : 0);
}

uint32_t ticks() {
    return SDL_GetTicks();
}

void delay(uint32_t ms) {
    SDL_Delay(ms);
}

void swapBuffers() {
    SDL_GL_SwapBuffers();
}

void setGamma(float gamma) {
    SDL_SetGamma(gamma, gamma, gamma);
}

std::span<const ModeSize> fullScreenModes() {
    SDL_Rect** listed = SDL_ListModes(nullptr, SDL_OPENGL | SDL_FULLSCREEN);
    if (listed == nullptr || listed == reinterpret_cast<SDL_Rect**>(-1)) {
        return {};
    }
    int count = 0;
    for (; count < maxModes && listed[count] != nullptr; ++count) {
        modes[count] = ModeSize{listed[count]->w, listed[count]->h};
    }
    return {modes, static_cast<size_t>(count)};
}

bool openVideoMode(const ViewShape& view, bool fullScreen, bool multisample) {
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, multisample ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, multisample ? samplesAsked : 0);
    const Uint32 flags = SDL_OPENGL | (fullScreen ? SDL_FULLSCREEN : SDL_RESIZABLE);
    screen = SDL_SetVideoMode(view.width, view.height, 0, flags);
    if (screen != nullptr && multisample && lowerSamplesToSupported()) {
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samplesAsked);
        screen = SDL_SetVideoMode(view.width, view.height, 0, flags);
    }
    if (screen == nullptr) {
        return false;
    }
    keepWindowComposited();
    setFixedGlState(view.aspect);
    return true;
}

}  // namespace scrapvolt::platform
