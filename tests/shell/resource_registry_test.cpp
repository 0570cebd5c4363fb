#include "shell/resource_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;

class NamedResource : public GlResource {
  public:
    explicit NamedResource(const char* name) : name_(name) {}
    ~NamedResource() override { calls.push_back(std::string("delete ") + name_); }
    void release() override { calls.push_back(std::string("release ") + name_); }
    void restore() override { calls.push_back(std::string("restore ") + name_); }

  private:
    const char* name_;
};

class Registry : public testing::Test {
  protected:
    void SetUp() override { calls.clear(); }

    bool allBucketsEmpty() const {
        for (const GlResource* head : registry->buckets) {
            if (head != nullptr) {
                return false;
            }
        }
        return true;
    }

    // Q then P into bucket 7, so P is the head; R alone in the last bucket.
    void addPQR() {
        ASSERT_TRUE(registry->add(new NamedResource("Q"), 7));
        ASSERT_TRUE(registry->add(new NamedResource("P"), 7));
        ASSERT_TRUE(registry->add(new NamedResource("R"), 65535));
    }

    std::unique_ptr<ResourceRegistry> registry = std::make_unique<ResourceRegistry>();
};

using Calls = std::vector<std::string>;

TEST_F(Registry, WalksGoFromTheLastBucketDownAndAlongEachList) {
    addPQR();
    registry->releaseAll();
    registry->restoreAll();
    EXPECT_EQ(calls, (Calls{"release R", "release P", "release Q", "restore R", "restore P",
                            "restore Q"}));
    calls.clear();
    registry->destroyAll();
    EXPECT_EQ(calls, (Calls{"delete R", "delete P", "delete Q"}));
    EXPECT_TRUE(allBucketsEmpty());
}

TEST_F(Registry, SecondDestroyAllDeletesNothing) {
    addPQR();
    registry->destroyAll();
    calls.clear();
    registry->destroyAll();
    registry->releaseAll();
    EXPECT_TRUE(calls.empty()) << calls.front();
}

TEST_F(Registry, DeletingARegisteredObjectEarlyUnlinksIt) {
    auto* tail = new NamedResource("T");
    auto* middle = new NamedResource("M");
    auto* head = new NamedResource("H");
    registry->add(tail, 7);
    registry->add(middle, 7);
    registry->add(head, 7);
    delete middle;
    registry->releaseAll();
    EXPECT_EQ(calls, (Calls{"delete M", "release H", "release T"}));
    delete head;
    calls.clear();
    registry->destroyAll();
    EXPECT_EQ(calls, (Calls{"delete T"})) << "a deleted object was reached again";
    EXPECT_TRUE(allBucketsEmpty());
}

TEST_F(Registry, ObjectIsRegisteredOnceOnly) {
    auto* resource = new NamedResource("A");
    ASSERT_TRUE(registry->add(resource, 9));
    EXPECT_FALSE(registry->add(resource, 9)) << "a second link would make the list a loop";
    EXPECT_FALSE(registry->add(resource, 10));
    registry->releaseAll();
    EXPECT_EQ(calls, (Calls{"release A"}));
    registry->destroyAll();
}

TEST_F(Registry, RemovedObjectBelongsToTheCallerAgain) {
    NamedResource kept("K");
    registry->add(&kept, 0);
    registry->remove(&kept);
    EXPECT_FALSE(kept.registered());
    registry->destroyAll();
    EXPECT_TRUE(calls.empty()) << "the registry deleted an object it no longer owns";
    EXPECT_TRUE(registry->add(&kept, 1));
    registry->remove(&kept);
}

}  // namespace
