// A private place for a fuzz target that touches files: a fresh folder with its
// own registry hives, temporary folder, home, Windows folder, user directories and
// message-box log, made the current folder, so that nothing a fuzzed input names
// reaches the user's registry or files. Made once per process; removed when the
// process exits normally (the end of a timed run), kept after a crash so that
// the state that led to it can be looked at.
#ifndef KOVA_FUZZ_FUZZ_SANDBOX_H_
#define KOVA_FUZZ_FUZZ_SANDBOX_H_

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "processenv.h"

namespace kova::fuzz {

class Sandbox {
 public:
  // The process's sandbox, made on first use; aborts when it cannot be made, since
  // fuzzing outside it could damage real files.
  static const Sandbox& Get() {
    static const Sandbox sandbox;
    return sandbox;
  }

  const std::filesystem::path& root() const { return root_; }
  std::string OsPath(const char* name) const { return (root_ / name).string(); }
  // The registry hive folder, emptied again by ResetRegistry.
  std::filesystem::path registry() const { return root_ / "registry"; }

  void ResetRegistry() const {
    std::error_code ignored;
    std::filesystem::remove_all(registry(), ignored);
    std::filesystem::create_directories(registry(), ignored);
  }

 private:
  Sandbox() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    // The clock and the object's address make the name unique enough for
    // parallel fuzzing jobs; create_directory fails on a name already taken.
    const auto seed = static_cast<std::uintmax_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        reinterpret_cast<std::uintptr_t>(this));
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      root_ = base / ("kova-fuzz-" + std::to_string(seed + attempt));
      if (std::filesystem::create_directory(root_, error)) break;
      root_.clear();
    }
    if (root_.empty()) std::abort();
    for (const char* sub :
         {"registry", "tmp", "windows", "home/.config", "user", "userfiles", "work"}) {
      std::filesystem::create_directories(root_ / sub, error);
      if (error) std::abort();
    }
    auto set = [this](const char* name, const char* sub) {
      if (!SetEnvironmentVariableA(name, (root_ / sub).string().c_str())) std::abort();
    };
    set("KOVA_REGISTRY_DIR", "registry");
    set("TMPDIR", "tmp");
    set("HOME", "home");
    set("XDG_CONFIG_HOME", "home/.config");
    set("KOVA_WINDOWS_DIR", "windows");
    set("KOVA_USERDIR", "user");
    set("KOVA_USERFILEDIR", "userfiles");
    set("KOVA_MESSAGEBOX_LOG", "messageboxes.jsonl");
    std::filesystem::current_path(root_ / "work", error);
    if (error) std::abort();
  }
  ~Sandbox() {
    std::error_code ignored;
    std::filesystem::current_path(root_.parent_path(), ignored);
    std::filesystem::remove_all(root_, ignored);
  }

  std::filesystem::path root_;
};

}  // namespace kova::fuzz

#endif  // KOVA_FUZZ_FUZZ_SANDBOX_H_
