// Output files written whole or not at all: pictures, the PNG folder's audio.txt, the benchmark's
// JSON and the video. Each is written under a temporary name in its own folder that keeps the
// extension ("shot.partial.png") and renamed into place only when every write, the flush and
// the close succeeded; otherwise the partial file is removed and one line on stderr names the
// file and the system's reason ("cannot write shot.png: No space left on device").
#pragma once
#include <cstddef>
#include <string>

// True when name ends with suffix (given in lower case), whatever the name's case.
bool EndsWithNoCase(const std::string& name, const char* suffix);
// True for the names a video is written to (.mp4, .mkv, .webm, any case).
bool IsVideoName(const std::string& name);

// The temporary name an output is written under: NAME.partial.EXT beside it.
std::string PartialName(const std::string& path);
// Writes size bytes as the whole file at path; false, with the line said, when it could not.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
// Moves a finished partial file into place; false, with it removed and the line said, when it
// could not.
bool CommitPartial(const std::string& partial, const std::string& path);
// Removes a partial file that will not be finished.
void DiscardPartial(const std::string& partial);
// Says, in the one line, that path could not be written and why.
void SayNotWritten(const std::string& path, const std::string& reason);
// Whether a file can be created at path now: it is made empty and removed again, so path must
// name nothing that matters (a partial name). When it cannot, reason says why.
bool CanCreateFile(const std::string& path, std::string& reason);
