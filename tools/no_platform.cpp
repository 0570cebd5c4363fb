// Stand-ins that do nothing for every SDL 1.2, SDL_mixer, OpenGL, GLU and X11 function the shell
// and the game call, for a scrapvolt-replay built where those libraries are not installed (the
// cross build for another architecture): it replays without a window only. SDL's held keys are
// the one array that does something here, since the game reads them and the replay sets them.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

namespace {
Uint8 keys[SDLK_LAST];
}  // namespace

// clang-format off
int SDL_Init(Uint32) { std::fputs("built without SDL: no window\n", stderr); return -1; }
void SDL_Quit() {}
int Mix_OpenAudio(int, Uint16, int, int) { return -1; }
void Mix_CloseAudio() {}
int SDL_GL_SetAttribute(SDL_GLattr, int) { return -1; }
SDL_Rect** SDL_ListModes(SDL_PixelFormat*, Uint32) { return nullptr; }
SDL_Surface* SDL_SetVideoMode(int, int, int, Uint32) { return nullptr; }
SDL_Surface* SDL_GetVideoSurface() { return nullptr; }
extern "C" int SDL_GetWMInfo(struct SDL_SysWMinfo*) { return 0; }
extern "C" unsigned long XInternAtom(void*, const char*, int) { return 0; }
extern "C" int XChangeProperty(void*, unsigned long, unsigned long, unsigned long, int, int,
                               const unsigned char*, int) { return 0; }
extern "C" int XFlush(void*) { return 0; }
void SDL_GL_SwapBuffers() {}
int SDL_PollEvent(SDL_Event*) { return 0; }
Uint8* SDL_GetKeyState(int* count) { return count != nullptr ? *count = SDLK_LAST : 0, keys; }
Uint8 SDL_GetMouseState(int* x, int* y) { return *x = *y = 0; }
void SDL_WarpMouse(Uint16, Uint16) {}
int SDL_ShowCursor(int) { return 0; }
int SDL_SetGamma(float, float, float) { return -1; }
void SDL_WM_SetCaption(const char*, const char*) {}
Uint32 SDL_GetTicks() { return 0; }
void SDL_Delay(Uint32) {}
void glViewport(GLint, GLint, GLsizei, GLsizei) {}
void glGetIntegerv(GLenum, GLint* value) { *value = 0; }
void glMatrixMode(GLenum) {}
void glLoadIdentity() {}
void gluPerspective(GLdouble, GLdouble, GLdouble, GLdouble) {}
void glScalef(GLfloat, GLfloat, GLfloat) {}
void glEnable(GLenum) {}
void glDisable(GLenum) {}
void glBlendFunc(GLenum, GLenum) {}
void glClear(GLbitfield) {}
void glColor3f(GLfloat, GLfloat, GLfloat) {}
void glPushMatrix() {}
void glPopMatrix() {}
void glTranslatef(GLfloat, GLfloat, GLfloat) {}
void glRotatef(GLfloat, GLfloat, GLfloat, GLfloat) {}
void glBegin(GLenum) {}
void glEnd() {}
void glVertex2f(GLfloat, GLfloat) {}
void glVertex2fv(const GLfloat*) {}
// clang-format on
