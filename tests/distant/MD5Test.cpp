#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ExternalTool.h"
#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "distant/BaseMD5.h"

namespace {

std::string md5(const std::string& bytes) {
    AutoreleasePool pool;
    return md5HexString(createAutoreleased<BaseString>(bytes.data(), static_cast<int64_t>(bytes.size())))->chars();
}

}  // namespace

TEST(MD5, KnownDigests) {
    EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(md5("Zephrane bridge for X-Plane"), "878cb5352ea16969bcc216abe85a327b");
}

TEST(MD5, PiecewiseUpdatesEqualOneUpdate) {
    AutoreleasePool pool;
    std::string text(1000, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    auto* whole = createAutoreleased<BaseMD5>();
    whole->update(text.data(), text.size());
    auto* pieces = createAutoreleased<BaseMD5>();
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step % 70 + 1) {
        pieces->update(text.data() + at, std::min(step, text.size() - at));
    }
    EXPECT_STREQ(whole->hexDigest()->chars(), pieces->hexDigest()->chars());
}

TEST(MD5, AgreesWithMd5sumAroundEveryBlockBoundary) {
    if (!toolAvailable("md5sum")) GTEST_SKIP() << "md5sum is not installed: no independent digest to compare with";
    std::mt19937 random(7);
    for (size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 70000}) {
        std::string bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        ToolResult judged = runTool("md5sum | cut -c1-32", bytes);
        ASSERT_EQ(judged.exitCode, 0) << judged.output;
        EXPECT_EQ(md5(bytes) + "\n", judged.output) << "length " << length;
        std::string digest = md5(bytes);
        EXPECT_EQ(digest.size(), 32u);
        EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos);
    }
}
