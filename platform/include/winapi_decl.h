// Linkage of the stand-in's exported functions: C names with default visibility, so
// that GetProcAddress finds them by name as it would in a Windows system library.
#ifndef KOVA_PLATFORM_WINAPI_DECL_H_
#define KOVA_PLATFORM_WINAPI_DECL_H_

#ifdef __cplusplus
#define KOVA_EXTERN_C_BEGIN extern "C" {
#define KOVA_EXTERN_C_END }
#else
#define KOVA_EXTERN_C_BEGIN
#define KOVA_EXTERN_C_END
#endif

#define WINBASEAPI __attribute__((visibility("default")))
#define WINADVAPI WINBASEAPI
#define WINUSERAPI WINBASEAPI
#define SHSTDAPI WINBASEAPI
#define WINOLEAPI WINBASEAPI
#define WINOLEAUTAPI WINBASEAPI

#endif  // KOVA_PLATFORM_WINAPI_DECL_H_
