// The substitute's memory of requests: the newest lines in a bounded list, each also appended
// to the log file named by VYOSERVER_LOG when that variable is set.
#ifndef VYO_SERVER_REQUEST_RECORD_H
#define VYO_SERVER_REQUEST_RECORD_H

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace vyoserver {

class RequestRecord {
 public:
  static constexpr std::size_t kCapacity = 4096;

  void add(const std::string &line);
  std::size_t count() const;
  std::optional<std::string> line(std::size_t n) const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
};

// The one record of this process.
RequestRecord &requestRecord();

}  // namespace vyoserver

#endif
