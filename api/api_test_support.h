// What the facade's tests share: the interface without the server's IUnknown and
// IDispatch, and BSTRs owned by the test.
#ifndef KOVA_API_API_TEST_SUPPORT_H_
#define KOVA_API_API_TEST_SUPPORT_H_

#include <string>

#include "api/bstr_text.h"
#include "api/kova_api.h"

namespace kova::test {

// The object class of the server supplies IUnknown and IDispatch; the tests need
// none of it.
class TestApi : public CKovaIntrApi {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }
};

// A BSTR owned by the test.
class Bstr {
 public:
  explicit Bstr(const std::string& text = "") : value_(kova::AnsiToBstr(text)) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* in() { return &value_; }

 private:
  BSTR value_;
};

// An out BSTR: starts as a sentinel so that "set to null" shows, freed at the end.
class OutBstr {
 public:
  OutBstr() : value_(Sentinel()) {}
  ~OutBstr() {
    if (value_ != Sentinel()) SysFreeString(value_);
  }
  OutBstr(const OutBstr&) = delete;
  OutBstr& operator=(const OutBstr&) = delete;
  BSTR* out() { return &value_; }
  bool is_null() const { return value_ == nullptr; }
  std::string text() const {
    return value_ == Sentinel() ? "<untouched>" : kova::BstrToAnsi(&value_);
  }

 private:
  static BSTR Sentinel() {
    static OLECHAR sentinel[] = u"sentinel";
    return sentinel;
  }
  BSTR value_;
};

}  // namespace kova::test

#endif  // KOVA_API_API_TEST_SUPPORT_H_
