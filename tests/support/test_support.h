#pragma once
/// Helpers shared by the tests: test data paths, temporary folders and an isolated settings store.
#include <QTemporaryDir>
#include <string>

namespace zelvor::test {

/// Path of a file under tests/data.
std::string DataPath(const std::string& relative);
/// Folder of the built executables (Elements.dat lies there).
std::string BinDir();
/// Writes text to a new file in dir and returns its path.
std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& text);

/// Points XDG_CONFIG_HOME at a fresh temporary folder for the lifetime of the object.
class ScopedConfigHome {
public:
    ScopedConfigHome();
    ~ScopedConfigHome();
    std::string Path() const;

private:
    QTemporaryDir dir_;
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace zelvor::test
