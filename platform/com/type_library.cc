// ITypeLib and ITypeInfo over a KOVA_TYPELIB_DATA, and LoadTypeLib. Pinned by
// type_library_test.cc.
#include "type_library.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "com_text.h"
#include "libloaderapi.h"
#include "oleauto.h"

namespace kova::com {

namespace {

// Enumerators get member ids from this base, as the platform's compiler gives them.
constexpr MEMBERID kFirstEnumMemberId = 0x40000000;

class TypeLib;

class TypeInfo final : public ITypeInfo {
 public:
  TypeInfo() = default;
  void Bind(TypeLib* lib, UINT index, const KOVA_TYPE_DATA* type) {
    lib_ = lib;
    index_ = index;
    type_ = type;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
      *ppv = static_cast<ITypeInfo*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // A type's information lives as long as its library: references are the
  // library's.
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp != nullptr) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  STDMETHODIMP GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
  STDMETHODIMP GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                        UINT* pcNames) override;
  STDMETHODIMP GetRefTypeOfImplType(UINT, HREFTYPE*) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetImplTypeFlags(UINT, INT*) override { return TYPE_E_ELEMENTNOTFOUND; }
  STDMETHODIMP GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  STDMETHODIMP Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags,
                      DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                      UINT* puArgErr) override;
  STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
  STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetRefTypeInfo(HREFTYPE, ITypeInfo** ppTInfo) override {
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) override {
    if (ppv != nullptr) *ppv = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP CreateInstance(IUnknown*, REFIID, PVOID* ppvObj) override {
    if (ppvObj != nullptr) *ppvObj = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetMops(MEMBERID, BSTR* pBstrMops) override {
    if (pBstrMops != nullptr) *pBstrMops = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
  STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* pTypeAttr) override { delete pTypeAttr; }
  STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
  STDMETHODIMP_(void) ReleaseVarDesc(VARDESC* pVarDesc) override;

 private:
  const KOVA_FUNC_DATA* FindFunc(MEMBERID memid) const {
    for (USHORT i = 0; i < type_->func_count; ++i) {
      if (type_->funcs[i].memid == memid) return &type_->funcs[i];
    }
    return nullptr;
  }

  TypeLib* lib_ = nullptr;
  UINT index_ = 0;
  const KOVA_TYPE_DATA* type_ = nullptr;
};

class TypeLib final : public ITypeLib {
 public:
  TypeLib(const KOVA_TYPELIB_DATA* data, HMODULE module) : data_(data), module_(module) {}
  [[nodiscard]] bool Init() {
    infos_ = new (std::nothrow) TypeInfo[data_->type_count == 0 ? 1 : data_->type_count];
    if (infos_ == nullptr) return false;
    for (UINT i = 0; i < data_->type_count; ++i)
      infos_[i].Bind(this, i, &data_->types[i]);
    return true;
  }
  ~TypeLib() {
    delete[] infos_;
    if (module_ != nullptr) FreeLibrary(module_);
  }

  const KOVA_TYPELIB_DATA* data() const { return data_; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
      *ppv = static_cast<ITypeLib*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP_(UINT) GetTypeInfoCount() override { return data_->type_count; }
  STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override {
    if (ppTInfo == nullptr) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= data_->type_count) return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = &infos_[index];
    AddRef();
    return S_OK;
  }
  STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* pTKind) override {
    if (pTKind == nullptr) return E_INVALIDARG;
    if (index >= data_->type_count) return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = data_->types[index].kind;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override {
    if (ppTinfo == nullptr) return E_INVALIDARG;
    *ppTinfo = nullptr;
    if (guid == GUID_NULL) return TYPE_E_ELEMENTNOTFOUND;
    for (UINT i = 0; i < data_->type_count; ++i) {
      if (data_->types[i].guid == guid) return GetTypeInfo(i, ppTinfo);
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetLibAttr(TLIBATTR** ppTLibAttr) override {
    if (ppTLibAttr == nullptr) return E_INVALIDARG;
    auto* attr = new (std::nothrow) TLIBATTR{};
    if (attr == nullptr) return E_OUTOFMEMORY;
    attr->guid = data_->libid;
    attr->lcid = data_->lcid;
    attr->syskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    attr->wMajorVerNum = data_->major;
    attr->wMinorVerNum = data_->minor;
    attr->wLibFlags = data_->flags;
    *ppTLibAttr = attr;
    return S_OK;
  }
  STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp != nullptr) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override {
    const char* name;
    const char* help;
    if (index == -1) {
      name = data_->name;
      help = data_->help;
    } else if (index >= 0 && UINT(index) < data_->type_count) {
      name = data_->types[index].name;
      help = data_->types[index].help;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    return Document(name, help, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
  }
  STDMETHODIMP IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) override {
    if (szNameBuf == nullptr || pfName == nullptr) return E_INVALIDARG;
    const std::string name = NarrowOle(szNameBuf);
    *pfName = FALSE;
    for (UINT i = 0; i < data_->type_count && !*pfName; ++i) {
      const KOVA_TYPE_DATA& type = data_->types[i];
      *pfName = EqualsNoCase(name, type.name);
      for (USHORT f = 0; f < type.func_count && !*pfName; ++f) {
        *pfName = EqualsNoCase(name, type.funcs[f].name);
      }
      for (USHORT e = 0; e < type.enum_count && !*pfName; ++e) {
        *pfName = EqualsNoCase(name, type.enums[e].name);
      }
    }
    return S_OK;
  }
  STDMETHODIMP FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*,
                        USHORT* pcFound) override {
    if (pcFound != nullptr) *pcFound = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* pTLibAttr) override { delete pTLibAttr; }

  static HRESULT Document(const char* name, const char* help, BSTR* pBstrName,
                          BSTR* pBstrDocString, DWORD* pdwHelpContext,
                          BSTR* pBstrHelpFile) {
    if (pBstrName != nullptr) *pBstrName = nullptr;
    if (pBstrDocString != nullptr) *pBstrDocString = nullptr;
    if (pBstrHelpFile != nullptr) *pBstrHelpFile = nullptr;
    if (pdwHelpContext != nullptr) *pdwHelpContext = 0;
    if (pBstrName != nullptr && name != nullptr) {
      *pBstrName = AllocBstr(std::string_view(name));
      if (*pBstrName == nullptr) return E_OUTOFMEMORY;
    }
    if (pBstrDocString != nullptr && help != nullptr) {
      *pBstrDocString = AllocBstr(std::string_view(help));
      if (*pBstrDocString == nullptr) {
        if (pBstrName != nullptr) {
          SysFreeString(*pBstrName);
          *pBstrName = nullptr;
        }
        return E_OUTOFMEMORY;
      }
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  const KOVA_TYPELIB_DATA* data_;
  HMODULE module_;
  TypeInfo* infos_ = nullptr;
};

ULONG TypeInfo::AddRef() { return lib_->AddRef(); }
ULONG TypeInfo::Release() { return lib_->Release(); }

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (ppTypeAttr == nullptr) return E_INVALIDARG;
  *ppTypeAttr = nullptr;
  auto* attr = new (std::nothrow) TYPEATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  const KOVA_TYPELIB_DATA* lib = lib_->data();
  attr->guid = type_->guid;
  attr->lcid = lib->lcid;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->typekind = type_->kind;
  attr->cFuncs = type_->func_count;
  attr->cVars = type_->enum_count;
  attr->wTypeFlags = type_->flags;
  attr->wMajorVerNum = lib->major;
  attr->wMinorVerNum = lib->minor;
  attr->cbAlignment = sizeof(void*);
  switch (type_->kind) {
    case TKIND_DISPATCH:
      attr->cbSizeInstance = sizeof(void*);
      attr->cbSizeVft = WORD((7 + type_->func_count) * sizeof(void*));
      break;
    case TKIND_ENUM:
      attr->cbSizeInstance = sizeof(LONG);
      break;
    case TKIND_ALIAS:
      attr->tdescAlias.vt = type_->alias_vt;
      break;
    case TKIND_COCLASS:
      attr->cImplTypes = type_->default_interface != nullptr ? 1 : 0;
      break;
    default:
      break;
  }
  *ppTypeAttr = attr;
  return S_OK;
}

// A FUNCDESC and everything it points to, in one allocation.
struct FuncDescBlock {
  FUNCDESC desc;
  std::vector<ELEMDESC> params;
  std::vector<TYPEDESC> pointees;
};

HRESULT TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (ppFuncDesc == nullptr) return E_INVALIDARG;
  *ppFuncDesc = nullptr;
  if (index >= type_->func_count) return TYPE_E_ELEMENTNOTFOUND;
  const KOVA_FUNC_DATA& func = type_->funcs[index];
  auto* block = new (std::nothrow) FuncDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  try {
    block->params.resize(func.param_count);
    block->pointees.resize(func.param_count);
  } catch (const std::bad_alloc&) {
    delete block;
    return E_OUTOFMEMORY;
  }
  for (USHORT i = 0; i < func.param_count; ++i) {
    const KOVA_PARAM_DATA& param = func.params[i];
    ELEMDESC& elem = block->params[i];
    if ((param.vt & VT_BYREF) != 0) {
      block->pointees[i].vt = VARTYPE(param.vt & ~VT_BYREF);
      elem.tdesc.vt = VT_PTR;
      elem.tdesc.lptdesc = &block->pointees[i];
    } else {
      elem.tdesc.vt = param.vt;
    }
    elem.paramdesc.wParamFlags = param.flags;
  }
  FUNCDESC& desc = block->desc;
  desc.memid = func.memid;
  desc.lprgelemdescParam = func.param_count > 0 ? block->params.data() : nullptr;
  desc.funckind = FUNC_DISPATCH;
  desc.invkind = INVOKE_FUNC;
  desc.callconv = CC_STDCALL;
  desc.cParams = SHORT(func.param_count);
  desc.oVft = SHORT(func.vtable_slot * SHORT(sizeof(void*)));
  desc.elemdescFunc.tdesc.vt = VT_HRESULT;
  static_assert(offsetof(FuncDescBlock, desc) == 0);
  *ppFuncDesc = &block->desc;
  return S_OK;
}

void TypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc) {
  delete reinterpret_cast<FuncDescBlock*>(pFuncDesc);
}

struct VarDescBlock {
  VARDESC desc;
  VARIANT value;
};

HRESULT TypeInfo::GetVarDesc(UINT index, VARDESC** ppVarDesc) {
  if (ppVarDesc == nullptr) return E_INVALIDARG;
  *ppVarDesc = nullptr;
  if (index >= type_->enum_count) return TYPE_E_ELEMENTNOTFOUND;
  auto* block = new (std::nothrow) VarDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  block->value.vt = VT_I4;
  block->value.lVal = type_->enums[index].value;
  block->desc.memid = kFirstEnumMemberId + MEMBERID(index);
  block->desc.lpvarValue = &block->value;
  block->desc.elemdescVar.tdesc.vt = VT_I4;
  block->desc.varkind = VAR_CONST;
  *ppVarDesc = &block->desc;
  return S_OK;
}

void TypeInfo::ReleaseVarDesc(VARDESC* pVarDesc) {
  delete reinterpret_cast<VarDescBlock*>(pVarDesc);
}

HRESULT TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                           UINT* pcNames) {
  if (rgBstrNames == nullptr || pcNames == nullptr) return E_INVALIDARG;
  *pcNames = 0;
  std::vector<const char*> names;
  if (const KOVA_FUNC_DATA* func = FindFunc(memid)) {
    names.push_back(func->name);
    for (USHORT i = 0; i < func->param_count; ++i) names.push_back(func->params[i].name);
  } else if (memid >= kFirstEnumMemberId &&
             memid < kFirstEnumMemberId + MEMBERID(type_->enum_count)) {
    names.push_back(type_->enums[memid - kFirstEnumMemberId].name);
  } else {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  UINT count = 0;
  for (; count < names.size() && count < cMaxNames; ++count) {
    rgBstrNames[count] = AllocBstr(std::string_view(names[count]));
    if (rgBstrNames[count] == nullptr) {
      while (count > 0) SysFreeString(rgBstrNames[--count]);
      return E_OUTOFMEMORY;
    }
  }
  *pcNames = count;
  return S_OK;
}

// Names compare without case, as the platform's do; the first name is the member,
// the others its parameters (their positions).
HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (rgszNames == nullptr || pMemId == nullptr) return E_INVALIDARG;
  if (cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) pMemId[i] = MEMBERID_NIL;
  const std::string member = NarrowOle(rgszNames[0]);
  const KOVA_FUNC_DATA* func = nullptr;
  for (USHORT i = 0; i < type_->func_count && func == nullptr; ++i) {
    if (EqualsNoCase(member, type_->funcs[i].name)) func = &type_->funcs[i];
  }
  if (func == nullptr) {
    for (USHORT i = 0; i < type_->enum_count; ++i) {
      if (EqualsNoCase(member, type_->enums[i].name)) {
        pMemId[0] = kFirstEnumMemberId + MEMBERID(i);
        return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  pMemId[0] = func->memid;
  HRESULT hr = S_OK;
  for (UINT n = 1; n < cNames; ++n) {
    const std::string name = NarrowOle(rgszNames[n]);
    for (USHORT p = 0; p < func->param_count; ++p) {
      if (EqualsNoCase(name, func->params[p].name)) pMemId[n] = p;
    }
    if (pMemId[n] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT TypeInfo::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult,
                         EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  const KOVA_FUNC_DATA* func = FindFunc(memid);
  if (func == nullptr) return DISP_E_MEMBERNOTFOUND;
  return InvokeFunction(*func, pvInstance, wFlags, pDispParams, pVarResult, pExcepInfo,
                        puArgErr);
}

HRESULT TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  if (memid == MEMBERID_NIL) {
    return TypeLib::Document(type_->name, type_->help, pBstrName, pBstrDocString,
                             pdwHelpContext, pBstrHelpFile);
  }
  if (const KOVA_FUNC_DATA* func = FindFunc(memid)) {
    return TypeLib::Document(func->name, func->help, pBstrName, pBstrDocString,
                             pdwHelpContext, pBstrHelpFile);
  }
  if (memid >= kFirstEnumMemberId &&
      memid < kFirstEnumMemberId + MEMBERID(type_->enum_count)) {
    return TypeLib::Document(type_->enums[memid - kFirstEnumMemberId].name, nullptr,
                             pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (ppTLib == nullptr) return E_INVALIDARG;
  lib_->AddRef();
  *ppTLib = lib_;
  if (pIndex != nullptr) *pIndex = index_;
  return S_OK;
}

// "<path>" -> (path, 1); "<path>\<n>" -> (path, n), as the platform addresses the
// n-th type-library resource of a module.
void SplitResourceIndex(const std::string& file, std::string* path, unsigned* index) {
  *path = file;
  *index = 1;
  const std::size_t slash = file.find_last_of("\\/");
  if (slash == std::string::npos || slash + 1 >= file.size()) return;
  const std::string last = file.substr(slash + 1);
  if (last.size() > 5 || last.find_first_not_of("0123456789") != std::string::npos)
    return;
  *path = file.substr(0, slash);
  *index = unsigned(std::stoul(last));
}

}  // namespace

ITypeLib* CreateTypeLib(const KOVA_TYPELIB_DATA* data, HMODULE module) {
  auto* lib = new (std::nothrow) TypeLib(data, module);
  if (lib == nullptr) {
    if (module != nullptr) FreeLibrary(module);
    return nullptr;
  }
  if (!lib->Init()) {
    lib->Release();
    return nullptr;
  }
  return lib;
}

}  // namespace kova::com

extern "C" HRESULT WINAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_INVALIDARG;
  *pptlib = nullptr;
  if (szFile == nullptr || szFile[0] == 0) return E_INVALIDARG;
  std::string path;
  unsigned index;
  kova::com::SplitResourceIndex(kova::com::NarrowOle(szFile), &path, &index);
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) return TYPE_E_CANTLOADLIBRARY;
  const std::string symbol = "kova_typelib_" + std::to_string(index);
  const auto* data = reinterpret_cast<const KOVA_TYPELIB_DATA*>(
      reinterpret_cast<const void*>(GetProcAddress(module, symbol.c_str())));
  if (data == nullptr || data->magic != KOVA_TYPELIB_MAGIC) {
    FreeLibrary(module);
    return TYPE_E_CANTLOADLIBRARY;
  }
  ITypeLib* lib = kova::com::CreateTypeLib(data, module);  // owns the module now
  if (lib == nullptr) return E_OUTOFMEMORY;
  *pptlib = lib;
  return S_OK;
}
