// LocalFile over a real Win32 handle, and the archive read through it.
#include "ArchiveBuilder.h"

#include "Utility/Archive/VQZ.h"
#include "Utility/FileSystem/Local/LocalFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using Brivet::Utility::Archive::VQZ;
using Brivet::Utility::FileSystem::IFile;
using Brivet::Utility::FileSystem::Local::LocalFile;

namespace
{

class LocalFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char folder[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
        ASSERT_NE(GetTempFileNameA(folder, "bvq", 0, path), 0u);
    }
    void TearDown() override { DeleteFileA(path); }

    HANDLE OpenForWriting() const
    {
        return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    // As the shell opens the archive.
    HANDLE OpenForReading() const
    {
        return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    char path[MAX_PATH] = {};
};

} // namespace

TEST_F(LocalFileTest, ReadWriteSeekTellAndSize)
{
    HANDLE handle = OpenForWriting();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    LocalFile file(handle);

    ASSERT_TRUE(file.Write("0123456789", 10));
    EXPECT_EQ(file.Tell(), 10u);
    EXPECT_EQ(file.GetSize(), 10u);

    char buffer[8] = {};
    // Origin 0: from the beginning.
    ASSERT_TRUE(file.Seek(2, IFile::Begin));
    EXPECT_EQ(file.Tell(), 2u);
    ASSERT_TRUE(file.Read(buffer, 3));
    EXPECT_EQ(std::string(buffer, 3), "234");
    // Origin 1: from the end.
    ASSERT_TRUE(file.Seek(-4, 1));
    EXPECT_EQ(file.Tell(), 6u);
    ASSERT_TRUE(file.Read(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "6789");
    // Origin 2: from the current position.
    ASSERT_TRUE(file.Seek(-7, 2));
    EXPECT_EQ(file.Tell(), 3u);
    ASSERT_TRUE(file.Seek(1, 2));
    EXPECT_EQ(file.Tell(), 4u);

    // Reading past the end transfers fewer bytes than asked: false.
    ASSERT_TRUE(file.Seek(8, IFile::Begin));
    EXPECT_FALSE(file.Read(buffer, 4));

    // A position before the start is invalid and leaves the position alone.
    ASSERT_TRUE(file.Seek(5, IFile::Begin));
    EXPECT_FALSE(file.Seek(-1, IFile::Begin));
    EXPECT_FALSE(file.Seek(-11, IFile::End));
    EXPECT_FALSE(file.Seek(-6, IFile::Current));
    EXPECT_EQ(file.Tell(), 5u);
    EXPECT_FALSE(file.Seek(0, 3));

    // Overwrite in the middle, then extend past the end.
    ASSERT_TRUE(file.Write("ab", 2));
    ASSERT_TRUE(file.Seek(0, IFile::End));
    ASSERT_TRUE(file.Write("XY", 2));
    EXPECT_EQ(file.GetSize(), 12u);
    char all[12];
    ASSERT_TRUE(file.Seek(0, IFile::Begin));
    ASSERT_TRUE(file.Read(all, 12));
    EXPECT_EQ(std::string(all, 12), "01234ab789XY");
}

TEST_F(LocalFileTest, TimeIsTheLastWriteTime)
{
    HANDLE handle = OpenForWriting();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    LocalFile file(handle);
    ASSERT_TRUE(file.Write("t", 1));

    // 2021-01-01 00:00:00 UTC as a FILETIME.
    const uint64_t stamp = 132539328000000000ull;
    FILETIME time = {DWORD(stamp), DWORD(stamp >> 32)};
    ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &time));
    EXPECT_EQ(file.GetTime(), stamp);
}

TEST_F(LocalFileTest, DestructorClosesTheHandle)
{
    HANDLE handle = OpenForWriting();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    {
        LocalFile file(handle);
        ASSERT_TRUE(file.Write("x", 1));
        // Opened without sharing: nobody else gets it while the LocalFile lives.
        EXPECT_EQ(OpenForReading(), INVALID_HANDLE_VALUE);
    }
    HANDLE again = OpenForReading();
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    if (again != INVALID_HANDLE_VALUE)
        CloseHandle(again);
}

TEST_F(LocalFileTest, ArchiveReadsThroughALocalFile)
{
    std::string big(2 * 1024 * 1024, 'q');
    for (size_t i = 0; i < big.size(); i += 7)
        big[i] = char(i);
    ArchiveBuilder::Bytes bytes = ArchiveBuilder::Build({{"brivet.xml", "<brivet/>"}, {"big.bin", big}, {"empty", ""}});
    {
        LocalFile out(OpenForWriting());
        ASSERT_TRUE(out.Write(bytes.data(), uint32_t(bytes.size())));
    }

    HANDLE handle = OpenForReading();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    LocalFile file(handle);
    VQZ archive;
    ASSERT_TRUE(archive.Open(&file));
    const std::pair<const char*, std::string> entries[] = {
        {"brivet.xml", "<brivet/>"}, {"big.bin", big}, {"empty", ""}};
    for (const auto& entry : entries)
    {
        uint32_t size = archive.GetSize(entry.first);
        ASSERT_EQ(size, entry.second.size()) << entry.first;
        std::string data(size_t(size) + 1, '\0');
        ASSERT_TRUE(archive.Read(entry.first, data.data(), size)) << entry.first;
        data.resize(size);
        EXPECT_EQ(data, entry.second) << entry.first;
    }
    EXPECT_EQ(archive.GetSize("missing"), 0xFFFFFFFFu);
}
