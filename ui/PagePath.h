// Where the thread page "current.html" is written: beside the executable, or
// in the user's cache directory when the program is installed where the user
// cannot write. GUI thread.
#pragma once

#include <string>

namespace pagepath {
// The full path of "current.html" for an application directory that ends with
// "/" (empty: the working directory). The cache directory is made when it is
// chosen.
std::string CurrentPagePath(const std::string& applicationDir);
} // namespace pagepath
