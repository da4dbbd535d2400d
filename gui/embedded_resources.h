// Files embedded in the library at build time (resources/embed.cmake): the
// editor's bitmaps, looked up by file name, and the font.
#pragma once

#include <cstddef>

struct EmbeddedResource {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

// Tables generated as assembly; each ends with an entry whose name is null.
extern "C" const EmbeddedResource pelmar_resources[];
extern "C" const EmbeddedResource pelmar_font_files[];

// The resource of this file name, compared without regard to case (the
// editor's names are lower case, Windows-style resource names upper case);
// null when there is none.
const EmbeddedResource* findResource(const char* name);
const EmbeddedResource* findResourceIn(const EmbeddedResource* table, const char* name);
