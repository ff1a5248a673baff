#include "SyntheticMovie.h"

namespace Host {

void appendSyntheticMovie(Bytes& document, const char* name, size_t nameLength, const SyntheticTracks& tracks)
{
    document.append("{\"qelSyntheticMovie\": 1, \"timeScale\": 600, \"userData\": {\"name\": \"");
    document.append(name, nameLength);
    document.append("\"}, \"tracks\": [{\"type\": \"vide\", \"video\": {\"compression\": \"");
    document.append(tracks.compression);
    document.append("\", \"width\": ");
    document.appendNumber(tracks.width);
    document.append(", \"height\": ");
    document.appendNumber(tracks.height);
    document.append("}, \"samples\": {\"count\": ");
    document.appendNumber(kSamples);
    document.append(", \"duration\": ");
    document.appendNumber(kSampleUnits);
    document.append(", \"syncEvery\": ");
    document.appendNumber(kSyncEvery);
    document.append("}}, {\"type\": \"soun\", \"audio\": {\"sampleRate\": ");
    document.appendNumber(kSampleRate);
    document.append(", \"channels\": 2, \"frames\": ");
    document.appendNumber(tracks.audioFrames);
    document.append("}}]}");
}

} // namespace Host
