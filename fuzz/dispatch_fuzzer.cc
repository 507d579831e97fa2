// The component's IDispatch as a late-bound client drives it: any names for
// GetIDsOfNames, then Invoke with any member, flags and argument array (VARIANTs
// of any type, by value or by reference, null pointers, named arguments, wrong
// counts). The real libKovaIntr.so is loaded and its object created in-process,
// as a client creates it; each input gets a fresh session that the call may use.
//
// The file operations act on real files, so every text argument is made to name
// a place inside the sandbox: no leading or doubled separators, no parent
// references, no drive colons and no environment or replacer references.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_sandbox.h"
#include "kovaintr/kova_intr_api.h"
#include "libloaderapi.h"
#include "objbase.h"
#include "oleauto.h"
#include "winnls.h"

namespace {

// The interface's members, for names that resolve.
constexpr const char* kNames[] = {
    "KovaInitialize",
    "KovaBrowse",
    "KovaUnInitialize",
    "KovaLoadFile",
    "KovaGetProfileString",
    "KovaGetProfileInt",
    "KovaGetKovaDisplayPath",
    "KovaSetProfileString",
    "KovaPublishLumasetDepFiles",
    "KovaBrowseMultiSel",
    "KovaRenameFile",
    "KovaDeleteFile",
    "KovaCopyFileToLocalFS",
    "KovaFileExists",
    "KovaFlushFile",
    "KovaPathConvertKovatoFS",
    "KovaFindInit",
    "KovaFindNext",
    "KovaGetPathFromDisplayName",
    "KovaGetDefaultKovaPath",
    "KovaIsPathWriteAble",
    "KovaSetSelItemPath",
    "lKovaIntr",
    "APP_TYPE",
};

// A path-like text that stays inside the sandbox's current folder or a Kova.
std::string Confine(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '/') c = '\\';
    if (c == ':' || c == '%' || c == '$' || c == '~' || c == '\0') c = '_';
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    if (c == '.' && !out.empty() && out.back() == '.') c = '_';
    out.push_back(c);
  }
  return out;
}

// A text argument: often a path in the built-in Kova or the current folder.
std::string MakeText(FuzzedDataProvider& input) {
  const std::string prefix = input.PickValueInArray<const char*>(
      {"", "", "<My Kova>\\", "<MY KOVA>\\sub\\", "sub\\", "a.ini"});
  return Confine(prefix + input.ConsumeRandomLengthString(96));
}

BSTR MakeBstr(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide.push_back(char16_t(c < 0x80 ? c : 0x100 + c));
  return SysAllocStringLen(wide.data(), UINT(wide.size()));
}

// The storage one argument points into; every BSTR here is owned by the fuzzer
// unless the component replaced it, in which case the new one is owned instead.
struct ArgStorage {
  LONG number = 0;
  SHORT small = 0;
  VARIANT_BOOL flag = VARIANT_FALSE;
  BSTR text = nullptr;
  VARIANT inner{};
  // For an [out] parameter the component may overwrite `text` without freeing
  // it, as COM allows; the text given is then freed here.
  bool out_only = false;
  BSTR given = nullptr;
};

// An input parameter of a member as its type information gives it.
struct Parameter {
  VARTYPE vt;    // with VT_BYREF for a pointer parameter
  USHORT flags;  // PARAMFLAG_FIN, PARAMFLAG_FOUT
};
struct Member {
  DISPID id;
  std::vector<Parameter> inputs;  // the [retval] parameter left out
};

class Component {
 public:
  Component() {
    (void)kova::fuzz::Sandbox::Get();
    FUZZ_CHECK(SUCCEEDED(CoInitialize(nullptr)));
    module_ = LoadLibraryA("KovaIntr.dll");
    FUZZ_CHECK(module_ != nullptr);
    // The libraries a session loads and frees again stay loaded for the whole run:
    // libFuzzer reads the coverage counters of every instrumented module it saw.
    for (const char* library : {"zolbin.dll", "wldap32.dll"}) {
      FUZZ_CHECK(LoadLibraryA(library) != nullptr);
    }
    // Registered as an installation registers it (into the sandbox's hives), so
    // that the dispatch finds its type library.
    using EntryPoint = HRESULT (*)();
    auto register_server = reinterpret_cast<EntryPoint>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, "DllRegisterServer")));
    FUZZ_CHECK(register_server != nullptr && register_server() == S_OK);
    using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    FUZZ_CHECK(get != nullptr && get(CLSID_KovaIntrApi, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)) == S_OK);
    const HRESULT hr = factory->CreateInstance(nullptr, IID_IKovaIntrApi,
                                               reinterpret_cast<void**>(&api_));
    factory->Release();
    FUZZ_CHECK(SUCCEEDED(hr) && api_ != nullptr);
    ReadMembers();
  }
  IKovaIntrApi* api() const { return api_; }
  const std::vector<Member>& members() const { return members_; }

 private:
  void ReadMembers() {
    ITypeInfo* info = nullptr;
    FUZZ_CHECK(api_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info) == S_OK);
    for (UINT index = 0;; ++index) {
      FUNCDESC* desc = nullptr;
      if (info->GetFuncDesc(index, &desc) != S_OK) break;
      Member member{desc->memid, {}};
      for (SHORT i = 0; i < desc->cParams; ++i) {
        const ELEMDESC& elem = desc->lprgelemdescParam[i];
        if ((elem.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0) continue;
        member.inputs.push_back({elem.tdesc.vt == VT_PTR
                                     ? VARTYPE(VT_BYREF | elem.tdesc.lptdesc->vt)
                                     : elem.tdesc.vt,
                                 elem.paramdesc.wParamFlags});
      }
      info->ReleaseFuncDesc(desc);
      members_.push_back(std::move(member));
    }
    info->Release();
    FUZZ_CHECK(!members_.empty());
  }

  HMODULE module_ = nullptr;
  IKovaIntrApi* api_ = nullptr;
  std::vector<Member> members_;
};

// One VARIANT of a type the input picks, its payload in `storage`.
// Sets `arg` to a value of `base` (VT_I4, VT_UI4, VT_I2, VT_BOOL or VT_BSTR)
// held in `storage`, or to a reference to it there.
void SetPayload(VARTYPE base, bool by_reference, ArgStorage* storage, VARIANT* arg) {
  arg->vt = by_reference ? VARTYPE(VT_BYREF | base) : base;
  switch (base) {
    case VT_BSTR:
      if (by_reference)
        arg->pbstrVal = &storage->text;
      else
        arg->bstrVal = storage->text;
      return;
    case VT_BOOL:
      if (by_reference)
        arg->pboolVal = &storage->flag;
      else
        arg->boolVal = storage->flag;
      return;
    case VT_I2:
      if (by_reference)
        arg->piVal = &storage->small;
      else
        arg->iVal = storage->small;
      return;
    default:  // VT_I4 and VT_UI4 share the storage
      if (by_reference)
        arg->plVal = &storage->number;
      else
        arg->lVal = storage->number;
      return;
  }
}

void MakeArgument(FuzzedDataProvider& input, LONG session, ArgStorage* storage,
                  VARIANT* arg) {
  VariantInit(arg);
  const bool by_reference = input.ConsumeBool();
  const int kind = input.ConsumeIntegralInRange<int>(0, 12);
  storage->number = input.ConsumeBool() ? session : input.ConsumeIntegral<LONG>();
  storage->small = SHORT(storage->number);
  storage->flag = input.ConsumeBool() ? VARIANT_TRUE : VARIANT_FALSE;
  if (input.ConsumeBool()) storage->text = MakeBstr(MakeText(input));
  switch (kind) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      // By reference the component may replace the text; by value it gets a copy
      // to work on, and the fuzzer keeps its own.
      static constexpr VARTYPE kPlain[] = {VT_I4,  VT_I2,   VT_BOOL,
                                           VT_UI4, VT_BSTR, VT_BSTR};
      SetPayload(kPlain[kind], by_reference, storage, arg);
      return;
    case 6:  // a VARIANT by reference holding a value of another type
      storage->inner.vt = input.ConsumeBool() ? VT_BSTR : VT_I4;
      if (storage->inner.vt == VT_BSTR) {
        storage->inner.bstrVal = storage->text;
        storage->text = nullptr;
      } else {
        storage->inner.lVal = storage->number;
      }
      arg->vt = VT_BYREF | VT_VARIANT;
      arg->pvarVal = &storage->inner;
      return;
    case 7:  // a missing optional argument
      arg->vt = VT_ERROR;
      arg->scode = input.ConsumeBool() ? DISP_E_PARAMNOTFOUND : E_FAIL;
      return;
    case 8:
      arg->vt = input.ConsumeBool() ? VT_EMPTY : VT_NULL;
      return;
    case 9:  // a reference with no place behind it
      arg->vt =
          VARTYPE(VT_BYREF | input.PickValueInArray<VARTYPE>(
                                 {VT_I4, VT_I2, VT_BSTR, VT_BOOL, VT_UI4, VT_VARIANT}));
      arg->byref = nullptr;
      return;
    case 10:  // objects, numbers and arrays the component does not take
      arg->vt = input.PickValueInArray<VARTYPE>(
          {VT_DISPATCH, VT_UNKNOWN, VT_R8, VT_R4, VT_CY, VT_DATE, VT_I8, VT_UI1, VT_I1,
           VT_UI2, VT_INT, VT_UINT, VT_DECIMAL, VARTYPE(VT_ARRAY | VT_BSTR)});
      arg->llVal = 0;  // null objects and arrays, zero numbers
      return;
    case 11:  // a type number of any value, with no payload (references: case 9)
      arg->vt = VARTYPE(input.ConsumeIntegral<VARTYPE>() & ~VT_BYREF);
      arg->llVal = 0;
      return;
    default:
      arg->vt = VT_I4;
      arg->lVal = input.ConsumeIntegralInRange<LONG>(-2, 70000);
      return;
  }
}

// An argument of the type the parameter asks for.
void MakeFittingArgument(FuzzedDataProvider& input, LONG session, VARTYPE vt,
                         ArgStorage* storage, VARIANT* arg) {
  VariantInit(arg);
  const VARTYPE base = VARTYPE(vt & ~VT_BYREF);
  const bool by_reference = (vt & VT_BYREF) != 0;
  if (input.ConsumeBool()) {
    storage->number = session;
  } else if (input.ConsumeBool()) {
    storage->number = input.ConsumeIntegralInRange<LONG>(-1, 300);
  } else {
    storage->number = input.ConsumeIntegral<LONG>();
  }
  storage->small = SHORT(storage->number);
  storage->flag = input.ConsumeBool() ? VARIANT_TRUE : VARIANT_FALSE;
  if (base == VT_BSTR && input.ConsumeIntegralInRange<int>(0, 7) != 0)
    storage->text = MakeBstr(MakeText(input));
  // The enumerations go as VT_I4.
  const bool plain =
      base == VT_BSTR || base == VT_BOOL || base == VT_I2 || base == VT_UI4;
  SetPayload(plain ? base : VARTYPE(VT_I4), by_reference, storage, arg);
}

void Release(ArgStorage* storage) {
  if (storage->out_only && storage->given != storage->text) SysFreeString(storage->given);
  SysFreeString(storage->text);
  storage->text = nullptr;
  VariantClear(&storage->inner);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Component component;
  IKovaIntrApi* api = component.api();
  FuzzedDataProvider input(data, size);

  LONG session = 0;
  if (input.ConsumeBool()) (void)api->KovaInitialize(&session);

  // GetIDsOfNames with names of the interface in any case, or any text.
  std::vector<std::u16string> names(input.ConsumeIntegralInRange<std::size_t>(0, 3));
  for (std::u16string& name : names) {
    std::string text = input.ConsumeBool()
                           ? std::string(kNames[input.ConsumeIntegralInRange<std::size_t>(
                                 0, std::size(kNames) - 1)])
                           : input.ConsumeRandomLengthString(40);
    for (char& c : text) {
      if (input.ConsumeBool() && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    for (unsigned char c : text) name.push_back(char16_t(c));
  }
  std::vector<LPOLESTR> name_pointers;
  for (std::u16string& name : names) {
    name_pointers.push_back(input.ConsumeBool() ? nullptr : name.data());
  }
  std::vector<DISPID> ids(names.size() + 1, 12345);
  const HRESULT named = api->GetIDsOfNames(
      input.ConsumeIntegralInRange<int>(0, 7) == 0 ? IID_IDispatch : IID_NULL,
      input.ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : name_pointers.data(),
      UINT(names.size()), LOCALE_USER_DEFAULT, ids.data());

  DISPID member = input.ConsumeIntegralInRange<DISPID>(-8, 30);
  if (SUCCEEDED(named) && !names.empty() && input.ConsumeBool()) member = ids[0];
  if (input.ConsumeIntegralInRange<int>(0, 15) == 0)
    member = input.ConsumeIntegral<DISPID>();
  const WORD flags = input.ConsumeIntegralInRange<int>(0, 3) == 0
                         ? input.ConsumeIntegral<WORD>()
                         : WORD(DISPATCH_METHOD);

  // Mostly a call a client could make: a member with arguments of its
  // parameters' types (the last parameter in rgvarg[0]), now and then one of them
  // of any kind; otherwise anything.
  const Member* fitting = nullptr;
  if (input.ConsumeIntegralInRange<int>(0, 3) != 0) {
    const auto& members = component.members();
    fitting = &members[input.ConsumeIntegralInRange<std::size_t>(0, members.size() - 1)];
    member = fitting->id;
  }
  const WORD call_flags = fitting != nullptr ? WORD(DISPATCH_METHOD) : flags;
  const std::size_t count = fitting != nullptr
                                ? fitting->inputs.size()
                                : input.ConsumeIntegralInRange<std::size_t>(0, 10);
  std::vector<ArgStorage> storage(count);
  std::vector<VARIANT> args(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (fitting != nullptr && input.ConsumeIntegralInRange<int>(0, 7) != 0) {
      MakeFittingArgument(input, session, fitting->inputs[count - 1 - i].vt, &storage[i],
                          &args[i]);
    } else {
      MakeArgument(input, session, &storage[i], &args[i]);
    }
  }
  for (const Member& known : component.members()) {
    if (known.id != member || known.inputs.size() != count) continue;
    for (std::size_t i = 0; i < count; ++i) {
      const USHORT param_flags = known.inputs[count - 1 - i].flags;
      storage[i].out_only =
          (param_flags & PARAMFLAG_FOUT) != 0 && (param_flags & PARAMFLAG_FIN) == 0;
      storage[i].given = storage[i].text;
    }
  }
  std::vector<DISPID> named_ids(
      fitting != nullptr ? 0 : input.ConsumeIntegralInRange<std::size_t>(0, 2));
  for (DISPID& id : named_ids) id = input.ConsumeIntegralInRange<DISPID>(-5, 10);

  DISPPARAMS params{};
  params.cArgs = UINT(count);
  params.rgvarg =
      count > 0 && input.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : args.data();
  if (fitting == nullptr && input.ConsumeIntegralInRange<int>(0, 7) == 0)
    params.cArgs = input.ConsumeIntegral<UINT>();
  if (params.cArgs > count) params.rgvarg = nullptr;  // a count beyond the array is a lie
  params.cNamedArgs = UINT(named_ids.size());
  params.rgdispidNamedArgs = named_ids.empty() ? nullptr : named_ids.data();

  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  UINT arg_error = 0xFFFF;
  const bool want_result = input.ConsumeBool();
  const bool want_exception = input.ConsumeBool();
  const bool want_arg_error = input.ConsumeBool();
  const bool null_params = input.ConsumeIntegralInRange<int>(0, 15) == 0;
  const HRESULT hr = api->Invoke(
      member, input.ConsumeIntegralInRange<int>(0, 15) == 0 ? IID_IDispatch : IID_NULL,
      LOCALE_USER_DEFAULT, call_flags, null_params ? nullptr : &params,
      want_result ? &result : nullptr, want_exception ? &exception : nullptr,
      want_arg_error ? &arg_error : nullptr);
  // The interface answers S_OK or S_FALSE; a failure is Invoke's own.
  if (hr == DISP_E_EXCEPTION && want_exception) FUZZ_CHECK(FAILED(exception.scode));
  if (want_arg_error && arg_error != 0xFFFF) FUZZ_CHECK(arg_error < count);

  // Sessions the call made end with the input, as do the fuzzer's.
  std::vector<LONG> sessions = {session};
  for (const ArgStorage& s : storage) {
    sessions.push_back(s.number);
    if (s.inner.vt == VT_I4) sessions.push_back(s.inner.lVal);
  }
  if (want_result && result.vt == VT_I4) sessions.push_back(result.lVal);
  std::sort(sessions.begin(), sessions.end());
  sessions.erase(std::unique(sessions.begin(), sessions.end()), sessions.end());
  for (LONG handle : sessions) {
    if (handle > 0 && handle < 4096) (void)api->KovaUnInitialize(handle);
  }
  VariantClear(&result);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  for (ArgStorage& s : storage) Release(&s);
  return 0;
}
