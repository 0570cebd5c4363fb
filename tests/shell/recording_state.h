#pragma once

#include <string>
#include <vector>

#include "shell/game.h"

// What a recording state saw: a message (code and tick) or its own deletion.
struct Received {
    std::string receiver;
    int code;  // kDeleted for a deletion
    unsigned tick;
    bool operator==(const Received&) const = default;
};

constexpr int kDeleted = -1;

// Appends every message it receives, and its deletion, to a shared journal. The journal is
// reserved ahead so that recording does not allocate while a test counts allocations.
class RecordingState : public Game {
  public:
    RecordingState(std::string name, std::vector<Received>& journal)
        : name_(std::move(name)), journal_(journal) {}
    ~RecordingState() override { journal_.push_back({name_, kDeleted, 0}); }
    void handleMessage(const Message* message) override {
        journal_.push_back({name_, message->code, message->tick});
    }
    GameState* createFirstState() override { return this; }
    const char* prefsName() override { return nullptr; }

  private:
    std::string name_;
    std::vector<Received>& journal_;
};
