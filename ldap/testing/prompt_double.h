// What the tests share with the scripted prompt (prompt_double.cc).
#ifndef KOVA_LDAP_TESTING_PROMPT_DOUBLE_H_
#define KOVA_LDAP_TESTING_PROMPT_DOUBLE_H_

#include "guiddef.h"

namespace kova::test {

// {391C1BBB-FFB8-4C0B-86BF-69AD80D240FC}
DEFINE_GUID(CLSID_PromptDouble, 0x391c1bbb, 0xffb8, 0x4c0b, 0x86, 0xbf, 0x69, 0xad, 0x80,
            0xd2, 0x40, 0xfc);

inline constexpr char kPromptScriptVariable[] = "KOVA_TEST_PROMPT_SCRIPT";
inline constexpr char kPromptLogVariable[] = "KOVA_TEST_PROMPT_LOG";

}  // namespace kova::test

#endif  // KOVA_LDAP_TESTING_PROMPT_DOUBLE_H_
