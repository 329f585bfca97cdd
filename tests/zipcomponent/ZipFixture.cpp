#include "tests/zipcomponent/ZipFixture.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>

namespace testsupport {

void ZipTest::SetUp() {
    data = user.Root() + "/data";
    archive = user.Root() + "/backup/Backup.velarc";
    std::filesystem::create_directories(user.Root() + "/backup");
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + " of a letter to Ann\n";
    WriteFile(data + "/a.txt", text);
    std::string random(200000, '\0');
    std::mt19937 rng(42);
    for (char& c : random) c = static_cast<char>(rng());
    WriteFile(data + "/bin.dat", random);
    WriteFile(data + "/sub/b.txt", "bee\n");
    WriteFile(data + "/n\xc3\xa9v \xc3\xbc.txt", "accents\n");
    std::filesystem::create_directories(data + "/empty");
    chmod((data + "/sub/b.txt").c_str(), 0640);
    SetTime(data + "/a.txt", 1700000001);
    SetTime(data + "/bin.dat", 1700000003);
    SetTime(data + "/sub/b.txt", 1700000005);
    SetTime(data + "/n\xc3\xa9v \xc3\xbc.txt", 1700000007);
}

void ZipTest::SetTime(const std::string& path, time_t mtime) const {
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> ZipTest::TreeFolders() const { return {data, data + "/empty", data + "/sub"}; }

void ZipTest::AddTreeSpecs() {
    for (const auto& folder : TreeFolders()) zip.AddFileSpec(folder + "/*");
}

std::string ZipTest::EntryName(const std::string& path) const { return path.substr(1); }

std::string ZipTest::Listing() {
    zipcomponent::CXceedZip reader;
    reader.m_strArchivePath = zip.m_strArchivePath;
    zipcomponent::ZipContents contents;
    EXPECT_EQ(reader.ListContents(contents, 0), 0);
    std::vector<std::string> names;
    for (int i = 1; i <= contents.GetCount(); ++i) names.push_back(contents.Item(i).name);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += n + "\n";
    return out;
}

}  // namespace testsupport
