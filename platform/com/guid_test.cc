#include <string>

#include "combaseapi.h"
#include "tests/test_util.h"

namespace {

// {12345678-9ABC-DEF0-0102-030405060708}
constexpr GUID kGuid = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(GuidTest, StringFromGuid2) {
  OLECHAR buffer[40];
  for (auto& c : buffer) c = u'#';
  EXPECT_EQ(StringFromGUID2(kGuid, buffer, 39), 39);
  EXPECT_EQ(std::u16string(buffer), u"{12345678-9ABC-DEF0-0102-030405060708}");
  for (auto& c : buffer) c = u'#';
  EXPECT_EQ(StringFromGUID2(kGuid, buffer, 38), 0);
  EXPECT_EQ(buffer[0], u'#');

  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(kGuid, &text), S_OK);
  EXPECT_EQ(std::u16string(text), u"{12345678-9ABC-DEF0-0102-030405060708}");
  CoTaskMemFree(text);
}

TEST(GuidTest, ParsingRows) {
  struct Row {
    const char16_t* text;
    HRESULT clsid_hr;
    HRESULT iid_hr;
  };
  const Row rows[] = {
      {u"{12345678-9ABC-DEF0-0102-030405060708}", S_OK, S_OK},
      {u"{12345678-9abc-def0-0102-030405060708}", S_OK, S_OK},
      {u"12345678-9ABC-DEF0-0102-030405060708", CO_E_CLASSSTRING, E_INVALIDARG},
      {u"{12345678-9ABC-DEF0-0102-03040506070}", CO_E_CLASSSTRING, E_INVALIDARG},
      {u"{12345678-9ABC-DEF0-0102-03040506070G}", CO_E_CLASSSTRING, E_INVALIDARG},
      {u"{12345678+9ABC-DEF0-0102-030405060708}", CO_E_CLASSSTRING, E_INVALIDARG},
      {u"", CO_E_CLASSSTRING, E_INVALIDARG},
  };
  kova::test::TempDir registry;  // an unknown ProgID look-up must find nothing
  kova::test::ScopedEnv env("KOVA_REGISTRY_DIR", registry.os_path());
  for (const Row& row : rows) {
    SCOPED_TRACE(
        std::string(row.text, row.text + std::char_traits<char16_t>::length(row.text)));
    GUID clsid = {0xdeadbeef, 0, 0, {}};
    EXPECT_EQ(CLSIDFromString(row.text, &clsid), row.clsid_hr);
    if (row.clsid_hr == S_OK) {
      EXPECT_TRUE(IsEqualGUID(clsid, kGuid));
    } else {
      EXPECT_TRUE(IsEqualGUID(clsid, GUID_NULL));
    }
    IID iid = {};
    EXPECT_EQ(IIDFromString(row.text, &iid), row.iid_hr);
    if (row.iid_hr == S_OK) {
      EXPECT_TRUE(IsEqualGUID(iid, kGuid));
    }
  }
  GUID null_text = kGuid;
  EXPECT_EQ(CLSIDFromString(nullptr, &null_text), S_OK);
  EXPECT_TRUE(IsEqualGUID(null_text, GUID_NULL));
}

}  // namespace
