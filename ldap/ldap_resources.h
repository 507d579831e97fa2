// Owners of what the LDAP client library hands back, released through the
// entry-point table that produced them: search results, value arrays, exploded
// DNs, strings and attribute cursors; and the text modifications handed to it.
#ifndef KOVA_LDAP_LDAP_RESOURCES_H_
#define KOVA_LDAP_LDAP_RESOURCES_H_

#include <string>

#include "ldap/ldap_api.h"

namespace kova {

// A search result, freed with ldap_msgfree whether or not the search succeeded.
class ScopedLDAPMessage {
 public:
  explicit ScopedLDAPMessage(const LDAPApi& api) : api_(api) {}
  ~ScopedLDAPMessage() {
    if (message_ != nullptr) api_.ldap_msgfree(message_);
  }
  ScopedLDAPMessage(const ScopedLDAPMessage&) = delete;
  ScopedLDAPMessage& operator=(const ScopedLDAPMessage&) = delete;

  LDAPMessage** out() { return &message_; }
  LDAPMessage* get() const { return message_; }

 private:
  const LDAPApi& api_;
  LDAPMessage* message_ = nullptr;
};

// A null-terminated text array of ldap_get_valuesA or ldap_explode_dnA, freed
// with ldap_value_freeA.
class ScopedLDAPValues {
 public:
  ScopedLDAPValues(const LDAPApi& api, PCHAR* values) : api_(api), values_(values) {}
  ~ScopedLDAPValues() {
    if (values_ != nullptr) api_.ldap_value_freeA(values_);
  }
  ScopedLDAPValues(const ScopedLDAPValues&) = delete;
  ScopedLDAPValues& operator=(const ScopedLDAPValues&) = delete;

  PCHAR* get() const { return values_; }
  // The number of values; 0 for a null array.
  ULONG count() const {
    return values_ == nullptr ? 0 : api_.ldap_count_valuesA(values_);
  }

 private:
  const LDAPApi& api_;
  PCHAR* values_;
};

// The counted values of ldap_get_values_lenA, freed with ldap_value_free_len.
class ScopedLDAPBinaryValues {
 public:
  ScopedLDAPBinaryValues(const LDAPApi& api, berval** values)
      : api_(api), values_(values) {}
  ~ScopedLDAPBinaryValues() {
    if (values_ != nullptr) api_.ldap_value_free_len(values_);
  }
  ScopedLDAPBinaryValues(const ScopedLDAPBinaryValues&) = delete;
  ScopedLDAPBinaryValues& operator=(const ScopedLDAPBinaryValues&) = delete;

  berval** get() const { return values_; }

 private:
  const LDAPApi& api_;
  berval** values_;
};

// A DN or attribute name, freed with ldap_memfreeA.
class ScopedLDAPString {
 public:
  ScopedLDAPString(const LDAPApi& api, PCHAR text) : api_(api), text_(text) {}
  ~ScopedLDAPString() {
    if (text_ != nullptr) api_.ldap_memfreeA(text_);
  }
  ScopedLDAPString(const ScopedLDAPString&) = delete;
  ScopedLDAPString& operator=(const ScopedLDAPString&) = delete;

  PCHAR get() const { return text_; }

 private:
  const LDAPApi& api_;
  PCHAR text_;
};

// The attribute cursor of ldap_first_attributeA, freed with ber_free(cursor, 0).
class ScopedBerElement {
 public:
  explicit ScopedBerElement(const LDAPApi& api) : api_(api) {}
  ~ScopedBerElement() {
    if (cursor_ != nullptr) api_.ber_free(cursor_, 0);
  }
  ScopedBerElement(const ScopedBerElement&) = delete;
  ScopedBerElement& operator=(const ScopedBerElement&) = delete;

  BerElement** out() { return &cursor_; }
  BerElement* get() const { return cursor_; }

 private:
  const LDAPApi& api_;
  BerElement* cursor_ = nullptr;
};

// One plain addition of a text attribute with a single value, with storage for
// the value that the modification points to.
struct LDAPTextMod {
  LDAPTextMod(const std::string& type, const std::string& value)
      : type(type), value(value) {
    values[0] = this->value.data();
    mod.mod_op = LDAP_MOD_ADD;
    mod.mod_type = this->type.data();
    mod.mod_values = values;
  }
  LDAPTextMod(const LDAPTextMod&) = delete;
  LDAPTextMod& operator=(const LDAPTextMod&) = delete;

  std::string type;
  std::string value;
  PCHAR values[2] = {nullptr, nullptr};
  LDAPModA mod{};
};

}  // namespace kova

#endif  // KOVA_LDAP_LDAP_RESOURCES_H_
