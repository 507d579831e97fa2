#include "base/handle_table.h"

#include <mutex>
#include <unordered_map>

#include "errhandlingapi.h"
#include "handleapi.h"
#include "winerror.h"

namespace kova::platform {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<ULONG_PTR, std::unique_ptr<KernelObject>> objects;
  // Multiples of 4 like the platform's handles; 0 and -1 are never issued.
  ULONG_PTR next = 4;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // lives until the process ends
  return *table;
}

}  // namespace

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  ULONG_PTR value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

KernelObject* LookUpHandle(HANDLE handle, KernelObject::Kind kind) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  if (it == table.objects.end() || it->second->kind() != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

BOOL CloseHandleOfKind(HANDLE handle, KernelObject::Kind kind) {
  std::unique_ptr<KernelObject> object;
  {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == table.objects.end() || it->second->kind() != kind) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    table.objects.erase(it);
  }
  return TRUE;  // the object is destroyed outside the lock
}

}  // namespace kova::platform

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  using kova::platform::KernelObject;
  for (KernelObject::Kind kind : {KernelObject::Kind::kFile, KernelObject::Kind::kMapping}) {
    if (kova::platform::LookUpHandle(hObject, kind) != nullptr)
      return kova::platform::CloseHandleOfKind(hObject, kind);
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
