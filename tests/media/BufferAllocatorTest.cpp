#include <cstdint>

#include <gtest/gtest.h>

#include "CountingAllocator.h"
#include "VtableCall.h"
#include "media/BufferAllocator.h"

namespace Qel {
namespace {

using Testing::callSlot;
using Testing::CountingAllocator;

TEST(BufferAllocatorTest, NewChunkOwnsItsBlockAndStartsAtTheDefaults)
{
    MediaBufferAllocator allocator;
    unsigned char* block = new unsigned char[256];
    MediaChunk* chunk = allocator.createChunk(block, 256);

    EXPECT_EQ(chunk->owner, &allocator);
    EXPECT_EQ(chunk->dataSize(), 256u);
    EXPECT_EQ(chunk->dataLength(), 0u);
    EXPECT_EQ(chunk->startTime, 0u);
    EXPECT_EQ(chunk->duration, 0u);
    EXPECT_EQ(chunk->reserved1, 0u);
    EXPECT_EQ(chunk->reserved2, 0u);
    EXPECT_EQ(chunk->imageProperties.factor1, 1);
    EXPECT_EQ(chunk->audioProperties.channels, 0u);
    EXPECT_EQ(chunk->lockData(), block);
    chunk->unlockData();

    // The host's release frees block and chunk once (the sanitizer build
    // reports a leak or a double free otherwise).
    callSlot<void>(static_cast<MediaBuffer*>(chunk), 2);
}

TEST(BufferAllocatorTest, ReleaseIgnoresNullAndLeavesAZeroSizedBlockAlone)
{
    MediaBufferAllocator allocator;
    callSlot<void>(static_cast<IBufferAllocator*>(&allocator), 4, static_cast<MediaBuffer*>(nullptr));

    // Not from array new: deleting it would be caught by the sanitizers.
    unsigned char notOwned[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    MediaChunk* chunk = allocator.createChunk(notOwned, 0);
    allocator.release(chunk);
    EXPECT_EQ(notOwned[7], 8);
}

TEST(BufferAllocatorTest, FreeDataFreesThroughTheGivenAllocatorAndAnswersFalse)
{
    MediaBufferAllocator allocator;
    IBufferAllocator* view = &allocator;
    CountingAllocator<unsigned char> bytes;

    EXPECT_FALSE((callSlot<bool>(view, 1, static_cast<void*>(nullptr), uint32_t(0),
                                 static_cast<StandardAllocator<unsigned char>*>(&bytes))));
    EXPECT_EQ(bytes.deallocations, 0);

    unsigned char* block = bytes.allocate(12);
    EXPECT_FALSE((callSlot<bool>(view, 1, static_cast<void*>(block), uint32_t(12),
                                 static_cast<StandardAllocator<unsigned char>*>(&bytes))));
    EXPECT_EQ(bytes.deallocations, 1);
}

// The host releases each frame through the chunk's own slot; later frames
// of the same size get the blocks back, the oldest first, and the store
// keeps no more than its capacity (the sanitizer build reports a block
// dropped without being freed, or freed twice).
TEST(BufferAllocatorTest, ReleasedFrameBlocksServeTheNextFramesOfTheirSize)
{
    const size_t frame = RecycledBlocks::kMinimumBytes;
    MediaBufferAllocator allocator;
    MediaChunk* held[4];
    unsigned char* blocks[4];
    const size_t sizes[4] = {frame, frame, frame, frame / 2};  // the last a sound chunk's size
    for (int i = 0; i < 4; ++i) {
        blocks[i] = allocator.newBlock(sizes[i]);
        held[i] = allocator.createChunk(blocks[i], uint32_t(sizes[i]));
    }
    for (MediaChunk* chunk : held)
        callSlot<void>(static_cast<MediaBuffer*>(chunk), 2);

    unsigned char* other = allocator.newBlock(frame + 1);
    unsigned char* first = allocator.newBlock(frame);
    unsigned char* next = allocator.newBlock(frame);
    EXPECT_EQ(first, blocks[1]);
    EXPECT_EQ(next, blocks[2]);
    delete[] other;
    delete[] first;
    delete[] next;
}

TEST(BufferAllocatorTest, HostSlotsStoreTheParameterAndAllocateNothing)
{
    MediaBufferAllocator* allocator = new MediaBufferAllocator;
    IBufferAllocator* view = allocator;
    callSlot<void>(view, 2, int32_t(8));
    EXPECT_EQ(allocator->getParameter(), 8);
    EXPECT_EQ((callSlot<MediaBuffer*>(view, 3, uint32_t(1), uint32_t(4096), uint32_t(0))), nullptr);
    callSlot<void*>(view, 0, 1u);
}

} // namespace
} // namespace Qel
