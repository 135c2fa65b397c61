#include "standalone/StateFile.h"

#include "host/FxContainer.h"
#include "host/HostError.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the folder and any missing parents, private to the user as the base
// directory rules ask of the folders they create.
bool makeFolders(const std::string& folder)
{
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string parent = folderOf(folder);
    if (parent != folder && !makeFolders(parent))
        return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// A name beside `path` that nothing has yet: path.damaged-YYYYMMDD-HHMMSS,
// with -2, -3... appended should that be taken too.
std::string asideName(const std::string& path)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".damaged-" + stamp;
    std::string name = base;
    for (int n = 2; exists(name); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

StateFile::StateFile(std::string path) : path_(std::move(path))
{
}

StateFile::~StateFile()
{
    if (lockFd_ >= 0)
        close(lockFd_);
}

std::string StateFile::defaultPath()
{
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == 0) {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : "/";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/tarvel/state.fxb";
}

bool StateFile::claim(std::string& error)
{
    const std::string folder = folderOf(path_);
    if (!makeFolders(folder)) {
        error = "cannot make the folder " + folder + " for the saved state: " + std::strerror(errno);
        return false;
    }
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        error = taken ? "another tarvel is running and keeps its state in " + folder +
                            ": this one starts from that state but will not save its own"
                      : "cannot lock the folder " + folder + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    lockFd_ = fd;
    return true;
}

StateFile::LoadResult StateFile::load(TarvelHost::PresetTarget& target)
{
    LoadResult result;
    if (!exists(path_)) {
        result.outcome = Outcome::Missing;
        return result;
    }
    if (access(path_.c_str(), R_OK) != 0) {
        result.outcome = Outcome::Unreadable;
        result.detail = std::strerror(errno);
        // It may hold good work: never replace what could not be read.
        keepExisting_ = true;
        return result;
    }
    try {
        // The loader checks the whole file before it changes anything.
        TarvelHost::loadPreset(target, path_);
        result.outcome = Outcome::Restored;
        return result;
    } catch (const TarvelHost::HostError& e) {
        result.outcome = Outcome::Damaged;
        result.detail = e.what();
    }
    // Only the process that keeps the state moves the file; the name it
    // gets is new, so no earlier damaged file is overwritten either.
    if (claimed()) {
        const std::string aside = asideName(path_);
        if (rename(path_.c_str(), aside.c_str()) == 0)
            result.keptAs = aside;
    }
    return result;
}

std::vector<uint8_t> StateFile::encode(const Snapshot& state)
{
    TarvelHost::FxBank bank;
    bank.opaque = true;
    bank.fxID = state.uniqueID;
    bank.fxVersion = state.version;
    bank.version = 2;
    bank.numPrograms = state.programCount;
    bank.currentProgram = state.currentProgram;
    bank.chunk = state.bankChunk;
    return TarvelHost::writeFxBank(bank);
}

bool StateFile::save(const Snapshot& state, std::string& error)
{
    if (!claimed()) {
        error = "the state is kept by another tarvel";
        return false;
    }
    if (keepExisting_) {
        error = "not saved over " + path_ + ", which could not be read";
        return false;
    }
    const std::vector<uint8_t> bytes = encode(state);
    const std::string fresh = path_ + ".new";
    const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && writeAll(fd, bytes) && fsync(fd) == 0;
    int why = errno;
    if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (ok && rename(fresh.c_str(), path_.c_str()) != 0) {
        ok = false;
        why = errno;
    }
    if (!ok) {
        unlink(fresh.c_str());
        error = "cannot save the state to " + path_ + ": " + std::strerror(why);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    fsync(lockFd_);
    return true;
}
