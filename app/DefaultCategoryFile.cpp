// defaultcategory: copying the installed default "category.dat". GUI thread.
#include "app/DefaultCategoryFile.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef PELMAR_DATA_FROM_BINDIR
#define PELMAR_DATA_FROM_BINDIR "../share/pelmar"
#endif

namespace defaultcategory {

std::string ShippedPath(const std::string& executableDir) {
    return (std::filesystem::path(executableDir) / PELMAR_DATA_FROM_BINDIR / "category.dat")
        .lexically_normal()
        .string();
}

bool Provide(const std::string& target, const std::string& shipped) {
    namespace fs = std::filesystem;
    std::error_code error;
    // Whatever stands at the target (even something unreadable) is the
    // user's; only a missing file is supplied (a status that cannot be read
    // is not "not found").
    if (fs::symlink_status(target, error).type() != fs::file_type::not_found)
        return false;
    if (!fs::is_regular_file(shipped, error))
        return false;
    if (!fs::copy_file(shipped, target, error)) {
        std::fprintf(stderr, "category.dat: cannot copy the default %s: %s\n", shipped.c_str(),
                     error.message().c_str());
        return false;
    }
    std::fprintf(stderr, "category.dat: none here, copied the default from %s\n", shipped.c_str());
    return true;
}

bool ProvideForThisProgram(const std::string& target) {
    return Provide(target, ShippedPath(QCoreApplication::applicationDirPath().toStdString()));
}

} // namespace defaultcategory
