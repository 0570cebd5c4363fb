// Preloaded (LD_PRELOAD) into a program under test to print to its standard output what it asks
// of SDL and the OpenGL state its frames start from:
//   mode <width> <height> stencil <size asked for>                        at each SDL_SetVideoMode
//   frame depth <0|1> cull <0|1> blend <0|1> <src> <dst> caption <title>  at the first swap after
//   projection <16 values>                                                each mode
#include <GL/gl.h>
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>

namespace {

int stencilAsked = -1;
bool modeSet = false;

template <typename Function>
Function sdl(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int SDL_GL_SetAttribute(SDL_GLattr attribute, int value) {
    stencilAsked = attribute == SDL_GL_STENCIL_SIZE ? value : stencilAsked;
    return sdl<int (*)(SDL_GLattr, int)>("SDL_GL_SetAttribute")(attribute, value);
}

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    std::printf("mode %d %d stencil %d\n", width, height, stencilAsked);
    modeSet = true;
    return sdl<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode")(width, height, bpp,
                                                                            flags);
}

extern "C" void SDL_GL_SwapBuffers() {
    if (modeSet) {
        modeSet = false;
        GLint blend[2] = {};
        GLfloat projection[16];
        char *title = nullptr, *icon = nullptr;
        glGetIntegerv(GL_BLEND_SRC, &blend[0]);
        glGetIntegerv(GL_BLEND_DST, &blend[1]);
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        SDL_WM_GetCaption(&title, &icon);
        std::printf("frame depth %d cull %d blend %d %d %d caption %s\nprojection",
                    glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_CULL_FACE), glIsEnabled(GL_BLEND),
                    blend[0], blend[1], title != nullptr ? title : "(none)");
        for (GLfloat value : projection) {
            std::printf(" %.7g", value + 0.0f);  // + 0 turns -0 into 0
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    sdl<void (*)()>("SDL_GL_SwapBuffers")();
}
