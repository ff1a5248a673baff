// The log call of every diagnostic line: category "Container", the calling
// function's qualified name from the list below, and the source line, so
// that no call site can get them wrong. Arguments follow the format as for
// printf, with their exact widths: cast to long for %ld, unsigned long for
// %lu, unsigned long long for %llu (long is 64 bits on the Linux build).
#pragma once

#include "support/Logger.h"

#define QEL_LOG(function, ...) \
    ::Qel::Logger::instance()->write(::Qel::kLogCategory, ::Qel::LogFunction::function, __LINE__, __VA_ARGS__)

namespace Qel {
constexpr char kLogCategory[] = "Container";
} // namespace Qel

namespace Qel::LogFunction {

constexpr char kContainerOpen[] = "Qel::ContainerQuickTime::open";
constexpr char kContainerOpenTitle[] = "Qel::ContainerQuickTime::openTitle";
constexpr char kAudioOpenStream[] = "Qel::ContainerQuickTime::AudioStream::openStream";
constexpr char kAudioSeekStream[] = "Qel::ContainerQuickTime::AudioStream::seekStream";
constexpr char kAudioReadStream[] = "Qel::ContainerQuickTime::AudioStream::readStream";
constexpr char kVideoOpenStream[] = "Qel::ContainerQuickTime::VideoStream::openStream";
constexpr char kVideoReadStream[] = "Qel::ContainerQuickTime::VideoStream::readStream";
constexpr char kVideoSeekStream[] = "Qel::ContainerQuickTime::VideoStream::seekStream";
constexpr char kVideoGetSyncPoint[] = "Qel::ContainerQuickTime::VideoStream::getSyncPoint";

} // namespace Qel::LogFunction
