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

#include <algorithm>
#include <iterator>

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

enum class Run : uint8_t { live, replayInWindow, replayWithoutWindow };
Run run = Run::live;
bool windowless() {
    return run == Run::replayWithoutWindow;
}
ModeSize replayedShown{0, 0};
uint8_t replayedKeys[SDLK_LAST] = {};  // the held keys as the journal has set them

// Little-endian fields of an event's journal bytes.
struct EventBytes {
    std::span<uint8_t, maxEventBytes> out;
    size_t size = 0;
    void put(uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            out[size++] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
};
struct EventFields {
    std::span<const uint8_t> in;
    bool failed = false;
    uint32_t get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            failed = failed || in.empty();
            if (!failed) {
                v |= static_cast<uint32_t>(in[0]) << (8 * i);
                in = in.subspan(1);
            }
        }
        return v;
    }
};

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
    if (windowless()) {
        return;
    }
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
    if (run != Run::live) {
        return;  // a replay plays no sound
    }
    Mix_OpenAudio(44100, AUDIO_S16LSB, 1, 4096);
}

void stop() {
    if (windowless()) {
        return;
    }
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
    if (run != Run::live) {
        return replayedShown;
    }
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
    if (windowless()) {
        return;
    }
    SDL_ShowCursor(shown ? 1 : 0);
}

uint32_t ticks() {
    return SDL_GetTicks();
}

void delay(uint32_t ms) {
    SDL_Delay(ms);
}

void swapBuffers() {
    if (windowless()) {
        return;
    }
    SDL_GL_SwapBuffers();
}

void setGamma(float gamma) {
    if (windowless()) {
        return;
    }
    SDL_SetGamma(gamma, gamma, gamma);
}

std::span<const ModeSize> fullScreenModes() {
    if (windowless()) {
        return {};
    }
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
    if (windowless()) {
        screen = nullptr;
        return true;
    }
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

size_t encodeEvent(const InputEvent& polled, std::span<uint8_t, maxEventBytes> out) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(polled.record);
    EventBytes bytes{out};
    bytes.put(e.type, 1);
    switch (e.type) {
        case SDL_ACTIVEEVENT:
            bytes.put(e.active.gain, 1);
            bytes.put(e.active.state, 1);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            bytes.put(e.key.state, 1);
            bytes.put(e.key.keysym.scancode, 1);
            bytes.put(e.key.keysym.sym, 2);
            bytes.put(e.key.keysym.mod, 2);
            bytes.put(e.key.keysym.unicode, 2);
            break;
        case SDL_MOUSEMOTION:
            bytes.put(e.motion.state, 1);
            bytes.put(e.motion.x, 2);
            bytes.put(e.motion.y, 2);
            bytes.put(static_cast<uint16_t>(e.motion.xrel), 2);
            bytes.put(static_cast<uint16_t>(e.motion.yrel), 2);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            bytes.put(e.button.button, 1);
            bytes.put(e.button.state, 1);
            bytes.put(e.button.x, 2);
            bytes.put(e.button.y, 2);
            break;
        case SDL_VIDEORESIZE: {
            const ModeSize shown = shownSize();
            bytes.put(static_cast<uint32_t>(e.resize.w), 4);
            bytes.put(static_cast<uint32_t>(e.resize.h), 4);
            bytes.put(static_cast<uint32_t>(shown.width), 4);
            bytes.put(static_cast<uint32_t>(shown.height), 4);
            break;
        }
        default:
            if (e.type >= SDL_USEREVENT && e.type < SDL_NUMEVENTS) {
                bytes.put(static_cast<uint32_t>(e.user.code), 4);  // its pointers cannot be kept
            }
            break;
    }
    return bytes.size;
}

bool decodeEvent(std::span<const uint8_t> bytes, InputEvent& decoded) {
    EventFields in{bytes};
    event = SDL_Event{};
    event.type = static_cast<Uint8>(in.get(1));
    switch (event.type) {
        case SDL_ACTIVEEVENT:
            event.active.gain = static_cast<Uint8>(in.get(1));
            event.active.state = static_cast<Uint8>(in.get(1));
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            event.key.state = static_cast<Uint8>(in.get(1));
            event.key.keysym.scancode = static_cast<Uint8>(in.get(1));
            event.key.keysym.sym = static_cast<SDLKey>(in.get(2));
            event.key.keysym.mod = static_cast<SDLMod>(in.get(2));
            event.key.keysym.unicode = static_cast<Uint16>(in.get(2));
            break;
        case SDL_MOUSEMOTION:
            event.motion.state = static_cast<Uint8>(in.get(1));
            event.motion.x = static_cast<Uint16>(in.get(2));
            event.motion.y = static_cast<Uint16>(in.get(2));
            event.motion.xrel = static_cast<Sint16>(in.get(2));
            event.motion.yrel = static_cast<Sint16>(in.get(2));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            event.button.button = static_cast<Uint8>(in.get(1));
            event.button.state = static_cast<Uint8>(in.get(1));
            event.button.x = static_cast<Uint16>(in.get(2));
            event.button.y = static_cast<Uint16>(in.get(2));
            break;
        case SDL_VIDEORESIZE:
            event.resize.w = static_cast<int>(in.get(4));
            event.resize.h = static_cast<int>(in.get(4));
            replayedShown.width = static_cast<int32_t>(in.get(4));
            replayedShown.height = static_cast<int32_t>(in.get(4));
            break;
        default:
            if (event.type >= SDL_USEREVENT && event.type < SDL_NUMEVENTS) {
                event.user.code = static_cast<int>(in.get(4));
            }
            break;
    }
    if (in.failed || !in.in.empty()) {
        return false;
    }
    decoded = translate(event);
    return true;
}

std::span<uint8_t> keyState() {
    return {SDL_GetKeyState(nullptr), SDLK_LAST};
}

void holdKey(uint16_t key, bool held) {
    if (key < SDLK_LAST) {
        replayedKeys[key] = held ? 1 : 0;
        keyState()[key] = replayedKeys[key];
    }
}

void startReplay(bool window) {
    run = window ? Run::replayInWindow : Run::replayWithoutWindow;
}

bool viewerAskedToStop() {
    bool stop = false;
    SDL_Event own;
    while (SDL_PollEvent(&own)) {
        stop = stop || own.type == SDL_QUIT ||
               (own.type == SDL_KEYDOWN && own.key.keysym.sym == SDLK_ESCAPE);
    }
    // Polling updated SDL's held keys from the viewer's keyboard: put the journal's back.
    const std::span<uint8_t> held = keyState();
    std::copy(std::begin(replayedKeys), std::end(replayedKeys), held.begin());
    return stop;
}

}  // namespace scrapvolt::platform
