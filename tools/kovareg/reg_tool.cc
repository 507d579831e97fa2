#include "tools/kovareg/reg_tool.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "registry/hive_format.h"
#include "winbase.h"
#include "winerror.h"
#include "winreg.h"

namespace kova::kovareg {
namespace {

using platform::RegKey;
using platform::RegValue;

constexpr char kDone[] = "The operation completed successfully.\n";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

struct RootName {
  const char* full;
  const char* abbreviation;
  HKEY handle;
};

const RootName kRoots[] = {
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
};

const RootName* FindRoot(std::string_view name) {
  for (const RootName& root : kRoots)
    if (platform::RegNamesEqual(name, root.full) ||
        platform::RegNamesEqual(name, root.abbreviation))
      return &root;
  return nullptr;
}

// KEY as the user wrote it: a root name, then the subkey.
struct KeyName {
  const RootName* root = nullptr;
  std::string subkey;
  std::string Display() const {
    return std::string(root->full) + (subkey.empty() ? "" : "\\" + subkey);
  }
};

[[nodiscard]] bool ParseKeyName(const std::string& text, KeyName* key,
                                std::string* error) {
  std::size_t slash = text.find('\\');
  key->root = FindRoot(std::string_view(text).substr(0, slash));
  if (key->root == nullptr) {
    *error = "the key \"" + text +
             "\" does not start with HKCU, HKLM, HKCR or their long names (quote the key "
             "so that the shell keeps its backslashes)";
    return false;
  }
  key->subkey = slash == std::string::npos ? "" : text.substr(slash + 1);
  while (!key->subkey.empty() && key->subkey.back() == '\\') key->subkey.pop_back();
  return true;
}

// The system's text for a status, with the damage of a hive that is damaged.
std::string StatusText(LSTATUS status, HKEY root) {
  char buffer[512];
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(status), 0, buffer, sizeof buffer, nullptr);
  std::string text = length > 0 ? std::string(buffer, length)
                                : "System error " + std::to_string(status) + ".";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  text += " (error " + std::to_string(status) + ")";
  if (status == ERROR_REGISTRY_CORRUPT) {
    std::vector<char> damage(4096);
    DWORD n =
        KovaRegGetHiveDamage(root, damage.data(), static_cast<DWORD>(damage.size()));
    if (n > 0 && n < damage.size()) text += ": " + std::string(damage.data(), n);
  }
  return text;
}

int Fail(std::ostream& err, const std::string& message) {
  err << "kovareg: ERROR: " << message << "\n";
  return 1;
}

int FailStatus(std::ostream& err, const std::string& what, LSTATUS status, HKEY root) {
  return Fail(err, what + ": " + StatusText(status, root));
}

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Reads the values of `key`, and with `recursive` its whole subtree, into `node`.
[[nodiscard]] LSTATUS ReadTree(HKEY key, RegKey* node, bool recursive) {
  for (DWORD index = 0;; ++index) {
    std::vector<char> name(256);
    std::vector<BYTE> data(1024);
    DWORD name_size, data_size, type;
    LSTATUS status;
    while (true) {
      name_size = static_cast<DWORD>(name.size());
      data_size = static_cast<DWORD>(data.size());
      status = RegEnumValueA(key, index, name.data(), &name_size, nullptr, &type,
                             data.data(), &data_size);
      if (status != ERROR_MORE_DATA) break;
      if (name.size() < platform::kMaxValueNameLength + 1)
        name.resize(platform::kMaxValueNameLength + 1);
      data.resize(std::max<std::size_t>(data_size, data.size()));
    }
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    node->SetValue(std::string(name.data(), name_size), type,
                   std::string(reinterpret_cast<const char*>(data.data()), data_size));
  }
  for (DWORD index = 0;; ++index) {
    char name[platform::kMaxKeyNameLength + 1];
    DWORD name_size = sizeof name;
    LSTATUS status =
        RegEnumKeyExA(key, index, name, &name_size, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    RegKey* child = node->AddSubkey(std::string(name, name_size));
    if (!recursive) continue;
    ScopedKey sub;
    status = RegOpenKeyExA(key, name, 0, KEY_READ, sub.out());
    if (status == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
    if (status != ERROR_SUCCESS) return status;
    status = ReadTree(sub.get(), child, true);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
      return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK:
      return "REG_LINK";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_QWORD:
      return "REG_QWORD";
    default: {
      char text[24];
      std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(type));
      return text;
    }
  }
}

std::uint64_t LittleEndian(const std::string& data) {
  std::uint64_t value = 0;
  for (std::size_t i = data.size(); i-- > 0;)
    value = value << 8 | static_cast<unsigned char>(data[i]);
  return value;
}

// Data shown as the platform's registry tool shows it.
std::string DataText(const RegValue& value) {
  const std::string& data = value.data;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
    return data.substr(0, data.find('\0'));
  if (value.type == REG_MULTI_SZ) {
    std::string text = data;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    std::string joined;
    for (char c : text) joined += c == '\0' ? std::string("\\0") : std::string(1, c);
    return joined;
  }
  if ((value.type == REG_DWORD && data.size() == 4) ||
      (value.type == REG_QWORD && data.size() == 8)) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(LittleEndian(data)));
    return text;
  }
  std::string hex;
  for (unsigned char c : data) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", c);
    hex += pair;
  }
  return hex;
}

void PrintValue(std::ostream& out, const RegValue& value) {
  out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
      << TypeName(value.type) << "    " << DataText(value) << "\n";
}

void ForEachKey(const RegKey& key, const std::string& path,
                const std::function<void(const RegKey&, const std::string&)>& visit) {
  visit(key, path);
  for (const auto& subkey : key.subkeys())
    ForEachKey(*subkey, path + "\\" + subkey->name(), visit);
}

// Opens an existing key, or reports why not; returns 0 when `key` is open.
int OpenExistingKey(const KeyName& name, REGSAM access, ScopedKey& key,
                    std::ostream& err) {
  LSTATUS status =
      RegOpenKeyExA(name.root->handle, name.subkey.c_str(), 0, access, key.out());
  if (status == ERROR_FILE_NOT_FOUND)
    return Fail(err, "the key " + name.Display() + " does not exist");
  if (status != ERROR_SUCCESS)
    return FailStatus(err, "cannot open " + name.Display(), status, name.root->handle);
  return 0;
}

int Query(const Options& options, const KeyName& name, std::ostream& out,
          std::ostream& err) {
  ScopedKey key;
  if (int failed = OpenExistingKey(name, KEY_READ, key, err)) return failed;
  RegKey tree("");
  LSTATUS status = ReadTree(key.get(), &tree, options.recursive);
  if (status != ERROR_SUCCESS)
    return FailStatus(err, "cannot read " + name.Display(), status, name.root->handle);

  if (options.value || options.default_value) {
    std::string value_name = options.default_value ? "" : *options.value;
    if (!options.recursive) {
      const RegValue* value = tree.FindValue(value_name);
      if (value == nullptr && !options.default_value)
        return Fail(
            err, "the value \"" + value_name + "\" does not exist in " + name.Display());
      out << "\n" << name.Display() << "\n";
      if (value != nullptr)
        PrintValue(out, *value);
      else
        out << "    (Default)    REG_SZ    (value not set)\n";
      out << "\n";
      return 0;
    }
    int matches = 0;
    ForEachKey(tree, name.Display(), [&](const RegKey& k, const std::string& path) {
      const RegValue* value = k.FindValue(value_name);
      if (value == nullptr) return;
      out << "\n" << path << "\n";
      PrintValue(out, *value);
      ++matches;
    });
    out << "\nEnd of search: " << matches << " match(es) found.\n";
    return 0;
  }
  if (options.recursive) {
    ForEachKey(tree, name.Display(), [&](const RegKey& k, const std::string& path) {
      out << "\n" << path << "\n";
      for (const RegValue& value : k.values()) PrintValue(out, value);
    });
    out << "\n";
    return 0;
  }
  out << "\n" << name.Display() << "\n";
  for (const RegValue& value : tree.values()) PrintValue(out, value);
  out << "\n";
  for (const auto& subkey : tree.subkeys())
    out << name.Display() << "\\" << subkey->name() << "\n";
  return 0;
}

[[nodiscard]] bool ParseNumber(const std::string& text, std::uint64_t max,
                               std::uint64_t* value) {
  if (text.empty()) return false;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::uint64_t result = 0;
  for (std::size_t i = hex ? 2 : 0; i < text.size(); ++i) {
    int digit;
    char c = text[i];
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    std::uint64_t base = hex ? 16 : 10;
    if (result > (max - digit) / base) return false;
    result = result * base + digit;
  }
  *value = result;
  return true;
}

// The bytes that /t TYPE /d DATA stand for, or false with a message.
[[nodiscard]] bool DataBytes(const Options& options, DWORD* type, std::string* bytes,
                             std::string* error) {
  std::string type_name = options.type ? *options.type : "REG_SZ";
  std::string data = options.data ? *options.data : "";
  struct Known {
    const char* name;
    DWORD type;
  };
  static const Known kTypes[] = {
      {"REG_SZ", REG_SZ},         {"REG_EXPAND_SZ", REG_EXPAND_SZ},
      {"REG_DWORD", REG_DWORD},   {"REG_QWORD", REG_QWORD},
      {"REG_BINARY", REG_BINARY}, {"REG_MULTI_SZ", REG_MULTI_SZ},
      {"REG_NONE", REG_NONE}};
  const Known* known = nullptr;
  for (const Known& k : kTypes)
    if (platform::RegNamesEqual(type_name, k.name)) known = &k;
  if (known == nullptr) {
    *error =
        "unknown type \"" + type_name +
        "\" (use REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_MULTI_SZ "
        "or REG_NONE)";
    return false;
  }
  *type = known->type;
  bytes->clear();
  switch (known->type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      *bytes = data + '\0';
      return true;
    case REG_MULTI_SZ: {
      if (options.separator.empty()) {
        *error = "the separator of REG_MULTI_SZ items must not be empty";
        return false;
      }
      for (std::size_t start = 0; !data.empty();) {
        std::size_t end = data.find(options.separator, start);
        *bytes += data.substr(start, end - start) + '\0';
        if (end == std::string::npos) break;
        start = end + options.separator.size();
      }
      bytes->push_back('\0');
      return true;
    }
    case REG_DWORD:
    case REG_QWORD: {
      bool wide = known->type == REG_QWORD;
      std::uint64_t value = 0;
      if (!ParseNumber(data.empty() ? "0" : data, wide ? ~0ull : 0xFFFFFFFFull, &value)) {
        *error = "\"" + data + "\" is not a " + (wide ? "64" : "32") +
                 "-bit unsigned number (decimal, or hexadecimal after 0x)";
        return false;
      }
      for (int i = 0; i < (wide ? 8 : 4); ++i)
        bytes->push_back(char((value >> (8 * i)) & 0xFF));
      return true;
    }
    default: {
      if (data.size() % 2 != 0) {
        *error = "binary data must be pairs of hexadecimal digits, like 0102ff";
        return false;
      }
      for (std::size_t i = 0; i < data.size(); i += 2) {
        std::uint64_t byte;
        if (!ParseNumber("0x" + data.substr(i, 2), 0xFF, &byte)) {
          *error = "binary data must be pairs of hexadecimal digits, like 0102ff";
          return false;
        }
        bytes->push_back(char(byte));
      }
      return true;
    }
  }
}

int Add(const Options& options, const KeyName& name, std::ostream& out,
        std::ostream& err) {
  bool set_value = options.value || options.default_value || options.type || options.data;
  std::string value_name = options.value ? *options.value : "";
  DWORD type = REG_SZ;
  std::string bytes;
  std::string error;
  if (set_value && !DataBytes(options, &type, &bytes, &error)) return Fail(err, error);
  ScopedKey key;
  LSTATUS status = RegCreateKeyExA(name.root->handle, name.subkey.c_str(), 0, nullptr, 0,
                                   KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS)
    return FailStatus(err, "cannot create " + name.Display(), status, name.root->handle);
  if (set_value) {
    std::string shown = value_name.empty() ? "(Default)" : "\"" + value_name + "\"";
    DWORD size = 0;
    if (!options.force && RegQueryValueExA(key.get(), value_name.c_str(), nullptr,
                                           nullptr, nullptr, &size) == ERROR_SUCCESS)
      return Fail(err, "the value " + shown + " already exists in " + name.Display() +
                           "; use /f (--force) to overwrite it");
    status = RegSetValueExA(key.get(), value_name.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
    if (status != ERROR_SUCCESS)
      return FailStatus(err, "cannot set " + shown + " in " + name.Display(), status,
                        name.root->handle);
  }
  out << kDone;
  return 0;
}

int Delete(const Options& options, const KeyName& name, std::ostream& out,
           std::ostream& err) {
  ScopedKey key;
  if (int failed = OpenExistingKey(name, KEY_ALL_ACCESS, key, err)) return failed;
  LSTATUS status;
  const std::string force_hint = "; nothing was deleted (add /f, or --force, to delete)";

  if (options.value || options.default_value) {
    std::string value_name = options.default_value ? "" : *options.value;
    std::string shown = value_name.empty() ? "(Default)" : "\"" + value_name + "\"";
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), value_name.c_str(), nullptr, nullptr, nullptr,
                         &size) != ERROR_SUCCESS)
      return Fail(err, "the value " + shown + " does not exist in " + name.Display());
    if (!options.force)
      return Fail(err, "deleting the value " + shown + " of " + name.Display() +
                           " needs confirmation" + force_hint);
    status = RegDeleteValueA(key.get(), value_name.c_str());
    if (status != ERROR_SUCCESS)
      return FailStatus(err, "cannot delete " + shown, status, name.root->handle);
    out << kDone;
    return 0;
  }
  if (options.all_values) {
    if (!options.force)
      return Fail(err, "deleting every value of " + name.Display() +
                           " needs confirmation" + force_hint);
    RegKey tree("");
    status = ReadTree(key.get(), &tree, false);
    for (std::size_t i = 0; status == ERROR_SUCCESS && i < tree.values().size(); ++i)
      status = RegDeleteValueA(key.get(), tree.values()[i].name.c_str());
    if (status != ERROR_SUCCESS)
      return FailStatus(err, "cannot delete the values of " + name.Display(), status,
                        name.root->handle);
    out << kDone;
    return 0;
  }
  if (name.subkey.empty()) return Fail(err, "a root key cannot be deleted");
  if (!options.force)
    return Fail(err, "deleting the key " + name.Display() +
                         " and everything below it needs confirmation" + force_hint);
  status = RegDeleteTreeA(name.root->handle, name.subkey.c_str());
  if (status != ERROR_SUCCESS)
    return FailStatus(err, "cannot delete " + name.Display(), status, name.root->handle);
  out << kDone;
  return 0;
}

int Export(const Options& options, const KeyName& name, std::ostream& out,
           std::ostream& err) {
  ScopedKey key;
  if (int failed = OpenExistingKey(name, KEY_READ, key, err)) return failed;
  RegKey tree("");
  LSTATUS status = ReadTree(key.get(), &tree, true);
  if (status != ERROR_SUCCESS)
    return FailStatus(err, "cannot read " + name.Display(), status, name.root->handle);
  std::error_code ec;
  if (!options.yes && std::filesystem::exists(options.file, ec))
    return Fail(err,
                "the file " + options.file + " exists; use /y (--yes) to overwrite it");
  std::ofstream file(options.file, std::ios::binary | std::ios::trunc);
  file << platform::FormatRegText(tree, name.Display(), true);
  file.close();
  if (!file) return Fail(err, "cannot write " + options.file);
  out << kDone;
  return 0;
}

[[nodiscard]] LSTATUS Apply(const platform::RegStatement& statement, HKEY root) {
  std::string subkey;
  for (const std::string& part : statement.path)
    subkey += (subkey.empty() ? "" : "\\") + part;
  using Kind = platform::RegStatement::Kind;
  if (statement.kind == Kind::kDeleteKey) {
    LSTATUS status = RegDeleteTreeA(root, subkey.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }
  ScopedKey key;
  if (statement.kind == Kind::kDeleteValue) {
    LSTATUS status = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, key.out());
    if (status == ERROR_SUCCESS)
      status = RegDeleteValueA(key.get(), statement.name.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }
  LSTATUS status = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS || statement.kind == Kind::kKey) return status;
  return RegSetValueExA(key.get(), statement.name.c_str(), 0, statement.type,
                        reinterpret_cast<const BYTE*>(statement.data.data()),
                        static_cast<DWORD>(statement.data.size()));
}

int Import(const Options& options, std::ostream& out, std::ostream& err) {
  std::ifstream file(options.file, std::ios::binary);
  if (!file) return Fail(err, "cannot read " + options.file);
  std::ostringstream content;
  content << file.rdbuf();
  std::string text = content.str();
  // A file saved as UTF-16 (with its byte-order mark) is read as well.
  if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
    std::string converted;
    if (!platform::Utf16LeBytesToUtf8(std::string_view(text).substr(2), &converted))
      return Fail(err, options.file + ": not a UTF-16 text (an odd number of bytes)");
    text = converted;
  }
  std::vector<platform::RegStatement> statements;
  platform::RegTextError error;
  if (!platform::ParseRegText(text, &statements, &error))
    return Fail(
        err, options.file + ": line " + std::to_string(error.line) + ": " + error.reason);
  for (const auto& statement : statements) {
    if (FindRoot(statement.root) == nullptr)
      return Fail(err, options.file + ": line " + std::to_string(statement.line) +
                           ": unknown root key " + statement.root +
                           "; nothing was imported");
  }
  for (const auto& statement : statements) {
    HKEY root = FindRoot(statement.root)->handle;
    LSTATUS status = Apply(statement, root);
    if (status != ERROR_SUCCESS)
      return FailStatus(err, options.file + ": line " + std::to_string(statement.line),
                        status, root);
  }
  out << kDone;
  return 0;
}

enum class Switch {
  kValue,
  kDefault,
  kAll,
  kType,
  kData,
  kSeparator,
  kRecursive,
  kForce,
  kYes
};

struct SwitchSpec {
  Switch id;
  const char* short_name;  // after '/' or '-', without case
  const char* long_name;   // after "--"
  bool takes_argument;
  void (*apply)(Options* options, const std::string& argument);
};

const SwitchSpec kSwitches[] = {
    {Switch::kValue, "v", "value", true,
     [](Options* o, const std::string& a) { o->value = a; }},
    {Switch::kDefault, "ve", "default-value", false,
     [](Options* o, const std::string&) { o->default_value = true; }},
    {Switch::kAll, "va", "all-values", false,
     [](Options* o, const std::string&) { o->all_values = true; }},
    {Switch::kType, "t", "type", true,
     [](Options* o, const std::string& a) { o->type = a; }},
    {Switch::kData, "d", "data", true,
     [](Options* o, const std::string& a) { o->data = a; }},
    {Switch::kSeparator, "s", "separator", true,
     [](Options* o, const std::string& a) { o->separator = a; }},
    {Switch::kRecursive, "s", "recursive", false,
     [](Options* o, const std::string&) { o->recursive = true; }},
    {Switch::kForce, "f", "force", false,
     [](Options* o, const std::string&) { o->force = true; }},
    {Switch::kYes, "y", "yes", false,
     [](Options* o, const std::string&) { o->yes = true; }},
};

bool Allowed(const std::string& command, Switch id) {
  switch (id) {
    case Switch::kValue:
    case Switch::kDefault:
      return command == "query" || command == "add" || command == "delete";
    case Switch::kAll:
      return command == "delete";
    case Switch::kType:
    case Switch::kData:
    case Switch::kSeparator:
      return command == "add";
    case Switch::kRecursive:
      return command == "query";
    case Switch::kForce:
      return command == "add" || command == "delete";
    case Switch::kYes:
      return command == "export";
  }
  return false;
}

}  // namespace

std::string UsageText() {
  return "Usage:\n"
         "  kovareg query  KEY [/v NAME | /ve] [/s]\n"
         "  kovareg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/s SEP] [/f]\n"
         "  kovareg delete KEY [/v NAME | /ve | /va] [/f]\n"
         "  kovareg import FILE\n"
         "  kovareg export KEY FILE [/y]\n"
         "\n"
         "KEY starts with HKCU, HKLM or HKCR (or HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,\n"
         "HKEY_CLASSES_ROOT), then the subkey: \"HKLM\\Software\\Corvanta\". Quote it.\n"
         "\n"
         "  /v NAME,  --value NAME       the value NAME\n"
         "  /ve,      --default-value    the default value, shown as (Default)\n"
         "  /va,      --all-values       every value of the key (delete)\n"
         "  /t TYPE,  --type TYPE        REG_SZ (the default), REG_EXPAND_SZ, "
         "REG_DWORD,\n"
         "                               REG_QWORD, REG_BINARY, REG_MULTI_SZ, REG_NONE\n"
         "  /d DATA,  --data DATA        the data: text, a number (decimal or 0x...),\n"
         "                               hexadecimal bytes (REG_BINARY, e.g. 0102ff), "
         "or\n"
         "                               REG_MULTI_SZ items separated by \\0\n"
         "  /s SEP,   --separator SEP    another separator of REG_MULTI_SZ items (add)\n"
         "  /s,       --recursive        the key and every key below it (query)\n"
         "  /f,       --force            overwrite (add) or delete without asking; "
         "without\n"
         "                               it an existing value is kept and nothing is "
         "deleted\n"
         "  /y,       --yes              overwrite an existing FILE (export)\n"
         "  --help                       this text\n"
         "\n"
         "The exit code is 0 on success and 1 on failure.\n";
}

bool ParseArguments(const std::vector<std::string>& args, Options* options,
                    std::string* error) {
  *options = Options();
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h" || arg == "/?" || arg == "-?") {
      options->help = true;
      return true;
    }
  }
  if (args.empty()) {
    *error = "no command given";
    return false;
  }
  options->command = Lower(args[0]);
  const std::string& command = options->command;
  if (command != "query" && command != "add" && command != "delete" &&
      command != "import" && command != "export") {
    *error = "unknown command \"" + args[0] + "\"";
    return false;
  }
  std::size_t positional = command == "export" ? 2 : 1;
  if (args.size() < 1 + positional) {
    *error = command == "import"   ? "import needs FILE"
             : command == "export" ? "export needs KEY and FILE"
                                   : command + " needs KEY";
    return false;
  }
  if (command == "import") {
    options->file = args[1];
  } else {
    options->key = args[1];
    if (command == "export") options->file = args[2];
  }

  std::vector<Switch> seen;
  for (std::size_t i = 1 + positional; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name;
    std::optional<std::string> inline_argument;
    bool is_long = arg.rfind("--", 0) == 0;
    if (is_long) {
      name = arg.substr(2);
      if (std::size_t eq = name.find('='); eq != std::string::npos) {
        inline_argument = name.substr(eq + 1);
        name.resize(eq);
      }
    } else if (arg.size() > 1 && (arg[0] == '/' || arg[0] == '-')) {
      name = Lower(arg.substr(1));
    } else {
      *error = "unexpected argument \"" + arg + "\"";
      return false;
    }
    const SwitchSpec* spec = nullptr;
    for (const SwitchSpec& s : kSwitches) {
      if (!Allowed(command, s.id)) continue;
      if (is_long ? name == s.long_name : name == s.short_name) spec = &s;
    }
    if (spec == nullptr) {
      *error = "the option " + arg + " is not known to " + command;
      return false;
    }
    for (Switch id : seen) {
      if (id == spec->id) {
        *error = "the option " + arg + " is given twice";
        return false;
      }
    }
    seen.push_back(spec->id);
    std::string argument;
    if (spec->takes_argument) {
      if (inline_argument) {
        argument = *inline_argument;
      } else if (i + 1 < args.size()) {
        argument = args[++i];  // taken as it stands: data may start with '/'
      } else {
        *error = "the option " + arg + " needs an argument";
        return false;
      }
    } else if (inline_argument) {
      *error = "the option --" + name + " takes no argument";
      return false;
    }
    spec->apply(options, argument);
  }
  if (int(options->value.has_value()) + int(options->default_value) +
          int(options->all_values) >
      1) {
    *error = "give only one of /v, /ve and /va";
    return false;
  }
  return true;
}

int Run(const Options& options, std::ostream& out, std::ostream& err) {
  if (options.help) {
    out << UsageText();
    return 0;
  }
  if (options.command == "import") return Import(options, out, err);
  KeyName name;
  std::string error;
  if (!ParseKeyName(options.key, &name, &error)) return Fail(err, error);
  if (options.command == "query") return Query(options, name, out, err);
  if (options.command == "add") return Add(options, name, out, err);
  if (options.command == "delete") return Delete(options, name, out, err);
  return Export(options, name, out, err);
}

}  // namespace kova::kovareg
