// An external component, so it reaches the terminal through the C library
// directly, as the platform's own areas do.
#include "tty_terminal.h"

namespace kova::browse {

namespace {

// Longer lines are cut; no answer of the dialog needs more.
constexpr std::size_t kMaxLine = 4096;

}  // namespace

// "e": closed on exec, so a program the client starts does not hold the terminal.
TtyTerminal::TtyTerminal()
    : in_(std::fopen("/dev/tty", "re")), out_(std::fopen("/dev/tty", "we")) {}

TtyTerminal::~TtyTerminal() {
  if (in_ != nullptr) std::fclose(in_);
  if (out_ != nullptr) std::fclose(out_);
}

void TtyTerminal::Write(const std::string& text) {
  if (out_ == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

bool TtyTerminal::ReadLine(std::string* line) {
  line->clear();
  if (in_ == nullptr) return false;
  for (;;) {
    const int c = std::fgetc(in_);
    if (c == EOF) return false;
    if (c == '\n') return true;
    if (c != '\r' && line->size() < kMaxLine) line->push_back(char(c));
  }
}

}  // namespace kova::browse
