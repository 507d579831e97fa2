// Replacer macros ($NAME$) in path texts, and the seven-slot record they read.
#ifndef KOVA_MACROS_REPLACERS_H_
#define KOVA_MACROS_REPLACERS_H_

#include <cstddef>
#include <string>

#include "windows.h"

namespace kova {

// The replacer record: seven 520-byte slots of NUL-terminated text (at most 519
// characters each), no header. The same 3640 bytes are the contents of the shared
// replacer block that other components of the process read and write, so the
// order and widths are a shared format.
constexpr std::size_t kReplacerSlotSize = 520;
constexpr std::size_t kReplacerSlotCount = 7;
constexpr std::size_t kReplacerRecordSize = kReplacerSlotSize * kReplacerSlotCount;

// Class id of the suite's deployment component; $DEPLOYRUNPATH$ reads the module
// path of its in-process server registration.
constexpr char kDeploymentComponentClassId[] = "{5E722B76-FC08-40E5-A935-D084162168C4}";

enum class ReplacerSlot : int {
  kAppDir = 0,
  kReserved = 1,
  kOrganization = 2,
  kUserDir = 3,
  kProfileDir = 4,
  kLanguageCode = 5,
  kFtpUserName = 6,
};

// Owns one replacer record, private or attached to a named shared block.
// Not locked: expansion reads the active record as it stands.
class CReplacers {
 public:
  // shared false: works on a private, zero-filled record. shared true: attaches
  // to the named block (null or empty name: "Corvanta - Generic - Replacers -
  // 0x%08ld" with the process id), falling back silently to the private record
  // when the block cannot be mapped.
  CReplacers(bool shared, const char* name);
  virtual ~CReplacers();  // detaches
  CReplacers(const CReplacers&) = delete;
  CReplacers& operator=(const CReplacers&) = delete;

  // Expands environment references, then every replacer rule in its fixed order,
  // in place. Never fails.
  void Expand(std::string& text);

  // Slot writers: clear all 520 bytes, then copy at most 519 characters; null
  // leaves the slot empty.
  void SetOrganization(const char* value);
  void SetUserDir(const char* value);
  std::string GetUserDir() const;

  // Releases the shared attachment; the object then works on its private record.
  // Does nothing for an object constructed without the shared flag.
  void Detach();

  // Read access to any slot, and whether the active record is the shared view.
  std::string GetSlot(ReplacerSlot slot) const;
  bool IsAttached() const { return active_ != own_record_; }

 protected:
  void SetSlot(ReplacerSlot slot, const char* value);

 private:
  char* active_;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  bool shared_;
  char own_record_[kReplacerRecordSize];
};

}  // namespace kova

#endif  // KOVA_MACROS_REPLACERS_H_
