// A process for the component's tests: leaves its controlling terminal (a new
// session), creates the KovaIntr component by its ProgID and runs one open
// browse of Lumaset files.
//   browse_dialog_probe
// prints "init=<hr>", "browse=<hr>" and "path=<the chosen path>".
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/bstr_convert.h"
#include "kova_intr_api.h"
#include "objbase.h"

int main() {
  setsid();
  if (CoInitialize(nullptr) < 0) return 3;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(u"" KOVAINTR_VERSION_INDEPENDENT_PROGID, &clsid);
  IKovaIntrApi* api = nullptr;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IKovaIntrApi,
                          reinterpret_cast<void**>(&api));
  }
  if (FAILED(hr)) return 4;
  KOVA_LONG_PTR session = 0;
  const HRESULT init = api->KovaInitialize(&session);
  kova::ScopedBstr path;
  const HRESULT browse = api->KovaBrowse(session, APP_LUMASET, PROMPT_OPEN, VARIANT_TRUE,
                                         VARIANT_TRUE, 0, 0, path.receive());
  std::printf("init=%08X\nbrowse=%08X\npath=%s\n", unsigned(init), unsigned(browse),
              path.get() == nullptr ? "<null>" : path.Text().c_str());
  api->KovaUnInitialize(session);
  api->Release();
  CoUninitialize();
  return 0;
}
