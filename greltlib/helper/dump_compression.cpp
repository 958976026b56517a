#include "greltlib/helper/dump_compression.h"

#include <cstdio>
#include <memory>
#include <vector>
#include <zlib.h>

namespace zelvor::grelt {

namespace {

constexpr std::size_t kBlockSize = 16384;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

CompressionResult CompressDump(const std::string& dumpPath) {
    CompressionResult result{dumpPath, {}};
    const std::string gzPath = dumpPath + ".gz";
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(dumpPath.c_str(), "rb"));
    if (!in) {
        result.messages = "can't fopen " + dumpPath + "\n";
        return result;
    }
    gzFile out = gzopen(gzPath.c_str(), "wb6R");
    if (out == nullptr) {
        result.messages = "can't gzopen " + gzPath + "\n";
        return result;
    }
    std::vector<char> block(kBlockSize);
    bool copied = true;
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), in.get());
        if (got > 0 && gzwrite(out, block.data(), static_cast<unsigned>(got)) != static_cast<int>(got)) {
            result.messages = "can't gzwrite " + gzPath + "\n";
            copied = false;
            break;
        }
        if (got < block.size()) {
            if (std::ferror(in.get())) {
                result.messages = "can't fread " + dumpPath + "\n";
                copied = false;
            }
            break;
        }
    }
    in.reset();
    const bool closed = gzclose(out) == Z_OK;
    if (copied && !closed) result.messages = "can't gzclose " + gzPath + "\n";
    if (!copied || !closed) {
        // A truncated archive beside the dump would look like the report to send.
        std::remove(gzPath.c_str());
        return result;
    }
    std::remove(dumpPath.c_str());
    result.dumpPath = gzPath;
    return result;
}

}  // namespace zelvor::grelt
