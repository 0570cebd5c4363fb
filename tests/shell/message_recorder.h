#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "shell/game.h"

// One line per message, "<receiver> <what>", kept in a fixed array so that recording allocates
// nothing.
class MessageRecord {
  public:
    static constexpr int capacity = 64;

    void add(const char* receiver, const char* what) {
        if (count_ < capacity) {
            entries_[count_++] = Entry{receiver, what};
        }
    }
    void add(const char* receiver, int code) { add(receiver, codeName(code)); }
    void clear() { count_ = 0; }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        for (int i = 0; i < count_; ++i) {
            result.push_back(std::string(entries_[i].receiver) + " " + entries_[i].what);
        }
        return result;
    }

  private:
    struct Entry {
        const char* receiver;
        const char* what;
    };
    static const char* codeName(int code) {
        static const char* const names[] = {"STARTUP",     "SHUTDOWN",  "LOAD_PREFS",  "SAVE_PREFS",
                                            "VIDEO_RESET", "TICK",      "DRAW",        "ENTER",
                                            "LEAVE",       "SDL_EVENT", "CONFIGURE_GL"};
        return code >= 0 && code <= 10 ? names[code] : "UNKNOWN";
    }

    Entry entries_[capacity];
    int count_ = 0;
};

// A game object, or a state, that records what it receives and its deletion ("DELETED").
class RecordingGame : public Game {
  public:
    RecordingGame(const char* name, MessageRecord& record) : name_(name), record_(record) {}
    ~RecordingGame() override { record_.add(name_, "DELETED"); }

    void handleMessage(const Message* message) override {
        record_.add(name_, message->code);
        lastTick = message->tick;
        lastData = message->data;
        onMessage(message);
    }
    GameState* createFirstState() override { return nullptr; }
    const char* prefsName() override { return name_; }

    uint32_t lastTick = 0;
    void* lastData = nullptr;

  protected:
    virtual void onMessage(const Message*) {}

  private:
    const char* name_;
    MessageRecord& record_;
};
