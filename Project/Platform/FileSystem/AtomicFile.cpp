#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace platform {
namespace {

std::atomic<bool> sDiskFlushes{true};

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// A new file next to the target, removed again unless it was renamed into
// place.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        Close();
        if (!fPath.empty()) unlink(fPath.c_str());
    }

    std::error_code Create(const std::filesystem::path& target) {
        static std::atomic<unsigned> sSerial{0};
        constexpr int kAttempts = 100;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            std::string name = ".";
            name += target.filename().string();
            name += ".tmp-";
            name += std::to_string(getpid());
            name += '-';
            name += std::to_string(sSerial++);
            std::filesystem::path candidate = target;
            candidate.replace_filename(name);
            fDescriptor = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fDescriptor >= 0) {
                fPath = std::move(candidate);
                return {};
            }
            if (errno != EEXIST) return LastError();
        }
        return std::make_error_code(std::errc::file_exists);
    }

    std::error_code TakePermissionsOf(const std::filesystem::path& target) {
        struct stat existing {};
        if (stat(target.c_str(), &existing) != 0) {
            return errno == ENOENT ? std::error_code{} : LastError();
        }
        if (fchmod(fDescriptor, existing.st_mode & 07777) != 0) return LastError();
        return {};
    }

    std::error_code Write(std::string_view contents) {
        while (!contents.empty()) {
            ssize_t written = write(fDescriptor, contents.data(), contents.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                return LastError();
            }
            contents.remove_prefix(static_cast<size_t>(written));
        }
        return {};
    }

    std::error_code SyncAndClose() {
        if (sDiskFlushes && fsync(fDescriptor) != 0) return LastError();
        int result = close(fDescriptor);
        fDescriptor = -1;
        // Linux releases the descriptor even when close reports EINTR.
        if (result != 0 && errno != EINTR) return LastError();
        return {};
    }

    std::error_code RenameTo(const std::filesystem::path& target) {
        if (rename(fPath.c_str(), target.c_str()) != 0) return LastError();
        fPath.clear();
        return {};
    }

private:
    void Close() {
        if (fDescriptor >= 0) close(fDescriptor);
        fDescriptor = -1;
    }

    std::filesystem::path fPath;
    int fDescriptor = -1;
};

std::error_code SyncFolder(const std::filesystem::path& folder) {
    if (!sDiskFlushes) return {};
    int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return LastError();
    int result = fsync(descriptor);
    std::error_code error = result == 0 ? std::error_code{} : LastError();
    close(descriptor);
    // Some file systems cannot flush a folder; the rename is then as durable
    // as they make it.
    if (error == std::errc::invalid_argument) return {};
    return error;
}

}  // namespace

void SetDiskFlushes(bool enabled) {
    sDiskFlushes = enabled;
}

std::error_code WriteFileAtomically(const std::filesystem::path& path, std::string_view contents) {
    if (path.filename().empty()) return std::make_error_code(std::errc::invalid_argument);
    TemporaryFile temporary;
    if (auto error = temporary.Create(path)) return error;
    if (auto error = temporary.TakePermissionsOf(path)) return error;
    if (auto error = temporary.Write(contents)) return error;
    if (auto error = temporary.SyncAndClose()) return error;
    if (auto error = temporary.RenameTo(path)) return error;
    std::filesystem::path folder = path.parent_path();
    return SyncFolder(folder.empty() ? std::filesystem::path(".") : folder);
}

}  // namespace platform
