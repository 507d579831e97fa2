// The registry functions of winreg.h over the hive files (doc/hive-format.md).
// One mutex serialises every call in the process; a lock file serialises writers
// between processes. Handles are numbers from a table naming a root and a path,
// so a handle whose key was deleted meanwhile gives ERROR_KEY_DELETED.
// Tests: platform/registry/registry_test.cc (calls), registry_file_test.cc (the
// files, other processes).
#include "winreg.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <set>
#include <unordered_map>

#include "base/os_path.h"
#include "registry/hive_file.h"
#include "registry/hive_format.h"
#include "winerror.h"

namespace kova::platform {
namespace {

constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr ULONG_PTR kFirstHandle = 0x1000;

enum class Root { kUser, kMachine, kClasses };

const std::vector<std::string>& ClassesPrefix() {
  static const std::vector<std::string> prefix{"Software", "Classes"};
  return prefix;
}

std::vector<std::string> Concat(const std::vector<std::string>& a,
                                const std::vector<std::string>& b) {
  std::vector<std::string> out(a);
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

struct Hive {
  Hive(HiveId hive_id, const char* name) : id(hive_id), root_name(name) {}
  HiveId id;
  const char* root_name;
  std::string path;
  FileStamp stamp;
  bool loaded = false;
  DWORD status = ERROR_SUCCESS;
  std::string
      damage;  // "<file>: line <n>: <reason>" while status is ERROR_REGISTRY_CORRUPT
  std::unique_ptr<RegKey> root = std::make_unique<RegKey>("");
};

struct OpenKey {
  Root root = Root::kUser;
  std::vector<std::string> path;
  REGSAM access = KEY_ALL_ACCESS;
};

struct Registry {
  std::mutex mutex;
  Hive user{HiveId::kUser, "HKEY_CURRENT_USER"};
  Hive machine{HiveId::kMachine, "HKEY_LOCAL_MACHINE"};
  std::unordered_map<ULONG_PTR, OpenKey> handles;
  ULONG_PTR next_handle = kFirstHandle;
  std::set<std::string> reported_damage;
};

Registry& State() {
  static Registry* registry = new Registry;  // lives until the process ends
  return *registry;
}

// Generic rights and MAXIMUM_ALLOWED mapped to the key rights they stand for.
REGSAM MapAccess(REGSAM sam) {
  REGSAM access = sam & (KEY_ALL_ACCESS | kDelete);
  if (sam & (kMaximumAllowed | kGenericAll)) access |= KEY_ALL_ACCESS;
  if (sam & kGenericRead) access |= KEY_READ;
  if (sam & kGenericWrite) access |= KEY_WRITE;
  if (sam & kGenericExecute) access |= KEY_EXECUTE;
  return access;
}

[[nodiscard]] bool BuildTree(const std::vector<RegStatement>& statements, Hive& hive,
                             RegTextError* error) {
  for (const RegStatement& s : statements) {
    if (!RegNamesEqual(s.root, hive.root_name)) {
      error->line = s.line;
      error->reason = std::string("a key outside ") + hive.root_name;
      return false;
    }
    switch (s.kind) {
      case RegStatement::Kind::kKey:
        hive.root->AddPath(s.path);
        break;
      case RegStatement::Kind::kDeleteKey:
        if (s.path.empty()) {
          hive.root->RemoveAllSubkeys();
          hive.root->RemoveAllValues();
        } else if (RegKey* parent = hive.root->FindPath(
                       std::vector<std::string>(s.path.begin(), s.path.end() - 1))) {
          parent->RemoveSubkey(s.path.back());
        }
        break;
      case RegStatement::Kind::kValue:
        hive.root->AddPath(s.path)->SetValue(s.name, s.type, s.data);
        break;
      case RegStatement::Kind::kDeleteValue:
        if (RegKey* key = hive.root->FindPath(s.path)) key->RemoveValue(s.name);
        break;
    }
  }
  return true;
}

// Brings the cached tree up to date with the file: it is read again when the file
// is another one than the cached (written by another process, or the environment
// names another file). A damaged file gives ERROR_REGISTRY_CORRUPT, an empty tree
// and one line on standard error per process and file content.
[[nodiscard]] DWORD Load(Registry& registry, Hive& hive) {
  std::string path = HiveFilePath(hive.id);
  FileStamp now;
  if (StampFile(path, &now) == ERROR_SUCCESS && hive.loaded && path == hive.path &&
      now == hive.stamp)
    return hive.status;
  std::string bytes;
  FileStamp stamp;
  DWORD status = ReadWholeFile(path, &bytes, &stamp);
  hive.path = path;
  hive.stamp = stamp;
  hive.root = std::make_unique<RegKey>("");
  hive.damage.clear();
  hive.status = status;
  hive.loaded = status == ERROR_SUCCESS;  // an unreadable file is tried again next time
  if (status != ERROR_SUCCESS) return status;
  std::vector<RegStatement> statements;
  RegTextError error;
  if (ParseRegText(bytes, &statements, &error) && BuildTree(statements, hive, &error))
    return ERROR_SUCCESS;
  hive.root = std::make_unique<RegKey>("");
  hive.status = ERROR_REGISTRY_CORRUPT;
  hive.damage = path + ": line " + std::to_string(error.line) + ": " + error.reason;
  std::string content = path + "\n" + std::to_string(stamp.inode) + "\n" +
                        std::to_string(stamp.size) + "\n" +
                        std::to_string(stamp.mtime_ns);
  if (registry.reported_damage.insert(content).second)
    WriteToStandardError("registry: " + hive.damage +
                         "; the hive is not used until the file is repaired");
  return hive.status;
}

// A key as the hives hold it: for HKEY_CLASSES_ROOT the current user's side and
// the machine's side, either of which may be missing.
struct Located {
  bool exists = false;
  RegKey* user = nullptr;
  RegKey* machine = nullptr;
};

[[nodiscard]] DWORD Locate(Registry& registry, Root root,
                           const std::vector<std::string>& path, Located* out) {
  *out = Located();
  if (root != Root::kMachine) {
    DWORD status = Load(registry, registry.user);
    if (status != ERROR_SUCCESS) return status;
  }
  if (root != Root::kUser) {
    DWORD status = Load(registry, registry.machine);
    if (status != ERROR_SUCCESS) return status;
  }
  switch (root) {
    case Root::kUser:
      out->user = registry.user.root->FindPath(path);
      break;
    case Root::kMachine:
      out->machine = registry.machine.root->FindPath(path);
      break;
    case Root::kClasses: {
      std::vector<std::string> full = Concat(ClassesPrefix(), path);
      out->user = registry.user.root->FindPath(full);
      out->machine = registry.machine.root->FindPath(full);
      break;
    }
  }
  // HKEY_CLASSES_ROOT exists even when neither hive has Software\Classes yet.
  out->exists = out->user != nullptr || out->machine != nullptr || path.empty();
  return ERROR_SUCCESS;
}

// The merged view: the current user's values and subkeys win over the machine's.
std::vector<const RegValue*> MergedValues(const Located& key) {
  std::vector<const RegValue*> values;
  if (key.user != nullptr)
    for (const RegValue& value : key.user->values()) values.push_back(&value);
  if (key.machine != nullptr) {
    for (const RegValue& value : key.machine->values())
      if (key.user == nullptr || key.user->FindValue(value.name) == nullptr)
        values.push_back(&value);
  }
  return values;
}

const RegValue* FindMergedValue(const Located& key, std::string_view name) {
  if (key.user != nullptr)
    if (const RegValue* value = key.user->FindValue(name)) return value;
  return key.machine != nullptr ? key.machine->FindValue(name) : nullptr;
}

std::vector<const std::string*> MergedSubkeyNames(const Located& key) {
  std::vector<const std::string*> names;
  static const std::vector<std::unique_ptr<RegKey>> kNone;
  const auto& a = key.user != nullptr ? key.user->subkeys() : kNone;
  const auto& b = key.machine != nullptr ? key.machine->subkeys() : kNone;
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    int order = i == a.size()   ? 1
                : j == b.size() ? -1
                                : CompareRegNames(a[i]->name(), b[j]->name());
    if (order <= 0) {
      names.push_back(&a[i]->name());
      ++i;
      if (order == 0) ++j;
    } else {
      names.push_back(&b[j]->name());
      ++j;
    }
  }
  return names;
}

const FileStamp& StampOf(Registry& registry, Root root, const Located& key) {
  if (root == Root::kUser || (root == Root::kClasses && key.user != nullptr))
    return registry.user.stamp;
  return registry.machine.stamp;
}

[[nodiscard]] DWORD Resolve(Registry& registry, HKEY handle, OpenKey* out) {
  *out = OpenKey();
  if (handle == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  if (handle == HKEY_LOCAL_MACHINE) {
    out->root = Root::kMachine;
    return ERROR_SUCCESS;
  }
  if (handle == HKEY_CLASSES_ROOT) {
    out->root = Root::kClasses;
    return ERROR_SUCCESS;
  }
  // HKEY_USERS and the other predefined keys have no hive here.
  auto it = registry.handles.find(reinterpret_cast<ULONG_PTR>(handle));
  if (it == registry.handles.end()) return ERROR_INVALID_HANDLE;
  *out = it->second;
  return ERROR_SUCCESS;
}

// The key behind an open handle, which must still exist and allow `need`.
[[nodiscard]] DWORD OpenExisting(Registry& registry, HKEY handle, REGSAM need,
                                 OpenKey* key, Located* located) {
  DWORD status = Resolve(registry, handle, key);
  if (status != ERROR_SUCCESS) return status;
  if ((key->access & need) != need) return ERROR_ACCESS_DENIED;
  status = Locate(registry, key->root, key->path, located);
  if (status != ERROR_SUCCESS) return status;
  return located->exists ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// An existing handle's key (`base`, allowing `need`) and the names of `sub_key`
// below it; a null sub_key names nothing.
[[nodiscard]] DWORD OpenBase(Registry& registry, HKEY handle, LPCSTR sub_key, REGSAM need,
                             OpenKey* base, std::vector<std::string>* names) {
  DWORD status = SplitSubKey(sub_key != nullptr ? sub_key : "", names);
  if (status != ERROR_SUCCESS) return status;
  Located located;
  return OpenExisting(registry, handle, need, base, &located);
}

HKEY NewHandle(Registry& registry, OpenKey key) {
  ULONG_PTR value = registry.next_handle;
  registry.next_handle += 4;
  registry.handles.emplace(value, std::move(key));
  return reinterpret_cast<HKEY>(value);
}

// One hive's copy of a key, as a write addresses it.
struct Side {
  Hive* hive;
  std::vector<std::string> path;
};

// Where a change of values goes. HKEY_CLASSES_ROOT follows the platform's rule:
// to the current user's Software\Classes when the key exists there, else to the
// machine's.
Side ValueTarget(Registry& registry, const OpenKey& key, const Located& located) {
  if (key.root == Root::kUser) return {&registry.user, key.path};
  if (key.root == Root::kMachine) return {&registry.machine, key.path};
  Hive* hive = located.user != nullptr ? &registry.user : &registry.machine;
  return {hive, Concat(ClassesPrefix(), key.path)};
}

// Every hive that holds the key; a deletion through HKEY_CLASSES_ROOT removes it
// from both, so that it does not stay visible from the other side.
std::vector<Side> ExistingSides(Registry& registry, const OpenKey& key,
                                const Located& located) {
  std::vector<Side> sides;
  if (key.root == Root::kClasses) {
    if (located.user != nullptr)
      sides.push_back({&registry.user, Concat(ClassesPrefix(), key.path)});
    if (located.machine != nullptr)
      sides.push_back({&registry.machine, Concat(ClassesPrefix(), key.path)});
    return sides;
  }
  sides.push_back(ValueTarget(registry, key, located));
  return sides;
}

using Change = std::function<DWORD(RegKey& root, bool* changed)>;

// Applies one change to a hive file under its lock, on the file's current content,
// and writes the result to a new file that replaces the old one. A damaged or
// read-only file is left as it is.
[[nodiscard]] DWORD Modify(Registry& registry, Hive& hive, const Change& change) {
  std::string path = HiveFilePath(hive.id);
  HiveWriteLock lock;
  DWORD status = lock.Acquire(path, hive.id);
  if (status != ERROR_SUCCESS) return status;
  status = Load(registry, hive);
  if (status != ERROR_SUCCESS) return status;
  bool changed = false;
  status = change(*hive.root, &changed);
  if (status != ERROR_SUCCESS || !changed) return status;
  status = ReplaceFileAtomically(path, FormatRegText(*hive.root, hive.root_name, false),
                                 hive.id, &hive.stamp);
  if (status != ERROR_SUCCESS)
    hive.loaded = false;  // the tree holds what the file does not
  return status;
}

[[nodiscard]] DWORD CheckValueName(std::string_view name) {
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  // Deliberately stricter than the platform: a hive file line cannot hold a break.
  if (name.find_first_of("\r\n") != std::string_view::npos)
    return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD CreatePath(Registry& registry, const OpenKey& base,
                               const std::vector<std::string>& names, OpenKey* out,
                               DWORD* disposition) {
  *out = OpenKey{base.root, Concat(base.path, names), KEY_ALL_ACCESS};
  Located located;
  DWORD status = Locate(registry, out->root, out->path, &located);
  if (status != ERROR_SUCCESS) return status;
  *disposition = REG_OPENED_EXISTING_KEY;
  if (located.exists) return ERROR_SUCCESS;
  if ((base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
  // A new key under HKEY_CLASSES_ROOT goes to the machine's Software\Classes.
  Side side = ValueTarget(registry, *out, located);
  return Modify(registry, *side.hive, [&](RegKey& root, bool* changed) {
    if (root.FindPath(side.path) != nullptr) return DWORD(ERROR_SUCCESS);
    root.AddPath(side.path);
    *changed = true;
    *disposition = REG_CREATED_NEW_KEY;
    return DWORD(ERROR_SUCCESS);
  });
}

[[nodiscard]] DWORD SetValueOn(Registry& registry, const OpenKey& key,
                               std::string_view name, DWORD type, std::string data) {
  Located located;
  DWORD status = Locate(registry, key.root, key.path, &located);
  if (status != ERROR_SUCCESS) return status;
  if (!located.exists) return ERROR_KEY_DELETED;
  Side side = ValueTarget(registry, key, located);
  return Modify(registry, *side.hive, [&](RegKey& root, bool* changed) {
    RegKey* target = root.FindPath(side.path);
    if (target == nullptr && key.path.empty()) target = root.AddPath(side.path);
    if (target == nullptr) return DWORD(ERROR_KEY_DELETED);
    *changed = target->SetValue(name, type, std::move(data));
    return DWORD(ERROR_SUCCESS);
  });
}

// Copies a value's data out with the platform's rules: ERROR_MORE_DATA with the size
// needed and the buffer untouched when it does not fit; a null buffer asks the size.
[[nodiscard]] DWORD CopyData(const std::string& data, LPBYTE buffer, LPDWORD size) {
  DWORD needed = static_cast<DWORD>(data.size());
  if (buffer != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (buffer != nullptr && needed > 0) std::memcpy(buffer, data.data(), needed);
  if (size != nullptr) *size = needed;
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD CopyName(const std::string& name, LPSTR buffer, LPDWORD count) {
  if (name.size() + 1 > *count) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *count = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

template <typename F>
LSTATUS Guarded(F&& body) {
  try {
    Registry& registry = State();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return static_cast<LSTATUS>(body(registry));
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERROR_INVALID_FUNCTION;
  }
}

[[nodiscard]] DWORD OpenImpl(Registry& registry, HKEY handle, LPCSTR sub_key, REGSAM sam,
                             PHKEY result) {
  OpenKey base;
  std::vector<std::string> names;
  DWORD status = OpenBase(registry, handle, sub_key, 0, &base, &names);
  if (status != ERROR_SUCCESS) return status;
  OpenKey key{base.root, Concat(base.path, names), MapAccess(sam)};
  Located located;
  status = Locate(registry, key.root, key.path, &located);
  if (status != ERROR_SUCCESS) return status;
  if (!located.exists) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(registry, std::move(key));
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD CreateImpl(Registry& registry, HKEY handle, LPCSTR sub_key,
                               REGSAM sam, PHKEY result, LPDWORD disposition) {
  OpenKey base;
  std::vector<std::string> names;
  DWORD status = OpenBase(registry, handle, sub_key, 0, &base, &names);
  if (status != ERROR_SUCCESS) return status;
  OpenKey key;
  DWORD how = REG_OPENED_EXISTING_KEY;
  status = CreatePath(registry, base, names, &key, &how);
  if (status != ERROR_SUCCESS) return status;
  key.access = MapAccess(sam);
  *result = NewHandle(registry, std::move(key));
  if (disposition != nullptr) *disposition = how;
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD QueryValueImpl(Registry& registry, HKEY handle, LPCSTR name,
                                   LPDWORD type, LPBYTE data, LPDWORD size) {
  OpenKey key;
  Located located;
  DWORD status = OpenExisting(registry, handle, KEY_QUERY_VALUE, &key, &located);
  if (status != ERROR_SUCCESS) return status;
  const RegValue* value = FindMergedValue(located, name != nullptr ? name : "");
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = value->type;
  return CopyData(value->data, data, size);
}

[[nodiscard]] DWORD DeleteValueImpl(Registry& registry, HKEY handle, LPCSTR name) {
  OpenKey key;
  Located located;
  DWORD status = OpenExisting(registry, handle, KEY_SET_VALUE, &key, &located);
  if (status != ERROR_SUCCESS) return status;
  std::string value_name = name != nullptr ? name : "";
  if (FindMergedValue(located, value_name) == nullptr) return ERROR_FILE_NOT_FOUND;
  for (const Side& side : ExistingSides(registry, key, located)) {
    status = Modify(registry, *side.hive, [&](RegKey& root, bool* changed) {
      RegKey* target = root.FindPath(side.path);
      *changed = target != nullptr && target->RemoveValue(value_name);
      return DWORD(ERROR_SUCCESS);
    });
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

// Removes the key at `key` from every hive that holds it. With `only_if_leaf`,
// a key that has subkeys is refused with ERROR_ACCESS_DENIED, as the platform does.
[[nodiscard]] DWORD RemoveKey(Registry& registry, const OpenKey& key, bool only_if_leaf) {
  if (key.path.empty()) return ERROR_ACCESS_DENIED;  // a root is never deleted
  Located located;
  DWORD status = Locate(registry, key.root, key.path, &located);
  if (status != ERROR_SUCCESS) return status;
  if (!located.exists) return ERROR_FILE_NOT_FOUND;
  if (only_if_leaf && !MergedSubkeyNames(located).empty()) return ERROR_ACCESS_DENIED;
  for (const Side& side : ExistingSides(registry, key, located)) {
    status = Modify(registry, *side.hive, [&](RegKey& root, bool* changed) {
      std::vector<std::string> parent_path(side.path.begin(), side.path.end() - 1);
      RegKey* parent = root.FindPath(parent_path);
      RegKey* target = parent != nullptr ? parent->FindSubkey(side.path.back()) : nullptr;
      if (target == nullptr) return DWORD(ERROR_SUCCESS);
      if (only_if_leaf && !target->subkeys().empty()) return DWORD(ERROR_ACCESS_DENIED);
      *changed = parent->RemoveSubkey(side.path.back());
      return DWORD(ERROR_SUCCESS);
    });
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD DeleteKeyImpl(Registry& registry, HKEY handle, LPCSTR sub_key) {
  if (sub_key == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  std::vector<std::string> names;
  DWORD status = OpenBase(registry, handle, sub_key, 0, &base, &names);
  if (status != ERROR_SUCCESS) return status;
  return RemoveKey(registry, OpenKey{base.root, Concat(base.path, names), base.access},
                   true);
}

[[nodiscard]] DWORD DeleteTreeImpl(Registry& registry, HKEY handle, LPCSTR sub_key) {
  // The platform asks for DELETE as well; KEY_WRITE handles lack it, and callers
  // commonly open with KEY_READ | KEY_WRITE, so it is not required here.
  REGSAM need = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | (sub_key ? 0 : KEY_SET_VALUE);
  OpenKey base;
  std::vector<std::string> names;
  DWORD status = OpenBase(registry, handle, sub_key, need, &base, &names);
  if (status != ERROR_SUCCESS) return status;
  if (sub_key != nullptr)
    return RemoveKey(registry, OpenKey{base.root, Concat(base.path, names), base.access},
                     false);
  Located located;
  status = Locate(registry, base.root, base.path, &located);
  if (status != ERROR_SUCCESS) return status;
  for (const Side& side : ExistingSides(registry, base, located)) {
    status = Modify(registry, *side.hive, [&](RegKey& root, bool* changed) {
      RegKey* target = root.FindPath(side.path);
      if (target == nullptr) return DWORD(ERROR_SUCCESS);
      *changed = !target->subkeys().empty() || !target->values().empty();
      target->RemoveAllSubkeys();
      target->RemoveAllValues();
      return DWORD(ERROR_SUCCESS);
    });
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD EnumKeyImpl(Registry& registry, HKEY handle, DWORD index, LPSTR name,
                                LPDWORD name_size, LPSTR class_name, LPDWORD class_size,
                                PFILETIME last_write) {
  if (name == nullptr || name_size == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey key;
  Located located;
  DWORD status = OpenExisting(registry, handle, KEY_ENUMERATE_SUB_KEYS, &key, &located);
  if (status != ERROR_SUCCESS) return status;
  std::vector<const std::string*> names = MergedSubkeyNames(located);
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  Located subkey;
  status = Locate(registry, key.root, Concat(key.path, {*names[index]}), &subkey);
  if (status != ERROR_SUCCESS) return status;
  status = CopyName(*names[index], name, name_size);
  if (status != ERROR_SUCCESS) return status;
  if (class_name != nullptr && class_size != nullptr && *class_size > 0)
    *class_name = '\0';
  if (class_size != nullptr) *class_size = 0;
  if (last_write != nullptr)
    *last_write = FileTimeOfStamp(StampOf(registry, key.root, subkey));
  return ERROR_SUCCESS;
}

[[nodiscard]] DWORD EnumValueImpl(Registry& registry, HKEY handle, DWORD index,
                                  LPSTR name, LPDWORD name_size, LPDWORD type,
                                  LPBYTE data, LPDWORD data_size) {
  if (name == nullptr || name_size == nullptr) return ERROR_INVALID_PARAMETER;
  if (data != nullptr && data_size == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey key;
  Located located;
  DWORD status = OpenExisting(registry, handle, KEY_QUERY_VALUE, &key, &located);
  if (status != ERROR_SUCCESS) return status;
  std::vector<const RegValue*> values = MergedValues(located);
  if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
  const RegValue& value = *values[index];
  if (type != nullptr) *type = value.type;
  if (value.name.size() + 1 > *name_size) {
    // The name is left alone; the type and the data size are still reported.
    if (data_size != nullptr) *data_size = static_cast<DWORD>(value.data.size());
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && *data_size < value.data.size()) {
    status = CopyName(value.name, name, name_size);
    *data_size = static_cast<DWORD>(value.data.size());
    return ERROR_MORE_DATA;
  }
  status = CopyName(value.name, name, name_size);
  if (status != ERROR_SUCCESS) return status;
  return CopyData(value.data, data, data_size);
}

[[nodiscard]] DWORD QueryInfoImpl(Registry& registry, HKEY handle, LPSTR class_name,
                                  LPDWORD class_size, LPDWORD subkeys, LPDWORD max_subkey,
                                  LPDWORD max_class, LPDWORD values,
                                  LPDWORD max_value_name, LPDWORD max_value,
                                  LPDWORD security, PFILETIME last_write) {
  OpenKey key;
  Located located;
  DWORD status = OpenExisting(registry, handle, KEY_QUERY_VALUE, &key, &located);
  if (status != ERROR_SUCCESS) return status;
  std::vector<const std::string*> names = MergedSubkeyNames(located);
  std::vector<const RegValue*> value_list = MergedValues(located);
  DWORD longest_subkey = 0, longest_name = 0, longest_data = 0;
  for (const std::string* n : names)
    longest_subkey = std::max<DWORD>(longest_subkey, n->size());
  for (const RegValue* v : value_list) {
    longest_name = std::max<DWORD>(longest_name, v->name.size());
    longest_data = std::max<DWORD>(longest_data, v->data.size());
  }
  if (class_name != nullptr && class_size != nullptr && *class_size > 0)
    *class_name = '\0';
  if (class_size != nullptr) *class_size = 0;
  if (subkeys != nullptr) *subkeys = static_cast<DWORD>(names.size());
  if (max_subkey != nullptr) *max_subkey = longest_subkey;
  if (max_class != nullptr) *max_class = 0;
  if (values != nullptr) *values = static_cast<DWORD>(value_list.size());
  if (max_value_name != nullptr) *max_value_name = longest_name;
  if (max_value != nullptr) *max_value = longest_data;
  if (security != nullptr) *security = 0;
  if (last_write != nullptr)
    *last_write = FileTimeOfStamp(StampOf(registry, key.root, located));
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace kova::platform

using kova::platform::Guarded;
using kova::platform::Registry;

// Opens an existing key; names compare without case and a trailing backslash is
// accepted; a missing key gives ERROR_FILE_NOT_FOUND. A null or empty lpSubKey
// opens a new handle to hKey's key. Pinned by RegistryTest.OpenKeyPaths.
extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                        REGSAM samDesired, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return Guarded(
      [&](Registry& r) { return OpenImpl(r, hKey, lpSubKey, samDesired, phkResult); });
}

// The old call: a null or empty lpSubKey hands back hKey itself, as the platform does.
extern "C" LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpSubKey != nullptr && *lpSubKey != '\0')
    return RegOpenKeyExA(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
  return Guarded([&](Registry& r) {
    kova::platform::OpenKey key;
    kova::platform::Located located;
    DWORD status = kova::platform::OpenExisting(r, hKey, 0, &key, &located);
    if (status == ERROR_SUCCESS) *phkResult = hKey;
    return status;
  });
}

// Opens the key, creating it and its missing parents; lpdwDisposition tells which.
// Under HKEY_CLASSES_ROOT a new key goes to HKLM\Software\Classes. Volatile keys
// are kept like the others (there is no boot to forget them). Pinned by
// RegistryTest.NamesIgnoreCaseAndKeepTheFirstSpelling and
// RegistryTest.ClassesRootMergesUserOverMachine.
extern "C" LSTATUS WINAPI RegCreateKeyExA(
    HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
    REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
    LPDWORD lpdwDisposition) {
  if (phkResult == nullptr || lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return Guarded([&](Registry& r) {
    return CreateImpl(r, hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
  });
}

extern "C" LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpSubKey == nullptr || *lpSubKey == '\0')
    return RegOpenKeyA(hKey, nullptr, phkResult);
  return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, phkResult, nullptr);
}

// Closing a predefined key succeeds and changes nothing. Pinned by
// RegistryTest.Handles.
extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE ||
      hKey == HKEY_CLASSES_ROOT)
    return ERROR_SUCCESS;
  return Guarded([&](Registry& r) {
    return r.handles.erase(reinterpret_cast<ULONG_PTR>(hKey)) == 1 ? ERROR_SUCCESS
                                                                   : ERROR_INVALID_HANDLE;
  });
}

// Size rules of win32-facts "Registry": text sizes count the NUL, ERROR_MORE_DATA
// with the size needed and the buffer untouched, a null lpData asks the size,
// REG_EXPAND_SZ unexpanded, a missing value ERROR_FILE_NOT_FOUND. Pinned by
// RegistryTest.QueryValue*.
extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName,
                                           LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
    return ERROR_INVALID_PARAMETER;
  return Guarded([&](Registry& r) {
    return QueryValueImpl(r, hKey, lpValueName, lpType, lpData, lpcbData);
  });
}

// The default value of a subkey; a key without one reads as the empty text of
// size 1. Pinned by RegistryTest.OldDefaultValueCalls.
extern "C" LSTATUS WINAPI RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData,
                                         PLONG lpcbData) {
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  HKEY key = hKey;
  if (lpSubKey != nullptr && *lpSubKey != '\0') {
    LSTATUS status = RegOpenKeyExA(hKey, lpSubKey, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) return status;
  }
  DWORD size = lpcbData != nullptr ? static_cast<DWORD>(*lpcbData) : 0;
  LSTATUS status = RegQueryValueExA(key, nullptr, nullptr, nullptr,
                                    reinterpret_cast<LPBYTE>(lpData), &size);
  if (status == ERROR_FILE_NOT_FOUND) {
    size = 1;
    status = ERROR_SUCCESS;
    if (lpData != nullptr && *lpcbData < 1)
      status = ERROR_MORE_DATA;
    else if (lpData != nullptr)
      *lpData = '\0';
  }
  if (key != hKey) RegCloseKey(key);
  if (lpcbData != nullptr && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA))
    *lpcbData = static_cast<LONG>(size);
  return status;
}

// Stores the value and writes the hive file at once. Text (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) whose size leaves out the NUL gets one. Unlike the platform, which
// peeks at the byte after cbData to decide, the NUL is added without reading past
// the caller's buffer. Pinned by RegistryTest.SetValueStoresTextWithItsNul.
extern "C" LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved,
                                         DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
  std::string_view name = lpValueName != nullptr ? lpValueName : "";
  if (DWORD status = kova::platform::CheckValueName(name); status != ERROR_SUCCESS)
    return static_cast<LSTATUS>(status);
  return Guarded([&](Registry& r) {
    std::string data(reinterpret_cast<const char*>(lpData),
                     lpData != nullptr ? cbData : 0);
    if (kova::platform::IsRegTextType(dwType) && !data.empty() && data.back() != '\0')
      data.push_back('\0');
    kova::platform::OpenKey key;
    kova::platform::Located located;
    DWORD status = kova::platform::OpenExisting(r, hKey, KEY_SET_VALUE, &key, &located);
    if (status != ERROR_SUCCESS) return status;
    return kova::platform::SetValueOn(r, key, name, dwType, std::move(data));
  });
}

// Sets the default value of a subkey (created when missing) to lpData as REG_SZ;
// cbData is ignored as on the platform. Pinned by RegistryTest.OldDefaultValueCalls.
extern "C" LSTATUS WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType,
                                       LPCSTR lpData, DWORD cbData) {
  if (dwType != REG_SZ || lpData == nullptr) return ERROR_INVALID_PARAMETER;
  return Guarded([&](Registry& r) {
    kova::platform::OpenKey base, key;
    std::vector<std::string> names;
    DWORD status = kova::platform::OpenBase(r, hKey, lpSubKey, 0, &base, &names);
    if (status != ERROR_SUCCESS) return status;
    DWORD disposition;
    status = kova::platform::CreatePath(r, base, names, &key, &disposition);
    if (status != ERROR_SUCCESS) return status;
    return kova::platform::SetValueOn(r, key, "", REG_SZ,
                                      std::string(lpData, std::strlen(lpData) + 1));
  });
}

// Subkeys in the platform's order (by upper-cased name), ERROR_NO_MORE_ITEMS past
// the last, ERROR_MORE_DATA when the name does not fit. Pinned by
// RegistryTest.Enumeration.
extern "C" LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName,
                                        LPDWORD lpcchName, LPDWORD lpReserved,
                                        LPSTR lpClass, LPDWORD lpcchClass,
                                        PFILETIME lpftLastWriteTime) {
  return Guarded([&](Registry& r) {
    return EnumKeyImpl(r, hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass,
                       lpftLastWriteTime);
  });
}

extern "C" LSTATUS WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName,
                                      DWORD cchName) {
  return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr,
                       nullptr);
}

// Values in the order first written (the platform does not promise an order).
// Pinned by RegistryTest.Enumeration.
extern "C" LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                        LPDWORD lpcchValueName, LPDWORD lpReserved,
                                        LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return Guarded([&](Registry& r) {
    return EnumValueImpl(r, hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData,
                         lpcbData);
  });
}

// Counts and longest lengths (characters without the NUL; data in bytes); keys have
// no class; the last write time is that of the hive file. Pinned by
// RegistryTest.QueryInfoKey.
extern "C" LSTATUS WINAPI
RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                 LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                 LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                 LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  return Guarded([&](Registry& r) {
    return QueryInfoImpl(r, hKey, lpClass, lpcchClass, lpcSubKeys, lpcbMaxSubKeyLen,
                         lpcbMaxClassLen, lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen,
                         lpcbSecurityDescriptor, lpftLastWriteTime);
  });
}

// An empty lpSubKey deletes hKey's own key; a key with subkeys is refused with
// ERROR_ACCESS_DENIED as on the platform. Through HKEY_CLASSES_ROOT the key goes
// from both hives. Pinned by RegistryTest.DeleteKey.
extern "C" LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  return Guarded([&](Registry& r) { return DeleteKeyImpl(r, hKey, lpSubKey); });
}

// Pinned by RegistryTest.DeleteTree.
extern "C" LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  return Guarded([&](Registry& r) { return DeleteTreeImpl(r, hKey, lpSubKey); });
}

// A null or empty name is the default value. Pinned by RegistryTest.DeleteValue.
extern "C" LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return Guarded([&](Registry& r) { return DeleteValueImpl(r, hKey, lpValueName); });
}

extern "C" LSTATUS WINAPI RegFlushKey(HKEY hKey) {
  return Guarded([&](Registry& r) {
    kova::platform::OpenKey key;
    return kova::platform::Resolve(r, hKey, &key);
  });
}

// Pinned by
// RegistryFileTest.DamagedHiveIsAnErrorNamingFileAndLine.
extern "C" DWORD WINAPI KovaRegGetHiveDamage(HKEY hKey, LPSTR lpText, DWORD cchText) {
  DWORD length = 0;
  LSTATUS status = Guarded([&](Registry& r) -> DWORD {
    kova::platform::OpenKey key;
    if (kova::platform::Resolve(r, hKey, &key) != ERROR_SUCCESS) return 0;
    kova::platform::Located located;
    (void)kova::platform::Locate(r, key.root, key.path, &located);
    for (kova::platform::Hive* hive : {&r.user, &r.machine}) {
      bool involved = key.root == kova::platform::Root::kClasses ||
                      (hive == &r.user) == (key.root == kova::platform::Root::kUser);
      if (involved && !hive->damage.empty()) {
        length = static_cast<DWORD>(
            kova::platform::CopyOutWithNeededSize(hive->damage, lpText, cchText));
        break;
      }
    }
    return ERROR_SUCCESS;
  });
  return status == ERROR_SUCCESS ? length : 0;
}
