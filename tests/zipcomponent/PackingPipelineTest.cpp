#include "tests/support/IsolatedUser.h"
#include "zipcomponent/PackingPipeline.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <string>
#include <vector>

using zipcomponent::CPackingPipeline;

namespace {

struct Taken {
    std::string data;  // what the packed bytes stand for
    CPackingPipeline::Totals totals;
};

// Reads the open file's packed bytes in libzip's small steps and unpacks them.
Taken TakeFile(CPackingPipeline& pipeline) {
    std::string packed;
    char buffer[8192];
    uint64_t raw = 0;
    for (int64_t n; (n = pipeline.Read(buffer, sizeof buffer, raw)) > 0;) packed.append(buffer, static_cast<size_t>(n));
    Taken taken{"", pipeline.Close()};
    EXPECT_EQ(raw, taken.totals.rawBytes);
    EXPECT_EQ(packed.size(), taken.totals.packedBytes);
    if (taken.totals.stored) {
        taken.data = packed;
    } else {
        z_stream z {};
        inflateInit2(&z, -MAX_WBITS);
        std::string out(taken.totals.rawBytes + 1, '\0');
        z.next_in = reinterpret_cast<Bytef*>(packed.data());
        z.avail_in = static_cast<uInt>(packed.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
        out.resize(z.total_out);
        inflateEnd(&z);
        taken.data = out;
    }
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(taken.data.data()), static_cast<uInt>(taken.data.size())));
    EXPECT_EQ(taken.totals.crc, crc);
    return taken;
}

}  // namespace

// The writer takes files in order but may pass some by (libzip stopped on
// one, or never reached it); a file that cannot be opened fails alone.
TEST(PackingPipelineTest, FilesComeInOrderAndPassedOnesAreDropped) {
    testsupport::IsolatedUser user;
    const std::string root = user.Root();
    std::string big;
    while (big.size() < 3 * CPackingPipeline::kWholeFileLimit) big += std::to_string(big.size()) + " ";
    testsupport::WriteFile(root + "/a.txt", "first file, first file, first file");
    testsupport::WriteFile(root + "/big.txt", big);
    testsupport::WriteFile(root + "/c.txt", "third");
    testsupport::WriteFile(root + "/d.txt", "fourth, after a passed one");
    const std::vector<std::string> paths{root + "/a.txt", root + "/missing", root + "/big.txt", root + "/c.txt",
                                         root + "/d.txt"};
    for (unsigned workers : {1u, 2u}) {
        CPackingPipeline pipeline({paths.begin(), paths.end()}, 6, workers);
        ASSERT_EQ(pipeline.Open(0).failure, 0);
        EXPECT_EQ(TakeFile(pipeline).data, "first file, first file, first file");
        EXPECT_EQ(pipeline.Open(1).failure, ENOENT);
        // Opened, then closed after one read: the rest of its pieces go.
        ASSERT_EQ(pipeline.Open(2).failure, 0);
        char buffer[100];
        uint64_t raw = 0;
        EXPECT_GT(pipeline.Read(buffer, sizeof buffer, raw), 0);
        pipeline.Close();
        ASSERT_EQ(pipeline.Open(4).failure, 0);
        EXPECT_EQ(TakeFile(pipeline).data, "fourth, after a passed one");
        EXPECT_EQ(pipeline.Open(3).failure, EINVAL) << "a file already passed is gone";
    }
}

TEST(PackingPipelineTest, ABigFileInPiecesJoinsIntoOneStream) {
    testsupport::IsolatedUser user;
    std::string big;
    for (int i = 0; big.size() < 5 * CPackingPipeline::kWholeFileLimit / 2; ++i)
        big += "entry " + std::to_string(i % 977) + ";";
    testsupport::WriteFile(user.Root() + "/big.txt", big);
    const std::string path = user.Root() + "/big.txt";
    CPackingPipeline pipeline({path}, 9, 2);
    ASSERT_EQ(pipeline.Open(0).failure, 0);
    const Taken taken = TakeFile(pipeline);
    EXPECT_EQ(taken.data, big);
    EXPECT_FALSE(taken.totals.stored);
    EXPECT_FALSE(taken.totals.changed);
    EXPECT_LT(taken.totals.packedBytes, big.size() / 4);
}
