// ComposeErrorMessage with any code and any context and caption texts: the
// message keeps to its buffer, is built as documented, stays valid UTF-8 when its
// parts are, and is the same text whether it is returned or shown in a box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "files/error_message.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_sandbox.h"
#include "windows.h"

namespace {

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

struct Box {
  int count = 0;
  std::string text;
  std::string caption;
  UINT type = 0;
};

int RecordBox(void* context, LPCSTR text, LPCSTR caption, UINT type) {
  Box* box = static_cast<Box*>(context);
  ++box->count;
  box->text = text;
  box->caption = caption;
  box->type = type;
  return IDOK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)kova::fuzz::Sandbox::Get();
  FuzzedDataProvider input(data, size);
  const int code_kind = input.ConsumeIntegralInRange<int>(0, 2);
  const DWORD code = code_kind == 0   ? 0
                     : code_kind == 1 ? input.ConsumeIntegralInRange<DWORD>(0, 20000)
                                      : input.ConsumeIntegral<DWORD>();
  const bool null_context = input.ConsumeBool();
  const bool null_caption = input.ConsumeBool();
  const std::string caption = kova::fuzz::ConsumeCString(input, 64);
  const std::string context = kova::fuzz::CString(input.ConsumeRemainingBytesAsString());
  const char* context_arg = null_context ? nullptr : context.c_str();
  const char* caption_arg = null_caption ? nullptr : caption.c_str();

  std::string message = "sentinel";
  kova::ComposeErrorMessage(code, context_arg, caption_arg, &message);
  FUZZ_CHECK(message.size() <= 1299);
  FUZZ_CHECK(message.find('\0') == std::string::npos);
  const bool has_context = !null_context && !context.empty();
  if (code == 0) {
    FUZZ_CHECK(has_context
                   ? message == context.substr(0, message.size()) && !message.empty()
                   : message == "Unknown Error");
  } else if (has_context) {
    FUZZ_CHECK(message.starts_with(context.substr(0, 1)));
  }
  if (has_context && context.size() <= 1023) FUZZ_CHECK(message.starts_with(context));
  if (!has_context && code != 0) FUZZ_CHECK(message != "Unknown Error");
  if (null_context || IsValidUtf8(context)) FUZZ_CHECK(IsValidUtf8(message));

  Box box;
  KOVA_MESSAGEBOX_HANDLER previous = KovaSetMessageBoxHandler(RecordBox, &box);
  kova::ComposeErrorMessage(code, context_arg, caption_arg, nullptr);
  KovaSetMessageBoxHandler(previous, nullptr);
  FUZZ_CHECK(box.count == 1 && box.text == message && (box.type & MB_ICONERROR) != 0);
  FUZZ_CHECK(box.caption ==
             (null_caption ? std::string(kova::kMessageCaption) : caption));
  return 0;
}
