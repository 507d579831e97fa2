// The registrar: parses a registry script whole, then applies it in register or
// unregister mode. Syntax and semantics: kova_registrar.h and README.md. Pinned
// by registrar_test.cc.
#include "kova_registrar.h"

#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "com_registry.h"
#include "com_text.h"
#include "winreg.h"

namespace kova::com {

namespace {

using kova::com::EqualsNoCase;

struct Token {
  enum Kind { kWord, kQuoted, kOpen, kClose, kEquals, kEnd } kind = kEnd;
  std::string text;
};

struct ScriptValue {
  std::string name;  // empty: the default value
  DWORD type = REG_SZ;
  std::vector<BYTE> data;
};

struct ScriptKey {
  enum Modifier { kNone, kNoRemove, kForceRemove, kDelete } modifier = kNone;
  std::string name;
  std::vector<ScriptValue> values;
  std::vector<ScriptKey> children;
};

struct ScriptRoot {
  HKEY hkey = nullptr;
  std::vector<ScriptKey> keys;
};

class Parser {
 public:
  Parser(std::string_view script, const std::map<std::string, std::string>& replacements)
      : script_(script), replacements_(replacements) {}

  [[nodiscard]] bool Parse(std::vector<ScriptRoot>* roots) {
    for (;;) {
      Token token;
      if (!Next(&token)) return false;
      if (token.kind == Token::kEnd) return true;
      ScriptRoot root;
      if (token.kind != Token::kWord || !RootOf(token.text, &root.hkey)) return false;
      if (!Expect(Token::kOpen) || !ParseKeys(&root.keys, 0)) return false;
      roots->push_back(std::move(root));
    }
  }

 private:
  static bool RootOf(const std::string& name, HKEY* hkey) {
    struct Name {
      const char* short_name;
      const char* long_name;
      HKEY hkey;
    };
    static const Name kRoots[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", "HKEY_USERS", HKEY_USERS},
    };
    for (const Name& root : kRoots) {
      if (EqualsNoCase(name, root.short_name) || EqualsNoCase(name, root.long_name)) {
        *hkey = root.hkey;
        return true;
      }
    }
    return false;
  }

  // The keys of one block, up to and including its closing brace.
  [[nodiscard]] bool ParseKeys(std::vector<ScriptKey>* keys, int depth) {
    if (depth > 64) return false;
    for (;;) {
      Token token;
      if (!Next(&token)) return false;
      if (token.kind == Token::kClose) return true;
      if (token.kind != Token::kWord && token.kind != Token::kQuoted) return false;
      ScriptKey key;
      if (token.kind == Token::kWord) {
        if (EqualsNoCase(token.text, "NoRemove")) key.modifier = ScriptKey::kNoRemove;
        if (EqualsNoCase(token.text, "ForceRemove"))
          key.modifier = ScriptKey::kForceRemove;
        if (EqualsNoCase(token.text, "Delete")) key.modifier = ScriptKey::kDelete;
        if (EqualsNoCase(token.text, "val")) {
          if (depth == 0) return false;  // values belong to the key whose block this is
          ScriptValue value;
          if (!Next(&token) ||
              (token.kind != Token::kWord && token.kind != Token::kQuoted)) {
            return false;
          }
          value.name = token.text;
          if (!Expect(Token::kEquals) || !ParseValue(&value)) return false;
          pending_values_.push_back(std::move(value));
          continue;
        }
        if (key.modifier != ScriptKey::kNone) {
          if (!Next(&token) ||
              (token.kind != Token::kWord && token.kind != Token::kQuoted)) {
            return false;
          }
        }
      }
      key.name = token.text;
      if (key.name.empty() || key.name.find('\\') != std::string::npos) return false;
      if (!Peek(&token)) return false;
      if (token.kind == Token::kEquals) {
        if (!Next(&token)) return false;
        ScriptValue value;
        if (!ParseValue(&value)) return false;
        key.values.push_back(std::move(value));
        if (!Peek(&token)) return false;
      }
      if (token.kind == Token::kOpen) {
        if (!Next(&token)) return false;
        std::vector<ScriptValue> outer_values = std::move(pending_values_);
        pending_values_.clear();
        if (!ParseKeys(&key.children, depth + 1)) return false;
        for (ScriptValue& value : pending_values_) key.values.push_back(std::move(value));
        pending_values_ = std::move(outer_values);
      }
      keys->push_back(std::move(key));
    }
  }

  [[nodiscard]] bool ParseValue(ScriptValue* value) {
    Token type, text;
    if (!Next(&type) || type.kind != Token::kWord) return false;
    if (!Next(&text) || (text.kind != Token::kWord && text.kind != Token::kQuoted))
      return false;
    if (EqualsNoCase(type.text, "s") || EqualsNoCase(type.text, "e")) {
      value->type = EqualsNoCase(type.text, "s") ? REG_SZ : REG_EXPAND_SZ;
      value->data.assign(text.text.begin(), text.text.end());
      value->data.push_back(0);
      return true;
    }
    if (EqualsNoCase(type.text, "d")) {
      const char* begin = text.text.c_str();
      char* end = nullptr;
      const unsigned long long number = std::strtoull(begin, &end, 0);
      if (text.text.empty() || *end != 0 || text.text[0] == '-' ||
          number > 0xFFFFFFFFull) {
        return false;
      }
      const DWORD dword = DWORD(number);
      value->type = REG_DWORD;
      value->data.resize(sizeof dword);
      for (std::size_t i = 0; i < sizeof dword; ++i)
        value->data[i] = BYTE(dword >> (8 * i));
      return true;
    }
    if (EqualsNoCase(type.text, "b")) {
      if (text.text.size() % 2 != 0) return false;
      value->type = REG_BINARY;
      for (std::size_t i = 0; i < text.text.size(); i += 2) {
        char pair[3] = {text.text[i], text.text[i + 1], 0};
        char* end = nullptr;
        const unsigned long byte = std::strtoul(pair, &end, 16);
        if (*end != 0 || pair[0] == '-' || pair[0] == '+' || pair[0] == ' ') return false;
        value->data.push_back(BYTE(byte));
      }
      return true;
    }
    return false;
  }

  [[nodiscard]] bool Expect(Token::Kind kind) {
    Token token;
    return Next(&token) && token.kind == kind;
  }

  [[nodiscard]] bool Peek(Token* token) {
    const std::size_t at = pos_;
    const bool ok = Next(token);
    pos_ = at;
    return ok;
  }

  // False on a syntax error (unterminated quote, unknown replacement).
  [[nodiscard]] bool Next(Token* token) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (pos_ < script_.size() && blank(script_[pos_])) ++pos_;
    token->text.clear();
    if (pos_ >= script_.size()) {
      token->kind = Token::kEnd;
      return true;
    }
    const char c = script_[pos_];
    std::string raw;
    if (c == '\'') {
      token->kind = Token::kQuoted;
      ++pos_;
      for (;;) {
        if (pos_ >= script_.size()) return false;
        if (script_[pos_] == '\'') {
          if (pos_ + 1 < script_.size() && script_[pos_ + 1] == '\'') {
            raw += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        raw += script_[pos_++];
      }
    } else {
      // Bare tokens end at a blank or a quote, so "{GUID}" is one word and the
      // punctuation tokens stand alone, as in the usual script layout.
      while (pos_ < script_.size() && !blank(script_[pos_]) && script_[pos_] != '\'') {
        raw += script_[pos_++];
      }
      if (raw == "{" || raw == "}" || raw == "=") {
        token->kind = raw == "{"   ? Token::kOpen
                      : raw == "}" ? Token::kClose
                                   : Token::kEquals;
        return true;
      }
      token->kind = Token::kWord;
    }
    return Replace(raw, &token->text);
  }

  [[nodiscard]] bool Replace(const std::string& raw, std::string* out) const {
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '%') {
        *out += raw[i];
        continue;
      }
      const std::size_t close = raw.find('%', i + 1);
      if (close == std::string::npos) return false;
      if (close == i + 1) {
        *out += '%';
        i = close;
        continue;
      }
      const std::string name = raw.substr(i + 1, close - i - 1);
      bool found = false;
      for (const auto& [key, item] : replacements_) {
        if (EqualsNoCase(key, name)) {
          *out += item;
          found = true;
          break;
        }
      }
      if (!found) return false;
      i = close;
    }
    return true;
  }

  std::string_view script_;
  const std::map<std::string, std::string>& replacements_;
  std::size_t pos_ = 0;
  std::vector<ScriptValue> pending_values_;
};

std::string Join(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

HRESULT FromStatus(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(DWORD(status));
}

bool KeyExists(HKEY root, const std::string& path) {
  ScopedKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

HRESULT DeleteTree(HKEY root, const std::string& path) {
  const LSTATUS status = RegDeleteTreeA(root, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  return FromStatus(status);
}

HRESULT RegisterKey(HKEY root, const std::string& parent, const ScriptKey& key) {
  const std::string path = Join(parent, key.name);
  if (key.modifier == ScriptKey::kDelete) return DeleteTree(root, path);
  if (key.modifier == ScriptKey::kForceRemove) {
    const HRESULT hr = DeleteTree(root, path);
    if (FAILED(hr)) return hr;
  }
  ScopedKey handle;
  LSTATUS status =
      RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, handle.receive(), nullptr);
  if (status != ERROR_SUCCESS) return FromStatus(status);
  for (const ScriptValue& value : key.values) {
    status =
        RegSetValueExA(handle.get(), value.name.empty() ? nullptr : value.name.c_str(), 0,
                       value.type, value.data.data(), DWORD(value.data.size()));
    if (status != ERROR_SUCCESS) return FromStatus(status);
  }
  handle.Reset();
  for (const ScriptKey& child : key.children) {
    const HRESULT hr = RegisterKey(root, path, child);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT UnregisterKey(HKEY root, const std::string& parent, const ScriptKey& key) {
  const std::string path = Join(parent, key.name);
  if (key.modifier == ScriptKey::kDelete || !KeyExists(root, path)) return S_OK;
  if (key.modifier == ScriptKey::kForceRemove) return DeleteTree(root, path);
  HRESULT result = S_OK;
  for (const ScriptKey& child : key.children) {
    const HRESULT hr = UnregisterKey(root, path, child);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  if (key.modifier == ScriptKey::kNoRemove) return result;
  {
    ScopedKey handle;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, handle.receive()) ==
        ERROR_SUCCESS) {
      for (const ScriptValue& value : key.values) {
        RegDeleteValueA(handle.get(), value.name.empty() ? nullptr : value.name.c_str());
      }
    }
  }
  DeleteIfEmpty(root, path);
  return result;
}

HRESULT Apply(const std::vector<ScriptRoot>& roots, bool do_register) {
  HRESULT result = S_OK;
  for (const ScriptRoot& root : roots) {
    for (const ScriptKey& key : root.keys) {
      const HRESULT hr = do_register ? RegisterKey(root.hkey, "", key)
                                     : UnregisterKey(root.hkey, "", key);
      if (FAILED(hr)) {
        if (do_register) return hr;
        if (SUCCEEDED(result)) result = hr;
      }
    }
  }
  return result;
}

}  // namespace

struct CRegObject::Impl {
  std::map<std::string, std::string> replacements;

  HRESULT Run(LPCSTR script, bool do_register) {
    if (script == nullptr) return E_INVALIDARG;
    try {
      std::vector<ScriptRoot> roots;
      Parser parser(script, replacements);
      if (!parser.Parse(&roots)) return DISP_E_EXCEPTION;
      const HRESULT hr = Apply(roots, do_register);
      if (FAILED(hr) && do_register) (void)Apply(roots, false);
      return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
};

CRegObject::CRegObject() : impl_(std::make_unique<Impl>()) {}
CRegObject::~CRegObject() = default;

HRESULT CRegObject::AddReplacement(LPCSTR key, LPCSTR item) {
  if (key == nullptr || key[0] == 0 || item == nullptr) return E_INVALIDARG;
  try {
    for (auto it = impl_->replacements.begin(); it != impl_->replacements.end(); ++it) {
      if (EqualsNoCase(it->first, key)) {
        it->second = item;
        return S_OK;
      }
    }
    impl_->replacements[key] = item;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CRegObject::ClearReplacements() {
  impl_->replacements.clear();
  return S_OK;
}

HRESULT CRegObject::StringRegister(LPCSTR script) { return impl_->Run(script, true); }
HRESULT CRegObject::StringUnregister(LPCSTR script) { return impl_->Run(script, false); }

}  // namespace kova::com
