#pragma once

#include <cstdint>

namespace scrapvolt {

struct ResourceRegistry;

// An object that owns OpenGL objects, which a change of video mode destroys with its context.
// Once added to a registry, the registry owns it; deleting it earlier unlinks it first.
class GlResource {
  public:
    GlResource* next = nullptr;  // the following object in the same registry bucket

    GlResource() = default;
    GlResource(const GlResource&) = delete;
    GlResource& operator=(const GlResource&) = delete;
    virtual ~GlResource();
    virtual void release() = 0;  // give up the GL objects while the old context exists
    virtual void restore() = 0;  // build them again in the new context

    bool registered() const { return registry_ != nullptr; }

  private:
    friend struct ResourceRegistry;
    ResourceRegistry* registry_ = nullptr;
    uint16_t bucket_ = 0;
};

// The registered GL resources, in 65536 buckets threaded through the objects. Every walk goes
// through the buckets from the last to the first, and through each list from its head. The
// objects' release, restore and destructors must not add or remove other objects during a walk.
struct ResourceRegistry {
    static constexpr int32_t bucketCount = 65536;

    GlResource* buckets[bucketCount] = {};

    // Links the resource in as the head of the bucket that key selects; the registry owns it from
    // then on. False, and nothing changed, when it is already registered.
    bool add(GlResource* resource, uint16_t key);
    // Unlinks a registered resource without deleting it; the caller owns it again.
    void remove(GlResource* resource);

    void clear();  // empties every bucket; deletes nothing
    void releaseAll();
    void restoreAll();
    void destroyAll();  // deletes every object and empties every bucket
};

extern ResourceRegistry resourceRegistry;

}  // namespace scrapvolt
