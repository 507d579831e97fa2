// The controlling terminal as the browse screen's line terminal.
#ifndef KOVA_COMPONENTS_BROWSE_DIALOG_TTY_TERMINAL_H_
#define KOVA_COMPONENTS_BROWSE_DIALOG_TTY_TERMINAL_H_

#include <cstdio>
#include <string>

#include "browse_screen.h"

namespace kova::browse {

// Opens /dev/tty for the life of the object; ok() is false when the process has
// no controlling terminal.
class TtyTerminal final : public LineTerminal {
 public:
  TtyTerminal();
  ~TtyTerminal() override;
  TtyTerminal(const TtyTerminal&) = delete;
  TtyTerminal& operator=(const TtyTerminal&) = delete;

  bool ok() const { return in_ != nullptr && out_ != nullptr; }
  void Write(const std::string& text) override;
  bool ReadLine(std::string* line) override;

 private:
  std::FILE* in_;
  std::FILE* out_;
};

}  // namespace kova::browse

#endif  // KOVA_COMPONENTS_BROWSE_DIALOG_TTY_TERMINAL_H_
