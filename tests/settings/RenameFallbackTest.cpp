// SPDX-License-Identifier: GPL-3.0-or-later
// Profile renames on a file system that does not know the no-replace rename: this program's
// renameat2 answers EINVAL as some network and FUSE file systems do.
#include "ErrorOf.h"
#include "ProfileStoreFixture.h"

#include <cerrno>
#include <cstdio>
#include <dlfcn.h>

namespace fs = std::filesystem;

namespace {
bool noReplaceUnsupported = false;
}

extern "C" int renameat2(int fromFd, const char* from, int toFd, const char* to,
                         unsigned int flags) noexcept {
    if (noReplaceUnsupported && (flags & RENAME_NOREPLACE)) {
        errno = EINVAL;
        return -1;
    }
    using Real = int (*)(int, const char*, int, const char*, unsigned int);
    return reinterpret_cast<Real>(dlsym(RTLD_NEXT, "renameat2"))(fromFd, from, toFd, to, flags);
}

namespace {

struct RenameFallback : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
        noReplaceUnsupported = true;
    }
    void TearDown() override {
        noReplaceUnsupported = false;
        ProfileStoreFixture::TearDown();
    }
};

} // namespace

TEST_F(RenameFallback, ProfilesAreRenamedAndNeverReplaced) {
    TempDirectory::writeFile(store() + "/Lab.ini", "[Generell]\nlocked=0\n");
    TempDirectory::writeFile(store() + "/Lab/sub/a.txt", "a");
    IniFile::renameProfile("Lab", "Moved");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Moved.ini"), "[Generell]\nlocked=0\n");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Moved/sub/a.txt"), "a");
    EXPECT_FALSE(fs::exists(store() + "/Lab.ini"));
    EXPECT_FALSE(fs::exists(store() + "/Lab"));

    TempDirectory::writeFile(store() + "/Other.ini", "other");
    EXPECT_EQ(errorOf([] { IniFile::renameProfile("Other", "Moved"); }),
              "Can't rename file '" + store() + "/Other.ini' to '" + store() +
                  "/Moved.ini'! System reported: \nFile exists");
    TempDirectory::writeFile(store() + "/Third/b.txt", "b");
    EXPECT_EQ(errorOf([] { IniFile::renameProfile("Third", "Moved"); }),
              "Can't rename directory '" + store() + "/Third' to '" + store() +
                  "/Moved'! System reported: \nFile exists");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Moved.ini"), "[Generell]\nlocked=0\n");
    EXPECT_EQ(TempDirectory::readFile(store() + "/Other.ini"), "other");
    EXPECT_FALSE(fs::exists(store() + "/Moved/b.txt"));

    IniFile::deleteProfile("Moved"); // kept as Moved.ini.x and Moved.x
    EXPECT_TRUE(fs::exists(store() + "/Moved.ini.x"));
    EXPECT_TRUE(fs::exists(store() + "/Moved.x/sub/a.txt"));
}
