#pragma once

#include <cstdint>

/// SDL 1.2's screen surface; a program that reads its fields includes <SDL.h> itself.
struct SDL_Surface;

namespace scrapvolt {

/// Written by setVideoMode, before the mode is set, for game code to read.
extern SDL_Surface* screen;  ///< the last mode's surface; null after a refused mode
extern int32_t viewWidth;    ///< size asked for (before the wide-screen correction), pixels
extern int32_t viewHeight;
extern float fieldOfView;            ///< vertical, degrees: always 45
extern float horizontalFieldOfView;  ///< degrees

/// Opens (or re-opens) a resizable window of width x height, or full screen at a listed mode
/// (the largest with highResolution, else the 480-line one), with an OpenGL context; false when
/// SDL refuses it (then no GL call is made). The shell calls it; a game rarely needs to.
/// The OpenGL state it leaves, and that MSG_VIDEO_RESET receivers start from:
/// - viewport over the whole screen; projection gluPerspective(45, aspect, 0.1, 400) followed by
///   glScalef(1, 1, -1), so with the identity model-view the eye looks along +z, x to the right
///   and y up: translate a scene to positive z (0.1 to 400) to see it;
/// - matrix mode GL_MODELVIEW, identity;
/// - GL_DEPTH_TEST on (GL_LESS): a polygon at the same depth as one drawn before it is hidden
///   where they overlap;
/// - GL_CULL_FACE on, front faces anticlockwise on the screen: a polygon whose vertices run
///   clockwise as seen is not drawn; turn culling off to draw both windings;
/// - GL_BLEND on with glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA).
/// Everything else is OpenGL's default. Wider than four times its height, the window's height
/// is raised to a quarter of its width. The gamma is not applied here.
bool setVideoMode(int32_t width, int32_t height, bool fullScreen, bool multisample,
                  bool highResolution, float gamma);

}  // namespace scrapvolt
