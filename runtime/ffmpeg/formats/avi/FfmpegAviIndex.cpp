#include "formats/avi/FfmpegAviIndex.h"

#include <algorithm>

namespace QelRuntime {

// AVI's index counts the sound of a stream of fixed-size samples (PCM,
// a-law and mu-law, ADPCM blocks) in bytes, where its packets count samples
// (blocks of blockAlign bytes). It counts variable-rate sound (MPEG audio,
// AAC, AC-3) in chunks, the stream's clock ticking once a frame: FFmpeg's
// demuxer counts a chunk as its bytes over the block size, rounded up, or
// (where the block size is not one it trusts, which the steps show) as one
// tick.
FfmpegIndexCounting aviSoundCounting(const FfmpegIndex& index, int blockAlign)
{
    const int64_t block = std::max(blockAlign, 1);
    const int count = index.size();
    bool bytes = true, blocks = true;
    for (int i = 0; i + 1 < count; ++i) {
        const FfmpegIndexEntry entry = index[i];
        const int64_t step = index[i + 1].timestamp - entry.timestamp;
        bytes = bytes && step == entry.size;
        blocks = blocks && step == chunkTicks(entry.size, block);
    }
    FfmpegIndexCounting counting;
    if (bytes) {
        counting.unitsPerTick = block;
        counting.soundInBytes = true;
    } else {
        counting.soundInChunks = true;
        counting.bytesPerChunkTick = blocks ? block : 0;
    }
    return counting;
}

} // namespace QelRuntime
