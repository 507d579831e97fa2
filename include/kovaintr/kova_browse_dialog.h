// The interface of the browse dialog component that KovaBrowse and
// KovaBrowseMultiSel show: the component picks one profile file (or several) of
// the Kovas and hands back Kova paths.
//
// The component is an automation (dual) object; its own operations follow the
// seven of IUnknown and IDispatch in this order, and the order and identifiers
// are fixed for all versions. A caller creates one instance per browse,
// configures it with the Set... operations, calls Show (modal: it returns when
// the dialog is closed) and then reads GetPath or GetPaths. The component may
// leave any operation's out value untouched on failure; callers initialise out
// values and rely on them only.
//
// Threading: the class is registered for the single-threaded apartment.
#ifndef KOVAINTR_KOVA_BROWSE_DIALOG_H_
#define KOVAINTR_KOVA_BROWSE_DIALOG_H_

#include "kova_intr_api.h"
#include "oaidl.h"

// {0A36DA4B-D84B-4ADE-9803-C7A7E721B8B6}
DEFINE_GUID(CLSID_KovaBrowseDialog, 0x0a36da4b, 0xd84b, 0x4ade, 0x98, 0x03, 0xc7, 0xa7,
            0xe7, 0x21, 0xb8, 0xb6);
// {54EF5418-01DC-4066-8439-D802E00D6441}
DEFINE_GUID(IID_IKovaBrowseDialog, 0x54ef5418, 0x01dc, 0x4066, 0x84, 0x39, 0xd8, 0x02,
            0xe0, 0x0d, 0x64, 0x41);
// The type library of the component shipped with the system.
// {15BDE3D5-7DEA-40EF-B132-0D96113BB4B1}
DEFINE_GUID(LIBID_KovaBrowseDialogLib, 0x15bde3d5, 0x7dea, 0x40ef, 0xb1, 0x32, 0x0d, 0x96,
            0x11, 0x3b, 0xb4, 0xb1);

#define KOVA_BROWSE_DIALOG_PROGID "KovaBrowser.BrowseDialog"

// Dialog modes: open and Save-as of each client application.
enum : LONG {
  kKovaBrowseModePendrelOpen = 22,
  kKovaBrowseModePendrelSaveAs = 23,
  kKovaBrowseModeLumasetOpen = 26,
  kKovaBrowseModeLumasetSaveAs = 27,
};

struct IKovaBrowseDialog : public IDispatch {
  // Shows the dialog and waits until it is closed. *result is 1 when the user
  // confirmed a choice; any other value means cancelled (callers preset 2).
  STDMETHOD(Show)(LONG* result) PURE;
  // One of the modes above; open is assumed for an unknown mode.
  STDMETHOD(SetMode)(LONG mode) PURE;
  // The chosen path (the first one of a multiple selection) as a new BSTR owned
  // by the caller; empty when nothing was chosen.
  STDMETHOD(GetPath)(BSTR* path) PURE;
  // The path to preselect: the dialog starts in its folder and offers its name.
  STDMETHOD(SetPath)(BSTR path) PURE;
  // Every chosen path, the first one included, as a new one-dimensional array of
  // BSTRs (lower bound 0) that the caller destroys; null when nothing was chosen.
  STDMETHOD(GetPaths)(SAFEARRAY** paths) PURE;
  // 0: the user may not type names, only pick listed files (default: allowed).
  STDMETHOD(SetEditAllowed)(LONG allowed) PURE;
  // 0: no renaming or deleting in the dialog (default: allowed).
  STDMETHOD(SetFileOpsAllowed)(LONG allowed) PURE;
  // The profile type code of the files offered (64 Lumaset, 62 Pendrel).
  STDMETHOD(SetFileTypeCode)(LONG code) PURE;
  // The user-file folder of the suite, a file-system path.
  STDMETHOD(SetUserFileDir)(BSTR folder) PURE;
  // The help topic of the dialog; 0 for none.
  STDMETHOD(SetHelpTopic)(ULONG topic) PURE;
  // The owner window of the modal dialog; 0 for none.
  STDMETHOD(SetParentWindow)(KOVA_LONG_PTR window) PURE;

 protected:
  ~IKovaBrowseDialog() = default;
};

#endif  // KOVAINTR_KOVA_BROWSE_DIALOG_H_
