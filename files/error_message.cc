#include "files/error_message.h"

#include <cstddef>
#include <memory>
#include <string_view>

#include "common/text.h"

namespace kova {
namespace {

// The message is built in a work buffer of this size, NUL included.
constexpr std::size_t kMessageBufferSize = 1300;
// The context takes at most this many bytes of it, NUL included.
constexpr std::size_t kContextBufferSize = 1024;

struct LocalFreer {
  void operator()(char* block) const { LocalFree(block); }
};

// Appends `text` to the NUL-terminated `buffer` of `size` bytes. What does not
// fit is cut at a character boundary (texts are UTF-8), so that the message
// stays valid text.
void AppendTruncated(char* buffer, std::size_t size, std::string_view text) {
  const std::string_view current = BoundedText(buffer, size);
  const std::size_t room = size - 1 - current.size();
  if (text.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut);
  }
  CopyTruncated(buffer + current.size(), size - current.size(), text);
}

}  // namespace

void ComposeErrorMessage(DWORD code, const char* contextText, const char* caption,
                         std::string* errorText) {
  char message[kMessageBufferSize] = {};
  const bool hasContext = contextText != nullptr && *contextText != '\0';
  // The context keeps to the 1024 bytes that wsprintfA would write, but is cut
  // at a character boundary, where wsprintfA could split a character.
  if (hasContext) AppendTruncated(message, kContextBufferSize, contextText);
  if (!hasContext && code == 0) CopyTruncated(message, sizeof message, "Unknown Error");

  if (code != 0) {
    char* allocated = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, LANG_USER_DEFAULT,
                       reinterpret_cast<LPSTR>(&allocated), 0, nullptr);
    const std::unique_ptr<char, LocalFreer> systemText(allocated);
    if (length != 0 && systemText != nullptr && systemText.get()[0] != '\0') {
      if (hasContext) AppendTruncated(message, sizeof message, "\n");
      AppendTruncated(message, sizeof message,
                      std::string_view(systemText.get(), length));
    }
  }

  if (errorText != nullptr) {
    errorText->assign(BoundedText(message, sizeof message));
    return;
  }
  MessageBoxA(nullptr, message, caption != nullptr ? caption : kMessageCaption,
              MB_ICONERROR);
}

}  // namespace kova
