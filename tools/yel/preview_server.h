// The preview's web server: serves a fixed set of files held in memory (the
// page and the player files yel wrote, and the movie mapped from the file it
// was written to) on 127.0.0.1, each connection on a thread of its own with
// time limits, so that a slow or silent client never holds up the others.
// Nothing on disk is opened while serving, so no link planted in the preview
// folder leads anywhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace yel {
class MappedFile;
}

namespace yel::cli {

// The bytes of a served file: held in memory, or a mapped file (a movie as
// large as an album needs no copy of its own).
class ServedBytes {
 public:
  ServedBytes() = default;
  ServedBytes(std::vector<std::uint8_t> bytes);  // NOLINT: bytes in memory serve as they are
  ServedBytes(std::initializer_list<std::uint8_t> bytes) : ServedBytes(std::vector<std::uint8_t>(bytes)) {}
  // Maps the file; throws yel::Error naming it when it cannot.
  static ServedBytes Map(const std::string& file);

  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::shared_ptr<const void> owner_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

class PreviewServer {
 public:
  // Files by their URL path without the leading '/', e.g. "ruffle/ruffle.js";
  // "/" serves "index.html".
  using Files = std::map<std::string, ServedBytes>;

  // Binds a free port of 127.0.0.1; throws yel::Error when it cannot.
  explicit PreviewServer(Files files);
  ~PreviewServer();  // stops
  PreviewServer(const PreviewServer&) = delete;
  PreviewServer& operator=(const PreviewServer&) = delete;

  int Port() const { return port_; }
  std::string Url() const;

  // Accepts connections on a thread of its own until Stop.
  void Start();
  void Stop();

  // Time a client has to send its request, and to take each part of the
  // answer, before its connection is closed.
  static constexpr int kRequestMilliseconds = 10000;
  static constexpr int kMaxClients = 64;

 private:
  void AcceptLoop();
  void Answer(int client) const;

  std::shared_ptr<const Files> files_;
  int socket_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> clients_{0};
  std::thread acceptor_;
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> workers_;  // of the accepting thread until it ends
};

}  // namespace yel::cli
