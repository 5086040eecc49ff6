// The host packer tools/vqz: what it packs, the reader reads back exactly.
#include "Utility/Archive/VQZ.h"
#include "Utility/FileSystem/MemoryFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#if defined(BRIVET_VQZ_PACKER)

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Brivet::Utility::Archive::VQZ;
using Brivet::Utility::FileSystem::MemoryFile;

namespace
{

std::string Quote(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// Runs the packer with the arguments; stdout into output when given.
int RunPacker(const std::string& arguments, std::string* output = nullptr)
{
    std::string command = std::string("'") + BRIVET_VQZ_PACKER + "' " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        text.append(chunk, got);
    int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& data)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), std::streamsize(data.size()));
}

class Packer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("brivet-vqz-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "in");
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
};

} // namespace

TEST_F(Packer, PacksListsAndExtractsEveryFile)
{
    std::string big(3 * 1024 * 1024 + 5, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char((i * 2654435761u) >> 13);
    const std::map<std::string, std::string> files = {
        {"brivet.xml", "<brivet/>"},
        {"Z.txt", "upper case sorts first"},
        {"a/big.bin", big},
        {"b/empty.bin", ""},
        {"shaders/post/layer.hlsl", std::string("float4 ps_main() : SV_Target\0\x01\x02", 31)},
    };
    for (const auto& file : files)
        WriteFile(root / "in" / file.first, file.second);

    fs::path archivePath = root / "in" / "demo.vqz"; // inside the folder: never packs itself
    ASSERT_EQ(RunPacker("pack " + Quote(root / "in") + " " + Quote(archivePath)), 0);
    ASSERT_EQ(RunPacker("pack " + Quote(root / "in") + " " + Quote(archivePath)), 0);

    // The reader gets back every file byte for byte.
    std::string bytes = ReadFile(archivePath);
    MemoryFile file(bytes.data(), uint32_t(bytes.size()));
    VQZ archive;
    ASSERT_TRUE(archive.Open(&file));
    for (const auto& entry : files)
    {
        SCOPED_TRACE(entry.first);
        ASSERT_EQ(archive.GetSize(entry.first.c_str()), entry.second.size());
        std::string data(entry.second.size() + 1, '\xAA');
        ASSERT_TRUE(archive.Read(entry.first.c_str(), data.data(), uint32_t(entry.second.size())));
        data.resize(entry.second.size());
        EXPECT_EQ(data, entry.second);
    }
    EXPECT_FALSE(archive.Exists("demo.vqz"));

    // list: sorted names with offset, compressed size and size, entries inside the file.
    std::string listing;
    ASSERT_EQ(RunPacker("list " + Quote(archivePath), &listing), 0);
    std::istringstream lines(listing);
    std::vector<std::string> names;
    std::string name;
    uint64_t offset, compressedSize, size;
    uint64_t end = 32;
    while (lines >> name >> offset >> compressedSize >> size)
    {
        names.push_back(name);
        EXPECT_EQ(size, files.at(name).size()) << name;
        EXPECT_GE(offset, end) << name;
        EXPECT_GE(compressedSize, 8u) << name;
        end = offset + compressedSize;
    }
    EXPECT_LE(end, bytes.size());
    EXPECT_EQ(names,
              (std::vector<std::string>{"Z.txt", "a/big.bin", "b/empty.bin", "brivet.xml", "shaders/post/layer.hlsl"}));

    // extract: one entry's bytes.
    for (const char* entry : {"a/big.bin", "b/empty.bin"})
    {
        fs::path out = root / "out.bin";
        ASSERT_EQ(RunPacker(std::string("extract ") + Quote(archivePath) + " " + entry + " " + Quote(out)), 0) << entry;
        EXPECT_EQ(ReadFile(out), files.at(entry)) << entry;
    }
    EXPECT_NE(RunPacker("extract " + Quote(archivePath) + " missing.txt " + Quote(root / "x")), 0);
}

TEST_F(Packer, EmptyFolderGivesAnArchiveWithoutEntries)
{
    fs::path archivePath = root / "empty.vqz";
    ASSERT_EQ(RunPacker("pack " + Quote(root / "in") + " " + Quote(archivePath)), 0);
    std::string bytes = ReadFile(archivePath);
    MemoryFile file(bytes.data(), uint32_t(bytes.size()));
    VQZ archive;
    EXPECT_TRUE(archive.Open(&file));
    std::string listing = "x";
    EXPECT_EQ(RunPacker("list " + Quote(archivePath), &listing), 0);
    EXPECT_EQ(listing, "");
}

TEST_F(Packer, RefusesWhatTheFormatCannotHold)
{
    WriteFile(root / "in" / "with blank.txt", "x");
    EXPECT_NE(RunPacker("pack " + Quote(root / "in") + " " + Quote(root / "a.vqz")), 0);
    EXPECT_FALSE(fs::exists(root / "a.vqz"));
    fs::remove(root / "in" / "with blank.txt");

    WriteFile(root / "in" / std::string(255, 'd') / "file.txt", "x"); // 264 characters
    EXPECT_NE(RunPacker("pack " + Quote(root / "in") + " " + Quote(root / "b.vqz")), 0);

    fs::remove_all(root / "in" / std::string(255, 'd'));
    WriteFile(root / "in" / "Textures" / "Wood.png", "x");
    WriteFile(root / "in" / "textures" / "wood.png", "y");
    EXPECT_NE(RunPacker("pack " + Quote(root / "in") + " " + Quote(root / "case.vqz")), 0);
    EXPECT_FALSE(fs::exists(root / "case.vqz"));

    // What the player's reader would refuse is not written either: an entry above its size
    // limit (a sparse file, so the test writes nothing large).
    fs::remove_all(root / "in");
    WriteFile(root / "in" / "large.bin", "");
    fs::resize_file(root / "in" / "large.bin", uint64_t(VQZ::MaxEntryBytes) + 1);
    EXPECT_NE(RunPacker("pack " + Quote(root / "in") + " " + Quote(root / "large.vqz")), 0);
    EXPECT_FALSE(fs::exists(root / "large.vqz"));
    fs::remove(root / "in" / "large.bin");

    EXPECT_NE(RunPacker("pack " + Quote(root / "nothing") + " " + Quote(root / "c.vqz")), 0);
    WriteFile(root / "not.vqz", "WelkorVodeRav but not an archive");
    EXPECT_NE(RunPacker("list " + Quote(root / "not.vqz")), 0);
    EXPECT_NE(RunPacker("extract " + Quote(root / "not.vqz") + " a " + Quote(root / "x")), 0);
    EXPECT_NE(RunPacker("frobnicate"), 0);
}

#else

TEST(Packer, NotBuiltInThisPreset)
{
    GTEST_SKIP() << "tools/vqz is built by the host preset only";
}

#endif
