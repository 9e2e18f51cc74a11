// The default "category.dat" of an installed program: it lies in
// share/pelmar/ of the installation and is copied into a working directory
// that has none at the program's first start there, so an empty directory
// starts with the shipped categories. GUI thread, before the node starts.
#pragma once

#include <string>

namespace defaultcategory {
// Where the default lies for an executable in executableDir (no closing "/"
// needed): the installation's share/pelmar/category.dat beside its bin/.
std::string ShippedPath(const std::string& executableDir);
// Copies shipped to target when target does not exist and shipped does, and
// says so on standard error (as it does when the copy fails). True when
// copied.
bool Provide(const std::string& target, const std::string& shipped);
// Provide for this program's own installation.
bool ProvideForThisProgram(const std::string& target);
} // namespace defaultcategory
