// A file of the same program that includes none of the libraries' headers: its globals must not
// meet the libraries' own at link time.
#include <cstdint>

int32_t mouseDeltaX = 0;
bool mouseCaptureEnabled = true;
uint32_t mouseButtons = 0;
