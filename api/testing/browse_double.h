// What the bridge's tests share with the scripted browse dialog
// (browse_double.cc).
#ifndef KOVA_API_TESTING_BROWSE_DOUBLE_H_
#define KOVA_API_TESTING_BROWSE_DOUBLE_H_

namespace kova::test {

// The file the double appends one line per call to, and the file it answers
// from.
inline constexpr char kBrowseLogVariable[] = "KOVA_TEST_BROWSE_LOG";
inline constexpr char kBrowseScriptVariable[] = "KOVA_TEST_BROWSE_SCRIPT";

}  // namespace kova::test

#endif  // KOVA_API_TESTING_BROWSE_DOUBLE_H_
