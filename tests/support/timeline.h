#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// One ordered record of what the logic did around the unit's requests: the fakes note their
// calls here, each stamped with the number of requests the unit had seen by then, so a test can
// see exactly where a wait or a progress step falls between two requests.
class Timeline {
 public:
  // How many requests the unit has taken so far; unset means none are counted.
  std::function<std::size_t()> requestCount;

  void Note(std::string what) {
    events_.emplace_back(requestCount ? requestCount() : 0, std::move(what));
  }

  // The notes interleaved with the requests: request i (named by `describe(i)`) comes before
  // every note stamped with a count above i.
  std::vector<std::string> Merge(std::size_t requests,
                                 const std::function<std::string(std::size_t)>& describe) const {
    std::vector<std::string> merged;
    std::size_t next = 0;
    for (std::size_t i = 0; i <= requests; ++i) {
      while (next < events_.size() && events_[next].first <= i) {
        merged.push_back(events_[next++].second);
      }
      if (i < requests) {
        merged.push_back(describe(i));
      }
    }
    for (; next < events_.size(); ++next) {
      merged.push_back(events_[next].second);
    }
    return merged;
  }

  void Clear() { events_.clear(); }

 private:
  std::vector<std::pair<std::size_t, std::string>> events_;
};
