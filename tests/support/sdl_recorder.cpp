#include "tests/support/sdl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL_mixer.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstring>

#include "tests/support/allocation_counter.h"

// The shell's main, renamed so that a test can run it as often as it likes.
#define main shellMain
#include "shell/main.cpp"
#undef main

SdlScript sdlScript;

namespace rec {

char log[1 << 20];  // fixed, so that recording allocates nothing
size_t length = 0, lineStart = 0;
uint32_t now = 1000, ticksWithoutTime = 0;
size_t frame = 0, event = 0, modeCalls = 0, swaps = 0;
bool frameStarts = true;
int cursor = 1;
uint64_t allocationsAtSecondSwap = 0, allocationsAtLastSwap = 0;
SDL_Surface surface{};
SDL_Rect* modeList[16];

void append(std::string_view text) {
    const size_t n = std::min(text.size(), sizeof log - length);
    std::memcpy(log + length, text.data(), n);
    length += n;
}

[[noreturn]] void finish(int status) {
    const auto allocations = static_cast<double>(allocationsAtLastSwap - allocationsAtSecondSwap);
    record({"#allocations"}, {swaps > 1 ? allocations : -1.0});
    std::fflush(stdout);
    if (write(3, log, length) < 0) {
        status = 5;
    }
    _exit(status);
}

const char* glName(GLenum value) {
    static const std::pair<GLenum, const char*> names[] = {
        {GL_PROJECTION, "PROJECTION"},
        {GL_MODELVIEW, "MODELVIEW"},
        {GL_DEPTH_TEST, "DEPTH_TEST"},
        {GL_CULL_FACE, "CULL_FACE"},
        {GL_BLEND, "BLEND"},
        {GL_TEXTURE_2D, "TEXTURE_2D"},
        {GL_SRC_ALPHA, "SRC_ALPHA"},
        {GL_LINES, "LINES"},
        {GL_POLYGON, "POLYGON"},
        {GL_ONE_MINUS_SRC_ALPHA, "ONE_MINUS_SRC_ALPHA"},
        {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, "COLOR|DEPTH"}};
    for (const auto& [known, name] : names) {
        if (known == value) {
            return name;
        }
    }
    return "UNKNOWN";
}

const char* flagNames(Uint32 flags) {
    return flags == (SDL_OPENGL | SDL_RESIZABLE)    ? "OPENGL|RESIZABLE"
           : flags == (SDL_OPENGL | SDL_FULLSCREEN) ? "OPENGL|FULLSCREEN"
                                                    : "OTHER";
}

}  // namespace rec

void record(std::initializer_list<std::string_view> words, std::initializer_list<double> numbers) {
    using namespace rec;
    const std::string_view line(log + lineStart, length - lineStart), first = *words.begin();
    const bool continues = first.starts_with("glVertex") && line.starts_with(first) &&
                           line.size() > first.size() && line[first.size()] == ' ';
    if (!continues) {
        if (length > 0) {
            append("\n");
        }
        lineStart = length;
        for (std::string_view word : words) {
            append(length > lineStart ? " " : "");
            append(word);
        }
    }
    for (double number : numbers) {
        char text[32];
        const auto single = static_cast<float>(number);
        const auto end = double(single) == number ? std::to_chars(text, text + 32, single).ptr
                                                  : std::to_chars(text, text + 32, number).ptr;
        append(" ");
        append({text, end});
    }
}

std::string takeLog() {
    std::string taken(rec::log, rec::length);
    rec::length = rec::lineStart = 0;
    return taken.empty() ? taken : taken + "\n";
}

ShellRun runShell() {
    FILE* log = std::tmpfile();
    FILE* output = std::tmpfile();
    const pid_t child = fork();
    if (child == 0) {
        dup2(fileno(output), 1);
        dup2(fileno(log), 3);
        char name[] = "scrapvolt";
        char* argv[] = {name, nullptr};
        rec::finish(shellMain(1, argv));
    }
    ShellRun run;
    waitpid(child, &run.status, 0);
    run.status = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
    const auto read = [](FILE* file) {
        std::string text;
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;) {
            text += static_cast<char>(c);
        }
        std::fclose(file);
        return text;
    };
    std::string text = read(log) + "\n";
    run.output = read(output);
    const size_t trailer = text.rfind("#allocations ");
    if (trailer != std::string::npos) {
        run.allocations = std::stol(text.substr(trailer + 13));
        text.erase(trailer);
    }
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find("#\n", start), text.size());
        run.frames.push_back(text.substr(start, end - start));
    }
    return run;
}

std::string lines(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& line : list) {
        text += line + "\n";
    }
    return text;
}

// The stand-ins. SDL and SDL_mixer:

int SDL_Init(Uint32 flags) {
    record({"SDL_Init"}, {double(flags)});
    return sdlScript.initResult;
}
void SDL_Quit() {
    record({"SDL_Quit"});
}
int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunkSize) {
    record({"Mix_OpenAudio"},
           {double(frequency), double(format), double(channels), double(chunkSize)});
    return 0;
}
void Mix_CloseAudio() {
    record({"Mix_CloseAudio"});
}

int SDL_GL_SetAttribute(SDL_GLattr attribute, int value) {
    static const char* const names[] = {
        "RED_SIZE",    "GREEN_SIZE",         "BLUE_SIZE",          "ALPHA_SIZE",
        "BUFFER_SIZE", "DOUBLEBUFFER",       "DEPTH_SIZE",         "STENCIL_SIZE",
        "ACCUM_RED",   "ACCUM_GREEN",        "ACCUM_BLUE",         "ACCUM_ALPHA",
        "STEREO",      "MULTISAMPLEBUFFERS", "MULTISAMPLESAMPLES", "ACCELERATED_VISUAL",
        "SWAP_CONTROL"};
    record({"SDL_GL_SetAttribute", attribute <= SDL_GL_SWAP_CONTROL ? names[attribute] : "?"},
           {double(value)});
    return 0;
}

SDL_Rect** SDL_ListModes(SDL_PixelFormat* format, Uint32 flags) {
    record({"SDL_ListModes", format == nullptr ? "NULL" : "FORMAT", rec::flagNames(flags)});
    size_t i = 0;
    for (; i < sdlScript.modes.size() && i + 1 < std::size(rec::modeList); ++i) {
        rec::modeList[i] = &sdlScript.modes[i];
    }
    rec::modeList[i] = nullptr;
    return rec::modeList;
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    record({"SDL_SetVideoMode", rec::flagNames(flags)},
           {double(width), double(height), double(bpp)});
    const size_t call = rec::modeCalls++;
    if (call < sdlScript.refused.size() && sdlScript.refused[call] == 'x') {
        return nullptr;
    }
    rec::surface.w = width;
    rec::surface.h = height;
    rec::surface.flags = flags;
    return &rec::surface;
}

void SDL_GL_SwapBuffers() {
    record({"SDL_GL_SwapBuffers"});
    rec::now += sdlScript.swapMs;
    rec::ticksWithoutTime = 0;
    rec::allocationsAtLastSwap = allocation_counter::total();
    if (++rec::swaps == 2) {
        rec::allocationsAtSecondSwap = rec::allocationsAtLastSwap;
    }
}

int SDL_PollEvent(SDL_Event* event) {
    using namespace rec;
    if (frameStarts) {
        record({"#"});
        frameStarts = false;
        if (frame > sdlScript.frames.size() + 10) {
            finish(4);  // the quit events are not heeded
        }
    }
    record({"SDL_PollEvent"});
    static const std::vector<SDL_Event> quit{SDL_Event{SDL_QUIT}};
    const auto& events = frame < sdlScript.frames.size() ? sdlScript.frames[frame] : quit;
    if (rec::event < events.size()) {
        *event = events[rec::event++];
        return 1;
    }
    ++frame;
    rec::event = 0;
    frameStarts = true;
    return 0;
}

Uint8* SDL_GetKeyState(int* count) {
    record({"SDL_GetKeyState"});
    if (count != nullptr) {
        *count = SDLK_LAST;
    }
    return sdlScript.keys;
}
Uint8 SDL_GetMouseState(int* x, int* y) {
    record({"SDL_GetMouseState"});
    *x = sdlScript.mouseX;
    *y = sdlScript.mouseY;
    return sdlScript.mouseButtons;
}
void SDL_WarpMouse(Uint16 x, Uint16 y) {
    record({"SDL_WarpMouse"}, {double(x), double(y)});
}
int SDL_ShowCursor(int toggle) {
    record({"SDL_ShowCursor"}, {double(toggle)});
    const int before = rec::cursor;
    rec::cursor = toggle >= 0 ? toggle : before;
    return before;
}
int SDL_SetGamma(float red, float green, float blue) {
    record({"SDL_SetGamma"}, {red, green, blue});
    return 0;
}
void SDL_WM_SetCaption(const char* title, const char* icon) {
    record({"SDL_WM_SetCaption", title, icon});
}

Uint32 SDL_GetTicks() {
    record({"SDL_GetTicks"}, {double(rec::now)});
    if (++rec::ticksWithoutTime > 100000) {
        rec::finish(3);  // the loop spins: time moves only by SDL_Delay and the swaps
    }
    return rec::now;
}
void SDL_Delay(Uint32 ms) {
    record({"SDL_Delay"}, {double(ms)});
    rec::now += ms;
    rec::ticksWithoutTime = 0;
}

// OpenGL and GLU:

void glMatrixMode(GLenum mode) {
    record({"glMatrixMode", rec::glName(mode)});
}
void glLoadIdentity() {
    record({"glLoadIdentity"});
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    record({"gluPerspective"}, {fovy, aspect, zNear, zFar});
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    record({"glScalef"}, {x, y, z});
}
void glEnable(GLenum cap) {
    record({"glEnable", rec::glName(cap)});
}
void glDisable(GLenum cap) {
    record({"glDisable", rec::glName(cap)});
}
void glBlendFunc(GLenum source, GLenum target) {
    record({"glBlendFunc", rec::glName(source), rec::glName(target)});
}
void glClear(GLbitfield mask) {
    record({"glClear", rec::glName(mask)});
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    record({"glColor3f"}, {r, g, b});
}
void glPushMatrix() {
    record({"glPushMatrix"});
}
void glPopMatrix() {
    record({"glPopMatrix"});
}
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    record({"glTranslatef"}, {x, y, z});
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    record({"glRotatef"}, {angle, x, y, z});
}
void glBegin(GLenum mode) {
    record({"glBegin", rec::glName(mode)});
}
void glEnd() {
    record({"glEnd"});
}
void glVertex2f(GLfloat x, GLfloat y) {
    record({"glVertex2f"}, {x, y});
}
void glVertex2fv(const GLfloat* v) {
    record({"glVertex2fv"}, {v[0], v[1]});
}
