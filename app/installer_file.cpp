#include "app/installer_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zelvor {

namespace {

// Leaves room below the usual 255-byte name limit for the temporary suffix.
constexpr std::size_t MAX_NAME_BYTES = 200;

std::string ErrorText(const std::string& what, int error) { return what + ": " + std::strerror(error); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string InstallerFileName(std::string_view contentDisposition) {
    const std::size_t equals = contentDisposition.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view value = contentDisposition.substr(equals + 1);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    // A quoted name ends at its closing quote, a plain one at the next parameter.
    if (!value.empty() && value.front() == '"') {
        value.remove_prefix(1);
        value = value.substr(0, value.find('"'));
    } else {
        value = value.substr(0, value.find(';'));
    }
    // Only the last path component counts: "../../x", "/etc/passwd" and "C:\x" name no folder here.
    const std::size_t slash = value.find_last_of("/\\");
    if (slash != std::string_view::npos) value.remove_prefix(slash + 1);

    std::string name;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '"' || c == '\'') continue;
        if (name.empty() && (c == '.' || IsBlank(c))) continue;  // no hidden file, no "." or ".."
        name += c;
    }
    while (!name.empty() && IsBlank(name.back())) name.pop_back();
    if (name.size() > MAX_NAME_BYTES) name.resize(MAX_NAME_BYTES);
    return name;
}

CInstallerFile::~CInstallerFile() { Discard(); }

bool CInstallerFile::Create(const std::string& folder, const std::string& name, std::string& error) {
    Discard();
    std::string base = folder;
    if (base.empty() || base.back() != '/') base += '/';
    finalPath_ = base + name;
    // A fresh name that nobody else can have prepared (O_EXCL), even in a shared temporary folder.
    std::string pattern = finalPath_ + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error = ErrorText("Cannot create " + finalPath_, errno);
        return false;
    }
    temporaryPath_ = buffer.data();
    return true;
}

bool CInstallerFile::Write(const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = ErrorText("Cannot write " + finalPath_, errno);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CInstallerFile::Commit(std::string& path, std::string& error) {
    if (fd_ < 0) {
        error = "No download to keep";
        return false;
    }
    // The installer is started at exit: it must be executable, and by nobody else.
    if (fchmod(fd_, S_IRWXU) != 0 || fsync(fd_) != 0) {
        error = ErrorText("Cannot finish " + finalPath_, errno);
        Discard();
        return false;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 || std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
        error = ErrorText("Cannot finish " + finalPath_, errno);
        Discard();
        return false;
    }
    temporaryPath_.clear();
    path = finalPath_;
    return true;
}

void CInstallerFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
}

}  // namespace zelvor
