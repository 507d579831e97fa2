#include "api/browse_bridge.h"

#include "api/bstr_text.h"
#include "common/path_text.h"
#include "model/profile_type.h"
#include "objbase.h"
#include "oleauto.h"

namespace kova {

namespace {

// A flag of the interface counts only as VARIANT_TRUE; 1 is false.
BOOL IsVariantTrue(VARIANT_BOOL flag) { return flag == VARIANT_TRUE ? TRUE : FALSE; }

struct DialogKind {
  LONG mode;
  LONG fileTypeCode;
};

// Mode and file-type code of an application's open or Save-as dialog; false for
// kinds that have no dialog.
[[nodiscard]] bool LookUpKind(APP_TYPE appType, BROWSE_TYPE browseType,
                              DialogKind* kind) {
  const bool saveAs = browseType == PROMPT_SAVEAS;
  if (browseType != PROMPT_OPEN && !saveAs) return false;
  switch (appType) {
    case APP_LUMASET:
      *kind = {saveAs ? kKovaBrowseModeLumasetSaveAs : kKovaBrowseModeLumasetOpen,
               kProfileTypeLumaset};
      return true;
    case APP_PENDREL:
      *kind = {saveAs ? kKovaBrowseModePendrelSaveAs : kKovaBrowseModePendrelOpen,
               kProfileTypePendrel};
      return true;
  }
  return false;
}

// A BSTR received from the component, freed on every path.
class ReceivedBstr {
 public:
  ReceivedBstr() = default;
  ~ReceivedBstr() { SysFreeString(value_); }
  ReceivedBstr(const ReceivedBstr&) = delete;
  ReceivedBstr& operator=(const ReceivedBstr&) = delete;
  BSTR* out() { return &value_; }
  std::string Text() const { return BstrToAnsi(&value_); }

 private:
  BSTR value_ = nullptr;
};

// A BSTR handed to the component, freed after the call.
class SentBstr {
 public:
  explicit SentBstr(const std::string& text) : value_(AnsiToBstr(text)) {}
  ~SentBstr() { SysFreeString(value_); }
  SentBstr(const SentBstr&) = delete;
  SentBstr& operator=(const SentBstr&) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// The array a component handed out, destroyed on every path.
class ReceivedArray {
 public:
  ReceivedArray() = default;
  ~ReceivedArray() {
    if (array_ != nullptr) SafeArrayDestroy(array_);
  }
  ReceivedArray(const ReceivedArray&) = delete;
  ReceivedArray& operator=(const ReceivedArray&) = delete;
  SAFEARRAY** out() { return &array_; }
  SAFEARRAY* get() const { return array_; }

 private:
  SAFEARRAY* array_ = nullptr;
};

// Appends the texts of a one-dimensional BSTR array; an array of any other
// shape or element type adds nothing.
void AppendBstrElements(SAFEARRAY* array, std::vector<std::string>* paths) {
  if (array == nullptr || SafeArrayGetDim(array) != 1) return;
  VARTYPE vt = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array, &vt)) || vt != VT_BSTR) return;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data)) || data == nullptr) return;
  const BSTR* elements = static_cast<const BSTR*>(data);
  const ULONG count = array->rgsabound[0].cElements;
  for (ULONG i = 0; i < count; ++i) paths->push_back(BstrToAnsi(&elements[i]));
  SafeArrayUnaccessData(array);
}

}  // namespace

CKovaBrowseDialog::~CKovaBrowseDialog() { ReleaseInstance(); }

void CKovaBrowseDialog::ReleaseInstance() {
  if (dialog_ == nullptr) return;
  dialog_->Release();
  dialog_ = nullptr;
}

IKovaBrowseDialog* CKovaBrowseDialog::Create() {
  ReleaseInstance();
  void* created = nullptr;
  if (FAILED(CoCreateInstance(CLSID_KovaBrowseDialog, nullptr, CLSCTX_ALL,
                              IID_IKovaBrowseDialog, &created))) {
    return nullptr;
  }
  dialog_ = static_cast<IKovaBrowseDialog*>(created);
  return dialog_;
}

IKovaBrowseDialog* CKovaBrowseDialog::CreateAndConfigure(LONG mode, LONG fileTypeCode,
                                                         BOOL editAllowed,
                                                         BOOL fileOpsAllowed,
                                                         KOVA_LONG_PTR parentWindow) {
  IKovaBrowseDialog* dialog = Create();
  if (dialog == nullptr) return nullptr;
  if (parentWindow != 0) (void)dialog->SetParentWindow(parentWindow);
  (void)dialog->SetMode(mode);
  (void)dialog->SetFileTypeCode(fileTypeCode);
  if (!editAllowed) (void)dialog->SetEditAllowed(0);
  if (!fileOpsAllowed) (void)dialog->SetFileOpsAllowed(0);
  return dialog;
}

void CKovaBrowseDialog::SetPath(const std::string& path) {
  if (dialog_ == nullptr) return;
  const SentBstr text(path);
  (void)dialog_->SetPath(text.get());
}

std::string CKovaBrowseDialog::Run(LONG mode, LONG fileTypeCode, BOOL editAllowed,
                                   BOOL fileOpsAllowed, ULONG helpTopic,
                                   const std::string& userFileDir,
                                   KOVA_LONG_PTR parentWindow) {
  if (dialog_ == nullptr && CreateAndConfigure(mode, fileTypeCode, editAllowed,
                                               fileOpsAllowed, parentWindow) == nullptr) {
    return std::string();
  }
  if (helpTopic != 0) (void)dialog_->SetHelpTopic(helpTopic);
  if (!userFileDir.empty()) {
    const SentBstr folder(userFileDir);
    (void)dialog_->SetUserFileDir(folder.get());
  }
  // A Show that leaves the preset value counts as cancelled.
  LONG result = 2;
  (void)dialog_->Show(&result);
  if (result != 1) return std::string();
  ReceivedBstr path;
  (void)dialog_->GetPath(path.out());
  return path.Text();
}

int CKovaBrowseDialog::GetPaths(std::vector<std::string>* paths) {
  if (dialog_ != nullptr) {
    ReceivedArray array;
    (void)dialog_->GetPaths(array.out());
    AppendBstrElements(array.get(), paths);
  }
  return static_cast<int>(paths->size());
}

std::string BuildFileList(const std::vector<std::string>& paths, short nSize) {
  const std::string first = paths.empty() ? std::string() : paths.front();
  const std::string folder =
      first.find('\\') == std::string::npos ? std::string() : CutAtLastBackslash(first);
  std::string list = folder;
  list.push_back('\0');
  // Counted wider than nSize's 16 bits so that long names cannot wrap the count
  // below the limit.
  long long count = static_cast<long long>(folder.size()) + 1;
  for (const std::string& path : paths) {
    const std::string name = FileNameOf(path);
    count += static_cast<long long>(name.size()) + 1;
    if (count >= nSize) break;
    list += name;
    list.push_back('\0');
  }
  list.push_back('\0');
  return list;
}

std::string BrowseForPath(APP_TYPE appType, BROWSE_TYPE browseType, VARIANT_BOOL bEdit,
                          VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                          KOVA_LONG_PTR lpParentWnd, const std::string& selItemPath,
                          const std::string& userFileDir) {
  DialogKind kind{};
  if (!LookUpKind(appType, browseType, &kind)) return std::string();
  CKovaBrowseDialog dialog;
  if (browseType == PROMPT_SAVEAS) {
    // Made here to take the preselection; it gets neither the parent window nor
    // the edit and file-operation settings.
    if (IKovaBrowseDialog* early = dialog.Create()) {
      (void)early->SetMode(kind.mode);
      (void)early->SetFileTypeCode(kind.fileTypeCode);
    }
    dialog.SetPath(selItemPath);
  }
  return dialog.Run(kind.mode, kind.fileTypeCode, IsVariantTrue(bEdit),
                    IsVariantTrue(bPerformFileOP), nHelpTopicID, userFileDir,
                    lpParentWnd);
}

bool BrowseForPaths(APP_TYPE appType, VARIANT_BOOL bEdit, VARIANT_BOOL bPerformFileOP,
                    ULONG nHelpTopicID, KOVA_LONG_PTR lpParentWnd,
                    const std::string& userFileDir, short nSize, std::string* fileList) {
  DialogKind kind{};
  if (!LookUpKind(appType, PROMPT_OPEN, &kind)) return false;
  CKovaBrowseDialog dialog;
  const std::string first =
      dialog.Run(kind.mode, kind.fileTypeCode, IsVariantTrue(bEdit),
                 IsVariantTrue(bPerformFileOP), nHelpTopicID, userFileDir, lpParentWnd);
  if (first.empty()) return false;
  std::vector<std::string> paths{first};
  (void)dialog.GetPaths(&paths);
  *fileList = BuildFileList(paths, nSize);
  return true;
}

}  // namespace kova
