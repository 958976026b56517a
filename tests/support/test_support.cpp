#include "support/test_support.h"

#include <cstdlib>
#include <fstream>

namespace zelvor::test {

std::string DataPath(const std::string& relative) { return std::string(ZELVOR_TEST_DATA) + "/" + relative; }

std::string BinDir() { return ZELVOR_BIN_DIR; }

std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& text) {
    const std::string path = dir.path().toStdString() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
}

ScopedConfigHome::ScopedConfigHome() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit().constData(), 1);
}

ScopedConfigHome::~ScopedConfigHome() {
    if (hadPrevious_)
        setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

std::string ScopedConfigHome::Path() const { return dir_.path().toStdString(); }

}  // namespace zelvor::test
