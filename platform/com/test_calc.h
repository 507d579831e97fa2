// A small dual interface and its type library, used by the tests of this area:
// in process (dispatch_invoke_test.cc) and as the class of the test server module
// (test_server.cc).
#ifndef KOVA_PLATFORM_COM_TEST_CALC_H_
#define KOVA_PLATFORM_COM_TEST_CALC_H_

#include <string>

#include "kova_typelib.h"
#include "oaidl.h"
#include "oleauto.h"

// {5C3E6A10-0B7D-4C55-9F41-2B8E7A6D1C01}
DEFINE_GUID(CLSID_TestCalc, 0x5c3e6a10, 0x0b7d, 0x4c55, 0x9f, 0x41, 0x2b, 0x8e, 0x7a,
            0x6d, 0x1c, 0x01);
// {5C3E6A10-0B7D-4C55-9F41-2B8E7A6D1C02}
DEFINE_GUID(IID_ITestCalc, 0x5c3e6a10, 0x0b7d, 0x4c55, 0x9f, 0x41, 0x2b, 0x8e, 0x7a, 0x6d,
            0x1c, 0x02);
// {5C3E6A10-0B7D-4C55-9F41-2B8E7A6D1C03}
DEFINE_GUID(LIBID_TestCalcLib, 0x5c3e6a10, 0x0b7d, 0x4c55, 0x9f, 0x41, 0x2b, 0x8e, 0x7a,
            0x6d, 0x1c, 0x03);

struct ITestCalc : public IDispatch {
  // *sum = a + b.
  STDMETHOD(Add)(LONG a, LONG b, LONG* sum) PURE;
  // *copy = "<" + *text + ">"; *text is set to "seen".
  STDMETHOD(Echo)(BSTR* text, BSTR* copy) PURE;
  // *value = -*value when flag is true; *value += count otherwise.
  STDMETHOD(Adjust)(SHORT* value, VARIANT_BOOL flag, ULONG count) PURE;
  // Returns code as its result.
  STDMETHOD(Result)(LONG code) PURE;
  // *text = the number n as text ([out], not retval).
  STDMETHOD(Format)(LONG n, BSTR* text) PURE;

 protected:
  ~ITestCalc() = default;
};

namespace kova::test_calc {

// The methods of ITestCalc; IUnknown and IDispatch are left to the object.
class CalcMethods : public ITestCalc {
 public:
  STDMETHODIMP Add(LONG a, LONG b, LONG* sum) override {
    *sum = a + b;
    return S_OK;
  }
  STDMETHODIMP Echo(BSTR* text, BSTR* copy) override {
    std::u16string seen = u"<";
    seen.append(*text == nullptr ? u"" : *text, SysStringLen(*text));
    seen += u">";
    *copy = SysAllocStringLen(seen.data(), UINT(seen.size()));
    SysFreeString(*text);
    *text = SysAllocString(u"seen");
    return S_OK;
  }
  STDMETHODIMP Adjust(SHORT* value, VARIANT_BOOL flag, ULONG count) override {
    *value = flag == VARIANT_TRUE ? SHORT(-*value) : SHORT(*value + SHORT(count));
    return S_OK;
  }
  STDMETHODIMP Result(LONG code) override { return HRESULT(code); }
  STDMETHODIMP Format(LONG n, BSTR* text) override {
    const std::string digits = std::to_string(n);
    const std::u16string wide(digits.begin(), digits.end());
    *text = SysAllocStringLen(wide.data(), UINT(wide.size()));
    return S_OK;
  }

 protected:
  ~CalcMethods() = default;
};

inline constexpr KOVA_PARAM_DATA kAdd[] = {
    {"a", VT_I4, PARAMFLAG_FIN, nullptr},
    {"b", VT_I4, PARAMFLAG_FIN, nullptr},
    {"sum", VT_I4 | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
inline constexpr KOVA_PARAM_DATA kEcho[] = {
    {"text", VT_BSTR | VT_BYREF, PARAMFLAG_FIN | PARAMFLAG_FOUT, nullptr},
    {"copy", VT_BSTR | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
inline constexpr KOVA_PARAM_DATA kAdjust[] = {
    {"value", VT_I2 | VT_BYREF, PARAMFLAG_FIN | PARAMFLAG_FOUT, nullptr},
    {"flag", VT_BOOL, PARAMFLAG_FIN, nullptr},
    {"count", VT_UI4, PARAMFLAG_FIN, nullptr}};
inline constexpr KOVA_PARAM_DATA kResult[] = {{"code", VT_I4, PARAMFLAG_FIN, nullptr}};
inline constexpr KOVA_PARAM_DATA kFormat[] = {
    {"n", VT_I4, PARAMFLAG_FIN, nullptr},
    {"text", VT_BSTR | VT_BYREF, PARAMFLAG_FOUT, nullptr}};

inline constexpr KOVA_FUNC_DATA kFuncs[] = {
    KovaFunc<&ITestCalc::Add>(1, "Add", "adds", 7, kAdd),
    KovaFunc<&ITestCalc::Echo>(2, "Echo", "echoes", 8, kEcho),
    KovaFunc<&ITestCalc::Adjust>(3, "Adjust", "adjusts", 9, kAdjust),
    KovaFunc<&ITestCalc::Result>(4, "Result", "returns", 10, kResult),
    KovaFunc<&ITestCalc::Format>(5, "Format", "formats", 11, kFormat),
};

inline constexpr KOVA_ENUM_DATA kColors[] = {{"RED", 1}, {"GREEN", 2}};

inline constexpr KOVA_TYPE_DATA kTypes[] = {
    {TKIND_DISPATCH, "ITestCalc", "test calculator", IID_ITestCalc,
     TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FOLEAUTOMATION, 5, kFuncs, 0,
     nullptr, VT_EMPTY, nullptr},
    {TKIND_ENUM, "COLOR", nullptr, GUID_NULL, 0, 0, nullptr, 2, kColors, VT_EMPTY,
     nullptr},
    {TKIND_COCLASS, "TestCalc", "TestCalc Class", CLSID_TestCalc, TYPEFLAG_FCANCREATE, 0,
     nullptr, 0, nullptr, VT_EMPTY, "ITestCalc"},
};

inline constexpr KOVA_TYPELIB_DATA kLibrary = {
    KOVA_TYPELIB_MAGIC, LIBID_TestCalcLib,       2, 1,     0, 0,
    "TestCalcLib",      "Test Calc 2.1 Library", 3, kTypes};

}  // namespace kova::test_calc

#endif  // KOVA_PLATFORM_COM_TEST_CALC_H_
