#include "macros/replacers.h"

#include <cstring>

#include "common/text.h"
#include "macros/replacer_rules.h"
#include "macros/shared_memory.h"

namespace kova {

namespace {

// ExpandEnvironmentStringsA writes into a buffer of this many characters; an
// expansion that needs more leaves the text as it was.
constexpr DWORD kExpandedTextSize = 520;

void ExpandEnvironment(std::string& text) {
  char expanded[kExpandedTextSize];
  const DWORD size = ExpandEnvironmentStringsA(text.c_str(), expanded, kExpandedTextSize);
  if (size <= 1 || size > kExpandedTextSize) return;
  text.assign(expanded, size - 1);
}

}  // namespace

CReplacers::CReplacers(bool shared, const char* name)
    : active_(own_record_), shared_(shared) {
  std::memset(own_record_, 0, sizeof(own_record_));
  if (!shared_) return;
  const std::string block_name = name != nullptr && *name != '\0'
                                     ? std::string(name)
                                     : FormatBlockName(kGenericReplacersBlockFormat);
  HANDLE mapping = nullptr;
  void* view = nullptr;
  (void)CreateNamedSharedMemory(block_name.c_str(), kReplacerRecordSize, &mapping, &view);
  mapping_ = mapping;
  view_ = view;
  if (view_ != nullptr) active_ = static_cast<char*>(view_);
}

CReplacers::~CReplacers() { Detach(); }

void CReplacers::Detach() {
  if (!shared_) return;
  if (view_ != nullptr) {
    UnmapViewOfFile(view_);
    view_ = nullptr;
  }
  if (mapping_ != nullptr) {
    CloseHandle(mapping_);
    mapping_ = nullptr;
  }
  active_ = own_record_;
}

void CReplacers::Expand(std::string& text) {
  ExpandEnvironment(text);
  for (const ReplacerRule& rule : ReplacerRules()) {
    if (text.find(rule.name) == std::string::npos) continue;
    const std::optional<std::string> value = rule.value(*this);
    if (!value) continue;
    ReplaceAll(text, rule.name, *value);
    if (rule.after != nullptr) rule.after(text);
  }
}

void CReplacers::SetSlot(ReplacerSlot slot, const char* value) {
  const std::size_t index = static_cast<std::size_t>(slot);
  if (index >= kReplacerSlotCount) return;
  char* target = active_ + index * kReplacerSlotSize;
  std::memset(target, 0, kReplacerSlotSize);
  if (value != nullptr) CopyTruncated(target, kReplacerSlotSize, value);
}

void CReplacers::SetOrganization(const char* value) {
  SetSlot(ReplacerSlot::kOrganization, value);
}

void CReplacers::SetUserDir(const char* value) { SetSlot(ReplacerSlot::kUserDir, value); }

std::string CReplacers::GetUserDir() const { return GetSlot(ReplacerSlot::kUserDir); }

std::string CReplacers::GetSlot(ReplacerSlot slot) const {
  const std::size_t index = static_cast<std::size_t>(slot);
  if (index >= kReplacerSlotCount) return "";
  // Another component may have filled the shared slot without its NUL.
  return std::string(BoundedText(active_ + index * kReplacerSlotSize, kReplacerSlotSize));
}

}  // namespace kova
