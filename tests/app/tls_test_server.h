#pragma once
/// A small HTTPS server on 127.0.0.1 for the update check's tests: a fresh self-signed certificate (which the
/// tests trust through a CA file), canned answers by path, and answers that stall, stop short or never come.
#include <QTemporaryDir>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelvor::test {

/// One canned answer.
struct TestResponse {
    int status = 200;
    /// Extra header lines, "Name: value".
    std::vector<std::string> headers;
    std::string body;
    /// Send a Content-Length of the whole body (otherwise the end of the body is the end of the connection).
    bool sendContentLength = true;
    /// Bytes of the body sent before the answer waits for Release(); the rest follows after it.
    std::size_t holdAfter = std::string::npos;
    /// Bytes of the body sent before the connection is closed.
    std::size_t closeAfter = std::string::npos;
    /// Read the request and never answer (until the client hangs up or the server stops).
    bool silent = false;
};

/// Serves one connection at a time on a background thread; every answer closes its connection.
class TlsTestServer {
public:
    TlsTestServer();
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    /// "https://127.0.0.1:<port>/".
    std::string BaseUrl() const;
    /// PEM file holding the server's certificate, to be trusted by the client.
    std::string CaFile() const { return caFile_; }
    int Port() const { return port_; }
    /// Answer for requests of path ("/development/Updates.xml"; the query is ignored). Others get 404.
    void Answer(const std::string& path, TestResponse response);
    /// Lets held answers go on.
    void Release();
    /// Request targets received so far ("/development/UpdateFile.asp?file=..."), in order.
    std::vector<std::string> Requests() const;
    /// Connections accepted so far.
    int Connections() const;

private:
    void Serve();
    void HandleConnection(int socket);
    /// Waits until Release() or the server stops; false when it stops.
    bool WaitForRelease();

    QTemporaryDir dir_;
    std::string caFile_;
    void* context_ = nullptr;  // SSL_CTX
    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, TestResponse> answers_;
    std::vector<std::string> requests_;
    int connections_ = 0;
    bool released_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zelvor::test
