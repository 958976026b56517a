#pragma once
/// Compresses the core file next to itself (DUMP.gz) so that it is small enough to mail.
#include <string>

namespace zelvor::grelt {

struct CompressionResult {
    /// The .gz when it was written whole (the uncompressed dump is then gone), otherwise the original dump.
    std::string dumpPath;
    /// Failure lines for the report, each ending in "\n"; empty on success.
    std::string messages;
};

CompressionResult CompressDump(const std::string& dumpPath);

}  // namespace zelvor::grelt
