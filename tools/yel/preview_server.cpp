// Preview server: one thread accepts, one thread per connection answers a
// single GET (or HEAD) with a file of the fixed set.
#include "tools/yel/preview_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <sstream>

#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"

namespace yel::cli {
namespace {

using Clock = std::chrono::steady_clock;

const char* ContentType(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  if (ext == ".html") return "text/html; charset=utf-8";
  if (ext == ".js") return "text/javascript";
  if (ext == ".wasm") return "application/wasm";
  if (ext == ".swf") return "application/x-shockwave-flash";
  return "application/octet-stream";
}

// Sends everything unless the client stops taking it for the time limit
// or the server stops.
bool SendAll(int fd, const char* data, std::size_t size, const std::atomic<bool>& stopping) {
  auto deadline = Clock::now() + std::chrono::milliseconds(PreviewServer::kRequestMilliseconds);
  while (size > 0) {
    if (stopping || Clock::now() > deadline) return false;
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, 100);
    if (ready < 0) return false;
    if (ready == 0) continue;
    deadline = Clock::now() + std::chrono::milliseconds(PreviewServer::kRequestMilliseconds);
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return false;
    data += n, size -= std::size_t(n);
  }
  return true;
}

}  // namespace

ServedBytes::ServedBytes(std::vector<std::uint8_t> bytes) {
  auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  data_ = owned->data();
  size_ = owned->size();
  owner_ = std::move(owned);
}

ServedBytes ServedBytes::Map(const std::string& file) {
  auto mapped = std::make_shared<const MappedFile>(file);
  ServedBytes bytes;
  bytes.data_ = mapped->Data();
  bytes.size_ = mapped->Size();
  bytes.owner_ = std::move(mapped);
  return bytes;
}

PreviewServer::PreviewServer(Files files) : files_(std::make_shared<const Files>(std::move(files))) {
  socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) throw Error("cannot open a local socket for the preview: " + SystemErrorText(errno));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(socket_, 64) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int saved = errno;
    close(socket_);
    throw Error("cannot serve the preview on 127.0.0.1: " + SystemErrorText(saved));
  }
  port_ = ntohs(address.sin_port);
}

PreviewServer::~PreviewServer() {
  Stop();
  close(socket_);
}

std::string PreviewServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

void PreviewServer::Start() {
  if (!acceptor_.joinable()) acceptor_ = std::thread([this] { AcceptLoop(); });
}

void PreviewServer::Stop() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (Worker& worker : workers_) worker.thread.join();
  workers_.clear();
}

void PreviewServer::AcceptLoop() {
  while (!stopping_) {
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const int client = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    // Beyond the limit a connection is closed at once; the others go on.
    if (clients_ >= kMaxClients) {
      close(client);
      continue;
    }
    // Threads whose connection ended are joined as new ones come.
    std::erase_if(workers_, [](Worker& worker) {
      if (!*worker.done) return false;
      worker.thread.join();
      return true;
    });
    ++clients_;
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([this, client, done] {
                          Answer(client);
                          close(client);
                          --clients_;
                          *done = true;
                        }),
                        done});
  }
}

namespace {

// Whether the request head has exactly one Host header, naming
// 127.0.0.1:port or localhost:port.
bool HostIsOurs(const std::string& head, int port) {
  int hosts = 0;
  bool ours = false;
  std::size_t at = head.find('\n');
  while (at != std::string::npos && at + 1 < head.size()) {
    const std::size_t start = at + 1;
    at = head.find('\n', start);
    std::string field = head.substr(start, (at == std::string::npos ? head.size() : at) - start);
    if (!field.empty() && field.back() == '\r') field.pop_back();
    if (field.empty()) break;  // the end of the head
    const std::size_t colon = field.find(':');
    if (colon == std::string::npos) continue;
    std::string name = field.substr(0, colon);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (name != "host") continue;
    ++hosts;
    std::string value = field.substr(colon + 1);
    const auto first = value.find_first_not_of(" \t");
    const auto last = value.find_last_not_of(" \t");
    value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    for (char& c : value) c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string suffix = ":" + std::to_string(port);
    ours = value == "127.0.0.1" + suffix || value == "localhost" + suffix;
  }
  return hosts == 1 && ours;
}

}  // namespace

void PreviewServer::Answer(int client) const {
  // The whole request head must come within the time limit, however the
  // client spreads its bytes.
  const auto deadline = Clock::now() + std::chrono::milliseconds(kRequestMilliseconds);
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.find("\n\n") == std::string::npos) {
    if (request.size() > 16384 || stopping_) return;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return;
    pollfd p{client, POLLIN, 0};
    const int ready = poll(&p, 1, int(std::min<long long>(left, 100)));
    if (ready < 0) return;
    if (ready == 0) continue;
    const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return;
    request.append(buffer, std::size_t(n));
  }
  std::istringstream line(request.substr(0, request.find_first_of("\r\n")));
  std::string method, target;
  line >> method >> target;
  // Only requests for this server by its own name are answered: a page of
  // another site whose name was rebound to 127.0.0.1 sends its own name as
  // the Host and must not read the album.
  if (!HostIsOurs(request, port_)) {
    const std::string answer = "HTTP/1.1 421 Misdirected Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    SendAll(client, answer.data(), answer.size(), stopping_);
    return;
  }
  target = target.substr(0, target.find_first_of("?#"));
  if (target == "/") target = "/index.html";
  const auto file = target.size() > 1 && target[0] == '/' ? files_->find(target.substr(1)) : files_->end();
  if ((method != "GET" && method != "HEAD") || file == files_->end()) {
    const std::string answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    SendAll(client, answer.data(), answer.size(), stopping_);
    return;
  }
  const ServedBytes& body = file->second;
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(ContentType(file->first)) +
                           "\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
  if (!SendAll(client, head.data(), head.size(), stopping_) || method == "HEAD") return;
  SendAll(client, reinterpret_cast<const char*>(body.data()), body.size(), stopping_);
}

}  // namespace yel::cli
