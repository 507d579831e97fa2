#include <string>
#include <vector>

#include "com/test_calc.h"
#include "com/type_library.h"
#include "oleauto.h"
#include "tests/test_util.h"

namespace {

std::u16string TextOf(BSTR b) { return std::u16string(b, SysStringLen(b)); }

// The test interface in process; IUnknown and IDispatch are not exercised.
class LocalCalc final : public kova::test_calc::CalcMethods {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }
};

class DispatchInvokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = kova::com::CreateTypeLib(&kova::test_calc::kLibrary, nullptr);
    ASSERT_NE(lib_, nullptr);
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(IID_ITestCalc, &info_), S_OK);
  }
  void TearDown() override {
    if (info_ != nullptr) info_->Release();
    if (lib_ != nullptr) lib_->Release();
  }

  // Arguments in call order; DISPPARAMS wants them last first.
  HRESULT Call(MEMBERID id, std::vector<VARIANT> args, VARIANT* result,
               UINT* arg_err = nullptr, EXCEPINFO* excep = nullptr,
               WORD flags = DISPATCH_METHOD) {
    reversed_.assign(args.rbegin(), args.rend());
    DISPPARAMS params{reversed_.data(), nullptr, UINT(reversed_.size()), 0};
    return info_->Invoke(static_cast<ITestCalc*>(&calc_), id, flags, &params, result,
                         excep, arg_err);
  }

  static VARIANT I4(LONG v) {
    VARIANT var;
    var.vt = VT_I4;
    var.lVal = v;
    return var;
  }
  static VARIANT Text(const char16_t* text) {
    VARIANT var;
    var.vt = VT_BSTR;
    var.bstrVal = SysAllocString(text);
    return var;
  }

  LocalCalc calc_;
  ITypeLib* lib_ = nullptr;
  ITypeInfo* info_ = nullptr;
  std::vector<VARIANT> reversed_;
};

TEST_F(DispatchInvokeTest, ByValueArgumentsAreConvertedAndRetvalReturned) {
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Call(1, {I4(2), I4(3)}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 5);

  VARIANT text = Text(u" 40 ");
  VARIANT small;
  small.vt = VT_I2;
  small.iVal = 2;
  ASSERT_EQ(Call(1, {text, small}, &result), S_OK);
  EXPECT_EQ(result.lVal, 42);
  // The caller's argument is left as it was.
  EXPECT_EQ(text.vt, VT_BSTR);
  EXPECT_EQ(TextOf(text.bstrVal), u" 40 ");
  VariantClear(&text);

  // No place for the result: it is dropped.
  EXPECT_EQ(Call(1, {I4(1), I4(1)}, nullptr), S_OK);
}

TEST_F(DispatchInvokeTest, ArgumentErrors) {
  VARIANT result;
  VariantInit(&result);
  UINT arg_err = 99;
  VARIANT bad = Text(u"x");
  // Second argument of two: position 0 in the reversed array.
  EXPECT_EQ(Call(1, {I4(1), bad}, &result, &arg_err), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err, 0u);
  arg_err = 99;
  EXPECT_EQ(Call(1, {bad, I4(1)}, &result, &arg_err), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err, 1u);
  VariantClear(&bad);

  VARIANT big = Text(u"99999");
  VARIANT flag = I4(0);
  SHORT value = 1;
  VARIANT ref;
  ref.vt = VT_BYREF | VT_I2;
  ref.piVal = &value;
  VARIANT count = big;
  EXPECT_EQ(Call(3, {ref, flag, count}, &result, &arg_err), S_OK);  // fits a ULONG
  VARIANT negative = I4(-1);
  EXPECT_EQ(Call(3, {ref, flag, negative}, &result, &arg_err), DISP_E_OVERFLOW);
  EXPECT_EQ(arg_err, 0u);
  VariantClear(&big);

  EXPECT_EQ(Call(1, {I4(1), I4(2), I4(3)}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, {I4(1)}, &result), DISP_E_PARAMNOTOPTIONAL);
  VARIANT missing;
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(Call(1, {I4(1), missing}, &result), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Call(77, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(1, {I4(1), I4(2)}, &result, nullptr, nullptr, DISPATCH_PROPERTYPUT),
            DISP_E_MEMBERNOTFOUND);
  // Script hosts ask for a method or a property at once.
  EXPECT_EQ(Call(1, {I4(1), I4(2)}, &result, nullptr, nullptr,
                 DISPATCH_METHOD | DISPATCH_PROPERTYGET),
            S_OK);

  VARIANT args[2] = {I4(1), I4(2)};
  DISPID named = 0;
  DISPPARAMS with_names{args, &named, 2, 1};
  EXPECT_EQ(info_->Invoke(static_cast<ITestCalc*>(&calc_), 1, DISPATCH_METHOD,
                          &with_names, &result, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
}

TEST_F(DispatchInvokeTest, ReferenceArguments) {
  VARIANT result;
  VariantInit(&result);
  // BSTR* by reference: the method's change reaches the caller.
  BSTR text = SysAllocString(u"hi");
  VARIANT ref;
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &text;
  ASSERT_EQ(Call(2, {ref}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(TextOf(result.bstrVal), u"<hi>");
  EXPECT_EQ(TextOf(text), u"seen");
  VariantClear(&result);
  SysFreeString(text);

  // By value where a reference is declared: the method works on a copy.
  VARIANT value = Text(u"v");
  ASSERT_EQ(Call(2, {value}, &result), S_OK);
  EXPECT_EQ(TextOf(result.bstrVal), u"<v>");
  EXPECT_EQ(TextOf(value.bstrVal), u"v");
  VariantClear(&result);
  VariantClear(&value);

  // A variable of a script host (VT_BYREF|VT_VARIANT) is converted in place.
  VARIANT variable = I4(42);
  VARIANT by_variant;
  by_variant.vt = VT_BYREF | VT_VARIANT;
  by_variant.pvarVal = &variable;
  ASSERT_EQ(Call(2, {by_variant}, &result), S_OK);
  EXPECT_EQ(TextOf(result.bstrVal), u"<42>");
  EXPECT_EQ(variable.vt, VT_BSTR);
  EXPECT_EQ(TextOf(variable.bstrVal), u"seen");
  VariantClear(&result);
  VariantClear(&variable);

  // In/out SHORT* and a boolean given as text.
  SHORT number = 5;
  VARIANT short_ref;
  short_ref.vt = VT_BYREF | VT_I2;
  short_ref.piVal = &number;
  VARIANT flag = Text(u"True");
  ASSERT_EQ(Call(3, {short_ref, flag, I4(0)}, &result), S_OK);
  EXPECT_EQ(number, -5);
  EXPECT_EQ(result.vt, VT_EMPTY);
  VariantClear(&flag);

  // A reference of another type cannot take the output.
  LONG wide = 5;
  VARIANT long_ref;
  long_ref.vt = VT_BYREF | VT_I4;
  long_ref.plVal = &wide;
  UINT arg_err = 99;
  EXPECT_EQ(Call(3, {long_ref, I4(0), I4(1)}, &result, &arg_err), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err, 2u);

  // An [out] parameter in an empty variable receives its value.
  VARIANT out;
  VariantInit(&out);
  VARIANT out_ref;
  out_ref.vt = VT_BYREF | VT_VARIANT;
  out_ref.pvarVal = &out;
  ASSERT_EQ(Call(5, {I4(7), out_ref}, &result), S_OK);
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_EQ(TextOf(out.bstrVal), u"7");
  VariantClear(&out);
}

// A value given for an [out] BSTR* was converted into a copy that the method
// overwrote unread, and the copy leaked (seen by the leak checker of the
// sanitizer build). The value must still pass the type check.
TEST_F(DispatchInvokeTest, ValueForAnOutParameterIsNotLeaked) {
  VARIANT result;
  VariantInit(&result);
  VARIANT text = Text(u"old");
  EXPECT_EQ(Call(5, {I4(7), text}, &result), S_OK);
  EXPECT_EQ(TextOf(text.bstrVal), u"old");
  VariantClear(&text);
  EXPECT_EQ(Call(5, {I4(8), I4(12345)}, &result), S_OK);
  VARIANT null_value;
  null_value.vt = VT_NULL;
  UINT arg_err = 99;
  EXPECT_EQ(Call(5, {I4(9), null_value}, &result, &arg_err), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err, 0u);
}

TEST_F(DispatchInvokeTest, MethodResults) {
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(Call(4, {I4(S_FALSE)}, &result), S_FALSE);
  EXCEPINFO excep{};
  excep.wCode = 7;
  EXPECT_EQ(Call(4, {I4(E_ACCESSDENIED)}, &result, nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_ACCESSDENIED);
  EXPECT_EQ(excep.wCode, 0);
}

TEST_F(DispatchInvokeTest, NamesAndDescriptions) {
  struct Row {
    std::vector<const char16_t*> names;
    HRESULT expected;
    std::vector<MEMBERID> ids;
  };
  const Row rows[] = {
      {{u"Add"}, S_OK, {1}},
      {{u"aDD", u"B", u"a"}, S_OK, {1, 1, 0}},
      {{u"echo", u"copy"}, S_OK, {2, 1}},
      {{u"Add", u"c"}, DISP_E_UNKNOWNNAME, {1, MEMBERID_NIL}},
      {{u"Subtract"}, DISP_E_UNKNOWNNAME, {MEMBERID_NIL}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.names.size());
    std::vector<LPOLESTR> names;
    for (const char16_t* n : row.names) names.push_back(const_cast<LPOLESTR>(n));
    std::vector<MEMBERID> ids(names.size(), 12345);
    EXPECT_EQ(info_->GetIDsOfNames(names.data(), UINT(names.size()), ids.data()),
              row.expected);
    EXPECT_EQ(ids, row.ids);
  }

  BSTR names[4] = {};
  UINT count = 0;
  ASSERT_EQ(info_->GetNames(3, names, 4, &count), S_OK);
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(TextOf(names[0]), u"Adjust");
  EXPECT_EQ(TextOf(names[3]), u"count");
  for (BSTR& n : names) SysFreeString(n);
  ASSERT_EQ(info_->GetNames(3, names, 2, &count), S_OK);
  EXPECT_EQ(count, 2u);
  SysFreeString(names[0]);
  SysFreeString(names[1]);

  FUNCDESC* desc = nullptr;
  ASSERT_EQ(info_->GetFuncDesc(1, &desc), S_OK);
  EXPECT_EQ(desc->memid, 2);
  EXPECT_EQ(desc->cParams, 2);
  EXPECT_EQ(desc->invkind, INVOKE_FUNC);
  EXPECT_EQ(desc->oVft, SHORT(8 * sizeof(void*)));
  EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_BSTR);
  EXPECT_EQ(desc->lprgelemdescParam[1].paramdesc.wParamFlags,
            PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  info_->ReleaseFuncDesc(desc);
  EXPECT_EQ(info_->GetFuncDesc(5, &desc), TYPE_E_ELEMENTNOTFOUND);

  BSTR name = nullptr, doc = nullptr;
  ASSERT_EQ(info_->GetDocumentation(4, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(TextOf(name), u"Result");
  EXPECT_EQ(TextOf(doc), u"returns");
  SysFreeString(name);
  SysFreeString(doc);
  ASSERT_EQ(info_->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(TextOf(name), u"ITestCalc");
  SysFreeString(name);
  EXPECT_EQ(info_->GetDocumentation(99, &name, nullptr, nullptr, nullptr),
            TYPE_E_ELEMENTNOTFOUND);

  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info_->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ITestCalc));
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 5);
  EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
  EXPECT_EQ(attr->wMajorVerNum, 2);
  info_->ReleaseTypeAttr(attr);

  ITypeLib* containing = nullptr;
  UINT index = 99;
  ASSERT_EQ(info_->GetContainingTypeLib(&containing, &index), S_OK);
  EXPECT_EQ(containing, lib_);
  EXPECT_EQ(index, 0u);
  containing->Release();
}

TEST_F(DispatchInvokeTest, LibraryLevel) {
  EXPECT_EQ(lib_->GetTypeInfoCount(), 3u);
  TYPEKIND kind;
  ASSERT_EQ(lib_->GetTypeInfoType(1, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_ENUM);
  ITypeInfo* colors = nullptr;
  ASSERT_EQ(lib_->GetTypeInfo(1, &colors), S_OK);
  VARDESC* var = nullptr;
  ASSERT_EQ(colors->GetVarDesc(1, &var), S_OK);
  EXPECT_EQ(var->varkind, VAR_CONST);
  EXPECT_EQ(var->lpvarValue->lVal, 2);
  BSTR name = nullptr;
  UINT count = 0;
  ASSERT_EQ(colors->GetNames(var->memid, &name, 1, &count), S_OK);
  EXPECT_EQ(TextOf(name), u"GREEN");
  SysFreeString(name);
  colors->ReleaseVarDesc(var);
  colors->Release();

  ITypeInfo* none = reinterpret_cast<ITypeInfo*>(0x1);
  EXPECT_EQ(lib_->GetTypeInfoOfGuid(LIBID_TestCalcLib, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(lib_->GetTypeInfo(3, &none), TYPE_E_ELEMENTNOTFOUND);
  BOOL found = FALSE;
  ASSERT_EQ(lib_->IsName(const_cast<LPOLESTR>(u"adjust"), 0, &found), S_OK);
  EXPECT_TRUE(found);
  ASSERT_EQ(lib_->IsName(const_cast<LPOLESTR>(u"Nothing"), 0, &found), S_OK);
  EXPECT_FALSE(found);
  BSTR doc = nullptr;
  ASSERT_EQ(lib_->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(TextOf(name), u"TestCalcLib");
  EXPECT_EQ(TextOf(doc), u"Test Calc 2.1 Library");
  SysFreeString(name);
  SysFreeString(doc);
}

}  // namespace
