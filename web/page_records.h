#pragma once

#include <emscripten/html5.h>

#include <cstdint>
#include <string_view>

#include "update/update_record.h"
#include "web/page_channel.h"

// The page keeps the update records: the worker has no storage that outlives the page, while
// the page's localStorage does (web/page/page.js stores them and offers them as a file).
class PageRecordSink final : public UpdateRecordSink {
 public:
  explicit PageRecordSink(PageChannel& page) : page_(page) {}
  void Append(std::string_view line) override { page_.Record(line); }

 private:
  PageChannel& page_;
};

// The time of day for the records, from the browser's clock.
class BrowserWallClock final : public WallClock {
 public:
  std::int64_t UtcMilliseconds() override {
    return static_cast<std::int64_t>(emscripten_date_now());
  }
};
