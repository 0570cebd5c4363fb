#pragma once

// An object that owns OpenGL objects, which a change of video mode destroys with its context.
class GlResource {
public:
    GlResource* next = nullptr;  // the following object in the same registry bucket

    virtual ~GlResource() = default;
    virtual void release() = 0;  // give up the GL objects while the old context exists
    virtual void restore() = 0;  // build them again in the new context
};

// The registered GL resources, in 65536 buckets threaded through the objects.
struct ResourceRegistry {
    void clear();
    void releaseAll();
    void restoreAll();
    void destroyAll();
};

extern ResourceRegistry resourceRegistry;
