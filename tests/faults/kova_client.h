// The interface as the fault tests call it: load a Kova path, read and write
// values of section "S", end sessions; every call is expected to succeed unless
// the test says otherwise, and sessions still open are ended on destruction.
#ifndef KOVA_TESTS_FAULTS_KOVA_CLIENT_H_
#define KOVA_TESTS_FAULTS_KOVA_CLIENT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/api_test_support.h"

namespace kova::test {

class KovaClient {
 public:
  KovaClient() = default;
  ~KovaClient() {
    for (KOVA_LONG_PTR handle : handles_) api_.KovaUnInitialize(handle);
  }
  KovaClient(const KovaClient&) = delete;
  KovaClient& operator=(const KovaClient&) = delete;

  TestApi& api() { return api_; }

  // A new session with `path` loaded.
  KOVA_LONG_PTR Load(const std::string& path) {
    KOVA_LONG_PTR handle = 0;
    Bstr text(path);
    EXPECT_EQ(api_.KovaLoadFile(&handle, text.in()), S_OK) << path;
    Keep(handle);
    return handle;
  }
  // Ends the session when the client ends, unless the test ends it first.
  void Keep(KOVA_LONG_PTR handle) { handles_.push_back(handle); }
  void UnInitialize(KOVA_LONG_PTR handle) {
    EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
    handles_.erase(std::remove(handles_.begin(), handles_.end(), handle), handles_.end());
  }
  // The value of S/`key`, "<none>" when it has none.
  std::string Get(KOVA_LONG_PTR handle, const std::string& key) {
    Bstr s("S"), k(key), d("<none>");
    OutBstr value;
    EXPECT_EQ(api_.KovaGetProfileString(handle, s.in(), k.in(), d.in(), value.out(), 260),
              S_OK);
    return value.text();
  }
  void Set(KOVA_LONG_PTR handle, const std::string& key, const std::string& value) {
    Bstr s("S"), k(key), v(value);
    EXPECT_EQ(api_.KovaSetProfileString(handle, s.in(), k.in(), v.in()), S_OK);
  }

 private:
  TestApi api_;
  std::vector<KOVA_LONG_PTR> handles_;
};

}  // namespace kova::test

#endif  // KOVA_TESTS_FAULTS_KOVA_CLIENT_H_
