#include <cstring>
#include <string>

#include "oleauto.h"
#include "tests/test_util.h"

namespace {

struct BstrDeleter {
  void operator()(OLECHAR* b) const { SysFreeString(b); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrDeleter>;

DWORD PrefixOf(BSTR b) {
  DWORD prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
  return prefix;
}

TEST(BstrTest, LayoutAndLengths) {
  UniqueBstr hello(SysAllocString(u"hello"));
  ASSERT_NE(hello, nullptr);
  EXPECT_EQ(PrefixOf(hello.get()), 10u);
  EXPECT_EQ(SysStringLen(hello.get()), 5u);
  EXPECT_EQ(SysStringByteLen(hello.get()), 10u);
  EXPECT_EQ(hello.get()[5], 0);

  // Embedded NULs are part of a counted string.
  UniqueBstr counted(SysAllocStringLen(u"a\0b", 3));
  EXPECT_EQ(SysStringLen(counted.get()), 3u);
  EXPECT_EQ(counted.get()[2], u'b');
  EXPECT_EQ(counted.get()[3], 0);

  // A null source gives a zero-filled string of that length.
  UniqueBstr blank(SysAllocStringLen(nullptr, 4));
  ASSERT_NE(blank, nullptr);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(blank.get()[i], 0) << i;

  // An odd byte count keeps a whole NUL character after the bytes.
  UniqueBstr bytes(SysAllocStringByteLen("abc", 3));
  EXPECT_EQ(SysStringByteLen(bytes.get()), 3u);
  EXPECT_EQ(SysStringLen(bytes.get()), 1u);
  EXPECT_EQ(std::memcmp(bytes.get(), "abc\0\0", 5), 0);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
}

VARIANT I4(LONG v) {
  VARIANT var;
  var.vt = VT_I4;
  var.lVal = v;
  return var;
}

std::u16string TextOf(const VARIANT& v) {
  return std::u16string(v.bstrVal, SysStringLen(v.bstrVal));
}

TEST(VariantTest, ClearFreesAndCopyDuplicates) {
  VARIANT a;
  VariantInit(&a);
  EXPECT_EQ(a.vt, VT_EMPTY);
  a.vt = VT_BSTR;
  a.bstrVal = SysAllocString(u"text");
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_NE(b.bstrVal, a.bstrVal);
  EXPECT_EQ(TextOf(b), u"text");
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(TextOf(b), u"text");
  VariantClear(&b);

  VARIANT bad;
  bad.vt = 0x0fff;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantCopy(&b, &bad), DISP_E_BADVARTYPE);
}

struct ConversionRow {
  const char* name;
  VARIANT source;
  VARTYPE target;
  USHORT flags;
  HRESULT expected;
  LONGLONG number;       // expected value for number and bool targets
  const char16_t* text;  // expected text for VT_BSTR targets
};

VARIANT Text(const char16_t* text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}
VARIANT Bool(bool b) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
VARIANT UI4(ULONG u) {
  VARIANT v;
  v.vt = VT_UI4;
  v.ulVal = u;
  return v;
}
VARIANT I2(SHORT s) {
  VARIANT v;
  v.vt = VT_I2;
  v.iVal = s;
  return v;
}

LONGLONG NumberOf(const VARIANT& v) {
  switch (v.vt) {
    case VT_I2:
      return v.iVal;
    case VT_I4:
      return v.lVal;
    case VT_UI4:
      return v.ulVal;
    case VT_BOOL:
      return v.boolVal;
    default:
      return 0x7eadbeef;
  }
}

TEST(VariantTest, ChangeTypeRows) {
  VARIANT empty;
  VariantInit(&empty);
  const ConversionRow rows[] = {
      {"i4 to text", I4(-42), VT_BSTR, 0, S_OK, 0, u"-42"},
      {"ui4 to text keeps unsigned", UI4(4000000000u), VT_BSTR, 0, S_OK, 0,
       u"4000000000"},
      {"bool to text is numeric", Bool(true), VT_BSTR, 0, S_OK, 0, u"-1"},
      {"bool to text alpha", Bool(false), VT_BSTR, VARIANT_ALPHABOOL, S_OK, 0, u"False"},
      {"empty to text", empty, VT_BSTR, 0, S_OK, 0, u""},
      {"text to i4", Text(u" 123 "), VT_I4, 0, S_OK, 123, nullptr},
      {"text to i4 rounds half even", Text(u"2.5"), VT_I4, 0, S_OK, 2, nullptr},
      {"text to i4 rounds up", Text(u"3.5"), VT_I4, 0, S_OK, 4, nullptr},
      {"text hex", Text(u"&H10"), VT_I4, 0, S_OK, 16, nullptr},
      {"bad text", Text(u"12abc"), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"empty text", Text(u""), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"True is no number", Text(u"True"), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"text overflow i2", Text(u"40000"), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"text overflow i4", Text(u"3000000000"), VT_I4, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"negative text to ui4", Text(u"-1"), VT_UI4, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"text to ui4", Text(u"4294967295"), VT_UI4, 0, S_OK, 4294967295ll, nullptr},
      {"True to bool", Text(u"true"), VT_BOOL, 0, S_OK, -1, nullptr},
      {"False to bool", Text(u"FALSE"), VT_BOOL, 0, S_OK, 0, nullptr},
      {"#TRUE# to bool", Text(u"#TRUE#"), VT_BOOL, 0, S_OK, -1, nullptr},
      {"number text to bool", Text(u"7"), VT_BOOL, 0, S_OK, -1, nullptr},
      {"zero text to bool", Text(u"0"), VT_BOOL, 0, S_OK, 0, nullptr},
      {"yes is no bool", Text(u"yes"), VT_BOOL, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"i4 to bool", I4(5), VT_BOOL, 0, S_OK, -1, nullptr},
      {"bool to i4", Bool(true), VT_I4, 0, S_OK, -1, nullptr},
      {"bool to i2", Bool(true), VT_I2, 0, S_OK, -1, nullptr},
      {"i4 to i2 overflow", I4(70000), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"i4 to i2", I4(-7), VT_I2, 0, S_OK, -7, nullptr},
      {"negative i4 to ui4", I4(-1), VT_UI4, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"big ui4 to i4", UI4(0x80000000u), VT_I4, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"i2 to ui4", I2(12), VT_UI4, 0, S_OK, 12, nullptr},
      {"empty to i4", empty, VT_I4, 0, S_OK, 0, nullptr},
  };
  for (const ConversionRow& row : rows) {
    SCOPED_TRACE(row.name);
    VARIANT source = row.source;
    VARIANT dest;
    dest.vt = VT_I4;
    dest.lVal = 0x5eed;
    const HRESULT hr = VariantChangeType(&dest, &source, row.flags, row.target);
    EXPECT_EQ(hr, row.expected);
    if (SUCCEEDED(hr)) {
      EXPECT_EQ(dest.vt, row.target);
      if (row.target == VT_BSTR) {
        EXPECT_EQ(TextOf(dest), row.text);
      } else {
        EXPECT_EQ(NumberOf(dest), row.number);
      }
    } else {
      // A failed conversion leaves the destination alone.
      EXPECT_EQ(dest.vt, VT_I4);
      EXPECT_EQ(dest.lVal, 0x5eed);
    }
    VariantClear(&dest);
    VariantClear(&source);
  }
}

TEST(VariantTest, ChangeTypeDereferencesAndWorksInPlace) {
  LONG number = 99;
  VARIANT ref;
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &number;
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(TextOf(out), u"99");
  VariantClear(&out);

  VARIANT inner = Text(u"17");
  VARIANT by_variant;
  by_variant.vt = VT_BYREF | VT_VARIANT;
  by_variant.pvarVal = &inner;
  ASSERT_EQ(VariantChangeType(&out, &by_variant, 0, VT_I2), S_OK);
  EXPECT_EQ(out.vt, VT_I2);
  EXPECT_EQ(out.iVal, 17);

  // In place: the old text is freed and replaced by the number.
  ASSERT_EQ(VariantChangeType(&inner, &inner, 0, VT_I4), S_OK);
  EXPECT_EQ(inner.vt, VT_I4);
  EXPECT_EQ(inner.lVal, 17);

  VARIANT unsupported = I4(1);
  EXPECT_EQ(VariantChangeType(&out, &unsupported, 0, VT_DISPATCH), DISP_E_BADVARTYPE);
}

// A by-reference argument with a null pointer, passed where a value is expected,
// was dereferenced.
TEST(VariantTest, ChangeTypeRefusesANullReference) {
  const VARTYPE types[] = {VT_I2, VT_I4, VT_UI4, VT_BOOL, VT_BSTR, VT_ERROR, VT_I8};
  for (VARTYPE type : types) {
    for (VARTYPE target : {VT_I4, VT_BSTR, VT_BOOL}) {
      SCOPED_TRACE(std::to_string(type) + " to " + std::to_string(target));
      VARIANT ref;
      ref.vt = VARTYPE(VT_BYREF | type);
      ref.byref = nullptr;
      VARIANT out = I4(5);
      EXPECT_EQ(VariantChangeType(&out, &ref, 0, target), E_INVALIDARG);
      EXPECT_EQ(out.vt, VT_I4);
      EXPECT_EQ(out.lVal, 5);
      VARIANT inner;
      inner.vt = VARTYPE(VT_BYREF | type);
      inner.byref = nullptr;
      VARIANT by_variant;
      by_variant.vt = VT_BYREF | VT_VARIANT;
      by_variant.pvarVal = &inner;
      EXPECT_EQ(VariantChangeType(&out, &by_variant, 0, target), E_INVALIDARG);
    }
  }
}

}  // namespace
