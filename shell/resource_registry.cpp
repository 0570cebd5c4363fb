#include "shell/resource_registry.h"

// Stand-in until the registry is implemented: nothing can be registered yet.
ResourceRegistry resourceRegistry;
void ResourceRegistry::clear() {}
void ResourceRegistry::releaseAll() {}
void ResourceRegistry::restoreAll() {}
void ResourceRegistry::destroyAll() {}
