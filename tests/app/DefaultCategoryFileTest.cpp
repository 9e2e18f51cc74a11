// The installed default "category.dat" reaches a working directory that has
// none, and never replaces what the user has there.
#include "app/DefaultCategoryFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(DefaultCategoryFileTest, LiesInTheInstallationsSharedDataBesideBin) {
    EXPECT_EQ(defaultcategory::ShippedPath("/opt/p/bin"), "/opt/p/share/pelmar/category.dat");
    EXPECT_EQ(defaultcategory::ShippedPath("/opt/p/bin/"), "/opt/p/share/pelmar/category.dat");
}

TEST(DefaultCategoryFileTest, IsCopiedOnlyWhereNothingStands) {
    enum class Target { Missing, File, Directory, DanglingLink };
    const struct {
        Target target;
        bool shipped;
        bool copied;
    } cases[] = {
        {Target::Missing, true, true},       {Target::Missing, false, false},
        {Target::File, true, false},         {Target::Directory, true, false},
        {Target::DanglingLink, true, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string shipped = dir / "shipped.dat";
        const std::string target = dir / "category.dat";
        if (c.shipped)
            TempDir::WriteFile(shipped, "default\r\n");
        if (c.target == Target::File)
            TempDir::WriteFile(target, "mine\r\n");
        if (c.target == Target::Directory)
            fs::create_directory(target);
        if (c.target == Target::DanglingLink)
            fs::create_symlink(dir / "nowhere", target);

        SCOPED_TRACE(static_cast<int>(c.target));
        EXPECT_EQ(defaultcategory::Provide(target, shipped), c.copied);
        if (c.copied) {
            EXPECT_EQ(TempDir::ReadFile(target), "default\r\n");
        }
        if (c.target == Target::File) {
            EXPECT_EQ(TempDir::ReadFile(target), "mine\r\n");
        }
        if (c.target == Target::Directory) {
            EXPECT_TRUE(fs::is_directory(target));
        }
    }
}
