#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"
#include "zipcomponent/EntryFields.h"
#include "zipcomponent/NewArchiveWriter.h"

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using testsupport::RunProgram;
using zipcomponent::CNewArchiveWriter;
using zipcomponent::NewEntry;

namespace {

struct Written {
    std::string name;
    std::string data;
    uint16_t method;
    uint32_t mode;
};

uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Raw deflate of `data`, as the packing pipeline hands it over.
std::string Deflate(const std::string& data) {
    z_stream z {};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool Add(CNewArchiveWriter& writer, const Written& w, bool large = false) {
    const NewEntry entry{w.name, w.mode, 1700000001, 1234, 5678, "/"};
    const std::string packed = w.method == CNewArchiveWriter::kDeflated ? Deflate(w.data) : w.data;
    return writer.Begin(entry, large) && writer.Write(packed.data(), packed.size()) &&
           writer.End(w.method, Crc(w.data), w.data.size(), packed.size());
}

}  // namespace

// What a new backup holds, read back by libzip with every local header
// held against the directory, and by the three peers.
TEST(NewArchiveWriterTest, EntriesOfEveryKindReadBackExactly) {
    testsupport::IsolatedUser user;
    const std::string folder = user.Root() + "/out";
    std::filesystem::create_directory(folder);
    const std::string archive = folder + "/new.zip";
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 17) + "\n";
    const std::vector<Written> entries{
        {"home/ann/", "", CNewArchiveWriter::kStored, S_IFDIR | 0755},
        {"home/ann/text.txt", text, CNewArchiveWriter::kDeflated, S_IFREG | 0640},
        {"home/ann/empty", "", CNewArchiveWriter::kStored, S_IFREG | 0644},
        {"home/ann/link", "text.txt", CNewArchiveWriter::kStored, S_IFLNK | 0777},
        {"home/ann/n\xc3\xa9v.txt", "accents", CNewArchiveWriter::kStored, S_IFREG | 0600},
        {"home/ann/big.txt", text + text, CNewArchiveWriter::kDeflated, S_IFREG | 0644},
    };
    {
        CNewArchiveWriter writer;
        ASSERT_EQ(writer.Create({"", archive, ""}), 0);
        ASSERT_TRUE(Add(writer, entries[0]));
        ASSERT_TRUE(Add(writer, entries[1]));
        // A file that fails while written leaves no trace.
        const NewEntry dropped{"home/ann/vanished.txt", S_IFREG | 0644, 0, 0, 0, "/"};
        ASSERT_TRUE(writer.Begin(dropped, false));
        ASSERT_TRUE(writer.Write("partial", 7));
        ASSERT_TRUE(writer.Drop());
        for (size_t i = 2; i + 1 < entries.size(); ++i) ASSERT_TRUE(Add(writer, entries[i]));
        ASSERT_TRUE(Add(writer, entries.back(), true)) << "room for 4 GiB sizes, sizes that need none";
        ASSERT_EQ(writer.Commit("the comment"), 0);
    }
    EXPECT_EQ(std::filesystem::directory_iterator(folder)->path(), archive) << "no temporary file is left";

    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(za, nullptr) << error;
    ASSERT_EQ(zip_get_num_entries(za, 0), static_cast<zip_int64_t>(entries.size()));
    int commentLength = 0;
    EXPECT_EQ(std::string(zip_get_archive_comment(za, &commentLength, 0)), "the comment");
    for (size_t i = 0; i < entries.size(); ++i) {
        const Written& w = entries[i];
        SCOPED_TRACE(w.name);
        zip_stat_t st;
        ASSERT_EQ(zip_stat_index(za, i, ZIP_FL_ENC_RAW, &st), 0);
        EXPECT_EQ(std::string(st.name), w.name);
        EXPECT_EQ(st.comp_method, w.method);
        EXPECT_EQ(st.size, w.data.size());
        std::string data(w.data.size(), '\0');
        zip_file_t* zf = zip_fopen_index(za, i, 0);
        ASSERT_NE(zf, nullptr);
        EXPECT_EQ(zip_fread(zf, data.data(), data.size()), static_cast<zip_int64_t>(data.size()));
        zip_fclose(zf);
        EXPECT_EQ(data, w.data);
        EXPECT_EQ(zipcomponent::GetEntryTime(za, i), 1700000001);
        EXPECT_EQ(zipcomponent::GetBasePath(za, i), "/");
        EXPECT_EQ(zipcomponent::GetUnixMode(za, i), w.mode);
        uint32_t owner = 0, group = 0;
        EXPECT_TRUE(zipcomponent::GetOwner(za, i, owner, group));
        EXPECT_EQ(owner, 1234u);
        EXPECT_EQ(group, 5678u);
    }
    zip_close(za);

    for (const auto& [program, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"unzip", {"-t", archive}}, {"7z", {"t", archive}}, {"bsdtar", {"-tvf", archive}}}) {
        const auto peer = RunProgram(program, args);
        EXPECT_EQ(peer.exitCode, 0) << program << "\n" << peer.out << peer.err;
    }
    // Names beyond ASCII that are UTF-8 are flagged so, in both headers.
    const std::string bytes = testsupport::ReadFile(archive);
    EXPECT_EQ(bytes.find("vanished"), std::string::npos);
    auto flagsBefore = [&](size_t name, size_t headerSize) {
        return static_cast<unsigned char>(bytes[name - headerSize + 6]) |
               static_cast<unsigned char>(bytes[name - headerSize + 7]) << 8;
    };
    for (const auto& [name, flags] : {std::pair<std::string, int>{"home/ann/n\xc3\xa9v.txt", 0x0800},
                                      std::pair<std::string, int>{"home/ann/text.txt", 0}}) {
        EXPECT_EQ(flagsBefore(bytes.find(name), 30), flags) << name;
        EXPECT_EQ(flagsBefore(bytes.rfind(name) + 2, 46), flags) << name;
    }
}

// More entries than the plain end record counts, and a directory larger
// than what the writer keeps in memory.
TEST(NewArchiveWriterTest, ManyEntriesTakeTheZip64EndRecords) {
    testsupport::IsolatedUser user;
    const std::string archive = user.Root() + "/many.zip";
    constexpr int kEntries = 70000;
    {
        CNewArchiveWriter writer;
        ASSERT_EQ(writer.Create({"", archive, ""}), 0);
        for (int i = 0; i < kEntries; ++i)
            ASSERT_TRUE(Add(writer, {"f/" + std::to_string(i), std::to_string(i), CNewArchiveWriter::kStored,
                                     S_IFREG | 0644}));
        ASSERT_EQ(writer.Commit(""), 0);
    }
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(za, nullptr) << error;
    EXPECT_EQ(zip_get_num_entries(za, 0), kEntries);
    EXPECT_EQ(zip_name_locate(za, "f/69999", 0), kEntries - 1);
    zip_close(za);
    const auto unzip = RunProgram("unzip", {"-tqq", archive});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.out << unzip.err;
}

TEST(NewArchiveWriterTest, AnArchiveNotCommittedLeavesNothing) {
    testsupport::IsolatedUser user;
    const std::string folder = user.Root() + "/out";
    std::filesystem::create_directory(folder);
    {
        CNewArchiveWriter writer;
        EXPECT_EQ(writer.Create({"", folder + "/missing/new.zip", ""}), ENOENT);
    }
    {
        CNewArchiveWriter writer;
        ASSERT_EQ(writer.Create({"", folder + "/new.zip", ""}), 0);
        ASSERT_TRUE(Add(writer, {"a", "data", CNewArchiveWriter::kStored, S_IFREG | 0644}));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// Times the DOS fields cannot hold still read back exactly from the UT
// field, which the DOS year tells how to read past 2038.
TEST(NewArchiveWriterTest, TimesBeyondTheDosRangeReadBack) {
    testsupport::IsolatedUser user;
    const std::string archive = user.Root() + "/times.zip";
    const std::vector<std::pair<time_t, time_t>> times{
        {-315619200, -315619200},  // 1960
        {0, 0},
        {2208988800, 2208988800},  // 2040
        {7258118400, 4294967295},  // 2200: as late as the field goes
    };
    {
        CNewArchiveWriter writer;
        ASSERT_EQ(writer.Create({"", archive, ""}), 0);
        for (size_t i = 0; i < times.size(); ++i) {
            const std::string name = "t" + std::to_string(i);
            ASSERT_TRUE(writer.Begin({name, S_IFREG | 0644, times[i].first, 0, 0, "/"}, false));
            ASSERT_TRUE(writer.End(CNewArchiveWriter::kStored, 0, 0, 0));
        }
        ASSERT_EQ(writer.Commit(""), 0);
    }
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(za, nullptr) << error;
    for (size_t i = 0; i < times.size(); ++i) EXPECT_EQ(zipcomponent::GetEntryTime(za, i), times[i].second) << i;
    zip_close(za);
}
