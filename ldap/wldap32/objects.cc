// The objects behind the handles, caller-owned allocations and the conversions of
// the callers' structures.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

constexpr std::uint32_t kSessionMagic = 0x4b4c4453;  // "SDLK"
constexpr std::uint32_t kMessageMagic = 0x4b4c4d47;
constexpr std::uint32_t kCursorMagic = 0x4b4c4355;

// The caller's pointer is the address of the box: that holds for standard-layout
// boxes whose first member is the published structure.
static_assert(std::is_standard_layout_v<SessionBox>);
static_assert(std::is_standard_layout_v<MessageBox>);
static_assert(std::is_standard_layout_v<CursorBox>);

constexpr int kResultTypes[] = {LDAP_RES_BIND,    LDAP_RES_SEARCH_RESULT, LDAP_RES_MODIFY,
                                LDAP_RES_ADD,     LDAP_RES_DELETE,        LDAP_RES_MODRDN,
                                LDAP_RES_COMPARE, LDAP_RES_EXTENDED};

bool IsResultType(int type) {
  for (int t : kResultTypes)
    if (t == type) return true;
  return false;
}

void* AllocateOrThrow(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

ResultChain::~ResultChain() {
  for (auto& m : messages) m->magic = 0;
  ol::FreeMessages(raw_head);
}

SessionBox* ToSession(LDAP* ld) {
  auto* box = reinterpret_cast<SessionBox*>(ld);
  if (box == nullptr || box->magic != kSessionMagic) return nullptr;
  return box;
}

MessageBox* ToMessage(LDAPMessage* message) {
  auto* box = reinterpret_cast<MessageBox*>(message);
  if (box == nullptr || box->magic != kMessageMagic) return nullptr;
  return box;
}

CursorBox* ToCursor(BerElement* cursor) {
  auto* box = reinterpret_cast<CursorBox*>(cursor);
  if (box == nullptr || box->magic != kCursorMagic) return nullptr;
  return box;
}

SessionBox* NewSession(ol::Session* raw) {
  auto* box = new SessionBox{};
  box->magic = kSessionMagic;
  box->state = new SessionState{};
  box->state->raw = raw;
  box->pub.ld_version = LDAP_VERSION2;
  box->pub.ld_deref = LDAP_DEREF_NEVER;
  return box;
}

void DestroySession(SessionBox* session) {
  session->magic = 0;
  delete session->state;
  delete session;
}

CursorBox* NewCursor(std::vector<std::string> names) {
  auto* box = new CursorBox{};
  box->magic = kCursorMagic;
  box->state = new CursorState{std::move(names), 0};
  return box;
}

void DestroyCursor(CursorBox* cursor) {
  cursor->magic = 0;
  delete cursor->state;
  delete cursor;
}

char* CopyString(std::string_view text) {
  auto* copy = static_cast<char*>(AllocateOrThrow(text.size() + 1));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

// One block: the pointer array, then the NUL-terminated texts.
char** MakeStringArray(const std::vector<std::string>& items) {
  size_t size = (items.size() + 1) * sizeof(char*);
  for (const std::string& item : items) size += item.size() + 1;
  auto* block = static_cast<char**>(AllocateOrThrow(size));
  char* text = reinterpret_cast<char*>(block + items.size() + 1);
  for (size_t i = 0; i < items.size(); ++i) {
    block[i] = text;
    std::memcpy(text, items[i].data(), items[i].size());
    text[items[i].size()] = '\0';
    text += items[i].size() + 1;
  }
  block[items.size()] = nullptr;
  return block;
}

// One block: the pointer array, the bervals, then the bytes (each followed by a NUL
// that bv_len does not count).
berval** MakeBervalArray(const std::vector<std::string>& items) {
  size_t size = (items.size() + 1) * sizeof(berval*) + items.size() * sizeof(berval);
  for (const std::string& item : items) size += item.size() + 1;
  auto* block = static_cast<berval**>(AllocateOrThrow(size));
  auto* values = reinterpret_cast<berval*>(block + items.size() + 1);
  char* bytes = reinterpret_cast<char*>(values + items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].size() > std::numeric_limits<ULONG>::max()) {
      std::free(block);
      throw std::bad_alloc();
    }
    values[i].bv_len = static_cast<ULONG>(items[i].size());
    values[i].bv_val = bytes;
    std::memcpy(bytes, items[i].data(), items[i].size());
    bytes[items[i].size()] = '\0';
    bytes += items[i].size() + 1;
    block[i] = &values[i];
  }
  block[items.size()] = nullptr;
  return block;
}

bool ToControls(PLDAPControlA* controls, ol::Controls* out) {
  out->clear();
  for (size_t i = 0; controls != nullptr && controls[i] != nullptr; ++i) {
    const LDAPControlA& c = *controls[i];
    if (c.ldctl_oid == nullptr) return false;
    if (c.ldctl_value.bv_len != 0 && c.ldctl_value.bv_val == nullptr) return false;
    ol::Control control;
    control.oid = c.ldctl_oid;
    if (c.ldctl_value.bv_val != nullptr)
      control.value.emplace(c.ldctl_value.bv_val, c.ldctl_value.bv_len);
    control.critical = c.ldctl_iscritical != 0;
    out->push_back(std::move(control));
  }
  return true;
}

bool ToMods(LDAPModA* mods[], std::vector<ol::Mod>* out) {
  out->clear();
  if (mods == nullptr) return false;
  for (size_t i = 0; mods[i] != nullptr; ++i) {
    const LDAPModA& m = *mods[i];
    const ULONG op = m.mod_op & ~static_cast<ULONG>(LDAP_MOD_BVALUES);
    if (m.mod_type == nullptr || op > LDAP_MOD_REPLACE) return false;
    ol::Mod mod;
    mod.op = static_cast<int>(op);
    mod.type = m.mod_type;
    if (m.mod_op & LDAP_MOD_BVALUES) {
      mod.has_values = m.mod_bvalues != nullptr;
      for (size_t v = 0; mod.has_values && m.mod_bvalues[v] != nullptr; ++v) {
        const berval& bv = *m.mod_bvalues[v];
        if (bv.bv_len != 0 && bv.bv_val == nullptr) return false;
        mod.values.emplace_back(bv.bv_len ? bv.bv_val : "", bv.bv_len);
      }
    } else {
      mod.has_values = m.mod_values != nullptr;
      for (size_t v = 0; mod.has_values && m.mod_values[v] != nullptr; ++v)
        mod.values.emplace_back(m.mod_values[v]);
    }
    out->push_back(std::move(mod));
  }
  return true;
}

bool ToTimeout(const l_timeval* timeout, std::optional<ol::Timeout>* out) {
  out->reset();
  if (timeout == nullptr) return true;
  if (timeout->tv_sec < 0 || timeout->tv_usec < 0 || timeout->tv_usec >= 1000000)
    return false;
  *out = ol::Timeout{timeout->tv_sec, timeout->tv_usec};
  return true;
}

std::optional<std::vector<std::string>> ToAttributeList(char** attrs) {
  if (attrs == nullptr) return std::nullopt;
  std::vector<std::string> list;
  for (size_t i = 0; attrs[i] != nullptr; ++i) list.emplace_back(attrs[i]);
  return list;
}

LDAPMessage* WrapChain(SessionBox* session, ol::Message* raw) {
  if (raw == nullptr) return nullptr;
  auto chain = std::make_unique<ResultChain>();
  chain->raw_head = raw;
  for (ol::Message* m = raw; m != nullptr; m = ol::NextMessage(session->state->raw, m)) {
    auto box = std::make_unique<MessageBox>();
    box->magic = kMessageMagic;
    box->chain = chain.get();
    box->raw = m;
    box->pub.lm_msgid = static_cast<ULONG>(ol::MessageId(m));
    box->pub.lm_msgtype = static_cast<ULONG>(ol::MessageType(m));
    box->pub.Connection = &session->pub;
    box->pub.lm_eom = IsResultType(ol::MessageType(m)) ? 1 : 0;
    if (box->pub.lm_eom) {
      ol::ResultInfo info;
      box->pub.lm_returncode = ol::ParseResult(session->state->raw, m, &info) == 0
                                   ? static_cast<ULONG>(info.code)
                                   : static_cast<ULONG>(LDAP_DECODING_ERROR);
    }
    if (!chain->messages.empty()) chain->messages.back()->pub.lm_chain = &box->pub;
    chain->messages.push_back(std::move(box));
  }
  // The chain lives until ldap_msgfree of its head.
  return &chain.release()->messages.front()->pub;
}

ULONG ChainResultCode(MessageBox* message) {
  for (const auto& m : message->chain->messages)
    if (m->pub.lm_eom) return m->pub.lm_returncode;
  return LDAP_NO_RESULTS_RETURNED;
}

ULONG AwaitResult(SessionBox* session, int msgid, const std::optional<ol::Timeout>& t,
                  LDAPMessage** res) {
  *res = nullptr;
  ol::Message* raw = nullptr;
  int code = 0;
  int type = ol::WaitResult(session->state->raw, msgid, 1, t, &raw, &code);
  if (type == 0) {
    (void)ol::Abandon(session->state->raw, msgid);
    return Fail(session, LDAP_TIMEOUT);
  }
  if (type < 0) return Fail(session, static_cast<ULONG>(code));
  *res = WrapChain(session, raw);
  MessageBox* head = ToMessage(*res);
  ULONG result = ChainResultCode(head);
  for (const auto& m : head->chain->messages) {
    if (!m->pub.lm_eom) continue;
    ol::ResultInfo info;
    if (ol::ParseResult(session->state->raw, m->raw, &info) == 0)
      session->state->error_text = info.diagnostic;
  }
  return Finish(session, result);
}

ULONG AwaitCompletion(SessionBox* session, int send_code, int msgid) {
  if (send_code != 0) return Fail(session, static_cast<ULONG>(send_code));
  session->pub.ld_msgid = static_cast<ULONG>(msgid);
  LDAPMessage* res = nullptr;
  ULONG code = AwaitResult(session, msgid, std::nullopt, &res);
  if (MessageBox* head = ToMessage(res)) delete head->chain;
  return code;
}

}  // namespace kova::wldap
