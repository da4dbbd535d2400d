#include "tools/render/temporary_path.h"

#include <unistd.h>

#include <filesystem>

namespace render {

std::string temporaryPathFor(const std::string& path) {
    const std::filesystem::path target(path);
    std::string name(".");
    name.append(target.filename().string()).append(".partial-").append(std::to_string(getpid()));
    return (target.parent_path() / name).string();
}

}  // namespace render
