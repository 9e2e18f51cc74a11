// Store paths: "/" separates every part on every platform. Plain code; any
// thread.
#include "store/StorePaths.h"

namespace storepaths {
namespace {

std::string Root(std::string_view root) {
    std::string path(root);
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

} // namespace

std::string BucketDir(std::string_view root, char bucket) {
    return Root(root) + bucket;
}

std::string ThreadDir(std::string_view root, std::string_view threadId) {
    std::string path = Root(root);
    path.append(threadId.substr(0, 1));
    path += '/';
    path.append(threadId);
    return path;
}

std::string ThreadFile(std::string_view root, std::string_view threadId) {
    std::string path = ThreadDir(root, threadId);
    path += '/';
    path.append(threadId);
    path.append(kThreadSuffix);
    return path;
}

std::string InfoFile(std::string_view root, std::string_view threadId) {
    std::string path = ThreadDir(root, threadId);
    path += '/';
    path.append(threadId);
    path.append(kInfoSuffix);
    return path;
}

std::string ResFile(std::string_view root, std::string_view threadId, std::string_view resId) {
    std::string path = ThreadDir(root, threadId);
    path += '/';
    path.append(resId);
    path.append(kResSuffix);
    return path;
}

std::string IndexRoot(std::string_view root) {
    return Root(root) + "index/";
}

std::string CategoryDir(std::string_view root, std::string_view escapedCategory) {
    std::string path = IndexRoot(root);
    path.append(escapedCategory);
    return path;
}

std::string MarkerFile(std::string_view root, std::string_view escapedCategory,
                       std::string_view threadId) {
    std::string path = CategoryDir(root, escapedCategory);
    path += '/';
    path.append(threadId);
    path.append(kMarkerSuffix);
    return path;
}

std::string IndexFile(std::string_view root, std::string_view escapedCategory) {
    std::string path = CategoryDir(root, escapedCategory);
    path += '/';
    path.append(escapedCategory);
    path.append(kIndexSuffix);
    return path;
}

std::string IndexTempFile(std::string_view root, std::string_view escapedCategory) {
    std::string path = CategoryDir(root, escapedCategory);
    path += '/';
    path.append(kIndexTempName);
    return path;
}

} // namespace storepaths
