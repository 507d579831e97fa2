// The Reg* calls against the platform's documented and observed behaviour.
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"
#include "winerror.h"
#include "winreg.h"

namespace {

constexpr char kSentinel = '#';

class RegistryTest : public kova::test::IsolatedTest {
 protected:
  // A key created (with its parents) for the test; closed with the fixture.
  HKEY Create(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    opened_.push_back(key);
    return key;
  }
  HKEY Open(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, sam, &key), ERROR_SUCCESS) << path;
    opened_.push_back(key);
    return key;
  }
  void SetText(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    ASSERT_EQ(
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)),
        ERROR_SUCCESS);
  }
  void SetDword(HKEY key, const char* name, DWORD value) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
  }
  // The data of a value, or the status as text when the query fails.
  std::string Query(HKEY key, const char* name, DWORD* type = nullptr) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, type,
                                      reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS) return "error " + std::to_string(status);
    return std::string(buffer, size);
  }
  bool KeyExists(HKEY root, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  ~RegistryTest() override {
    for (HKEY key : opened_) RegCloseKey(key);
  }

 private:
  std::vector<HKEY> opened_;
};

TEST_F(RegistryTest, QueryValueSizeRules) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Sizes");
  SetText(key, "x", "x");
  SetText(key, "t260", std::string(260, 'a'));
  SetText(key, "t261", std::string(261, 'b'));
  SetText(key, "exp", "%HOME%\\sub", REG_EXPAND_SZ);

  struct Row {
    const char* name;
    DWORD buffer_size;  // 0 with a null buffer asks for the size only
    bool null_buffer;
    LSTATUS status;
    DWORD size_after;
  };
  const Row rows[] = {
      {"x", 2, false, ERROR_SUCCESS, 2},
      {"x", 1, false, ERROR_MORE_DATA, 2},
      {"x", 0, true, ERROR_SUCCESS, 2},
      {"t260", 261, false, ERROR_SUCCESS, 261},
      {"t261", 261, false, ERROR_MORE_DATA, 262},
      {"missing", 50, false, ERROR_FILE_NOT_FOUND, 50},
      {"exp", 100, false, ERROR_SUCCESS, 11},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.name << " in " << row.buffer_size);
    std::vector<char> buffer(300, kSentinel);
    DWORD size = row.buffer_size;
    DWORD type = 0xDEAD;
    EXPECT_EQ(
        RegQueryValueExA(
            key, row.name, nullptr, &type,
            row.null_buffer ? nullptr : reinterpret_cast<BYTE*>(buffer.data()), &size),
        row.status);
    EXPECT_EQ(size, row.size_after);
    if (row.status == ERROR_MORE_DATA) {
      // Too small: the buffer is untouched.
      EXPECT_EQ(std::string(buffer.data(), 300), std::string(300, kSentinel));
    }
    if (row.status == ERROR_SUCCESS && !row.null_buffer) {
      EXPECT_EQ(buffer[size - 1], '\0');
    }
    if (row.status != ERROR_FILE_NOT_FOUND) {
      EXPECT_NE(type, 0xDEADu);
    }
  }
  DWORD type;
  EXPECT_EQ(Query(key, "exp", &type), std::string("%HOME%\\sub\0", 11));  // not expanded
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  // A size pointer is needed to hand data out.
  char out[8];
  EXPECT_EQ(
      RegQueryValueExA(key, "x", nullptr, nullptr, reinterpret_cast<BYTE*>(out), nullptr),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryTest, SetValueStoresTextWithItsNul) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Set");
  struct Row {
    DWORD type;
    std::string given;
    std::string stored;
  };
  const Row rows[] = {
      {REG_SZ, "abc", std::string("abc\0", 4)},
      {REG_SZ, std::string("abc\0", 4), std::string("abc\0", 4)},
      {REG_EXPAND_SZ, "%A%", std::string("%A%\0", 4)},
      {REG_MULTI_SZ, std::string("a\0b", 3), std::string("a\0b\0", 4)},
      {REG_BINARY, "abc", "abc"},  // not text: kept as given
      {REG_SZ, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.type << " " << row.given);
    ASSERT_EQ(RegSetValueExA(key, "v", 0, row.type,
                             reinterpret_cast<const BYTE*>(row.given.data()),
                             static_cast<DWORD>(row.given.size())),
              ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Query(key, "v", &type), row.stored);
    EXPECT_EQ(type, row.type);
  }
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, nullptr, 1), ERROR_NOACCESS);
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
  const BYTE text[] = "a";
  EXPECT_EQ(RegSetValueExA(key, "line\nbreak", 0, REG_SZ, text, 2),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, std::string(16384, 'n').c_str(), 0, REG_SZ, text, 2),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, std::string(16383, 'n').c_str(), 0, REG_SZ, text, 2),
            ERROR_SUCCESS);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheFirstSpelling) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\MixedCase");
  DWORD disposition = 0;
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\kova\\mixedcase", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(again);
  EXPECT_TRUE(
      KeyExists(HKEY_CURRENT_USER, "software\\KOVA\\MIXEDCASE\\"));  // trailing '\'

  SetText(key, "DisplayName", "first");
  SetText(key, "DISPLAYNAME", "second");
  EXPECT_EQ(Query(key, "displayname"), std::string("second\0", 7));

  HKEY parent = Open(HKEY_CURRENT_USER, "Software\\Kova");
  char name[64];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "MixedCase");
  size = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "DisplayName");
  size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, OpenKeyPaths) {
  Create(HKEY_CURRENT_USER, "Software\\Kova\\A\\B");
  struct Row {
    const char* path;
    LSTATUS status;
  };
  const Row rows[] = {
      {"Software\\Kova\\A\\B", ERROR_SUCCESS},
      {"Software\\Kova\\A\\B\\", ERROR_SUCCESS},
      {"Software\\Kova\\A\\C", ERROR_FILE_NOT_FOUND},
      {"Nothing", ERROR_FILE_NOT_FOUND},
      {"\\Software", ERROR_BAD_PATHNAME},
      {"Software\\\\Kova", ERROR_BAD_PATHNAME},
      {"", ERROR_SUCCESS},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, row.path, 0, KEY_READ, &key), row.status);
    if (row.status != ERROR_SUCCESS) {
      EXPECT_EQ(key, nullptr);
    }
    if (row.status == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
  }
  // The machine hive is a different one.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Kova"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, Handles) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Handles");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  HKEY bogus = reinterpret_cast<HKEY>(&size);  // an address is never a handle
  EXPECT_EQ(RegSetValueExA(bogus, "v", 0, REG_SZ, nullptr, 0), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegFlushKey(bogus), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  HKEY users;
  EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, "x", 0, KEY_READ, &users), ERROR_INVALID_HANDLE);

  // The old calls hand back the same handle for an empty subkey.
  HKEY same = nullptr;
  HKEY open = Open(HKEY_CURRENT_USER, "Software\\Kova\\Handles");
  ASSERT_EQ(RegOpenKeyA(open, "", &same), ERROR_SUCCESS);
  EXPECT_EQ(same, open);
  ASSERT_EQ(RegCreateKeyA(open, nullptr, &same), ERROR_SUCCESS);
  EXPECT_EQ(same, open);
  ASSERT_EQ(RegCreateKeyA(open, "Sub", &same), ERROR_SUCCESS);
  EXPECT_NE(same, open);
  EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
}

TEST_F(RegistryTest, AccessRights) {
  Create(HKEY_CURRENT_USER, "Software\\Kova\\Rights");
  HKEY read = Open(HKEY_CURRENT_USER, "Software\\Kova\\Rights", KEY_READ);
  const BYTE data[] = "x";
  EXPECT_EQ(RegSetValueExA(read, "v", 0, REG_SZ, data, 2), ERROR_ACCESS_DENIED);
  HKEY sub;
  EXPECT_EQ(
      RegCreateKeyExA(read, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
      ERROR_ACCESS_DENIED);
  HKEY write = Open(HKEY_CURRENT_USER, "Software\\Kova\\Rights", KEY_SET_VALUE);
  EXPECT_EQ(RegSetValueExA(write, "v", 0, REG_SZ, data, 2), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(write, "v", nullptr, nullptr, nullptr, &size),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueExA(read, "v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  char name[8];
  DWORD name_size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(write, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, Enumeration) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Enum");
  for (const char* name : {"zeta", "Alpha", "beta"}) Create(key, name);
  SetText(key, "LongValueName", "0123456789");
  SetDword(key, "n", 7);

  std::vector<std::string> names;
  char name[64];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    LSTATUS status =
        RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(size, std::strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "zeta"}));
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Alpha");
  EXPECT_EQ(RegEnumKeyA(key, 3, name, sizeof name), ERROR_NO_MORE_ITEMS);

  // "Alpha" needs 6 characters with its NUL.
  std::memset(name, kSentinel, sizeof name);
  DWORD size = 5;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(name[0], kSentinel);
  size = 6;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);

  // Values: the name too small, the data too small, then both fitting.
  char data[32];
  std::memset(name, kSentinel, sizeof name);
  std::memset(data, kSentinel, sizeof data);
  DWORD name_size = 5, data_size = sizeof data, type = 0;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &data_size),
            ERROR_MORE_DATA);
  EXPECT_EQ(name[0], kSentinel);
  EXPECT_EQ(data[0], kSentinel);
  EXPECT_EQ(name_size, 5u);
  EXPECT_EQ(data_size, 11u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  name_size = sizeof name;
  data_size = 4;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &data_size),
            ERROR_MORE_DATA);
  EXPECT_EQ(data_size, 11u);
  EXPECT_EQ(data[0], kSentinel);
  name_size = sizeof name;
  data_size = sizeof data;
  ASSERT_EQ(RegEnumValueA(key, 1, name, &name_size, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &data_size),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "n");
  EXPECT_EQ(name_size, 1u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data_size, 4u);
  name_size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 2, name, &name_size, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, QueryInfoKey) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Info");
  Create(key, "Short");
  Create(key, "MuchLongerName");
  SetText(key, "v", "12345");
  SetText(key, "LongestValueName", "x");
  DWORD subkeys = 99, max_subkey = 99, values = 99, max_name = 99, max_data = 99;
  FILETIME time{};
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &max_subkey,
                             nullptr, &values, &max_name, &max_data, nullptr, &time),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(max_subkey, 14u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(max_name, 16u);
  EXPECT_EQ(max_data, 6u);
  EXPECT_NE(time.dwHighDateTime, 0u);  // the hive file's time, after 1601
}

TEST_F(RegistryTest, OldDefaultValueCalls) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Old");
  char buffer[16];
  std::memset(buffer, kSentinel, sizeof buffer);
  LONG size = sizeof buffer;
  ASSERT_EQ(RegQueryValueA(key, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(buffer[0], '\0');

  ASSERT_EQ(RegSetValueA(key, "Child\\Grandchild", REG_SZ, "hello", 0), ERROR_SUCCESS);
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueA(key, "child\\grandchild", buffer, &size), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(size, 6);
  size = 3;
  EXPECT_EQ(RegQueryValueA(key, "Child\\Grandchild", buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6);
  size = 0;
  EXPECT_EQ(RegQueryValueA(key, "Child\\Grandchild", nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6);
  EXPECT_EQ(RegQueryValueA(key, "Missing", buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueA(key, "x", REG_DWORD, "1", 0), ERROR_INVALID_PARAMETER);
  HKEY child = Open(key, "Child\\Grandchild");
  EXPECT_EQ(Query(child, ""), std::string("hello\0", 6));
}

TEST_F(RegistryTest, DeleteKey) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Del\\Leaf");
  HKEY parent = Open(HKEY_CURRENT_USER, "Software\\Kova\\Del");
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kova\\Del"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(parent, "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(parent, nullptr), ERROR_INVALID_PARAMETER);
  ASSERT_EQ(RegDeleteKeyA(parent, "LEAF"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova\\Del\\Leaf"));

  // A handle to the deleted key stays a handle, but its key is gone.
  DWORD size = 0;
  const BYTE data[] = "x";
  char name[8];
  DWORD name_size = sizeof name;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, data, 2), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  HKEY sub;
  EXPECT_EQ(
      RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
      ERROR_KEY_DELETED);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova\\Del\\Leaf"));

  // An empty name deletes the handle's own key; a root is never deleted.
  EXPECT_EQ(RegDeleteKeyA(parent, ""), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova\\Del"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, DeleteTree) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Tree");
  Create(key, "A\\B\\C");
  SetText(key, "v", "x");
  Create(HKEY_CURRENT_USER, "Software\\Kova\\Tree2\\X");
  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kova\\Tree2"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova\\Tree2"));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kova\\Tree2"),
            ERROR_FILE_NOT_FOUND);

  // Without a subkey the contents go and the key stays.
  ASSERT_EQ(RegDeleteTreeA(key, nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova\\Tree"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Kova\\Tree\\A"));
  EXPECT_EQ(Query(key, "v"), "error 2");
}

TEST_F(RegistryTest, DeleteValue) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Values");
  SetText(key, nullptr, "default");
  SetText(key, "Named", "x");
  EXPECT_EQ(Query(key, ""), std::string("default\0", 8));
  ASSERT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, nullptr), "error 2");
  EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegDeleteValueA(key, "NAMED"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "Named"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ClassesRootMergesUserOverMachine) {
  HKEY user = Create(HKEY_CURRENT_USER, "Software\\Classes\\.kova");
  HKEY machine = Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kova");
  SetText(user, nullptr, "user's");
  SetText(machine, nullptr, "machine's");
  SetText(machine, "OnlyMachine", "m");
  Create(HKEY_CURRENT_USER, "Software\\Classes\\UserClass");
  Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\MachineClass");

  HKEY merged = Open(HKEY_CLASSES_ROOT, ".KOVA");
  EXPECT_EQ(Query(merged, nullptr), std::string("user's\0", 7));
  EXPECT_EQ(Query(merged, "OnlyMachine"), std::string("m\0", 2));
  DWORD values = 0, subkeys = 0;
  ASSERT_EQ(RegQueryInfoKeyA(merged, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u);
  ASSERT_EQ(
      RegQueryInfoKeyA(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, &subkeys, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
      ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 3u);  // .kova once, UserClass, MachineClass

  // Values of a key that the user has go to the user; new keys go to the machine.
  SetText(merged, "Written", "w");
  EXPECT_EQ(Query(user, "Written"), std::string("w\0", 2));
  EXPECT_EQ(Query(machine, "Written"), "error 2");
  HKEY created = Create(HKEY_CLASSES_ROOT, "UserClass\\Fresh");
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\UserClass\\Fresh"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\UserClass\\Fresh"));
  SetText(created, "v", "x");
  EXPECT_EQ(Query(Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\UserClass\\Fresh"), "v"),
            std::string("x\0", 2));

  // A deletion through the merged view leaves nothing visible.
  ASSERT_EQ(RegDeleteValueA(merged, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(Query(merged, nullptr), "error 2");
  ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, ".kova"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.kova"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kova"));
  EXPECT_EQ(Query(merged, "OnlyMachine"), "error 1018");
}

TEST_F(RegistryTest, ThreadsDoNotLoseValues) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kova\\Threads");
  auto writer = [key](char prefix) {
    for (DWORD i = 0; i < 50; ++i) {
      std::string name = prefix + std::to_string(i);
      RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i),
                     4);
    }
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 100u);
}

}  // namespace
