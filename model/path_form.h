// Text forms of paths shared by the model's conversions.
#ifndef KOVA_MODEL_PATH_FORM_H_
#define KOVA_MODEL_PATH_FORM_H_

#include <string>
#include <string_view>

namespace kova {

// A file-system path text that came from outside (a registry value, an expansion
// of outside values, an interface argument) with every '/' turned into the
// system's '\'. DNs of LDAP paths do not go through it.
std::string ToSystemSeparators(std::string_view path);

// A system path in the OS form handed back to clients: every '\' becomes '/'.
std::string ToOsSeparators(std::string_view path);

// Replaces every occurrence of `find` in `source`, ignoring case, by
// `replacement` as given; letters outside the matches keep their case. An empty
// `find` or `source`, or a replacement equal to `find` ignoring case, leaves
// `source` as it is.
std::string ReplaceAll(std::string_view source, std::string_view find,
                       std::string_view replacement);

}  // namespace kova

#endif  // KOVA_MODEL_PATH_FORM_H_
