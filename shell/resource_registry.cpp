#include <scrapvolt/shell/resource_registry.h>

namespace scrapvolt {

ResourceRegistry resourceRegistry;

GlResource::~GlResource() {
    if (registry_ != nullptr) {
        registry_->remove(this);
    }
}

bool ResourceRegistry::add(GlResource* resource, uint16_t key) {
    if (resource->registry_ != nullptr) {
        return false;
    }
    resource->next = buckets[key];
    resource->registry_ = this;
    resource->bucket_ = key;
    buckets[key] = resource;
    return true;
}

void ResourceRegistry::remove(GlResource* resource) {
    if (resource->registry_ != this) {
        return;
    }
    for (GlResource** link = &buckets[resource->bucket_]; *link != nullptr; link = &(*link)->next) {
        if (*link == resource) {
            *link = resource->next;
            break;
        }
    }
    resource->next = nullptr;
    resource->registry_ = nullptr;
}

void ResourceRegistry::clear() {
    for (int32_t i = bucketCount - 1; i >= 0; --i) {
        buckets[i] = nullptr;
    }
}

void ResourceRegistry::releaseAll() {
    for (int32_t i = bucketCount - 1; i >= 0; --i) {
        for (GlResource* resource = buckets[i]; resource != nullptr; resource = resource->next) {
            resource->release();
        }
    }
}

void ResourceRegistry::restoreAll() {
    for (int32_t i = bucketCount - 1; i >= 0; --i) {
        for (GlResource* resource = buckets[i]; resource != nullptr; resource = resource->next) {
            resource->restore();
        }
    }
}

void ResourceRegistry::destroyAll() {
    for (int32_t i = bucketCount - 1; i >= 0; --i) {
        while (GlResource* resource = buckets[i]) {
            // Unlinked before the delete, so the destructor finds nothing to unlink.
            buckets[i] = resource->next;
            resource->next = nullptr;
            resource->registry_ = nullptr;
            delete resource;
        }
    }
}

}  // namespace scrapvolt
