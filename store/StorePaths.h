// Every path of the thread store, built in one place. The root is the store
// root as the document holds it ("thread/"); a root without its closing "/"
// gets one. Thread and response ids are given as their 32-digit text, the
// category as its escaped name (CEscapedName). Plain code; any thread.
#pragma once

#include <string>
#include <string_view>

namespace storepaths {

// root + h, h being one of "0" ... "9", "a" ... "f".
std::string BucketDir(std::string_view root, char bucket);
// root + h + "/" + T, h being the first character of T.
std::string ThreadDir(std::string_view root, std::string_view threadId);
std::string ThreadFile(std::string_view root, std::string_view threadId);
std::string InfoFile(std::string_view root, std::string_view threadId);
std::string ResFile(std::string_view root, std::string_view threadId, std::string_view resId);

// root + "index/"
std::string IndexRoot(std::string_view root);
// root + "index/" + E
std::string CategoryDir(std::string_view root, std::string_view escapedCategory);
// ... + "/" + T + ".id"
std::string MarkerFile(std::string_view root, std::string_view escapedCategory,
                       std::string_view threadId);
// ... + "/" + E + ".index"
std::string IndexFile(std::string_view root, std::string_view escapedCategory);
// ... + "/index.temp"
std::string IndexTempFile(std::string_view root, std::string_view escapedCategory);

inline constexpr std::string_view kThreadSuffix = ".thread";
inline constexpr std::string_view kInfoSuffix = ".info";
inline constexpr std::string_view kResSuffix = ".res";
inline constexpr std::string_view kMarkerSuffix = ".id";
inline constexpr std::string_view kIndexSuffix = ".index";
inline constexpr std::string_view kIndexTempName = "index.temp";

} // namespace storepaths
