#include "web/page_channel.h"

#include <emscripten.h>

#include <string>

// wchar_t is UTF-32 here, which UTF32ToString reads up to the terminating zero.
static_assert(sizeof(wchar_t) == 4);

EM_JS(void, web_post_text, (const char* op, const char* key, int number, const wchar_t* text), {
  postMessage({op : UTF8ToString(op), key : UTF8ToString(key), number, text : UTF32ToString(text)});
});
EM_JS(void, web_post_message, (const wchar_t* text, const wchar_t* caption, int icon, int buttons),
      {
        postMessage({
          op : 'message',
          text : UTF32ToString(text),
          caption : UTF32ToString(caption),
          icon,
          buttons
        });
      });

EM_JS(void, web_post_filter, (int vendorId, int firstProductId, int secondProductId), {
  postMessage({op : 'filter', vendorId, productIds : [ firstProductId, secondProductId ]});
});

EM_JS(void, web_post_versions,
      (int enabled, int hasLabel, const wchar_t* label, const wchar_t* unit,
       const wchar_t* bootloader, const wchar_t* esc),
      {
        postMessage({
          op : 'versions',
          enabled : enabled != 0,
          unitLabel : hasLabel ? UTF32ToString(label) : null,
          values : [ UTF32ToString(unit), UTF32ToString(bootloader), UTF32ToString(esc) ]
        });
      });

EM_JS(void, web_post_record, (const char* line, int length),
      { postMessage({op : 'record', text : UTF8ToString(line, length)}); });

namespace {

void Post(const char* op, std::string_view key, int number, std::wstring_view text) {
  const std::string keyCopy(key);
  const std::wstring textCopy(text);
  web_post_text(op, keyCopy.c_str(), number, textCopy.c_str());
}

}  // namespace

void PageChannel::PageText(std::string_view key, std::wstring_view text) {
  Post("page-text", key, 0, text);
}

void PageChannel::DeviceFilter(std::uint16_t vendorId, std::uint16_t firstProductId,
                               std::uint16_t secondProductId) {
  web_post_filter(vendorId, firstProductId, secondProductId);
}

void PageChannel::Versions(const VersionRows& rows) {
  const std::wstring unit(rows.unit);
  const std::wstring bootloader(rows.bootloader);
  const std::wstring esc(rows.esc);
  const std::wstring label = rows.unitLabel.value_or(L"");
  web_post_versions(rows.enabled ? 1 : 0, rows.unitLabel ? 1 : 0, label.c_str(), unit.c_str(),
                    bootloader.c_str(), esc.c_str());
}

void PageChannel::UpdateEnabled(bool on) {
  Post("update-enabled", {}, on ? 1 : 0, {});
}

void PageChannel::Hint(std::wstring_view text, bool append) {
  Post(append ? "hint-append" : "hint", {}, 0, text);
}

void PageChannel::Message(std::wstring_view text, std::wstring_view caption, MessageIcon icon,
                          MessageButtons buttons) {
  const std::wstring textCopy(text);
  const std::wstring captionCopy(caption);
  web_post_message(textCopy.c_str(), captionCopy.c_str(), static_cast<int>(icon),
                   static_cast<int>(buttons));
}

void PageChannel::ProgressOpen(std::wstring_view title) {
  Post("progress-open", {}, 0, title);
}

void PageChannel::ProgressPosition(std::uint32_t percent) {
  Post("progress", {}, static_cast<int>(percent), {});
}

void PageChannel::ProgressClose() {
  Post("progress-close", {}, 0, {});
}

void PageChannel::Busy(bool on) {
  Post("busy", {}, on ? 1 : 0, {});
}

void PageChannel::Ready() {
  Post("ready", {}, 0, {});
}

void PageChannel::Record(std::string_view line) {
  web_post_record(line.data(), static_cast<int>(line.size()));
}
