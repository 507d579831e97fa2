// The COM umbrella header (area: com).
#ifndef KOVA_PLATFORM_OBJBASE_H_
#define KOVA_PLATFORM_OBJBASE_H_

#include "combaseapi.h"
#include "oaidl.h"
#include "objidl.h"
#include "oleauto.h"
#include "unknwn.h"

#endif  // KOVA_PLATFORM_OBJBASE_H_
