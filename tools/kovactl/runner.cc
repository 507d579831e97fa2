#include "tools/kovactl/runner.h"

#include <cstdio>
#include <vector>

#include "oleauto.h"
#include "winnls.h"

namespace kova::kovactl {

namespace {

std::u16string Widen(const std::string& text) {
  if (text.empty()) return {};
  const int needed =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::u16string wide(std::size_t(needed > 0 ? needed : 0), u'\0');
  if (needed > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), needed);
  }
  return wide;
}

std::string Narrow(BSTR text) {
  const int length = int(SysStringLen(text));
  if (length == 0) return {};
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(std::size_t(needed > 0 ? needed : 0), '\0');
  if (needed > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), needed, nullptr,
                        nullptr);
  }
  return narrow;
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
  return text;
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
      json += escape;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

// The value a variant holds, dereferenced.
const VARIANT* Deref(const VARIANT& value) {
  return value.vt == (VT_BYREF | VT_VARIANT) ? value.pvarVal : &value;
}

}  // namespace

std::string FormatValue(const VARIANT& held) {
  const VARIANT& value = *Deref(held);
  switch (value.vt) {
    case VT_EMPTY:
      return "empty";
    case VT_I2:
      return std::to_string(value.iVal);
    case VT_I4:
      return std::to_string(value.lVal);
    case VT_UI4:
      return std::to_string(value.ulVal);
    case VT_BOOL:
      return value.boolVal != VARIANT_FALSE ? "true" : "false";
    case VT_BSTR: {
      std::string text = "\"";
      for (const char c : Narrow(value.bstrVal)) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
      }
      return text + "\"";
    }
    default:
      return "<vt " + std::to_string(value.vt) + ">";
  }
}

std::string FormatJsonValue(const VARIANT& held) {
  const VARIANT& value = *Deref(held);
  switch (value.vt) {
    case VT_EMPTY:
      return "null";
    case VT_BOOL:
      return value.boolVal != VARIANT_FALSE ? "true" : "false";
    case VT_BSTR:
      return JsonString(Narrow(value.bstrVal));
    case VT_I2:
    case VT_I4:
    case VT_UI4:
      return FormatValue(value);
    default:
      return JsonString(FormatValue(value));
  }
}

Runner::Runner(IDispatch* api, bool json, std::ostream& out)
    : api_(api), json_(json), out_(out) {
  api_->AddRef();
}

Runner::~Runner() {
  for (auto& [name, value] : variables_) VariantClear(&value);
  api_->Release();
}

HRESULT Runner::Run(const Call& call) {
  std::u16string name = Widen(call.operation);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = api_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);

  // Arguments in call order; out placeholders live in `outs` (reserved: stable).
  std::vector<VARIANT> args(call.arguments.size());
  std::vector<VARIANT> outs(call.arguments.size());
  for (VARIANT& v : outs) VariantInit(&v);
  for (std::size_t i = 0; i < call.arguments.size() && SUCCEEDED(hr); ++i) {
    const Argument& argument = call.arguments[i];
    VARIANT& arg = args[i];
    switch (argument.kind) {
      case Argument::Kind::kNumber:
        arg.vt = VT_I4;
        arg.lVal = argument.number;
        break;
      case Argument::Kind::kBool:
        arg.vt = VT_BOOL;
        arg.boolVal = argument.flag ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case Argument::Kind::kText: {
        const std::u16string text = Widen(argument.text);
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
        break;
      }
      case Argument::Kind::kVariable: {
        auto [it, inserted] = variables_.try_emplace(argument.text);
        if (inserted) VariantInit(&it->second);
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = &it->second;
        break;
      }
      case Argument::Kind::kOut:
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = &outs[i];
        break;
    }
  }

  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT arg_err = 0;
  if (SUCCEEDED(hr)) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      UINT(reversed.size()), 0};
    hr = api_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                      &result, &excep, &arg_err);
  }

  // One line: the operation, its result, its return value and every by-reference
  // argument (variables and out placeholders) as it is after the call.
  std::string line;
  if (json_) {
    line = "{\"op\":" + JsonString(call.operation) + ",\"hr\":\"" + Hex(hr) + "\"";
    if (hr == DISP_E_EXCEPTION) line += ",\"scode\":\"" + Hex(excep.scode) + "\"";
    if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW ||
        hr == DISP_E_PARAMNOTOPTIONAL) {
      line += ",\"argument\":" + std::to_string(call.arguments.size() - arg_err);
    }
    if (result.vt != VT_EMPTY) line += ",\"retval\":" + FormatJsonValue(result);
    std::string outs_json, vars_json;
    for (std::size_t i = 0; SUCCEEDED(hr) && i < call.arguments.size(); ++i) {
      const Argument& argument = call.arguments[i];
      if (argument.kind == Argument::Kind::kOut) {
        outs_json += (outs_json.empty() ? "\"" : ",\"") + std::to_string(i + 1) +
                     "\":" + FormatJsonValue(outs[i]);
      } else if (argument.kind == Argument::Kind::kVariable) {
        vars_json += (vars_json.empty() ? "" : ",") + JsonString(argument.text) + ":" +
                     FormatJsonValue(variables_[argument.text]);
      }
    }
    if (!outs_json.empty()) line += ",\"out\":{" + outs_json + "}";
    if (!vars_json.empty()) line += ",\"vars\":{" + vars_json + "}";
    line += "}";
  } else {
    line = call.operation + ": hr=" + Hex(hr);
    if (hr == DISP_E_EXCEPTION) line += " scode=" + Hex(excep.scode);
    if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW ||
        hr == DISP_E_PARAMNOTOPTIONAL) {
      line += " argument=" + std::to_string(call.arguments.size() - arg_err);
    }
    if (result.vt != VT_EMPTY) line += " retval=" + FormatValue(result);
    for (std::size_t i = 0; SUCCEEDED(hr) && i < call.arguments.size(); ++i) {
      const Argument& argument = call.arguments[i];
      if (argument.kind == Argument::Kind::kOut) {
        line += " #" + std::to_string(i + 1) + "=" + FormatValue(outs[i]);
      } else if (argument.kind == Argument::Kind::kVariable) {
        line += " $" + argument.text + "=" + FormatValue(variables_[argument.text]);
      }
    }
  }
  out_ << line << '\n';

  if (SUCCEEDED(hr) && !call.assign_to.empty()) {
    VARIANT& target = variables_.try_emplace(call.assign_to).first->second;
    if (target.vt != VT_EMPTY) VariantClear(&target);
    target = result;  // the variable takes the value over
    VariantInit(&result);
  }
  VariantClear(&result);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  for (VARIANT& v : outs) VariantClear(&v);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (call.arguments[i].kind == Argument::Kind::kText) SysFreeString(args[i].bstrVal);
  }
  return hr;
}

}  // namespace kova::kovactl
