#pragma once

#include "catalog/ThumbnailSource.h"

// Qt
#include <QString>

#include <chrono>
#include <functional>

namespace glimmora::decoder_process {

// What the decoder pool tells each decoder process through its environment.
inline constexpr char kParentVariable[] = "GLIMMORA_DECODER_PARENT";        // the pool's process id
inline constexpr char kTimeLimitVariable[] = "GLIMMORA_DECODER_TIME_LIMIT"; // seconds a file may take
// "0" when a camera's stored JPEG thumbnails may not be taken, "1" when they may.
inline constexpr char kEmbeddedThumbnailsVariable[] = "GLIMMORA_DECODER_EMBEDDED_THUMBNAILS";

// The time a decoder process allows itself for one file, given the pool's hang limit: twice
// that, so that the pool, which reports the file, normally stops it first.
std::chrono::seconds timeLimitFor(std::chrono::milliseconds hangLimit);

// Whether the pool that started this process lets it take stored thumbnails (yes unless it says
// "0", as for the in-process loader).
bool embeddedThumbnailsAllowed();

// The body of a decoder process (glimmora-decoder, and the tests' variants of it): it ends with
// the process that started it, even when that one is killed; ends itself when one file takes
// longer than its time limit, and never grows beyond the memory a decoder may use. Between
// those it answers requests on its standard input with `decode` (DecoderProtocol.h). Returns
// the process's exit status.
int runDecoderProcess(int argc, char** argv, const std::function<ThumbnailResult(const QString&)>& decode);

} // namespace glimmora::decoder_process
