#include "platform/Drives.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace platform;

TEST(Drives, MountTableDecodesEscapedNamesAndSkipsBrokenLines) {
    const auto mounts = ParseMountTable("/dev/sda1 / ext4 rw 0 0\n"
                                        "garbage\n"
                                        "\n"
                                        "/dev/sdb1 /media/my\\040stick vfat rw 0 0\n"
                                        "srv:/a\\134b /mnt/back\\134slash nfs4 rw 0 0\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].MountPoint, "/");
    EXPECT_EQ(mounts[1].MountPoint, "/media/my stick");
    EXPECT_EQ(mounts[1].FsType, "vfat");
    EXPECT_EQ(mounts[2].Device, "srv:/a\\b");
    EXPECT_EQ(mounts[2].MountPoint, "/mnt/back\\slash");
}

// A fake /sys/class/block: disk sda (fixed) and disk sdb (removable) with partition sdb1 that,
// as in the kernel's tree, is a link into its disk's directory.
class FakeSysBlock : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path block = tmp.Path() / "block";
        fs::create_directories(block / "sda" / "sda1");
        fs::create_directories(block / "sdb" / "sdb1");
        WriteWholeFile((block / "sda" / "removable").string(), "0\n");
        WriteWholeFile((block / "sdb" / "removable").string(), "1\n");
        fs::create_directory_symlink("sda/sda1", block / "sda1");
        fs::create_directory_symlink("sdb/sdb1", block / "sdb1");
        sysBlock = block.string();
    }
    TTempDir tmp;
    std::string sysBlock;
};

TEST_F(FakeSysBlock, TypeFollowsTheFileSystemKind) {
    struct Row {
        const char* device;
        const char* kind;
        TDriveType expected;
    } rows[] = {
        {"/dev/sda1", "ext4", dtFixed},     {"/dev/sdb1", "vfat", dtRemovable},
        {"/dev/sdb", "exfat", dtRemovable}, {"overlay", "overlay", dtFixed},
        {"srv:/x", "nfs4", dtRemote},       {"//srv/x", "cifs", dtRemote},
        {"u@h:", "fuse.sshfs", dtRemote},   {"/dev/sr0", "iso9660", dtCdRom},
        {"/dev/sr0", "udf", dtCdRom},       {"tmpfs", "tmpfs", dtRamDisk},
        {"none", "ramfs", dtRamDisk},       {"proc", "proc", dtUnknown},
        {"cgroup", "cgroup2", dtUnknown},   {"/dev/nosuch9", "xfs", dtFixed},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MountType({r.device, "/m", r.kind}, sysBlock), r.expected) << r.device << " " << r.kind;
}

TEST_F(FakeSysBlock, DriveOfAPathIsTheDeepestMountHoldingItsNearestExistingDirectory) {
    const fs::path base = fs::canonical(tmp.Path());
    fs::create_directories(base / "cd" / "sub");
    fs::create_directories(base / "cd" / "ram");
    fs::create_directories(base / "my disk");
    fs::create_directories(base / "over");
    const std::string b = base.string();
    const std::string table = tmp / "mounts";
    WriteWholeFile(table, "/dev/vda / ext4 rw 0 0\n"
                          "proc /proc proc rw 0 0\n"
                          "tmpfs /sys/fs/cgroup tmpfs rw 0 0\n"
                          "/dev/sr0 " +
                              b +
                              "/cd iso9660 ro 0 0\n"
                              "tmpfs " +
                              b +
                              "/cd/ram tmpfs rw 0 0\n"
                              "/dev/sdb1 " +
                              b +
                              "/my\\040disk vfat rw 0 0\n"
                              "srv:/x " +
                              b +
                              "/over nfs rw 0 0\n"
                              "/dev/sr0 " +
                              b + "/over iso9660 ro 0 0\n");
    TSystemDrives drives(table, sysBlock);

    struct Row {
        std::string path;
        std::string drive;
        TDriveType type;
    } rows[] = {
        {b + "/cd", b + "/cd", dtCdRom},
        {b + "/cd/sub/not/yet/made", b + "/cd", dtCdRom}, // a directory still to be created
        {b + "/cd/ram/x", b + "/cd/ram", dtRamDisk},      // nested mount wins over its parent
        {b + "/cdrom", "/", dtFixed},                     // a name prefix is not a parent
        {b + "/my disk/", b + "/my disk", dtRemovable},
        {b + "/over", b + "/over", dtCdRom}, // the later mount hides the earlier
        {b + "/cd/sub/../../my disk", b + "/my disk", dtRemovable},
        {"/", "/", dtFixed},
        {"", "", dtNoRoot},
        {"C:\\DANE", "", dtNoRoot}, // Windows-form paths name nothing here
        {"\\\\srv\\share", "", dtNoRoot},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(drives.DriveOf(r.path), r.drive) << r.path;
        EXPECT_EQ(drives.DriveType(r.path), r.type) << r.path;
    }

    // A relative name is taken from the working directory.
    {
        const fs::path cwd = fs::current_path();
        fs::current_path(base / "cd" / "sub");
        const std::string drive = drives.DriveOf("dane");
        fs::current_path(cwd);
        EXPECT_EQ(drive, b + "/cd");
    }

    // Pseudo file systems and mounts below /proc and /sys are no drives; each point once.
    EXPECT_EQ(drives.DriveList(),
              (std::vector<std::string>{"/", b + "/cd", b + "/cd/ram", b + "/my disk", b + "/over"}));
}

TEST(Drives, SpaceComesFromTheFileSystemOfThePath) {
    TTempDir tmp;
    TSystemDrives drives;
    const std::int64_t total = drives.TotalBytes(tmp.Path().string());
    const std::int64_t free = drives.FreeBytes((tmp.Path() / "not" / "made").string());
    EXPECT_GT(total, 0);
    EXPECT_GE(free, 0);
    EXPECT_LE(free, total);
    EXPECT_EQ(drives.FreeBytes(""), -1);
    EXPECT_EQ(drives.TotalBytes("D:\\"), -1);
}

TEST(Drives, AMissingMountTableGivesNoDrives) {
    TTempDir tmp;
    TSystemDrives drives(tmp / "no-such-table");
    EXPECT_TRUE(drives.DriveList().empty());
    EXPECT_EQ(drives.DriveType(tmp.Path().string()), dtNoRoot);
}

TEST(Drives, ATestMayInstallItsOwnDrivesService) {
    TTempDir tmp;
    TSystemDrives fake(tmp / "no-such-table");
    IDrives* before = SetDrives(&fake);
    EXPECT_EQ(&Drives(), &fake);
    SetDrives(before);
    EXPECT_NE(&Drives(), &fake);
    EXPECT_FALSE(Drives().DriveList().empty()); // this machine has at least its root file system
}
