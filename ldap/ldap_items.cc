#include "ldap/ldap_items.h"

#include <new>

namespace kova {

CLDAPItem* CLDAPItem::Clone() const { return new (std::nothrow) CLDAPItem(name, folder); }

void CLDAPItem::CopyFrom(const CLDAPItem* other) {
  if (other == nullptr || other == this) return;
  name = other->name;
  folder = other->folder;
}

CLDAPItems::~CLDAPItems() { CLDAPItems::RemoveAll(); }

BOOL CLDAPItems::Add(CLDAPItem* item, BOOL clone) {
  if (item == nullptr) return FALSE;
  std::unique_ptr<CLDAPItem> owned(clone ? item->Clone() : item);
  if (owned == nullptr) return FALSE;
  try {
    // Grow by doubling from 1, as the other collections do.
    if (items_.size() == items_.capacity())
      items_.reserve(items_.empty() ? 1 : items_.size() * 2);
    items_.push_back(std::move(owned));
  } catch (const std::bad_alloc&) {
    if (!clone) owned.release();  // not taken: still the caller's
    return FALSE;
  }
  return TRUE;
}

void CLDAPItems::RemoveAll() {
  items_.clear();
  items_.shrink_to_fit();
}

CLDAPItem* CLDAPItems::GetAt(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return nullptr;
  return items_[index].get();
}

}  // namespace kova
