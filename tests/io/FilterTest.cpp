#include <gtest/gtest.h>

#include <string>

#include "RecordingStream.h"
#include "base/IOException.h"
#include "io/BaseBuffer.h"
#include "io/IOBufferFilter.h"
#include "io/IOExceptionFilter.h"

namespace {

struct BufferedWrites : ::testing::Test {
    RecordingStream* inner = new RecordingStream();
    IOBufferFilter* filter = nullptr;

    void make(uint32_t readSize, uint32_t writeSize) { filter = new IOBufferFilter(inner, readSize, writeSize); }
    void TearDown() override {
        release(filter);
        release(inner);
    }
};

}  // namespace

TEST_F(BufferedWrites, SmallWriteThenFlushIsOneInnerWrite) {
    make(0, 17000);
    EXPECT_TRUE(filter->write("0123456789", 10));
    EXPECT_TRUE(inner->writes.empty());
    EXPECT_TRUE(filter->flush());
    EXPECT_EQ(inner->writes, std::vector<std::string>{"0123456789"});
    EXPECT_EQ(inner->flushes, 1);
}

TEST_F(BufferedWrites, AFullBufferLeavesOnlyWhenTheNextWriteArrives) {
    make(0, 17000);
    std::string full(17000, 'a');
    EXPECT_TRUE(filter->write(full.data(), full.size()));
    EXPECT_TRUE(inner->writes.empty());
    EXPECT_TRUE(filter->write("b", 1));
    ASSERT_EQ(inner->writes.size(), 1u);
    EXPECT_EQ(inner->writes[0].size(), 17000u);
    EXPECT_EQ(filter->waitingWriteBytes(), 1u);
}

TEST_F(BufferedWrites, LargeWriteFillsThenPassesTheRestStraightThrough) {
    make(0, 17000);
    std::string data(40000, 'c');
    EXPECT_TRUE(filter->write(data.data(), data.size()));
    ASSERT_EQ(inner->writes.size(), 2u);
    EXPECT_EQ(inner->writes[0].size(), 17000u);
    EXPECT_EQ(inner->writes[1].size(), 23000u);
    EXPECT_EQ(filter->waitingWriteBytes(), 0u);
}

TEST_F(BufferedWrites, ZeroSizedBufferPassesEverythingThrough) {
    make(0, 0);
    EXPECT_TRUE(filter->write("xyz", 3));
    EXPECT_EQ(inner->writes, (std::vector<std::string>{"", "xyz"}));
}

TEST_F(BufferedWrites, FailuresAreReportedAndWaitingBytesDieWithTheFilter) {
    make(0, 16);
    EXPECT_TRUE(filter->write("abc", 3));
    inner->failWrites = true;
    EXPECT_FALSE(filter->flush());
    inner->failWrites = false;
    inner->failFlush = true;
    EXPECT_FALSE(filter->flush());
    EXPECT_EQ(inner->writes.size(), 1u);
    inner->failFlush = false;
    EXPECT_TRUE(filter->write("def", 3));
    release(filter);  // not flushed: the three bytes are lost
    filter = nullptr;
    EXPECT_EQ(inner->writes.size(), 1u);
}

TEST_F(BufferedWrites, ReadsGoStraightThroughAZeroReadBuffer) {
    make(0, 0);
    inner->readData = "hello world";
    char out[5];
    uint64_t count = 5;
    EXPECT_TRUE(filter->read(out, &count));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(inner->readRequests, std::vector<uint64_t>{5});
}

TEST_F(BufferedWrites, ReadAheadServesSmallReadsFromOneInnerRead) {
    make(8, 0);
    inner->readData = "abcdefghijklmnopqrstuvwxyz";
    char out[32];
    uint64_t count = 3;
    EXPECT_TRUE(filter->read(out, &count));
    EXPECT_EQ(std::string(out, 3), "abc");
    count = 4;
    EXPECT_TRUE(filter->read(out, &count));
    EXPECT_EQ(std::string(out, 4), "defg");
    EXPECT_EQ(inner->readRequests, std::vector<uint64_t>{8});
    count = 20;  // one buffered byte, then the rest directly
    EXPECT_TRUE(filter->read(out, &count));
    EXPECT_EQ(std::string(out, count), "hijklmnopqrstuvwxyz");
    count = 4;
    EXPECT_FALSE(filter->read(out, &count));
    EXPECT_EQ(count, 0u);
}

TEST(ExceptionFilter, FailuresThrowPositionNeverDoes) {
    auto* buffer = new BaseBuffer();
    buffer->append("ab", 2);
    auto* filter = new IOExceptionFilter(buffer);
    char out[2];
    uint64_t count = 2;
    EXPECT_TRUE(filter->read(out, &count));
    count = 1;
    bool thrown = false;
    try {
        filter->read(out, &count);
    } catch (IOException* exception) {
        thrown = true;
        release(exception);
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(filter->position(), 2);
    EXPECT_FALSE(filter->setPosition(3));  // passes through without throwing
    EXPECT_STREQ(filter->className(), "BaseObject");
    release(filter);
    EXPECT_EQ(buffer->retainCount(), 1);
    release(buffer);
}
