// The support library's directory look-up, exported as ordinal 34 (the symbol
// kova_ordinal_34 under the loader's ordinal rule).
//
// (18, 0) asks for the user directory, (1, 3) for the user-file directory. The
// answer is a NUL-terminated path with backslash separators in `buffer`, or the
// empty text when the directory cannot be determined, when the pair is not one of
// the two, or when the path does not fit `size` characters with its NUL. Nothing
// is ever written beyond `size` characters, and nothing at all for a null buffer
// or a size below 1. Returns the length of the path written (0 for none).
//
// Where the directories come from: KOVA_USERDIR and KOVA_USERFILEDIR when set
// (set but empty: cannot be determined); otherwise
// ${XDG_DATA_HOME:-$HOME/.local/share}/corvanta/user and .../corvanta/userfiles
// (a relative XDG_DATA_HOME is ignored; without a home the directory cannot be
// determined). The directories are only named, never created.
#ifndef KOVA_COMPONENTS_ZOLBIN_ZOLBIN_H_
#define KOVA_COMPONENTS_ZOLBIN_ZOLBIN_H_

extern "C" __attribute__((visibility("default"))) unsigned int kova_ordinal_34(
    int which, int kind, char* buffer, int size);

#endif  // KOVA_COMPONENTS_ZOLBIN_ZOLBIN_H_
