#include "shell/video_mode.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "compositing_hint.h"

SDL_Surface* screen = nullptr;
int32_t viewWidth = 0;
int32_t viewHeight = 0;
float fieldOfView = 0.0f;
float horizontalFieldOfView = 0.0f;

namespace {

constexpr float verticalAngle = 45.0f;
constexpr int lowResolutionLines = 480;

// Samples asked for in a multisampled mode: 16, or the most that an OpenGL context has reported
// when that is fewer. SDL shows a full-screen mode smaller than the desktop by drawing into an
// off-screen buffer with the samples asked for and scaling it to the screen; where the buffer
// cannot have them it draws unscaled into a corner of the screen instead.
int32_t samplesAsked = 16;

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

bool isList(SDL_Rect** modes) {
    return modes != nullptr && modes != reinterpret_cast<SDL_Rect**>(-1) && modes[0] != nullptr;
}

ModeSize sizeOf(const SDL_Rect* mode) {
    return {mode->w, mode->h};
}

}  // namespace

ModeSize chooseFullScreenSize(SDL_Rect** modes, int32_t width, int32_t height,
                              bool highResolution) {
    if (!isList(modes)) {
        return {width, height};
    }
    if (highResolution) {
        return sizeOf(modes[0]);
    }
    int i = 0;
    while (modes[i] != nullptr && modes[i]->h > lowResolutionLines) {
        ++i;
    }
    if (modes[i] != nullptr && modes[i]->h == lowResolutionLines) {
        return sizeOf(modes[i]);
    }
    if (i > 0) {
        return sizeOf(modes[i - 1]);
    }
    return {width, height};
}

ViewShape shapeView(int32_t width, int32_t height) {
    ViewShape view{width, height, 0.0f, 0.0f};
    if (width <= 0 || height <= 0) {
        return view;
    }
    view.aspect = static_cast<float>(width) / static_cast<float>(height);
    view.horizontalFieldOfView = view.aspect * verticalAngle;
    if (view.horizontalFieldOfView > 180.0f) {
        view.height = static_cast<int32_t>(static_cast<float>(width) * 0.25f);
        view.aspect = static_cast<float>(width) / static_cast<float>(view.height);
        view.horizontalFieldOfView = view.aspect * verticalAngle;
    }
    return view;
}

namespace {

// SDL may keep the OpenGL context across a mode change, and with it the old mode's viewport,
// so the viewport is set to the whole of the new screen.
void setFixedGlState(float aspect, const SDL_Surface* surface) {
    glViewport(0, 0, surface->w, surface->h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(verticalAngle, aspect, 0.1, 400.0);
    glScalef(1.0f, 1.0f, -1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
}

}  // namespace

bool setVideoMode(int32_t width, int32_t height, bool fullScreen, bool multisample,
                  bool highResolution, float /*gamma*/) {
    ModeSize size{width, height};
    if (fullScreen) {
        size = chooseFullScreenSize(SDL_ListModes(nullptr, SDL_OPENGL | SDL_FULLSCREEN), width,
                                    height, highResolution);
    }
    viewWidth = size.width;
    viewHeight = size.height;
    fieldOfView = verticalAngle;
    const ViewShape view = shapeView(size.width, size.height);
    horizontalFieldOfView = view.horizontalFieldOfView;
    if (size.width <= 0 || size.height <= 0) {
        screen = nullptr;  // a window of no pixels has no aspect to draw in
        return false;
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
    scrapvolt::keepWindowComposited();
    setFixedGlState(view.aspect, screen);
    return true;
}
