// The entry of a game's replay program: "<program> [--window] JOURNAL".
#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "replay.h"

int main(int argc, char** argv) {
    const char* journal = nullptr;
    bool window = false;
    bool usage = false;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0 || std::strcmp(argv[i], "-w") == 0) {
            window = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            help = true;
        } else if (journal == nullptr && (argv[i][0] != '-' || argv[i][1] == '\0')) {
            journal = argv[i];
        } else {
            usage = true;
        }
    }
    if (help || usage || journal == nullptr) {
        std::fprintf(help && !usage ? stdout : stderr,
                     "Usage: %s [--window] JOURNAL\n"
                     "Replays a journal written with SCRAPVOLT_JOURNAL and checks its hashes.\n"
                     "  -w, --window  show the replay in a window at the recorded pace\n"
                     "Exit status: 0 every hash matches, 1 one differs, 2 the journal cannot be\n"
                     "replayed (not a journal, damaged, another version).\n",
                     argc > 0 ? argv[0] : "replay");
        return help && !usage ? 0 : 2;
    }
    return scrapvolt::replayJournal(journal, window);
}
