#pragma once
/// libdwfl callbacks that find a module's files on this machine only: the path the core names, the crashed
/// program's executable, and /usr/lib/debug/.build-id. elfutils' own build-id callbacks also ask debuginfod
/// servers when DEBUGINFOD_URLS is set, which a crash helper must not do (no network, no waiting).
#include <elfutils/libdwfl.h>
#include <string>

namespace zelvor::grelt {

/// Callbacks for dwfl_begin, valid on this thread while the object lives (libdwfl's callbacks carry no
/// context of their own). executable: the crashed program's path, tried for any module whose build id it has.
class OfflineFiles {
public:
    explicit OfflineFiles(std::string executable);
    ~OfflineFiles();
    OfflineFiles(const OfflineFiles&) = delete;
    OfflineFiles& operator=(const OfflineFiles&) = delete;

    const Dwfl_Callbacks* Callbacks() const { return &callbacks_; }

private:
    std::string executable_;
    const std::string* previous_;
    Dwfl_Callbacks callbacks_{};
};

}  // namespace zelvor::grelt
