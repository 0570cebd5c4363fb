// A white hexagon turning on a black screen. The shell supplies main and the window and quits on
// Escape (its own key on the root state); this file supplies the game through createGame.
#include <GL/gl.h>
#include <scrapvolt/physics/polygon.h>
#include <scrapvolt/shell/game.h>
#include <scrapvolt/shell/shell_globals.h>

#include <cmath>

using namespace scrapvolt;

namespace {

class SpinningState : public GameState {
  public:
    SpinningState() {
        // Vertices clockwise (y up), as the physics engine wants them.
        for (int i = 0; i < 6; ++i) {
            const float a = -static_cast<float>(i) * 3.14159265f / 3.0f;
            hexagon_.addVertex(3.0f * std::cos(a), 3.0f * std::sin(a));
        }
    }

    void handleMessage(const Message* message) override {
        switch (message->code) {
            case MSG_TICK:
                hexagon_.angle += 0.02f;  // radians per tick
                break;
            case MSG_DRAW:
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                glPushMatrix();
                glTranslatef(0.0f, 0.0f, 20.0f);  // the shell's view looks along +z
                hexagon_.draw();
                glPopMatrix();
                break;
            default:
                break;
        }
    }

  private:
    Polygon hexagon_;
};

class SpinningGame : public Game {
  public:
    void handleMessage(const Message* message) override {
        if (message->code == MSG_STARTUP) {
            setTickRate(60);
        }
    }
    GameState* createFirstState() override { return new SpinningState; }
    const char* prefsName() override { return "SpinningPolygon"; }
};

}  // namespace

// Called once by the shell's main; the shell owns and later deletes the game.
scrapvolt::Game* createGame() {
    return new SpinningGame;
}
