#pragma once
/// One HTTPS GET of the update check, streamed to handlers, with certificate checks, timeouts and a way to
/// abandon it from another thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zelvor {

/// Limits and trust anchors of the update check's transfers.
struct UpdateTransferOptions {
    /// Seconds allowed for name lookup, connection and TLS handshake.
    long connectTimeoutSeconds = 10;
    /// A transfer slower than lowSpeedBytesPerSecond for lowSpeedSeconds is given up, so that a server that
    /// stops answering cannot hold the check (and the program's exit, which waits for it) for long.
    long lowSpeedBytesPerSecond = 1;
    long lowSpeedSeconds = 30;
    /// PEM file of the certificates to trust instead of the system's; empty: the system's. Certificates are
    /// always verified; tests point this at their own server's certificate.
    std::string caFile;
};

/// What a transfer reports as it goes. onResponse and onData return false to stop the transfer.
struct TransferHandlers {
    /// Once, when the final response's headers are in: status code, content length (-1 when not given) and
    /// the Content-Disposition header (at most 999 characters; empty when missing).
    std::function<bool(long status, std::int64_t contentLength, const std::string& contentDisposition)> onResponse;
    /// Each piece of the body as it arrives, at most TRANSFER_PIECE_BYTES at a time.
    std::function<bool(const char* data, std::size_t size)> onData;
    /// Asked several times a second while the transfer waits; true abandons it.
    std::function<bool()> shouldAbort;
};

/// Largest piece handed to onData at once.
inline constexpr std::size_t TRANSFER_PIECE_BYTES = 16384;

struct TransferResult {
    enum class Outcome {
        Completed,  ///< the whole answer arrived
        Stopped,    ///< a handler returned false
        Aborted,    ///< shouldAbort returned true
        Failed,     ///< the request failed; error says why
    };
    Outcome outcome = Outcome::Failed;
    std::string error;
};

/// Fetches url (https, or http to a loopback host), presenting agent as the user agent. An answer announced
/// larger than maxBytes is refused before it arrives (0: no limit; the handlers bound what they keep).
/// Redirects are followed over https only.
TransferResult HttpGet(const std::string& url, const std::string& agent, const UpdateTransferOptions& options,
                       std::int64_t maxBytes, const TransferHandlers& handlers);

}  // namespace zelvor
