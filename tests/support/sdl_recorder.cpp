#include "tests/support/sdl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL_mixer.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <tuple>
#include <utility>

#include "lifecycle.h"
#include "replay.h"
#include "tests/support/allocation_counter.h"

SdlScript sdlScript;

namespace {

char text[1 << 20];  // the log; fixed, so that recording allocates nothing
size_t length = 0, lineStart = 0, frame = 0, event = 0, modeCalls = 0, swaps = 0;
uint32_t now = 1000, ticksWithoutTime = 0;
bool frameStarts = true;
int cursor = 1;
uint64_t allocations[2];  // at the second and at the last swap
SDL_Surface surface{}, *shown = nullptr;
// The full-screen modes SDL lists, largest first.
SDL_Rect modes[] = {{0, 0, 1024, 768}, {0, 0, 720, 480}, {0, 0, 640, 400}};
SDL_Rect* modeList[] = {&modes[0], &modes[1], &modes[2], nullptr};

std::string runDirectory;  // of runShell: the log, and standard output

void append(std::string_view part) {
    const size_t n = std::min(part.size(), sizeof text - length);
    length += (std::memcpy(text + length, part.data(), n), n);
}

[[noreturn]] void finish(int status) {
    record({"#allocations"}, {swaps > 1 ? double(allocations[1] - allocations[0]) : -1.0});
    std::ofstream(runDirectory + "/log").write(text, length);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

}  // namespace

void record(std::initializer_list<std::string_view> words, std::initializer_list<double> numbers) {
    const std::string_view line(text + lineStart, length - lineStart), first = *words.begin();
    if (!first.starts_with("glVertex") || !line.starts_with(first) ||
        line.substr(first.size(), 1) != " ") {
        append(length > 0 ? "\n" : "");
        lineStart = length;
        for (std::string_view word : words) {
            append(length > lineStart ? " " : "");
            append(word);
        }
    }
    for (double number : numbers) {
        char digits[32];
        const auto single = static_cast<float>(number);
        append(" ");
        append({digits, double(single) == number ? std::to_chars(digits, digits + 32, single).ptr
                                                 : std::to_chars(digits, digits + 32, number).ptr});
    }
}

std::string takeLog() {
    std::string taken(text, length);
    length = lineStart = 0;
    return taken.empty() ? taken : taken + "\n";
}

namespace {

ShellRun runInChild(const std::function<int()>& program) {
    const std::string dir = runDirectory = makeRunDirectory();
    if (fork() == 0) {
        std::freopen((dir + "/out").c_str(), "w", stdout);
        std::freopen((dir + "/err").c_str(), "w", stderr);
        finish(program());
    }
    ShellRun run;
    wait(&run.status);
    run.status = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
    std::string log = readFile(dir + "/log") + "\n";
    run.output = readFile(dir + "/out");
    run.errors = readFile(dir + "/err");
    std::filesystem::remove_all(dir);
    const size_t trailer = std::min(log.rfind("#allocations "), log.size());
    run.allocations = trailer < log.size() ? std::stol(log.substr(trailer + 13)) : -1;
    log.resize(trailer);
    for (size_t start = 0, end; start < log.size(); start = end + 2) {
        end = std::min(log.find("#\n", start), log.size());
        run.frames.push_back(log.substr(start, end - start));
    }
    return run;
}

}  // namespace

ShellRun runShell() {
    return runInChild(scrapvolt::runShell);
}

ShellRun runReplay(const std::string& journal) {
    return runInChild([&] { return scrapvolt::replayJournal(journal.c_str(), false); });
}

std::string pickLines(const ShellRun& run, const std::function<std::string(std::string_view)>& pick,
                      std::string_view frameEnd) {
    std::string picked;
    for (const std::string& frame : run.frames) {
        for (size_t at = 0, end; at < frame.size(); at = end + 1) {
            picked += pick(std::string_view(frame).substr(at, (end = frame.find('\n', at)) - at));
        }
        picked += frameEnd;
    }
    return picked;
}

std::string lines(std::string calls) {
    return std::regex_replace(calls, std::regex("; "), "\n") + "\n";
}

// The stand-ins, and the names they give.
// clang-format off
static const char* glName(GLenum value) {
#define NAME(name) {GL_##name, #name}
    static const std::pair<GLenum, const char*> names[] = {NAME(PROJECTION), NAME(MODELVIEW),
        NAME(DEPTH_TEST), NAME(CULL_FACE), NAME(BLEND), NAME(TEXTURE_2D), NAME(SRC_ALPHA),
        NAME(ONE_MINUS_SRC_ALPHA), NAME(LINES), NAME(POLYGON), NAME(MAX_SAMPLES),
        {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, "COLOR|DEPTH"}};
#undef NAME
    const auto* found = std::ranges::find(names, value, &std::pair<GLenum, const char*>::first);
    return found != std::end(names) ? found->second : "UNKNOWN";
}
static const char* flagNames(Uint32 flags) {
    return flags == (SDL_OPENGL | SDL_RESIZABLE) ? "OPENGL|RESIZABLE"
         : flags == (SDL_OPENGL | SDL_FULLSCREEN) ? "OPENGL|FULLSCREEN" : "OTHER";
}
int SDL_Init(Uint32 flags) { record({"SDL_Init"}, {double(flags)}); return 0; }
void SDL_Quit() { record({"SDL_Quit"}); }
int Mix_OpenAudio(int rate, Uint16 format, int channels, int chunk) {
    record({"Mix_OpenAudio"}, {double(rate), double(format), double(channels), double(chunk)});
    return 0;
}
void Mix_CloseAudio() { record({"Mix_CloseAudio"}); }
int SDL_GL_SetAttribute(SDL_GLattr attribute, int value) {
    static const char* const names[] = {"RED_SIZE", "GREEN_SIZE", "BLUE_SIZE", "ALPHA_SIZE",
        "BUFFER_SIZE", "DOUBLEBUFFER", "DEPTH_SIZE", "STENCIL_SIZE", "ACCUM_RED", "ACCUM_GREEN",
        "ACCUM_BLUE", "ACCUM_ALPHA", "STEREO", "MULTISAMPLEBUFFERS", "MULTISAMPLESAMPLES",
        "ACCELERATED_VISUAL", "SWAP_CONTROL"};
    record({"SDL_GL_SetAttribute", names[std::min<int>(attribute, std::size(names) - 1)]},
           {double(value)});
    return 0;
}
SDL_Rect** SDL_ListModes(SDL_PixelFormat* format, Uint32 flags) {
    record({"SDL_ListModes", format == nullptr ? "NULL" : "FORMAT", flagNames(flags)});
    return modeList;
}
SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    record({"SDL_SetVideoMode", flagNames(flags)}, {double(width), double(height), double(bpp)});
    std::tie(surface.w, surface.h, surface.flags) = std::tuple(width, height, flags);
    const bool refuse = modeCalls < sdlScript.refused.size() && sdlScript.refused[modeCalls] == 'x';
    return ++modeCalls, shown = refuse ? nullptr : &surface;
}
SDL_Surface* SDL_GetVideoSurface() { return shown; }
// No window manager to give hints to, so the shell makes none of the X11 requests below.
// (SDL_syswm.h would bring in Xlib and its macros.)
extern "C" int SDL_GetWMInfo(struct SDL_SysWMinfo*) { return 0; }
extern "C" unsigned long XInternAtom(void*, const char*, int) { std::abort(); }
extern "C" int XChangeProperty(void*, unsigned long, unsigned long, unsigned long, int, int,
                               const unsigned char*, int) { std::abort(); }
extern "C" int XFlush(void*) { std::abort(); }
void SDL_GL_SwapBuffers() {
    record({"SDL_GL_SwapBuffers"});
    std::tie(now, ticksWithoutTime, frameStarts) = std::tuple(now + sdlScript.swapMs, 0, true);
    allocations[++swaps == 2 ? 0 : 1] = allocations[1] = allocation_counter::total();
}
int SDL_PollEvent(SDL_Event* polled) {
    if (std::exchange(frameStarts, false)) record({"#"});
    if (frame > sdlScript.frames.size() + 10) finish(4);  // quits are not heeded
    record({"SDL_PollEvent"});
    static const std::vector<SDL_Event> quit{SDL_Event{SDL_QUIT}};
    const auto& events = frame < sdlScript.frames.size() ? sdlScript.frames[frame] : quit;
    if (event < events.size()) {
        *polled = events[event++];
        if (polled->type == SDL_KEYDOWN || polled->type == SDL_KEYUP) {  // as SDL keeps them
            sdlScript.keys[polled->key.keysym.sym] = polled->type == SDL_KEYDOWN;
        }
        return 1;
    }
    return std::tie(frame, event, frameStarts) = std::tuple(frame + 1, 0, true), 0;
}
Uint8* SDL_GetKeyState(int*) { record({"SDL_GetKeyState"}); return sdlScript.keys; }
Uint8 SDL_GetMouseState(int* x, int* y) {
    record({"SDL_GetMouseState"});
    return std::tie(*x, *y) = std::tuple(sdlScript.mouseX, sdlScript.mouseY), sdlScript.mouseButtons;
}
void SDL_WarpMouse(Uint16 x, Uint16 y) { record({"SDL_WarpMouse"}, {double(x), double(y)}); }
int SDL_ShowCursor(int toggle) {
    return record({"SDL_ShowCursor"}, {double(toggle)}), std::exchange(cursor, toggle < 0 ? cursor : toggle);
}
int SDL_SetGamma(float r, float g, float b) { record({"SDL_SetGamma"}, {r, g, b}); return 0; }
void SDL_WM_SetCaption(const char* title, const char* icon) {
    record({"SDL_WM_SetCaption", title, icon});
}
Uint32 SDL_GetTicks() {
    if (++ticksWithoutTime > 100000) finish(3);  // spinning: only delays and swaps take time
    return record({"SDL_GetTicks"}, {double(now)}), now;
}
void SDL_Delay(Uint32 ms) { record({"SDL_Delay"}, {double(ms)}); now += ms, ticksWithoutTime = 0; }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    record({"glViewport"}, {double(x), double(y), double(w), double(h)});
}
void glGetIntegerv(GLenum name, GLint* value) {
    record({"glGetIntegerv", glName(name)}), *value = name == GL_MAX_SAMPLES ? sdlScript.maxSamples : 0;
}
void glMatrixMode(GLenum mode) { record({"glMatrixMode", glName(mode)}); }
void glLoadIdentity() { record({"glLoadIdentity"}); }
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    record({"gluPerspective"}, {fovy, aspect, zNear, zFar});
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) { record({"glScalef"}, {x, y, z}); }
void glEnable(GLenum cap) { record({"glEnable", glName(cap)}); }
void glDisable(GLenum cap) { record({"glDisable", glName(cap)}); }
void glBlendFunc(GLenum s, GLenum d) { record({"glBlendFunc", glName(s), glName(d)}); }
void glClear(GLbitfield mask) { record({"glClear", glName(mask)}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { record({"glColor3f"}, {r, g, b}); }
void glPushMatrix() { record({"glPushMatrix"}); }
void glPopMatrix() { record({"glPopMatrix"}); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { record({"glTranslatef"}, {x, y, z}); }
void glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { record({"glRotatef"}, {a, x, y, z}); }
void glBegin(GLenum mode) { record({"glBegin", glName(mode)}); }
void glEnd() { record({"glEnd"}); }
void glVertex2f(GLfloat x, GLfloat y) { record({"glVertex2f"}, {x, y}); }
void glVertex2fv(const GLfloat* v) { record({"glVertex2fv"}, {v[0], v[1]}); }
// clang-format on
