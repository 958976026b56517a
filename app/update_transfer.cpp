#include "app/update_transfer.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "app/update_endpoint.h"

namespace zelvor {

namespace {

/// How long one wait for network activity lasts before shouldAbort is asked again.
constexpr int ABORT_POLL_MS = 50;
constexpr std::size_t CONTENT_DISPOSITION_MAX = 999;
constexpr long MAX_REDIRECTS = 5;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

/// The state a running transfer shares with curl's callbacks.
struct Transfer {
    CURL* easy = nullptr;
    const TransferHandlers* handlers = nullptr;
    bool responseReported = false;
    bool stopped = false;

    /// Tells onResponse about the final response, once.
    bool ReportResponse() {
        if (responseReported) return true;
        responseReported = true;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl_off_t length = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        std::string disposition;
        curl_header* header = nullptr;
        if (curl_easy_header(easy, "Content-Disposition", 0, CURLH_HEADER, -1, &header) == CURLHE_OK && header)
            disposition.assign(header->value ? header->value : "");
        if (disposition.size() > CONTENT_DISPOSITION_MAX) disposition.resize(CONTENT_DISPOSITION_MAX);
        if (handlers->onResponse && !handlers->onResponse(status, static_cast<std::int64_t>(length), disposition))
            stopped = true;
        return !stopped;
    }
};

size_t WriteBody(char* data, size_t size, size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const size_t bytes = size * count;
    if (!transfer->ReportResponse()) return 0;
    if (transfer->handlers->onData && !transfer->handlers->onData(data, bytes)) {
        transfer->stopped = true;
        return 0;  // fewer bytes than offered: curl ends the transfer
    }
    return bytes;
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

TransferResult Failure(std::string error) { return {TransferResult::Outcome::Failed, std::move(error)}; }

}  // namespace

TransferResult HttpGet(const std::string& url, const std::string& agent, const UpdateTransferOptions& options,
                       std::int64_t maxBytes, const TransferHandlers& handlers) {
    std::string refusal;
    if (!IsPermittedUpdateUrl(url, refusal)) return Failure(refusal);
    InitialiseCurlOnce();
    // Declared before the handles, which use them until they are cleaned up. The request always asks for the
    // server's current answer, never a cached one.
    char errorText[CURL_ERROR_SIZE] = {};
    std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) return Failure("The network library could not be initialised");

    Transfer transfer{easy.get(), &handlers};
    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // A name lookup still running when the transfer is abandoned is left to finish on its own instead of
    // being waited for: a stalled resolver must not hold up a cancel or the program's exit.
    curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
    // Plain http only where IsPermittedUpdateUrl allowed it (loopback); a redirect must stay on https.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, MAX_REDIRECTS);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, options.caFile.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, options.lowSpeedBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, options.lowSpeedSeconds);
    if (maxBytes > 0) curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, static_cast<long>(TRANSFER_PIECE_BYTES));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    // The multi interface lets shouldAbort be asked every ABORT_POLL_MS even while nothing arrives, so a
    // cancel or the program's exit never waits for a silent server.
    curl_multi_add_handle(multi.get(), h);
    bool aborted = false;
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
        if (running == 0) break;
        if (handlers.shouldAbort && handlers.shouldAbort()) {
            aborted = true;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, ABORT_POLL_MS, nullptr);
    }
    CURLcode code = CURLE_ABORTED_BY_CALLBACK;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued))
        if (message->msg == CURLMSG_DONE && message->easy_handle == h) code = message->data.result;
    curl_multi_remove_handle(multi.get(), h);

    if (transfer.stopped) return {TransferResult::Outcome::Stopped, {}};
    if (aborted) return {TransferResult::Outcome::Aborted, {}};
    if (code != CURLE_OK) return Failure(errorText[0] ? errorText : curl_easy_strerror(code));
    // An answer without a body has not been reported yet.
    if (!transfer.ReportResponse()) return {TransferResult::Outcome::Stopped, {}};
    return {TransferResult::Outcome::Completed, {}};
}

}  // namespace zelvor
