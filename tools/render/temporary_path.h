// Name of the hidden file a result is written to before it is renamed into
// place: same directory (so the rename is atomic), unique per process.
#pragma once

#include <string>

namespace render {

std::string temporaryPathFor(const std::string& path);

}  // namespace render
