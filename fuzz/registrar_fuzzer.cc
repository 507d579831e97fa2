// The registrar's script parser and its register and unregister passes: any
// script is applied or refused whole, with one of the documented results, and
// nothing crashes. The hives live in the sandbox and are emptied now and then so
// that they stay small.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_sandbox.h"
#include "kova_registrar.h"
#include "winerror.h"

namespace {

bool IsDocumentedResult(HRESULT hr) {
  return hr == S_OK || hr == DISP_E_EXCEPTION || hr == E_OUTOFMEMORY ||
         HRESULT_FACILITY(hr) == FACILITY_WIN32;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const kova::fuzz::Sandbox& sandbox = kova::fuzz::Sandbox::Get();
  static unsigned runs = 0;
  if (++runs % 256 == 0) sandbox.ResetRegistry();

  FuzzedDataProvider input(data, size);
  kova::com::CRegObject registrar;
  const int replacements = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < replacements; ++i) {
    const std::string name = kova::fuzz::ConsumeCString(input, 16);
    const std::string text = kova::fuzz::ConsumeCString(input, 64);
    const HRESULT hr = registrar.AddReplacement(name.c_str(), text.c_str());
    FUZZ_CHECK(hr == (name.empty() ? E_INVALIDARG : S_OK));
  }
  const std::string script = kova::fuzz::CString(input.ConsumeRemainingBytesAsString());

  const HRESULT registered = registrar.StringRegister(script.c_str());
  FUZZ_CHECK(IsDocumentedResult(registered));
  const HRESULT unregistered = registrar.StringUnregister(script.c_str());
  FUZZ_CHECK(IsDocumentedResult(unregistered));
  // Parsing does not depend on the mode.
  FUZZ_CHECK((registered == DISP_E_EXCEPTION) == (unregistered == DISP_E_EXCEPTION));
  return 0;
}
