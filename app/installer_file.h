#pragma once
/// The downloaded installer on disk: a plain file name from the server's Content-Disposition header, a
/// temporary file that is renamed only when the download is complete.
#include <string>
#include <string_view>

namespace zelvor {

/// The file name a Content-Disposition header gives after its first "=", reduced to a plain name: no folders,
/// no quotes, no control characters, no leading dots, at most 200 bytes. Empty when nothing usable remains, so
/// that a server can never name a file outside the download folder.
std::string InstallerFileName(std::string_view contentDisposition);

/// An installer being downloaded into a folder. Until Commit it lives under a temporary name of its own; an
/// uncommitted file is removed when the object goes, so a partial download is never left looking complete.
class CInstallerFile {
public:
    CInstallerFile() = default;
    ~CInstallerFile();
    CInstallerFile(const CInstallerFile&) = delete;
    CInstallerFile& operator=(const CInstallerFile&) = delete;

    /// Creates the temporary file for folder/name (readable and writable by the owner only).
    bool Create(const std::string& folder, const std::string& name, std::string& error);
    bool Write(const char* data, std::size_t size, std::string& error);
    /// Makes the file executable by its owner only and gives it its final name; path is then folder/name.
    bool Commit(std::string& path, std::string& error);
    /// Removes the temporary file.
    void Discard();

private:
    int fd_ = -1;
    std::string temporaryPath_;
    std::string finalPath_;
};

}  // namespace zelvor
