#include "engine/real_path.h"

#include <cstdlib>

std::string resolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool pathIsWithin(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    if (!path.starts_with(folder)) return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}
