#include "gui/embedded_resources.h"

#include <strings.h>

const EmbeddedResource* findResourceIn(const EmbeddedResource* table, const char* name) {
    if (!name) return nullptr;
    for (const EmbeddedResource* r = table; r->name; ++r)
        if (strcasecmp(r->name, name) == 0) return r;
    return nullptr;
}

const EmbeddedResource* findResource(const char* name) { return findResourceIn(pelmar_resources, name); }
