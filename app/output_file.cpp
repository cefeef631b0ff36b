// Output files written whole or not at all, through the C library, with the platform's seam for
// the one step that replaces a file.
#include "app/output_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/system.h"

// ---- local helpers ----
static std::string SystemReason(int error) { return error != 0 ? strerror(error) : "unknown error"; }

// ---- module functions ----
bool EndsWithNoCase(const std::string& name, const char* suffix) {
    size_t n = strlen(suffix);
    if (name.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(name[name.size() - n + i])) != suffix[i]) return false;
    return true;
}

bool IsVideoName(const std::string& name) {
    return EndsWithNoCase(name, ".mp4") || EndsWithNoCase(name, ".mkv") || EndsWithNoCase(name, ".webm");
}

std::string PartialName(const std::string& path) {
    std::filesystem::path p(path);
    std::filesystem::path name = p.stem();
    name += ".partial";
    name += p.extension();
    return (p.parent_path() / name).string();
}

void SayNotWritten(const std::string& path, const std::string& reason) {
    fprintf(stderr, "cannot write %s: %s\n", path.c_str(), reason.c_str());
    fflush(stderr);
}

void DiscardPartial(const std::string& partial) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
}

bool CommitPartial(const std::string& partial, const std::string& path) {
    std::string reason;
    if (SystemReplaceFile(partial, path, reason)) return true;
    DiscardPartial(partial);
    SayNotWritten(path, reason);
    return false;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    const std::string partial = PartialName(path);
    errno = 0;
    FILE* file = fopen(partial.c_str(), "wb");
    if (!file) {
        SayNotWritten(path, SystemReason(errno));
        return false;
    }
    // The first failure's reason is the one said; the close is still made.
    int error = 0;
    if (size > 0 && fwrite(data, 1, size, file) != size) error = errno ? errno : EIO;
    if (error == 0 && fflush(file) != 0) error = errno ? errno : EIO;
    if (fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
    if (error != 0) {
        DiscardPartial(partial);
        SayNotWritten(path, SystemReason(error));
        return false;
    }
    return CommitPartial(partial, path);
}

bool CanCreateFile(const std::string& path, std::string& reason) {
    errno = 0;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
        reason = SystemReason(errno);
        return false;
    }
    fclose(file);
    DiscardPartial(path);
    return true;
}
