// Runs kovactl calls on one component instance through IDispatch only
// (GetIDsOfNames, then Invoke), the way late-bound script clients call it, and
// prints each result. Output formats: README.md.
#ifndef KOVA_TOOLS_KOVACTL_RUNNER_H_
#define KOVA_TOOLS_KOVACTL_RUNNER_H_

#include <map>
#include <ostream>
#include <string>

#include "oaidl.h"
#include "tools/kovactl/script.h"

namespace kova::kovactl {

class Runner {
 public:
  // `api` is held for the runner's life.
  Runner(IDispatch* api, bool json, std::ostream& out);
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Calls the operation and prints one line. Returns the HRESULT of
  // GetIDsOfNames or Invoke: S_OK / S_FALSE are the operation's own results.
  HRESULT Run(const Call& call);

 private:
  IDispatch* api_;
  bool json_;
  std::ostream& out_;
  std::map<std::string, VARIANT> variables_;
};

// The text form of a value, as it is printed and as the line syntax reads it
// back: numbers, true/false, "quoted text" (\" and \\ escaped), empty.
std::string FormatValue(const VARIANT& value);
// The same value as JSON (null for empty).
std::string FormatJsonValue(const VARIANT& value);

}  // namespace kova::kovactl

#endif  // KOVA_TOOLS_KOVACTL_RUNNER_H_
