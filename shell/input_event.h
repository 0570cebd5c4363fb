#pragma once

#include <cstdint>

namespace scrapvolt {

// One polled event, as much of it as the shell's own handling looks at. The platform edge fills
// it in; `record` is the platform's event record itself, which the current state receives with
// MSG_SDL_EVENT.
struct InputEvent {
    enum class Type : uint8_t { other, focusLost, mouseButton, quit, resize, key };
    // The keys the shell reacts to (a key press only); either Ctrl or Alt key counts.
    enum class Key : uint8_t { other, returnKey, f, h, m, b, escape, ctrl, alt };

    Type type = Type::other;
    Key key = Key::other;
    bool alt = false;  // modifiers held with the key, either side
    bool ctrl = false;
    bool meta = false;
    int32_t width = 0;  // for resize
    int32_t height = 0;
    void* record = nullptr;
};

}  // namespace scrapvolt
