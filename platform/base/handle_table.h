// Kernel handles: small numbers issued from a process-wide table, never addresses,
// so that a stale or foreign handle is refused instead of dereferenced.
#ifndef KOVA_PLATFORM_BASE_HANDLE_TABLE_H_
#define KOVA_PLATFORM_BASE_HANDLE_TABLE_H_

#include <memory>

#include "windef.h"

namespace kova::platform {

// A kernel object behind a handle: an open file, a find enumeration, a file
// mapping. Destroyed when its handle is closed.
class KernelObject {
 public:
  enum class Kind { kFile, kFind, kMapping };
  explicit KernelObject(Kind kind) : kind_(kind) {}
  virtual ~KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// Takes ownership and returns the new handle (never null, never
// INVALID_HANDLE_VALUE).
HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);

// The object behind `handle` when it is open and of `kind`, else null with
// last error ERROR_INVALID_HANDLE. The pointer stays valid until the handle is
// closed; a handle must not be closed while another thread uses it.
KernelObject* LookUpHandle(HANDLE handle, KernelObject::Kind kind);

// Removes the handle and destroys its object. FALSE with ERROR_INVALID_HANDLE for
// an unknown handle or one of another kind.
BOOL CloseHandleOfKind(HANDLE handle, KernelObject::Kind kind);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_BASE_HANDLE_TABLE_H_
