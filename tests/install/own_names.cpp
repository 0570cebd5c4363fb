// A program whose own names are among those the libraries use: it includes every installed
// header (given ahead of this file with -include) and links with the shell and the engine. Any
// name of ours left outside our namespace fails the compile or, for a global variable, the link.
#include <SDL.h>
#include <sys/socket.h>

#include <cstdint>

struct Vec2 {
    double x, y;
};
struct Pose {
    Vec2 at;
};
struct Polygon {
    int sides;
};
struct Body {
    Polygon* shape;
};
struct World {
    Body bodies[2];
};
struct Message {
    const char* text;
};
static SDL_Surface* screen;
int32_t tickRate = 30;
float framesPerSecond = 60.0f;
int viewWidth = 640;
double fieldOfView = 90.0;
void pushState() {}

// Linked, never run: the shell's main would call it.
scrapvolt::Game* createGame() {
    static Polygon ownPolygon{4};
    static Body ownBody{&ownPolygon};
    static World ownWorld{{ownBody, ownBody}};
    static Vec2 offset{1.0, 2.0};
    static Pose pose{offset};
    static Message hello{"hello"};
    screen = nullptr;
    pushState();
    static scrapvolt::Polygon polygon;
    static scrapvolt::Body body(polygon);
    static scrapvolt::World world;
    world.add(body);
    // <sys/socket.h> names its flags MSG_ too.
    scrapvolt::setTickRate(tickRate + ownWorld.bodies[1].shape->sides + MSG_PEEK +
                           static_cast<int>(pose.at.x + framesPerSecond + fieldOfView) + viewWidth +
                           hello.text[0]);
    return nullptr;
}
