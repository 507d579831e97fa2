// The entries of a listed LDAP folder.
#ifndef KOVA_LDAP_LDAP_ITEMS_H_
#define KOVA_LDAP_LDAP_ITEMS_H_

#include <memory>
#include <string>
#include <vector>

#include "windows.h"

namespace kova {

// One listed entry: its name (a DN, or a Kova path when the listing was given a
// display prefix) and whether it is a folder (1) or a file (0).
class CLDAPItem {
 public:
  CLDAPItem() = default;
  CLDAPItem(const std::string& name, DWORD folder) : name(name), folder(folder) {}
  CLDAPItem(const CLDAPItem&) = delete;
  CLDAPItem& operator=(const CLDAPItem&) = delete;
  virtual ~CLDAPItem() = default;

  // A new item with the same name and folder flag; null when out of memory.
  virtual CLDAPItem* Clone() const;
  // Copies name and folder flag of `other`; a null `other` is ignored.
  virtual void CopyFrom(const CLDAPItem* other);

  std::string name;
  DWORD folder = 0;
};

// An ordered collection that owns its items. Items stay in insertion order.
class CLDAPItems {
 public:
  CLDAPItems() = default;
  CLDAPItems(const CLDAPItems&) = delete;
  CLDAPItems& operator=(const CLDAPItems&) = delete;
  // Deletes every item.
  virtual ~CLDAPItems();

  // Appends `item` itself (the collection then owns it) or, with `clone`, its
  // clone. 0 when the array cannot grow or the clone cannot be made; `item` is
  // then not taken and stays the caller's.
  virtual BOOL Add(CLDAPItem* item, BOOL clone);
  // Deletes every item and frees the array storage.
  virtual void RemoveAll();

  int GetCount() const { return static_cast<int>(items_.size()); }
  // The item at `index`, null when out of range. Owned by the collection.
  CLDAPItem* GetAt(int index) const;

 private:
  std::vector<std::unique_ptr<CLDAPItem>> items_;
};

}  // namespace kova

#endif  // KOVA_LDAP_LDAP_ITEMS_H_
