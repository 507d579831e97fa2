// profile_client: a small client of the KovaIntr component.
//
//   profile_client KOVA_PATH SECTION KEY [NEW_VALUE]
//
// It creates the component by its ProgID (CLSIDFromProgID, CoCreateInstance),
// opens a session, loads the profile file KOVA_PATH (such as "<Work>\a.ini"),
// prints the value of KEY in SECTION, and with NEW_VALUE writes it, reads it
// back and flushes the file. Each step is printed as it happens.
//
// Exit status: 0 when every step succeeded, 1 when the component could not be
// created or an operation failed (the operations answer S_FALSE), 2 for a usage
// error. The component must be registered (kovactl register) and the Kova
// defined (kovareg add); see kovactl(1) and kovareg(1).
#include <cstdio>
#include <string>

#include "kova_intr_api.h"
#include "objbase.h"
#include "winnls.h"

namespace {

// UTF-8 (the text of the command line) to the UTF-16 of a BSTR, and back.
std::u16string Widen(const std::string& text) {
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (needed <= 1) return {};
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), needed);
  wide.resize(static_cast<std::size_t>(needed - 1));
  return wide;
}

std::string Narrow(const OLECHAR* text, int length) {
  if (text == nullptr || length <= 0) return {};
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

// A BSTR owned by this object. The interface takes its inputs as BSTR* and hands
// out new BSTRs through BSTR*, which the caller frees.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& text) : text_(SysAllocString(Widen(text).c_str())) {}
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR* in() { return &text_; }
  BSTR* out() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  std::string str() const { return Narrow(text_, static_cast<int>(SysStringLen(text_))); }

 private:
  BSTR text_ = nullptr;
};

// COM for the life of the program.
class ComScope {
 public:
  ComScope() : hr_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

// The component's interface pointer, released when it goes.
class Api {
 public:
  Api() = default;
  ~Api() {
    if (api_ != nullptr) api_->Release();
  }
  Api(const Api&) = delete;
  Api& operator=(const Api&) = delete;
  void** out() { return reinterpret_cast<void**>(&api_); }
  IKovaIntrApi* operator->() const { return api_; }

 private:
  IKovaIntrApi* api_ = nullptr;
};

const char* Result(HRESULT hr) {
  if (hr == S_OK) return "S_OK";
  if (hr == S_FALSE) return "S_FALSE";
  return "failed";
}

std::string GuidText(const GUID& guid) {
  OLECHAR text[40];
  const int length = StringFromGUID2(guid, text, 40);  // with its NUL
  return Narrow(text, length - 1);
}

// Creates the component by its version-independent ProgID.
bool Create(Api* api) {
  CLSID clsid;
  HRESULT hr =
      CLSIDFromProgID(Widen(KOVAINTR_VERSION_INDEPENDENT_PROGID).c_str(), &clsid);
  if (FAILED(hr)) {
    std::printf("CLSIDFromProgID %s: 0x%08X (is the component registered?)\n",
                KOVAINTR_VERSION_INDEPENDENT_PROGID, static_cast<unsigned>(hr));
    return false;
  }
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IKovaIntrApi,
                        api->out());
  if (FAILED(hr)) {
    std::printf("CoCreateInstance %s: 0x%08X\n", GuidText(clsid).c_str(),
                static_cast<unsigned>(hr));
    return false;
  }
  std::printf("created %s, class %s\n", KOVAINTR_VERSION_INDEPENDENT_PROGID,
              GuidText(clsid).c_str());
  return true;
}

// Reads SECTION/KEY of the loaded file; false when the operation failed.
bool Read(const Api& api, KOVA_LONG_PTR session, const std::string& section,
          const std::string& key, std::string* value) {
  Bstr sect(section), name(key), fallback(""), result;
  const HRESULT hr = api->KovaGetProfileString(session, sect.in(), name.in(),
                                               fallback.in(), result.out(), 260);
  *value = result.str();
  std::printf("KovaGetProfileString [%s] %s: %s \"%s\"\n", section.c_str(), key.c_str(),
              Result(hr), value->c_str());
  return hr == S_OK;
}

int Run(const std::string& path, const std::string& section, const std::string& key,
        const std::string* new_value) {
  ComScope com;
  if (FAILED(com.hr())) {
    std::printf("CoInitialize: 0x%08X\n", static_cast<unsigned>(com.hr()));
    return 1;
  }
  Api api;
  if (!Create(&api)) return 1;

  KOVA_LONG_PTR session = 0;
  HRESULT hr = api->KovaInitialize(&session);
  std::printf("KovaInitialize: %s, session %ld\n", Result(hr),
              static_cast<long>(session));
  if (hr != S_OK) return 1;

  bool ok = true;
  Bstr file(path);
  hr = api->KovaLoadFile(&session, file.in());
  std::printf("KovaLoadFile %s: %s\n", path.c_str(), Result(hr));
  ok = hr == S_OK;

  std::string value;
  if (ok) ok = Read(api, session, section, key, &value);
  if (ok && new_value != nullptr) {
    Bstr sect(section), name(key), text(*new_value);
    hr = api->KovaSetProfileString(session, sect.in(), name.in(), text.in());
    std::printf("KovaSetProfileString [%s] %s = \"%s\": %s\n", section.c_str(),
                key.c_str(), new_value->c_str(), Result(hr));
    ok = hr == S_OK && Read(api, session, section, key, &value);
    if (ok && value != *new_value) {
      std::printf("read back \"%s\" after writing \"%s\"\n", value.c_str(),
                  new_value->c_str());
      ok = false;
    }
    if (ok) {
      hr = api->KovaFlushFile(session);
      std::printf("KovaFlushFile: %s\n", Result(hr));
      ok = hr == S_OK;
    }
  }

  // The session goes whatever happened before.
  hr = api->KovaUnInitialize(session);
  std::printf("KovaUnInitialize: %s\n", Result(hr));
  return ok && hr == S_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: profile_client KOVA_PATH SECTION KEY [NEW_VALUE]\n");
    return 2;
  }
  const std::string new_value = argc == 5 ? argv[4] : "";
  return Run(argv[1], argv[2], argv[3], argc == 5 ? &new_value : nullptr);
}
