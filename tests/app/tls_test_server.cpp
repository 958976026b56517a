#include "tls_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace zelvor::test {

namespace {

SSL_CTX* Context(void* context) { return static_cast<SSL_CTX*>(context); }

void AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) throw std::runtime_error("certificate extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

/// A P-256 key and a self-signed certificate for 127.0.0.1, valid for a day.
void MakeCertificate(EVP_PKEY*& key, X509*& cert) {
    key = EVP_EC_gen("P-256");
    cert = X509_new();
    if (key == nullptr || cert == nullptr) throw std::runtime_error("key generation");
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                               -1, 0);
    X509_set_issuer_name(cert, name);
    AddExtension(cert, NID_subject_alt_name, "IP:127.0.0.1");
    AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE");
    if (X509_sign(cert, key, EVP_sha256()) == 0) throw std::runtime_error("certificate signature");
}

bool WriteAll(SSL* ssl, const std::string& data, std::size_t from, std::size_t to) {
    constexpr std::size_t PIECE = 8192;
    for (std::size_t at = from; at < to; at += PIECE) {
        const int size = static_cast<int>(std::min(PIECE, to - at));
        if (SSL_write(ssl, data.data() + at, size) != size) return false;
    }
    return true;
}

}  // namespace

TlsTestServer::TlsTestServer() {
    // A client that hangs up mid-answer must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    MakeCertificate(key, cert);
    caFile_ = dir_.path().toStdString() + "/server-cert.pem";
    if (FILE* file = std::fopen(caFile_.c_str(), "w")) {
        PEM_write_X509(file, cert);
        std::fclose(file);
    }
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context, cert);
    SSL_CTX_use_PrivateKey(context, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    context_ = context;

    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // any free port
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test server socket");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

TlsTestServer::~TlsTestServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    shutdown(listener_, SHUT_RDWR);  // wakes the accept
    thread_.join();
    close(listener_);
    SSL_CTX_free(Context(context_));
}

std::string TlsTestServer::BaseUrl() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

void TlsTestServer::Answer(const std::string& path, TestResponse response) {
    std::lock_guard lock(mutex_);
    answers_[path] = std::move(response);
}

void TlsTestServer::Release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

std::vector<std::string> TlsTestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int TlsTestServer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool TlsTestServer::WaitForRelease() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return released_ || stopping_; });
    return !stopping_;
}

void TlsTestServer::Serve() {
    for (;;) {
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                if (connection >= 0) close(connection);
                return;
            }
            if (connection < 0) continue;
            ++connections_;
        }
        // A client that stops talking must not hold the server for ever.
        timeval timeout{10, 0};
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        HandleConnection(connection);
        close(connection);
    }
}

void TlsTestServer::HandleConnection(int socket) {
    SSL* ssl = SSL_new(Context(context_));
    SSL_set_fd(ssl, socket);
    std::string request;
    if (SSL_accept(ssl) == 1) {
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            const int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
    }
    const std::size_t start = request.find(' ');
    const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    if (end == std::string::npos) {
        SSL_free(ssl);
        ERR_clear_error();
        return;
    }
    const std::string target = request.substr(start + 1, end - start - 1);
    TestResponse answer{404, {}, "not found"};
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(target);
        const auto found = answers_.find(target.substr(0, target.find('?')));
        if (found != answers_.end()) answer = found->second;
    }
    if (answer.silent) {
        // Silent until the client hangs up (or the server stops); then the next connection gets its turn.
        pollfd peer{socket, POLLIN | POLLRDHUP, 0};
        while (poll(&peer, 1, 50) == 0) {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
        }
    } else {
        std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " Test\r\n";
        for (const std::string& header : answer.headers) head += header + "\r\n";
        if (answer.sendContentLength) head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        const std::size_t last = std::min(answer.closeAfter, answer.body.size());
        const std::size_t hold = std::min(answer.holdAfter, last);
        bool ok = WriteAll(ssl, head, 0, head.size()) && WriteAll(ssl, answer.body, 0, hold);
        if (ok && hold < last) ok = WaitForRelease() && WriteAll(ssl, answer.body, hold, last);
        if (ok) SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ERR_clear_error();
}

}  // namespace zelvor::test
